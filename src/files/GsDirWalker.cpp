#include "files/GsDirWalker.h"

#include <cstring>
#include <memory>

#include "base/GsPath.h"

namespace {
bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}
bool IsFolder(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
// Copies a text that is known to fit.
void CopyOut(char* out, const std::string& text)
{
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
}
}  // namespace

CGsDirWalker::CGsDirWalker()
{
    std::memset(&m_entry, 0, sizeof m_entry);
}

CGsDirWalker::~CGsDirWalker() = default;

void CGsDirWalker::SetFolder(const char* folder)
{
    m_folder = folder;
    m_id = FolderId();
    GsDropTrailingBackslash(m_folder);
}

void CGsDirWalker::SetExtPattern(const char* ext) { m_extPattern = ext; }
void CGsDirWalker::SetNamePattern(const char* name) { m_namePattern = name; }

int CGsDirWalker::OpenSearch()
{
    std::string pattern = m_folder + "\\" + m_namePattern + "." + m_extPattern;
    m_search.Reset(::FindFirstFileA(pattern.c_str(), &m_entry));
    if (!m_search)
        return 0;
    m_started = 1;
    return 1;
}

int CGsDirWalker::FetchNext()
{
    if (::FindNextFileA(m_search.Get(), &m_entry))
        return 1;
    Close();
    return 0;
}

int CGsDirWalker::NextFile(std::string& name, std::string& path)
{
    if (m_started == 0) {
        if (!OpenSearch())
            return 0;
    } else if (!FetchNext()) {
        return 0;
    }
    while (IsDotEntry(m_entry.cFileName) || IsFolder(m_entry)) {
        if (!FetchNext())
            return 0;
    }
    name = m_entry.cFileName;
    path = m_folder + "\\" + name;
    return 1;
}

int CGsDirWalker::NextFileBuf(char* name, char* path)
{
    std::string n, p;
    // The narrow API cannot open what does not fit MAX_PATH: such entries are passed over.
    do {
        if (!NextFile(n, p))
            return 0;
    } while (n.size() >= MAX_PATH || p.size() >= MAX_PATH);
    CopyOut(name, n);
    CopyOut(path, p);
    return 1;
}

int CGsDirWalker::NextFileDeep(std::string& name, std::string& folder, std::string& path)
{
    if (m_started == 0) {
        if (!OpenSearch())
            return 0;
        if (!m_id.valid)
            m_id = IdentifyFolder(m_folder);
    } else if (m_descending != 0) {
        if (m_child->NextFileDeep(name, folder, path))
            return 1;
        m_descending = 0;
        m_child.reset();
        if (!FetchNext())
            return 0;
    } else if (!FetchNext()) {
        return 0;
    }
    for (;; ) {
        if (!IsDotEntry(m_entry.cFileName)) {
            if (!IsFolder(m_entry)) {
                name = m_entry.cFileName;
                folder = m_folder;
                path = m_folder + "\\" + name;
                return 1;
            }
            std::string below = m_folder + "\\" + m_entry.cFileName;
            FolderId id = IdentifyFolder(below);
            if (!IsOnAncestorChain(id)) {
                std::unique_ptr<CGsDirWalker> child(new CGsDirWalker());
                child->m_folder = below;
                child->m_namePattern = m_namePattern;
                child->m_extPattern = m_extPattern;
                child->m_parent = this;
                child->m_id = id;
                if (child->NextFileDeep(name, folder, path)) {
                    m_child = std::move(child);
                    m_descending = 1;
                    return 1;
                }
            }
        }
        if (!FetchNext())
            return 0;
    }
}

int CGsDirWalker::NextFileDeepBuf(char* name, char* folder, char* path)
{
    std::string n, f, p;
    do {
        if (!NextFileDeep(n, f, p))
            return 0;
    } while (n.size() >= MAX_PATH || f.size() >= MAX_PATH || p.size() >= MAX_PATH);
    CopyOut(name, n);
    CopyOut(folder, f);
    CopyOut(path, p);
    return 1;
}

void CGsDirWalker::Reset()
{
    Close();
}

void CGsDirWalker::Close()
{
    m_started = 0;
    m_search.Reset();
    // A deep search ends with its own search: the next call starts from the first file.
    m_child.reset();
    m_descending = 0;
}

bool CGsDirWalker::IsOnAncestorChain(const FolderId& id) const
{
    if (!id.valid)
        return false;
    for (const CGsDirWalker* w = this; w != nullptr; w = w->m_parent) {
        if (w->m_id.valid && w->m_id.volume == id.volume && w->m_id.indexHigh == id.indexHigh &&
            w->m_id.indexLow == id.indexLow)
            return true;
    }
    return false;
}

CGsDirWalker::FolderId CGsDirWalker::IdentifyFolder(const std::string& folder)
{
    // A walker's folder never ends in a backslash: add one where the bare text would name a
    // drive's current folder (C:) or nothing at all (the current drive's root).
    std::string name = folder.empty() || folder.back() == ':' ? folder + "\\" : folder;
    FolderId id;
    ScopedFile handle(::CreateFileA(name.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle && ::GetFileInformationByHandle(handle.Get(), &info)) {
        id.volume = info.dwVolumeSerialNumber;
        id.indexHigh = info.nFileIndexHigh;
        id.indexLow = info.nFileIndexLow;
        id.valid = true;
    }
    return id;
}

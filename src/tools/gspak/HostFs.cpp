#include "HostFs.h"

#include "base/GsPath.h"
#include "pack/PakFile.h"

#include <cstring>

namespace {
std::string Quoted(const std::string& path) { return "'" + path + "'"; }
}  // namespace

#ifdef _WIN32
#include "base/ScopedWin.h"

#include <io.h>
#include <windows.h>

namespace {
// Exact conversions only: text that does not come back as the same characters (a best fit, such
// as U+00A5 to the backslash 0x5C, or a default character) fails.
bool Narrow(UINT cp, const std::wstring& wide, std::string& out)
{
    const int n = WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    out.assign(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    std::wstring back(static_cast<size_t>(n), L'\0');
    const int m = n > 0 ? MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, out.data(), n, &back[0], n) : 0;
    back.resize(static_cast<size_t>(m));
    return n > 0 && back == wide;
}

bool Widen(const std::string& narrow, std::wstring& out)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    out.assign(static_cast<size_t>(n), L'\0');
    return n > 0 && MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), &out[0], n) == n;
}

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};

// Names come from the wide API: the narrow one hands out best-fit names, which open another file.
TreeResult Walk(const std::wstring& wide, const std::string& path, const std::string& name, std::vector<TreeFile>& files,
                std::string& problem)
{
    WIN32_FIND_DATAW found;
    HANDLE first = FindFirstFileW((wide + L"\\*").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) {
        problem = Quoted(path) + ": cannot read the folder (Windows error " + std::to_string(GetLastError()) + ")";
        return TreeResult::Unreadable;
    }
    std::unique_ptr<void, FindCloser> h(first);
    do {
        const std::wstring part = found.cFileName;
        if (part == L"." || part == L"..")
            continue;
        std::string cp932, native;
        if (part.find_first_of(L"\\/") != std::wstring::npos || !Narrow(932, part, cp932) || !Narrow(CP_ACP, part, native)) {
            problem = Quoted(path) + ": a name in it cannot be expressed exactly in code page 932";
            return TreeResult::Refused;
        }
        const std::string child = path + "\\" + native, childName = name.empty() ? cp932 : name + "\\" + cp932;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                problem = Quoted(child) + ": a link to a folder";
                return TreeResult::Refused;
            }
            const TreeResult inner = Walk(wide + L"\\" + part, child, childName, files, problem);
            if (inner != TreeResult::Ok)
                return inner;
        } else {
            files.push_back({childName, child, uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow,
                             uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32 | found.ftLastWriteTime.dwLowDateTime});
        }
    } while (FindNextFileW(h.get(), &found));
    return TreeResult::Ok;
}

TreeResult Walk(const std::string& dir, std::vector<TreeFile>& files, std::string& problem)
{
    std::wstring wide;
    if (!Widen(dir, wide)) {
        problem = Quoted(dir) + ": cannot read the folder";
        return TreeResult::Unreadable;
    }
    return Walk(wide, dir, "", files, problem);
}

// A folder held open without sharing deletion: no process can move or remove it meanwhile.
ScopedFile HoldFolder(const std::string& path)
{
    return ScopedFile(CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}
}  // namespace

bool NativePart(const std::string& cp932, std::string& native)
{
    native = cp932;
    return true;
}

struct COutputTree::Impl {
    std::string dir, path;
    std::vector<ScopedFile> held;  // dir, then the folders on the way to path
};

bool COutputTree::Open(const std::string& dir)
{
    const DWORD attributes = GetFileAttributesA(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ? !CreateDirectoryA(dir.c_str(), nullptr)
                                              : !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    m_impl->dir = dir;
    return true;
}

Place COutputTree::Prepare(const std::vector<std::string>& parts, std::string& path, std::string& problem)
{
    std::vector<ScopedFile>& held = m_impl->held;
    held.clear();
    path = m_impl->dir;
    m_impl->path.clear();
    for (size_t i = 0; i <= parts.size(); ++i) {
        if (i > 0)
            path += "\\" + parts[i - 1];
        const DWORD attributes = GetFileAttributesA(path.c_str());
        const bool last = i == parts.size();
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                problem = Quoted(path) + ": Windows error " + std::to_string(error);
                return Place::Failed;
            }
            if (last)
                return m_impl->path = path, Place::Free;
            if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
                problem = Quoted(path) + ": cannot make the folder (Windows error " + std::to_string(GetLastError()) + ")";
                return Place::Failed;
            }
        }
        BY_HANDLE_FILE_INFORMATION info = {};
        ScopedFile folder = last ? ScopedFile() : HoldFolder(path);
        // The attributes of what is held now, and of what was there before (Wine tells a link
        // by its path only).
        const DWORD now = last ? attributes
                               : folder && GetFileInformationByHandle(folder.Get(), &info) ? info.dwFileAttributes
                                                                                           : INVALID_FILE_ATTRIBUTES;
        const DWORD before = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
        if (now != INVALID_FILE_ATTRIBUTES && ((now | before) & FILE_ATTRIBUTE_REPARSE_POINT)) {
            problem = Quoted(path) + " is a link";
            return Place::Refused;
        }
        if (now == INVALID_FILE_ATTRIBUTES || last == ((now & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
            problem = Quoted(path) + (last ? " is a folder" : " is not a folder");
            return Place::Refused;
        }
        if (last)
            return m_impl->path = path, Place::Exists;
        held.push_back(std::move(folder));
    }
    return Place::Failed;
}

bool COutputTree::Create(CPakOutput& out) { return out.Create(m_impl->path.c_str()); }

bool COutputTree::Flush() { return true; }

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

#else
#include "base/ScopedFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class Converter {
public:
    explicit Converter(bool toCp932)
    {
        for (const char* cp : {"CP932", "SHIFT_JIS", "SJIS"}) {
            m_cd = toCp932 ? iconv_open(cp, "UTF-8") : iconv_open("UTF-8", cp);
            if (m_cd != kNone)
                break;
        }
    }
    ~Converter()
    {
        if (m_cd != kNone)
            iconv_close(m_cd);
    }
    // Strict: a character without a counterpart fails.
    bool Run(const std::string& in, std::string& out)
    {
        if (m_cd == kNone)
            return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.assign(in.size() * 3 + 4, '\0');
        char* src = const_cast<char*>(in.data());
        char* dst = &out[0];
        size_t left = in.size(), room = out.size();
        if (iconv(m_cd, &src, &left, &dst, &room) == static_cast<size_t>(-1))
            return false;
        out.resize(out.size() - room);
        return true;
    }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
    iconv_t m_cd = kNone;
};

// A part whose converted form holds a separator (a conversion may make 0x5C of another
// character) would split into folders.
bool HoldsSeparator(const std::string& cp932) { return GsFindFirstOf(cp932.c_str(), "\\/", GsIsLeadByte) != nullptr; }

bool ToCp932(const std::string& utf8, std::string& cp932)
{
    static Converter to(true);
    return utf8.find('\\') == std::string::npos && to.Run(utf8, cp932) && !HoldsSeparator(cp932);
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

TreeResult Walk(const std::string& path, const std::string& name, std::vector<TreeFile>& files, std::string& problem)
{
    std::unique_ptr<DIR, DirCloser> d(opendir(path.c_str()));
    if (!d) {
        problem = Quoted(path) + ": " + std::strerror(errno);
        return TreeResult::Unreadable;
    }
    while (const dirent* e = readdir(d.get())) {
        const std::string part = e->d_name;
        if (part == "." || part == "..")
            continue;
        const std::string child = path + "/" + part;
        std::string converted;
        if (!ToCp932(part, converted)) {
            problem = Quoted(child) + ": the name cannot be expressed in code page 932";
            return TreeResult::Refused;
        }
        const std::string childName = name.empty() ? converted : name + "\\" + converted;
        struct stat st;
        bool link = false;
        if (lstat(child.c_str(), &st) != 0 || ((link = S_ISLNK(st.st_mode)) && stat(child.c_str(), &st) != 0)) {
            problem = Quoted(child) + ": " + std::strerror(errno);
            return TreeResult::Unreadable;
        }
        if (S_ISDIR(st.st_mode)) {
            // A link to a folder could loop, or reach outside the tree.
            if (link) {
                problem = Quoted(child) + ": a link to a folder";
                return TreeResult::Refused;
            }
            const TreeResult inner = Walk(child, childName, files, problem);
            if (inner != TreeResult::Ok)
                return inner;
        } else if (S_ISREG(st.st_mode)) {
            const long long seconds = static_cast<long long>(st.st_mtim.tv_sec) + 11644473600LL;
            files.push_back({childName, child, static_cast<uint64_t>(st.st_size),
                             seconds < 0 ? 0 : static_cast<uint64_t>(seconds) * 10000000u + st.st_mtim.tv_nsec / 100});
        } else {
            problem = Quoted(child) + ": not a regular file";
            return TreeResult::Refused;
        }
    }
    return TreeResult::Ok;
}

TreeResult Walk(const std::string& dir, std::vector<TreeFile>& files, std::string& problem)
{
    return Walk(dir, "", files, problem);
}
}  // namespace

bool NativePart(const std::string& cp932, std::string& native)
{
    static Converter from(false);
    return from.Run(cp932, native) && native.find('/') == std::string::npos;
}

struct COutputTree::Impl {
    ScopedFd dir, folder;  // the tree, and the folder of the last Prepare
    std::string path, name;  // the tree's, and the last part in folder
};

bool COutputTree::Open(const std::string& dir)
{
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    m_impl->dir.Reset(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    m_impl->path = dir;
    return m_impl->dir.Get() >= 0;
}

Place COutputTree::Prepare(const std::vector<std::string>& parts, std::string& path, std::string& problem)
{
    ScopedFd& at = m_impl->folder;
    at.Reset(fcntl(m_impl->dir.Get(), F_DUPFD_CLOEXEC, 0));
    path = m_impl->path;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        path += "/" + parts[i];
        if (mkdirat(at.Get(), parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
            problem = Quoted(path) + ": cannot make the folder: " + std::strerror(errno);
            return Place::Failed;
        }
        ScopedFd next(openat(at.Get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.Get() < 0) {
            problem = Quoted(path) + (errno == ELOOP ? " is a symbolic link" : errno == ENOTDIR ? " is not a folder"
                                                                                                 : ": " + std::string(std::strerror(errno)));
            return Place::Refused;
        }
        at.Reset(next.Release());
    }
    m_impl->name = parts.back();
    path += "/" + parts.back();
    struct stat st;
    if (fstatat(at.Get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Place::Free;
        problem = Quoted(path) + ": " + std::strerror(errno);
        return Place::Failed;
    }
    if (S_ISREG(st.st_mode))
        return Place::Exists;
    problem = Quoted(path) + (S_ISLNK(st.st_mode) ? " is a symbolic link" : " is not a regular file");
    return Place::Refused;
}

bool COutputTree::Create(CPakOutput& out) { return out.CreateIn(m_impl->folder.Get(), m_impl->name); }

bool COutputTree::Flush()
{
#ifdef __linux__
    return syncfs(m_impl->dir.Get()) == 0;
#else
    sync();
    return true;
#endif
}

bool StderrIsTerminal() { return isatty(2) != 0; }
#endif

COutputTree::COutputTree() : m_impl(std::make_unique<Impl>()) {}
COutputTree::~COutputTree() = default;

TreeResult ListTree(const std::string& dir, std::vector<TreeFile>& files, std::string& problem)
{
    return Walk(dir, files, problem);
}

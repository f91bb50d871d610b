#include "HostFs.h"

#include "base/GsPath.h"

#include <cstring>

namespace {
std::string Quoted(const std::string& path) { return "'" + path + "'"; }
}  // namespace

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace {
TreeResult Walk(const std::string& path, const std::string& name, std::vector<TreeFile>& files, std::string& problem)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        problem = Quoted(path) + ": cannot read the folder (Windows error " + std::to_string(GetLastError()) + ")";
        return TreeResult::Unreadable;
    }
    TreeResult result = TreeResult::Ok;
    do {
        const std::string part = found.cFileName;
        if (part == "." || part == "..")
            continue;
        const std::string child = path + "\\" + part, childName = name.empty() ? part : name + "\\" + part;
        // The narrow API puts '?' for a character the code page lacks; no real name holds one.
        if (part.find('?') != std::string::npos) {
            problem = Quoted(child) + ": the name cannot be expressed in code page 932";
            result = TreeResult::Refused;
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                problem = Quoted(child) + ": a link to a folder";
                result = TreeResult::Refused;
            } else {
                result = Walk(child, childName, files, problem);
            }
        } else {
            files.push_back({childName, child, uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow,
                             uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32 | found.ftLastWriteTime.dwLowDateTime});
        }
    } while (result == TreeResult::Ok && FindNextFileA(h, &found));
    FindClose(h);
    return result;
}
}  // namespace

bool NativePart(const std::string& cp932, std::string& native)
{
    native = cp932;
    return true;
}

Place PrepareOutput(const std::string& dir, const std::vector<std::string>& parts, std::string& path,
                    std::string& problem)
{
    path = dir;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        path += "\\" + parts[i];
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                problem = Quoted(path) + ": Windows error " + std::to_string(error);
                return Place::Failed;
            }
            if (last)
                return Place::Free;
            if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
                problem = Quoted(path) + ": cannot make the folder (Windows error " + std::to_string(GetLastError()) + ")";
                return Place::Failed;
            }
        } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            problem = Quoted(path) + " is a link";
            return Place::Refused;
        } else if (last != !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            problem = Quoted(path) + (last ? " is a folder" : " is not a folder");
            return Place::Failed;
        }
    }
    return Place::Exists;
}

bool MakeFolder(const std::string& dir)
{
    const DWORD attributes = GetFileAttributesA(dir.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES ? (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                                 : CreateDirectoryA(dir.c_str(), nullptr) != 0;
}

void FlushTree(const std::string&) {}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <memory>
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
}  // namespace

bool NativePart(const std::string& cp932, std::string& native)
{
    static Converter from(false);
    return from.Run(cp932, native) && native.find('/') == std::string::npos;
}

Place PrepareOutput(const std::string& dir, const std::vector<std::string>& parts, std::string& path,
                    std::string& problem)
{
    path = dir;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        path += "/" + parts[i];
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                problem = Quoted(path) + ": " + std::strerror(errno);
                return Place::Failed;
            }
            if (last)
                return Place::Free;
            if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
                problem = Quoted(path) + ": cannot make the folder: " + std::strerror(errno);
                return Place::Failed;
            }
        } else if (S_ISLNK(st.st_mode)) {
            problem = Quoted(path) + " is a symbolic link";
            return Place::Refused;
        } else if (last ? !S_ISREG(st.st_mode) : !S_ISDIR(st.st_mode)) {
            problem = Quoted(path) + (last ? " is not a regular file" : " is not a folder");
            return Place::Failed;
        }
    }
    return Place::Exists;
}

bool MakeFolder(const std::string& dir)
{
    struct stat st;
    return stat(dir.c_str(), &st) == 0 ? S_ISDIR(st.st_mode) : mkdir(dir.c_str(), 0777) == 0;
}

void FlushTree(const std::string& dir)
{
#ifdef __linux__
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        syncfs(fd);
        close(fd);
    }
#else
    sync();
#endif
}

bool StderrIsTerminal() { return isatty(2) != 0; }
#endif

TreeResult ListTree(const std::string& dir, std::vector<TreeFile>& files, std::string& problem)
{
    return Walk(dir, "", files, problem);
}

#include "pack/PakFile.h"

#include <algorithm>
#include <cstdio>

static const char kInUse[] = "in use by another process";
static const char kFolder[] = "is a folder";
static const char kNotRegular[] = "is not a regular file";

#ifdef _WIN32
#include "base/ScopedWin.h"

#include <windows.h>

struct CPakFile::Impl {
    ScopedFile file;
};

bool CPakFile::Fail()
{
    const DWORD error = GetLastError();
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        m_problem = "no such file or folder";
        break;
    case ERROR_ACCESS_DENIED:
        m_problem = "access denied";
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        m_problem = kInUse;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        m_problem = "already exists";
        break;
    default:
        m_problem = "Windows error " + std::to_string(error);
    }
    return false;
}

bool CPakFile::Open(const char* path, Mode mode)
{
    Close();
    const DWORD access = mode == kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD disposition = mode == kCreateNew ? CREATE_NEW : OPEN_EXISTING;
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail();
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            m_problem = kFolder;
        return false;
    }
    m_impl = std::make_unique<Impl>();
    m_impl->file.Reset(h);
    m_problem.clear();
    return true;
}

uint64_t CPakFile::Size()
{
    LARGE_INTEGER size;
    if (!m_impl || !GetFileSizeEx(m_impl->file.Get(), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

// Positioned transfers through OVERLAPPED offsets on a synchronous handle; in pieces that a
// DWORD count holds.
template <typename Transfer, typename Byte>
static bool Positioned(Transfer transfer, HANDLE h, uint64_t offset, Byte* p, size_t count)
{
    while (count > 0) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        if (!transfer(h, p, want, &done, &at) || done == 0)
            return false;
        offset += done;
        p += done;
        count -= done;
    }
    return true;
}

bool CPakFile::ReadAt(uint64_t offset, void* buffer, size_t count)
{
    return m_impl && Positioned(ReadFile, m_impl->file.Get(), offset, static_cast<char*>(buffer), count);
}

bool CPakFile::WriteAt(uint64_t offset, const void* buffer, size_t count)
{
    return m_impl && (Positioned(WriteFile, m_impl->file.Get(), offset, static_cast<const char*>(buffer), count) || Fail());
}

bool CPakFile::Flush() { return m_impl && FlushFileBuffers(m_impl->file.Get()); }

bool CPakFile::Truncate(uint64_t size)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    return m_impl && SetFilePointerEx(m_impl->file.Get(), to, nullptr, FILE_BEGIN) && SetEndOfFile(m_impl->file.Get());
}

static unsigned long ProcessId() { return GetCurrentProcessId(); }

static bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The path an output replaces, when it may replace it: one that is absent or a plain file.
static bool OutputTarget(const char* path, std::string& target, std::string& problem)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        problem = kNotRegular;
        return false;
    }
    target = path;
    return true;
}

// Renames temp over path; refused while another process has path open without sharing
// writes (a merge holds its target so). Windows' rename refuses that by itself; Wine's does
// not, hence the probe.
bool CPakOutput::Replace()
{
    ScopedFile probe(CreateFileA(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe && GetLastError() == ERROR_SHARING_VIOLATION)
        return Fail();
    probe.Reset();
    return MoveFileExA(m_temp.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) || Fail();
}

static bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION& info)
{
    // No access asked for: no share mode of another opener stands in the way.
    ScopedFile h(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h && GetFileInformationByHandle(h.Get(), &info);
}

bool PakSameFile(const char* a, const char* b)
{
    BY_HANDLE_FILE_INFORMATION x, y;
    return Identify(a, x) && Identify(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct CPakFile::Impl {
    int fd = -1;
    uint64_t unflushed = 0;  // bytes written since writeback was last started
    ~Impl()
    {
        if (fd >= 0)
            close(fd);
    }
};

bool CPakFile::Fail()
{
    m_problem = errno == EWOULDBLOCK ? kInUse : errno == EISDIR ? kFolder : std::strerror(errno);
    return false;
}

static bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool CPakFile::Open(const char* path, Mode mode)
{
    Close();
    const int flags = mode == kRead ? O_RDONLY : mode == kUpdate ? O_RDWR : O_RDWR | O_CREAT | O_EXCL;
    const int fd = open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail();
    m_impl = std::make_unique<Impl>();
    m_impl->fd = fd;
    struct stat opened, named;
    if (fstat(fd, &opened) != 0 || (mode == kUpdate && flock(fd, LOCK_EX | LOCK_NB) != 0)) {
        Fail();
    } else if (S_ISDIR(opened.st_mode)) {
        m_problem = kFolder;
    } else if (mode == kUpdate && (stat(path, &named) != 0 || !SameInode(opened, named))) {
        // The lock is on what was opened: a file that took the path meanwhile is not locked.
        m_problem = "replaced by another process while being opened";
    } else {
        m_problem.clear();
        return true;
    }
    Close();
    return false;
}

uint64_t CPakFile::Size()
{
    struct stat st;
    if (!m_impl || fstat(m_impl->fd, &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

template <typename Transfer, typename Byte>
static bool Positioned(Transfer transfer, int fd, uint64_t offset, Byte* p, size_t count)
{
    while (count > 0) {
        const ssize_t done = transfer(fd, p, count, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        offset += static_cast<uint64_t>(done);
        p += done;
        count -= static_cast<size_t>(done);
    }
    return true;
}

bool CPakFile::ReadAt(uint64_t offset, void* buffer, size_t count)
{
    return m_impl && Positioned(pread, m_impl->fd, offset, static_cast<char*>(buffer), count);
}

bool CPakFile::WriteAt(uint64_t offset, const void* buffer, size_t count)
{
    if (!m_impl || !Positioned(pwrite, m_impl->fd, offset, static_cast<const char*>(buffer), count))
        return m_impl && Fail();
#ifdef __linux__
    // Starts the disk writing what is written so far without waiting for it, so that the
    // flush at the end finds little left: large outputs are written while the input is read.
    if ((m_impl->unflushed += count) >= (8u << 20)) {
        m_impl->unflushed = 0;
        sync_file_range(m_impl->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
#endif
    return true;
}

bool CPakFile::Flush() { return m_impl && fsync(m_impl->fd) == 0; }

bool CPakFile::Truncate(uint64_t size) { return m_impl && ftruncate(m_impl->fd, static_cast<off_t>(size)) == 0; }

static unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

static bool Exists(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0;
}

// The path an output replaces, when it may replace it: one that is absent or a plain file;
// through a symbolic link, the file it names.
static bool OutputTarget(const char* path, std::string& target, std::string& problem)
{
    struct stat st;
    target = path;
    if (stat(path, &st) != 0) {
        if (errno == ENOENT)
            return true;
        problem = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        problem = kNotRegular;
        return false;
    }
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        char real[PATH_MAX];
        if (!realpath(path, real)) {
            problem = std::strerror(errno);
            return false;
        }
        target = real;
    }
    return true;
}

// Renames temp over path, holding path's lock meanwhile: refused while a merge holds it.
bool CPakOutput::Replace()
{
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0) && rename(m_temp.c_str(), m_path.c_str()) == 0;
    if (!ok)
        Fail();
    if (fd >= 0)
        close(fd);
    return ok;
}

bool PakSameFile(const char* a, const char* b)
{
    struct stat x, y;
    return stat(a, &x) == 0 && stat(b, &y) == 0 && SameInode(x, y);
}
#endif

CPakFile::CPakFile() = default;
CPakFile::~CPakFile() = default;

void CPakFile::Close() { m_impl.reset(); }

CPakOutput::~CPakOutput() { Discard(); }

bool CPakOutput::Create(const char* path)
{
    Discard();
    if (!OutputTarget(path, m_path, m_problem))
        return false;
    // A name no other run uses; one left behind by a killed run is stepped over.
    const std::string stem = m_path + ".gspak" + std::to_string(ProcessId()) + "-";
    for (int n = 0; n < 100; ++n) {
        const std::string temp = stem + std::to_string(n) + ".tmp";
        if (Open(temp.c_str(), kCreateNew)) {
            m_temp = temp;
            return true;
        }
        if (!Exists(temp.c_str()))
            return false;
    }
    return false;
}

bool CPakOutput::Commit(bool flush)
{
    const bool flushed = !m_temp.empty() && (!flush || Flush());
    if (!flushed)
        Fail();
    Close();
    if (!flushed || !Replace()) {
        Discard();
        return false;
    }
    m_temp.clear();
    return true;
}

void CPakOutput::Discard()
{
    Close();
    if (!m_temp.empty())
        std::remove(m_temp.c_str());
    m_temp.clear();
}

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
struct CPakOutput::Folder {};

// Windows has no flush of many files at once: each output is flushed before its rename.
static const bool kBatchFlush = false;

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

// Takes the writer's lock byte; released when the handle closes.
static bool LockWriter(HANDLE h)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(PakLockByte);
    at.OffsetHigh = static_cast<DWORD>(PakLockByte >> 32);
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

bool CPakFile::Open(const char* path, Mode mode)
{
    Close();
    const DWORD access = mode == kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD disposition = mode == kCreateNew ? CREATE_NEW : OPEN_EXISTING;
    ScopedFile h(CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        Fail();
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            m_problem = kFolder;
        return false;
    }
    if (GetFileType(h.Get()) != FILE_TYPE_DISK) {
        m_problem = kNotRegular;
        return false;
    }
    if (mode == kUpdate && !LockWriter(h.Get())) {
        m_problem = kInUse;
        return false;
    }
    m_impl = std::make_unique<Impl>();
    m_impl->file = std::move(h);
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

bool CPakOutput::Create(const char* path)
{
    Discard();
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT))) {
        m_problem = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? "is a link" : kNotRegular;
        return false;
    }
    m_path = path;
    return Begin();
}

// Held open, the file shares deletion only, so that its own rename and a clean-up by a later
// run (which checks the lock first) can reach it, and no other writer can.
CPakOutput::Temp CPakOutput::TakeTemp(const std::string& temp, bool takeOver)
{
    ScopedFile h(CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             takeOver ? OPEN_ALWAYS : OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h)
        return GetLastError() == ERROR_SHARING_VIOLATION ? kBusy : (Fail(), kError);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !LockWriter(h.Get()))
        return kBusy;
    if (!takeOver)
        return DeleteFileA(temp.c_str()) ? kTaken : kBusy;
    if (!SetEndOfFile(h.Get()))
        return Fail(), kError;
    m_impl = std::make_unique<Impl>();
    m_impl->file = std::move(h);
    return kTaken;
}

// Refused while another process holds path as a merge target. Windows' rename refuses that by
// itself when the holder runs under Windows; Wine's does not, nor does a native holder's lock
// stop it, hence the probe.
bool CPakOutput::Replace(bool)
{
    ScopedFile probe(CreateFileA(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe && GetLastError() == ERROR_SHARING_VIOLATION)
        return Fail();
    if (probe && !LockWriter(probe.Get())) {
        m_problem = kInUse;
        return false;
    }
    probe.Reset();
    if (!MoveFileExA(m_temp.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Fail();
    m_temp.clear();
    return true;
}

void CPakOutput::Discard()
{
    if (!m_temp.empty())
        DeleteFileA(m_temp.c_str());
    m_temp.clear();
    Close();
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
#include "base/ScopedFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The writer's lock byte (F_WRLCK), or a probe of it (F_RDLCK). An open-file-description lock
// belongs to this descriptor: closing another descriptor of the file does not drop it, as it
// would a process's record lock. A file system without locks lets every writer through.
bool LockByte(int fd, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(PakLockByte);
    lock.l_len = 1;
#ifdef F_OFD_SETLK
    const int command = F_OFD_SETLK;
#else
    const int command = F_SETLK;
#endif
    return fcntl(fd, command, &lock) == 0 || (errno != EAGAIN && errno != EACCES);
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }
}  // namespace

struct CPakFile::Impl {
    ScopedFd fd;
    uint64_t unflushed = 0;  // bytes written since writeback was last started
};
struct CPakOutput::Folder {
    ScopedFd fd;
};

static const bool kBatchFlush = true;

bool CPakFile::Fail()
{
    m_problem = errno == EWOULDBLOCK ? kInUse : errno == EISDIR ? kFolder : std::strerror(errno);
    return false;
}

bool CPakFile::Open(const char* path, Mode mode)
{
    Close();
    const int flags = mode == kRead ? O_RDONLY : mode == kUpdate ? O_RDWR : O_RDWR | O_CREAT | O_EXCL;
    // Non-blocking, so that opening a FIFO returns at once; cleared once the file is known.
    ScopedFd fd(open(path, flags | O_CLOEXEC | O_NONBLOCK, 0666));
    if (fd.Get() < 0)
        return Fail();
    struct stat opened, named;
    if (fstat(fd.Get(), &opened) != 0 || fcntl(fd.Get(), F_SETFL, 0) != 0) {
        Fail();
    } else if (!S_ISREG(opened.st_mode)) {
        m_problem = S_ISDIR(opened.st_mode) ? kFolder : kNotRegular;
    } else if (mode == kUpdate && !LockByte(fd.Get(), F_WRLCK)) {
        m_problem = kInUse;
    } else if (mode == kUpdate && (stat(path, &named) != 0 || !SameInode(opened, named))) {
        // The lock is on what was opened: a file that took the path meanwhile is not locked.
        m_problem = "replaced by another process while being opened";
    } else {
        m_impl = std::make_unique<Impl>();
        m_impl->fd.Reset(fd.Release());
        m_problem.clear();
        return true;
    }
    return false;
}

uint64_t CPakFile::Size()
{
    struct stat st;
    if (!m_impl || fstat(m_impl->fd.Get(), &st) != 0)
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
    return m_impl && Positioned(pread, m_impl->fd.Get(), offset, static_cast<char*>(buffer), count);
}

bool CPakFile::WriteAt(uint64_t offset, const void* buffer, size_t count)
{
    if (!m_impl || !Positioned(pwrite, m_impl->fd.Get(), offset, static_cast<const char*>(buffer), count))
        return m_impl && Fail();
#ifdef __linux__
    // Starts the disk writing what is written so far without waiting for it, so that the
    // flush at the end finds little left: large outputs are written while the input is read.
    if ((m_impl->unflushed += count) >= (8u << 20)) {
        m_impl->unflushed = 0;
        sync_file_range(m_impl->fd.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
#endif
    return true;
}

bool CPakFile::Flush() { return m_impl && fsync(m_impl->fd.Get()) == 0; }

bool CPakFile::Truncate(uint64_t size) { return m_impl && ftruncate(m_impl->fd.Get(), static_cast<off_t>(size)) == 0; }

// The file an output replaces: path itself, or through a symbolic link the file it names.
bool CPakOutput::Create(const char* path)
{
    Discard();
    std::string target = path;
    struct stat st;
    char real[PATH_MAX];
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && stat(path, &st) == 0) {
        if (!realpath(path, real))
            return Fail();
        target = real;
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    ScopedFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Get() >= 0 ? CreateIn(dir.Get(), target.substr(slash + 1)) : Fail();
}

bool CPakOutput::CreateIn(int folder, const std::string& name)
{
    Discard();
    m_folder->fd.Reset(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    struct stat st;
    if (m_folder->fd.Get() < 0)
        return Fail();
    if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
        m_problem = S_ISLNK(st.st_mode) ? "is a symbolic link" : kNotRegular;
        return false;
    }
    m_path = name;
    return Begin();
}

CPakOutput::Temp CPakOutput::TakeTemp(const std::string& temp, bool takeOver)
{
    const int folder = m_folder->fd.Get();
    ScopedFd fd(openat(folder, temp.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (takeOver ? O_CREAT : 0), 0666));
    if (fd.Get() < 0)
        return Fail(), kError;
    struct stat opened, named;
    // Removed or replaced between the open and the lock: another run's now.
    if (!LockByte(fd.Get(), F_WRLCK) || fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        fstatat(folder, temp.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !SameInode(opened, named))
        return kBusy;
    if (!takeOver)
        return unlinkat(folder, temp.c_str(), 0) == 0 ? kTaken : kBusy;
    if (ftruncate(fd.Get(), 0) != 0 || fcntl(fd.Get(), F_SETFL, 0) != 0)
        return Fail(), kError;
    m_impl = std::make_unique<Impl>();
    m_impl->fd.Reset(fd.Release());
    return kTaken;
}

// Renames the temporary file over the path, holding the probe of the path's lock meanwhile:
// refused while a merge holds it. A link planted at the path is replaced, not followed. Then
// the folder is flushed, so that the rename survives a power cut.
bool CPakOutput::Replace(bool flush)
{
    const int folder = m_folder->fd.Get();
    const ScopedFd held(openat(folder, m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (held.Get() >= 0 && !LockByte(held.Get(), F_RDLCK)) {
        m_problem = kInUse;
        return false;
    }
    if (renameat(folder, m_temp.c_str(), folder, m_path.c_str()) != 0)
        return Fail();
    m_temp.clear();
    return !flush || fsync(folder) == 0 || Fail();
}

void CPakOutput::Discard()
{
    if (!m_temp.empty())
        unlinkat(m_folder->fd.Get(), m_temp.c_str(), 0);
    m_temp.clear();
    Close();
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

CPakOutput::CPakOutput() : m_folder(std::make_unique<Folder>()) {}
CPakOutput::~CPakOutput() { Discard(); }

static std::string TempName(const std::string& path, int n) { return path + ".gspak-" + std::to_string(n) + ".tmp"; }

bool PakIsTempName(const std::string& name)
{
    const size_t at = name.rfind(".gspak-"), digits = at + 7, end = name.size() - 4;
    return at != std::string::npos && name.size() > digits + 4 && name.compare(end, 4, ".tmp") == 0 &&
           name.find_first_not_of("0123456789", digits) == end;
}

// Numbered from 0, so that what a killed run left is found again: the first name no run holds
// is taken over, and the later ones that none holds are removed.
bool CPakOutput::Begin()
{
    for (int n = 0; n < 100; ++n) {
        switch (TakeTemp(TempName(m_path, n), true)) {
        case kBusy:
            continue;
        case kError:
            return false;
        case kTaken:
            m_temp = TempName(m_path, n);
            for (int k = n + 1; k < 100 && TakeTemp(TempName(m_path, k), false) != kError;)
                ++k;
            m_problem.clear();
            return true;
        }
    }
    m_problem = "no free temporary name";
    return false;
}

bool CPakOutput::Commit(bool flush)
{
    flush = flush || !kBatchFlush;
    const bool flushed = !m_temp.empty() && (!flush || Flush() || Fail());
    if (!flushed || !Replace(flush)) {
        Discard();
        return false;
    }
    Close();
    return true;
}

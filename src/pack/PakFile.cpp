#include "pack/PakFile.h"

#include <algorithm>

#ifdef _WIN32
#include "base/ScopedWin.h"

#include <windows.h>

struct CPakFile::Impl {
    ScopedFile file;
};

bool CPakFile::Open(const char* path, Mode mode)
{
    Close();
    const DWORD access = mode == kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD disposition = mode == kCreate ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_impl = std::make_unique<Impl>();
    m_impl->file.Reset(h);
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
    return m_impl && Positioned(WriteFile, m_impl->file.Get(), offset, static_cast<const char*>(buffer), count);
}

bool CPakFile::Flush() { return m_impl && FlushFileBuffers(m_impl->file.Get()); }

bool CPakFile::Truncate(uint64_t size)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    return m_impl && SetFilePointerEx(m_impl->file.Get(), to, nullptr, FILE_BEGIN) && SetEndOfFile(m_impl->file.Get());
}

#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct CPakFile::Impl {
    int fd = -1;
    ~Impl()
    {
        if (fd >= 0)
            close(fd);
    }
};

bool CPakFile::Open(const char* path, Mode mode)
{
    Close();
    const int flags = mode == kRead ? O_RDONLY : mode == kUpdate ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC;
    const int fd = open(path, flags | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    m_impl = std::make_unique<Impl>();
    m_impl->fd = fd;
    return true;
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
    return m_impl && Positioned(pwrite, m_impl->fd, offset, static_cast<const char*>(buffer), count);
}

bool CPakFile::Flush() { return m_impl && fsync(m_impl->fd) == 0; }

bool CPakFile::Truncate(uint64_t size) { return m_impl && ftruncate(m_impl->fd, static_cast<off_t>(size)) == 0; }
#endif

CPakFile::CPakFile() = default;
CPakFile::~CPakFile() = default;

void CPakFile::Close() { m_impl.reset(); }

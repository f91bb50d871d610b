#include "files/GsCopyRoutine.h"

#include "base/ScopedWin.h"
#include "files/GsCopyCheck.h"

#include <memory>

namespace {

// Large enough to beat Wine's own CopyFileExA (64 KiB steps), small enough that the bar and the
// dialog's messages are served several times a second on slow storage.
constexpr DWORD kChunkSize = 1u << 20;

// Null selects the platform's choice; a dllimport address is not a constant, and a test's
// static initialiser may copy before this file's dynamic initialisers have run.
GsCopyFileFn g_copyFile = nullptr;

GsCopyFileFn PlatformRoutine()
{
    static const GsCopyFileFn routine = GsPlatformCopyRoutine(GetModuleHandleA("ntdll.dll"));
    return routine;
}

// The file being written: removed again unless Keep() was called, keeping the last error.
class NewFile {
public:
    NewFile(const char* path, HANDLE file, GsCopyObserver* observer)
        : m_path(path), m_file(file), m_observer(observer)
    {
    }
    ~NewFile()
    {
        if (m_path == nullptr)
            return;
        DWORD error = GetLastError();
        if (m_observer != nullptr)
            m_observer->Abandon();
        m_file.Reset();
        DeleteFileA(m_path);
        SetLastError(error);
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    HANDLE Get() const { return m_file.Get(); }
    bool Close()
    {
        return CloseHandle(m_file.Detach()) != FALSE;
    }
    void Keep() { m_path = nullptr; }

private:
    const char* m_path;
    ScopedFile m_file;
    GsCopyObserver* m_observer;
};

bool WriteAll(HANDLE file, const char* bytes, DWORD size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, size, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

BOOL Aborted()
{
    SetLastError(ERROR_REQUEST_ABORTED);
    return FALSE;
}

}  // namespace

BOOL GsCopyFileEx(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress, LPVOID data,
                  LPBOOL cancel, DWORD flags)
{
    GsCopyFileFn routine = g_copyFile != nullptr ? g_copyFile : PlatformRoutine();
    return routine(source, destination, progress, data, cancel, flags);
}

GsCopyFileFn SetGsCopyFileRoutine(GsCopyFileFn routine)
{
    GsCopyFileFn previous = g_copyFile != nullptr ? g_copyFile : PlatformRoutine();
    g_copyFile = routine;
    return previous;
}

GsCopyFileFn GsPlatformCopyRoutine(HMODULE ntdll)
{
    bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    return wine ? GsChunkedCopyFile : CopyFileExA;
}

BOOL WINAPI GsChunkedCopyFile(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                              LPVOID data, LPBOOL cancel, DWORD flags)
{
    return GsChunkedCopyFileTo(source, destination, progress, data, cancel, flags, nullptr);
}

BOOL GsChunkedCopyFileTo(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress, LPVOID data,
                         LPBOOL cancel, DWORD flags, GsCopyObserver* observer)
{
    std::unique_ptr<char[]> buffer(new char[kChunkSize]);
    ScopedFile in(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!in || !GetFileInformationByHandle(in.Get(), &info))
        return FALSE;
    LARGE_INTEGER total;
    total.QuadPart = (static_cast<LONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;

    // Opening the source for reading only, shared for reading only, makes a copy onto itself
    // fail here with a sharing violation before anything is truncated.
    DWORD disposition = (flags & COPY_FILE_FAIL_IF_EXISTS) != 0 ? CREATE_NEW : CREATE_ALWAYS;
    HANDLE created = CreateFileA(destination, GENERIC_WRITE, observer != nullptr ? FILE_SHARE_READ : 0,
                                 nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE)
        return FALSE;
    NewFile out(destination, created, observer);
    if (observer != nullptr)
        observer->Created(destination);

    LARGE_INTEGER done;
    done.QuadPart = 0;
    auto report = [&](DWORD reason) {
        if (progress == nullptr)
            return true;
        DWORD answer = progress(total, done, total, done, 1, reason, in.Get(), out.Get(), data);
        if (answer == PROGRESS_QUIET)
            progress = nullptr;
        return answer != PROGRESS_CANCEL && answer != PROGRESS_STOP;
    };
    if (!report(CALLBACK_STREAM_SWITCH))
        return Aborted();
    for (;;) {
        if (cancel != nullptr && *cancel)
            return Aborted();
        DWORD read = 0;
        if (!ReadFile(in.Get(), buffer.get(), kChunkSize, &read, nullptr))
            return FALSE;
        if (read == 0)
            break;
        if (!WriteAll(out.Get(), buffer.get(), read))
            return FALSE;
        done.QuadPart += read;
        if (observer != nullptr)
            observer->Written(static_cast<uint64_t>(done.QuadPart));
        if (!report(CALLBACK_CHUNK_FINISHED))
            return Aborted();
    }
    if (!SetFileTime(out.Get(), nullptr, nullptr, &info.ftLastWriteTime) || !out.Close())
        return FALSE;
    // Like the platform's copy, the new file takes the source's attributes (read-only included).
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD attributes = info.dwFileAttributes & settable;
    if (!SetFileAttributesA(destination, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL))
        return FALSE;
    out.Keep();
    return TRUE;
}

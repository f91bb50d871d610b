// Seam in front of the platform's file copy routine. Wine's CopyFileExA never calls the progress
// routine and ignores the cancel flag, so there the seam selects GsChunkedCopyFile instead;
// tests install replacements to steer progress and stop.
#pragma once
#include <windows.h>

using GsCopyFileFn = BOOL(WINAPI*)(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                                   LPVOID data, LPBOOL cancel, DWORD flags);

// Calls the installed routine (GsPlatformCopyRoutine's choice unless replaced).
BOOL GsCopyFileEx(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress, LPVOID data,
                  LPBOOL cancel, DWORD flags);
// Installs a replacement (null restores the platform's choice); returns the previous one.
GsCopyFileFn SetGsCopyFileRoutine(GsCopyFileFn routine);

// The calls that make a copied file durable and put it in its place. A power cut loses what
// they have not forced to the disk, so tests record their order through this table.
struct GsCommitCalls {
    BOOL(WINAPI* flushFileBuffers)(HANDLE file);
    BOOL(WINAPI* moveFileEx)(LPCSTR from, LPCSTR to, DWORD flags);
};
extern GsCommitCalls g_commitCalls;

// The routine for a process whose ntdll is `ntdll`: GsChunkedCopyFile when it exports
// wine_get_version (Wine), else CopyFileExA.
GsCopyFileFn GsPlatformCopyRoutine(HMODULE ntdll);

// CopyFileExA's contract, as far as the copy engine relies on it, in 1 MiB chunks. `progress`
// (when not null) is called with CALLBACK_STREAM_SWITCH before the first chunk and with
// CALLBACK_CHUNK_FINISHED after each one, with the file's totals as one stream (number 1).
// The copy stops, failing with ERROR_REQUEST_ABORTED, when *cancel (when not null) is TRUE
// before a chunk or after the last one, or when `progress` answers PROGRESS_CANCEL or
// PROGRESS_STOP; PROGRESS_QUIET ends the reports. The new file gets the source's attributes
// and last-write time. Of the flags only COPY_FILE_FAIL_IF_EXISTS is honoured. On failure the
// partly written file is removed and the last error tells why. An exception thrown by
// `progress` passes through, after the same clean-up.
BOOL WINAPI GsChunkedCopyFile(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                              LPVOID data, LPBOOL cancel, DWORD flags);
// The same, telling `observer` (when not null) of the new file and of every chunk written: a
// check of the copied bytes that costs no second read of the source. The new file is then
// shared for reading while it is written.
class GsCopyObserver;
BOOL GsChunkedCopyFileTo(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress, LPVOID data,
                         LPBOOL cancel, DWORD flags, GsCopyObserver* observer);

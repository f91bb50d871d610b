// Seam in front of the platform's file copy routine, so tests can steer progress and stop.
// Wine's CopyFileExA never calls the progress routine and ignores the cancel flag, so the
// engine's progress, pump and stop prompt can only be exercised through a replacement.
#pragma once
#include <windows.h>

using GsCopyFileFn = BOOL(WINAPI*)(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                                   LPVOID data, LPBOOL cancel, DWORD flags);

// Calls the installed routine (CopyFileExA unless replaced).
BOOL GsCopyFileEx(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress, LPVOID data,
                  LPBOOL cancel, DWORD flags);
// Installs a replacement (null restores CopyFileExA); returns the previous one.
GsCopyFileFn SetGsCopyFileRoutine(GsCopyFileFn routine);

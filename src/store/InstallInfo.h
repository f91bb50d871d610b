// The game's install record: HKEY_CURRENT_USER\Software\KIRO\ZUNA, values "Path", "SavePath",
// "SaveType", "Res" (read only) and "Ext" (bits added). Callers hand in their own buffers.
//
// Results of the three readers:
//   1                         installed: the install folder is in the path buffer (a
//                             REG_EXPAND_SZ "Path" expanded).
//   0                         not installed. When "Path" is missing or empty (or the key cannot
//                             be opened) the key ZUNA is deleted with all its values (a stale
//                             record must not survive a check); Software\KIRO is kept. A "Path"
//                             of another type keeps the record: the game may still need it.
//   GS_INSTALL_PATH_TOO_LONG  a "Path" is recorded but does not fit the path buffer with its
//                             terminator. The record is kept untouched, the path buffer is left
//                             zero-filled (never a cut path) and the other outputs are untouched.
//                             Callers must not treat it as installed: test for it before `!= 0`.
#pragma once
#include <windows.h>

constexpr int GS_INSTALL_PATH_TOO_LONG = -1;

// Fills `path` (zero-filled first over `pathSize`) and `savePath`; stores "SaveType" (0 when
// missing) through `saveType` unless it is null. "SavePath" is read only when it fits
// `savePathSize` with its terminator; otherwise `savePath` keeps what it held.
int ReadInstallPaths(char* path, char* savePath, DWORD* saveType, DWORD pathSize,
                     DWORD savePathSize);

// Stores "Ext" (0 when missing or not a REG_DWORD) through `ext` when installed; otherwise
// leaves it untouched, so callers preset it to 0.
int ReadInstallExt(DWORD* ext);

// Fills the 260-byte `path`; when installed stores bit 0 of "Res" in `desktop` and bit 1 in
// `startMenu` (1 or 0 each); otherwise leaves both untouched.
int ReadInstallOptions(char* path, int* desktop, int* startMenu);

// Sets `bits` in "Ext", writing it back as REG_DWORD whatever type it had. Always returns 1:
// the result is not meant to be examined. Does not look at "Path".
int AddInstallExt(DWORD bits);

// The program folder as the update uses it: the frame's folder without a trailing backslash,
// and the source folder ZUNA beside the program.
#pragma once
#include <windows.h>

// Copies the application frame's program folder into `dest` (MAX_PATH bytes) without one
// trailing backslash (C:\ gives C:; a trail byte 0x5C is kept).
void CopyProgramFolder(char* dest);
// The program folder, a backslash and ZUNA into `dest` (MAX_PATH bytes); false, `dest`
// untouched, when that does not fit.
bool ComposeSourceFolder(char* dest);

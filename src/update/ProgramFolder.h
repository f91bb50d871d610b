// The program folder as the update uses it: the frame's folder without a trailing backslash.
#pragma once
#include <windows.h>

#include <cstddef>

// Copies the application frame's program folder into `dest` (MAX_PATH bytes) and removes one
// trailing backslash (C:\ gives C:; a trail byte 0x5C is kept); returns the resulting length.
size_t CopyProgramFolder(char* dest);

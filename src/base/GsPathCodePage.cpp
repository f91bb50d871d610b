// The one platform fact under the path rules: which bytes lead a double-byte character.
#include "base/GsPath.h"

#ifdef _WIN32
#include <windows.h>

// The process's ANSI code page, the one the narrow calls give and take paths in: é (0xE9) is a
// lead byte of code page 932 but a letter of 1252, 0xA0 no lead byte of 932 but one of 936.
bool GsIsPathLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
#else
bool GsIsPathLeadByte(unsigned char) { return false; }
#endif

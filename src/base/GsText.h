// Texts on their way to the screen. The system's own texts are code page 932 bytes whatever the
// system's language; paths are in the process's ANSI code page, as the narrow file, registry
// and shell calls give them. Both are converted explicitly and meet on screen as UTF-16, so a
// system set to another language shows neither as mojibake.
#pragma once
#include <windows.h>

#include <string>

// A system text (code page 932).
std::wstring GsText(const char* cp932);
// A path or file name from the narrow calls (the process's code page).
std::wstring GsPathText(const char* path);
// UTF-16 back to code page 932; characters it lacks become '?'. For comparisons in tests and
// tools that hold the system's texts as code page 932.
std::string GsTextToCp932(const wchar_t* text);

BOOL GsSetWindowText(HWND hwnd, const std::wstring& text);

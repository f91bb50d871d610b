// Every message box of the program goes through here, so unit tests can answer them. Boxes are
// shown through the wide interface: see base/GsText.h.
#pragma once
#include <windows.h>

#include <string>

using GsMessageBoxFn = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

// A text composed in UTF-16 (a system text joined with paths); the caption is a system text.
int GsMessageBox(HWND owner, const std::wstring& text, const char* caption, UINT style);
// Text and caption are both system texts (code page 932).
int GsMessageBox(HWND owner, const char* text, const char* caption, UINT style);
// Installs a replacement (null restores MessageBoxW); returns the previous one.
GsMessageBoxFn SetGsMessageBoxHandler(GsMessageBoxFn handler);

// Every message box of the program goes through here, so unit tests can answer them.
#pragma once
#include <windows.h>

using GsMessageBoxFn = int (*)(HWND owner, const char* text, const char* caption, UINT style);

int GsMessageBox(HWND owner, const char* text, const char* caption, UINT style);
// Installs a replacement (null restores MessageBoxA); returns the previous one.
GsMessageBoxFn SetGsMessageBoxHandler(GsMessageBoxFn handler);

#include "ui/GsMessageBox.h"

#include "base/GsText.h"

namespace {
int WINAPI_MessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(owner, text, caption, style);
}
GsMessageBoxFn g_messageBox = WINAPI_MessageBox;
}  // namespace

int GsMessageBox(HWND owner, const std::wstring& text, const char* caption, UINT style)
{
    return g_messageBox(owner, text.c_str(), GsText(caption).c_str(), style);
}

int GsMessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    return GsMessageBox(owner, GsText(text), caption, style);
}

GsMessageBoxFn SetGsMessageBoxHandler(GsMessageBoxFn handler)
{
    GsMessageBoxFn previous = g_messageBox;
    g_messageBox = handler != nullptr ? handler : WINAPI_MessageBox;
    return previous;
}

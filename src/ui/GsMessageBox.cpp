#include "ui/GsMessageBox.h"

namespace {
int WINAPI_MessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    return MessageBoxA(owner, text, caption, style);
}
GsMessageBoxFn g_messageBox = WINAPI_MessageBox;
}  // namespace

int GsMessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    return g_messageBox(owner, text, caption, style);
}

GsMessageBoxFn SetGsMessageBoxHandler(GsMessageBoxFn handler)
{
    GsMessageBoxFn previous = g_messageBox;
    g_messageBox = handler != nullptr ? handler : WINAPI_MessageBox;
    return previous;
}

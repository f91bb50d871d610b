#include "base/GsText.h"

namespace {
const UINT kSystemCodePage = 932;

std::wstring Widen(UINT codePage, const char* text)
{
    const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    wide.pop_back();  // the terminating zero
    return wide;
}
}  // namespace

std::wstring GsText(const char* cp932) { return Widen(kSystemCodePage, cp932); }

std::wstring GsPathText(const char* path) { return Widen(CP_ACP, path); }

std::string GsTextToCp932(const wchar_t* text)
{
    const int length = WideCharToMultiByte(kSystemCodePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(kSystemCodePage, 0, text, -1, &narrow[0], length, nullptr, nullptr);
    narrow.pop_back();
    return narrow;
}

BOOL GsSetWindowText(HWND hwnd, const std::wstring& text) { return SetWindowTextW(hwnd, text.c_str()); }

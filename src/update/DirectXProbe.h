// Which DirectX level the machine offers, found by loading the runtime libraries on demand.
#pragma once
#include <windows.h>

// Version codes: the DirectX major version in bits 8 to 15 (0x000 when unknown or absent).
constexpr DWORD kDirectXRequired = 0x700;

// Platform codes written by the probe.
constexpr DWORD kDxPlatformUnknown = 0;
constexpr DWORD kDxPlatformWin9x = 1;
constexpr DWORD kDxPlatformNT = 2;

// The platform calls the probe makes; the DirectDraw objects come from the entry points that
// getProcAddress hands out, so a fake table can stand in for the whole runtime.
struct GsDirectXPlatform {
    BOOL(WINAPI* getVersionEx)(OSVERSIONINFOA* info);
    HMODULE(WINAPI* loadLibrary)(LPCSTR name);
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
    BOOL(WINAPI* freeLibrary)(HMODULE module);
    void(WINAPI* outputDebugString)(LPCSTR text);
};

// Writes both outputs on every path; every interface obtained is released and every library
// loaded is freed before it returns, each DirectDraw interface before DDRAW.DLL is freed.
void ProbeDirectXVersion(DWORD* version, DWORD* platform);
void ProbeDirectXVersion(const GsDirectXPlatform& api, DWORD* version, DWORD* platform);

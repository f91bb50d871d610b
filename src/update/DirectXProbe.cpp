#include "update/DirectXProbe.h"

#include <ddraw.h>

namespace {

// Published interface identifiers, defined here so that no DirectX import library is needed.
const GUID kIID_IDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID kIID_IDirectDrawSurface3 = {0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};
const GUID kIID_IDirectDrawSurface4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const GUID kIID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// The description's size member carries the size of the caller's structure: 108 bytes in a
// 32-bit build, more in a 64-bit one, where its surface pointer is wider.
static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC layout");

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID* device, IDirectDraw** out, IUnknown* outer);
using DirectDrawCreateExFn = HRESULT(WINAPI*)(GUID* device, void** out, REFIID iid, IUnknown* outer);

BOOL WINAPI RealGetVersionEx(OSVERSIONINFOA* info)
{
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    return GetVersionExA(info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

void WINAPI RealOutputDebugString(LPCSTR text) { OutputDebugStringA(text); }

const GsDirectXPlatform kRealPlatform = {RealGetVersionEx, LoadLibraryA, GetProcAddress, FreeLibrary,
                                         RealOutputDebugString};

}  // namespace

const GsDirectXPlatform& RealDirectXPlatform() { return kRealPlatform; }

void ProbeDirectXVersion(DWORD* version, DWORD* platform)
{
    ProbeDirectXVersion(kRealPlatform, version, platform);
}

void ProbeDirectXVersion(const GsDirectXPlatform& api, DWORD* version, DWORD* platform)
{
    *version = 0;
    *platform = kDxPlatformUnknown;

    OSVERSIONINFOA os = {};
    os.dwOSVersionInfoSize = sizeof(os);
    if (!api.getVersionEx(&os))
        return;

    if (os.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        *platform = kDxPlatformNT;
        if (os.dwMajorVersion < 4)
            return;
        if (os.dwMajorVersion == 4) {
            // NT 4 has no DirectDraw beyond version 3: DirectInput alone decides.
            *version = 0x200;
            HMODULE dinput = api.loadLibrary("DINPUT.DLL");
            if (dinput == nullptr) {
                api.outputDebugString("Couldn't LoadLibrary DInput\r\n");
                return;
            }
            FARPROC create = api.getProcAddress(dinput, "DirectInputCreateA");
            api.freeLibrary(dinput);
            if (create != nullptr)
                *version = 0x300;
            else
                api.outputDebugString("Couldn't GetProcAddress DInputCreate\r\n");
            return;
        }
    } else {
        *platform = kDxPlatformWin9x;
    }

    HMODULE ddraw = api.loadLibrary("DDRAW.DLL");
    if (ddraw == nullptr) {
        *version = 0;
        *platform = kDxPlatformUnknown;
        return;
    }
    auto directDrawCreate = reinterpret_cast<DirectDrawCreateFn>(
        reinterpret_cast<void*>(api.getProcAddress(ddraw, "DirectDrawCreate")));
    if (directDrawCreate == nullptr) {
        *version = 0;
        *platform = kDxPlatformUnknown;
        api.freeLibrary(ddraw);
        api.outputDebugString("Couldn't LoadLibrary DDraw\r\n");
        return;
    }
    IDirectDraw* dd = nullptr;
    if (FAILED(directDrawCreate(nullptr, &dd, nullptr))) {
        *version = 0;
        *platform = kDxPlatformUnknown;
        api.freeLibrary(ddraw);
        api.outputDebugString("Couldn't create DDraw\r\n");
        return;
    }
    *version = 0x100;

    IDirectDraw2* dd2 = nullptr;
    if (FAILED(dd->QueryInterface(kIID_IDirectDraw2, reinterpret_cast<void**>(&dd2)))) {
        dd->Release();
        api.freeLibrary(ddraw);
        api.outputDebugString("Couldn't QI DDraw2\r\n");
        return;
    }
    dd2->Release();
    *version = 0x200;

    HMODULE dinput = api.loadLibrary("DINPUT.DLL");
    if (dinput == nullptr) {
        api.outputDebugString("Couldn't LoadLibrary DInput\r\n");
        dd->Release();
        api.freeLibrary(ddraw);
        return;
    }
    if (api.getProcAddress(dinput, "DirectInputCreateA") == nullptr) {
        api.freeLibrary(dinput);
        // The object's code lives in DDRAW.DLL: release it while the library is still loaded.
        dd->Release();
        api.freeLibrary(ddraw);
        api.outputDebugString("Couldn't GetProcAddress DInputCreate\r\n");
        return;
    }
    *version = 0x300;
    api.freeLibrary(dinput);

    if (FAILED(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
        dd->Release();
        api.freeLibrary(ddraw);
        *version = 0;
        api.outputDebugString("Couldn't Set coop level\r\n");
        return;
    }

    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface* surface = nullptr;
    if (FAILED(dd->CreateSurface(&desc, &surface, nullptr))) {
        dd->Release();
        api.freeLibrary(ddraw);
        *version = 0;
        api.outputDebugString("Couldn't CreateSurface\r\n");
        return;
    }

    IDirectDrawSurface3* surface3 = nullptr;
    if (FAILED(surface->QueryInterface(kIID_IDirectDrawSurface3, reinterpret_cast<void**>(&surface3)))) {
        surface->Release();
        dd->Release();
        api.freeLibrary(ddraw);
        return;
    }
    *version = 0x500;

    IDirectDrawSurface4* surface4 = nullptr;
    if (FAILED(surface->QueryInterface(kIID_IDirectDrawSurface4, reinterpret_cast<void**>(&surface4)))) {
        surface3->Release();
        surface->Release();
        dd->Release();
        api.freeLibrary(ddraw);
        return;
    }
    *version = 0x600;
    surface3->Release();
    surface4->Release();
    surface->Release();
    dd->Release();

    auto directDrawCreateEx = reinterpret_cast<DirectDrawCreateExFn>(
        reinterpret_cast<void*>(api.getProcAddress(ddraw, "DirectDrawCreateEx")));
    if (directDrawCreateEx == nullptr) {
        api.freeLibrary(ddraw);
        return;
    }
    IUnknown* dd7 = nullptr;
    if (FAILED(directDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd7), kIID_IDirectDraw7, nullptr))) {
        api.freeLibrary(ddraw);
        return;
    }
    *version = 0x700;
    dd7->Release();
    api.freeLibrary(ddraw);
}

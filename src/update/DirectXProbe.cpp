#include "update/DirectXProbe.h"

#include <ddraw.h>

#include "base/ScopedWin.h"

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

// A library loaded through the seam and freed through it when the owner goes.
class CProbeLibrary {
public:
    CProbeLibrary(const GsDirectXPlatform& api, const char* name) : m_api(api), m_module(api.loadLibrary(name)) {}
    ~CProbeLibrary()
    {
        if (m_module != nullptr)
            m_api.freeLibrary(m_module);
    }
    CProbeLibrary(const CProbeLibrary&) = delete;
    CProbeLibrary& operator=(const CProbeLibrary&) = delete;
    explicit operator bool() const { return m_module != nullptr; }
    template <typename Fn>
    Fn Find(const char* name) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(m_api.getProcAddress(m_module, name)));
    }

private:
    const GsDirectXPlatform& m_api;
    HMODULE m_module;
};

// DirectInput's entry point, which DirectX 3 brought.
bool HasDirectInput(const GsDirectXPlatform& api)
{
    CProbeLibrary dinput(api, "DINPUT.DLL");
    if (!dinput)
        api.outputDebugString("Couldn't LoadLibrary DInput\r\n");
    else if (dinput.Find<FARPROC>("DirectInputCreateA") == nullptr)
        api.outputDebugString("Couldn't GetProcAddress DInputCreate\r\n");
    else
        return true;
    return false;
}

// DirectX 1 to 6 through one DirectDraw object and its primary surface; everything obtained is
// released before it returns, while DDRAW.DLL, which holds the objects' code, is still loaded.
void ProbeDirectDraw(const GsDirectXPlatform& api, const CProbeLibrary& ddraw, DWORD* version, DWORD* platform)
{
    auto directDrawCreate = ddraw.Find<DirectDrawCreateFn>("DirectDrawCreate");
    ScopedComRef<IDirectDraw> dd;
    if (directDrawCreate == nullptr || FAILED(directDrawCreate(nullptr, &dd.p, nullptr))) {
        *platform = kDxPlatformUnknown;
        api.outputDebugString(directDrawCreate == nullptr ? "Couldn't LoadLibrary DDraw\r\n" : "Couldn't create DDraw\r\n");
        return;
    }
    *version = 0x100;
    {
        ScopedComRef<IDirectDraw2> dd2;  // only asked for: released at once
        if (FAILED(dd.p->QueryInterface(kIID_IDirectDraw2, dd2.Out()))) {
            api.outputDebugString("Couldn't QI DDraw2\r\n");
            return;
        }
    }
    *version = 0x200;
    if (!HasDirectInput(api))
        return;
    *version = 0x300;
    if (FAILED(dd.p->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
        *version = 0;
        api.outputDebugString("Couldn't Set coop level\r\n");
        return;
    }
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ScopedComRef<IDirectDrawSurface> surface;
    if (FAILED(dd.p->CreateSurface(&desc, &surface.p, nullptr))) {
        *version = 0;
        api.outputDebugString("Couldn't CreateSurface\r\n");
        return;
    }
    ScopedComRef<IDirectDrawSurface3> surface3;
    if (FAILED(surface.p->QueryInterface(kIID_IDirectDrawSurface3, surface3.Out())))
        return;
    *version = 0x500;
    ScopedComRef<IDirectDrawSurface4> surface4;
    if (SUCCEEDED(surface.p->QueryInterface(kIID_IDirectDrawSurface4, surface4.Out())))
        *version = 0x600;
}

}  // namespace

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
            *version = HasDirectInput(api) ? 0x300 : 0x200;
            return;
        }
    } else {
        *platform = kDxPlatformWin9x;
    }

    CProbeLibrary ddraw(api, "DDRAW.DLL");
    if (!ddraw) {
        *platform = kDxPlatformUnknown;
        return;
    }
    ProbeDirectDraw(api, ddraw, version, platform);
    if (*version != 0x600)
        return;
    // DirectX 7 makes an object of its own, once the earlier ones are gone; it goes before the
    // library does.
    auto directDrawCreateEx = ddraw.Find<DirectDrawCreateExFn>("DirectDrawCreateEx");
    ScopedComRef<IUnknown> dd7;
    if (directDrawCreateEx != nullptr &&
        SUCCEEDED(directDrawCreateEx(nullptr, dd7.Out(), kIID_IDirectDraw7, nullptr)))
        *version = 0x700;
}

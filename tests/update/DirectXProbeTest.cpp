// The DirectX probe against a fake runtime: every step's failure, and balanced releases.
#include "update/DirectXProbe.h"

#include <ddraw.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// What the fake runtime offers; each field switches one step on or off.
struct Runtime {
    bool versionQueryOk = true;
    DWORD platformId = VER_PLATFORM_WIN32_NT, major = 6;
    bool ddrawPresent = true, hasDirectDrawCreate = true;
    HRESULT createResult = S_OK;
    bool dd2 = true, dinputPresent = true, hasDirectInputCreate = true, coopOk = true, surfaceOk = true;
    bool surface3 = true, surface4 = true, hasCreateEx = true, createExOk = true;
};

Runtime g_rt;
std::string g_debug, g_loadedNames;
std::map<HMODULE, int> g_loads;  // per module: loads minus frees
int g_liveObjects = 0;           // COM references not yet released
int g_dinputCreateCalls = 0;

const HMODULE kDdraw = reinterpret_cast<HMODULE>(0x1000);
const HMODULE kDinput = reinterpret_cast<HMODULE>(0x2000);
const GUID kDD2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID kSurf3 = {0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};
const GUID kSurf4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const GUID kDD7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// A COM object with a hand-made vtable: IUnknown, IDirectDraw::CreateSurface (slot 6) and
// SetCooperativeLevel (slot 20).
enum class Kind { DirectDraw, Surface, Other };
struct FakeObject {
    void** vtbl;
    int refs;
    Kind kind;
};
void* g_vtbl[23];

FakeObject* NewObject(Kind kind)
{
    ++g_liveObjects;
    return new FakeObject{g_vtbl, 1, kind};
}

HRESULT STDMETHODCALLTYPE FakeQueryInterface(FakeObject* self, REFIID iid, void** out)
{
    bool ok = (self->kind == Kind::DirectDraw && IsEqualGUID(iid, kDD2) && g_rt.dd2) ||
              (self->kind == Kind::Surface && IsEqualGUID(iid, kSurf3) && g_rt.surface3) ||
              (self->kind == Kind::Surface && IsEqualGUID(iid, kSurf4) && g_rt.surface4);
    *out = ok ? NewObject(Kind::Other) : nullptr;
    return ok ? S_OK : E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE FakeAddRef(FakeObject* self)
{
    ++g_liveObjects;
    return ++self->refs;
}
ULONG STDMETHODCALLTYPE FakeRelease(FakeObject* self)
{
    --g_liveObjects;
    int left = --self->refs;
    if (left == 0)
        delete self;
    return static_cast<ULONG>(left);
}
HRESULT STDMETHODCALLTYPE FakeCreateSurface(FakeObject*, DDSURFACEDESC* desc, FakeObject** out, IUnknown* outer)
{
    EXPECT_EQ(desc->dwSize, sizeof(DDSURFACEDESC));  // 108 in 32-bit builds, 120 in 64-bit ones
    EXPECT_TRUE(desc->dwFlags == DDSD_CAPS && desc->ddsCaps.dwCaps == DDSCAPS_PRIMARYSURFACE && outer == nullptr);
    if (!g_rt.surfaceOk)
        return E_FAIL;
    *out = NewObject(Kind::Surface);
    return S_OK;
}
HRESULT STDMETHODCALLTYPE FakeSetCooperativeLevel(FakeObject*, HWND hwnd, DWORD flags)
{
    EXPECT_TRUE(hwnd == nullptr && flags == DDSCL_NORMAL);
    return g_rt.coopOk ? S_OK : E_FAIL;
}

HRESULT WINAPI FakeDirectDrawCreate(GUID* device, FakeObject** out, IUnknown* outer)
{
    EXPECT_TRUE(device == nullptr && outer == nullptr);
    if (FAILED(g_rt.createResult))
        return g_rt.createResult;
    *out = NewObject(Kind::DirectDraw);
    return S_OK;
}
HRESULT WINAPI FakeDirectDrawCreateEx(GUID* device, void** out, REFIID iid, IUnknown* outer)
{
    EXPECT_TRUE(device == nullptr && outer == nullptr && IsEqualGUID(iid, kDD7));
    if (!g_rt.createExOk)
        return E_FAIL;
    *out = NewObject(Kind::Other);
    return S_OK;
}
HRESULT WINAPI FakeDirectInputCreateA(HINSTANCE, DWORD, void**, IUnknown*)
{
    ++g_dinputCreateCalls;
    return E_FAIL;
}

BOOL WINAPI FakeGetVersionEx(OSVERSIONINFOA* info)
{
    EXPECT_EQ(info->dwOSVersionInfoSize, 148u);
    info->dwPlatformId = g_rt.platformId;
    info->dwMajorVersion = g_rt.major;
    return g_rt.versionQueryOk;
}
HMODULE WINAPI FakeLoadLibrary(LPCSTR name)
{
    g_loadedNames += std::string(name) + " ";
    HMODULE m = (std::string(name) == "DDRAW.DLL" && g_rt.ddrawPresent)    ? kDdraw
                : (std::string(name) == "DINPUT.DLL" && g_rt.dinputPresent) ? kDinput
                                                                             : nullptr;
    if (m != nullptr)
        ++g_loads[m];
    return m;
}
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name)
{
    EXPECT_GT(g_loads[module], 0) << "look-up in a library that is not loaded: " << name;
    const struct {
        HMODULE module;
        const char* name;
        bool offered;
        void* entry;
    } exports[] = {
        {kDdraw, "DirectDrawCreate", g_rt.hasDirectDrawCreate, reinterpret_cast<void*>(FakeDirectDrawCreate)},
        {kDdraw, "DirectDrawCreateEx", g_rt.hasCreateEx, reinterpret_cast<void*>(FakeDirectDrawCreateEx)},
        {kDinput, "DirectInputCreateA", g_rt.hasDirectInputCreate, reinterpret_cast<void*>(FakeDirectInputCreateA)},
    };
    for (const auto& e : exports) {
        if (e.module == module && e.offered && std::string(name) == e.name)
            return reinterpret_cast<FARPROC>(e.entry);
    }
    return nullptr;
}
BOOL WINAPI FakeFreeLibrary(HMODULE module)
{
    --g_loads[module];
    return TRUE;
}
void WINAPI FakeDebugString(LPCSTR text) { g_debug += text; }

const GsDirectXPlatform kFake = {FakeGetVersionEx, FakeLoadLibrary, FakeGetProcAddress, FakeFreeLibrary,
                                 FakeDebugString};

}  // namespace

TEST(DirectXProbe, EachRuntimeGivesItsVersionPlatformAndDebugTextAndReleasesEverything)
{
    g_vtbl[0] = reinterpret_cast<void*>(FakeQueryInterface);
    g_vtbl[1] = reinterpret_cast<void*>(FakeAddRef);
    g_vtbl[2] = reinterpret_cast<void*>(FakeRelease);
    g_vtbl[6] = reinterpret_cast<void*>(FakeCreateSurface);
    g_vtbl[20] = reinterpret_cast<void*>(FakeSetCooperativeLevel);
    const struct {
        const char* what;
        void (*change)(Runtime&);
        DWORD version, platform;
        const char* debug;
        const char* loads;  // libraries asked for, null: not checked
    } rows[] = {
        {"full runtime", [](Runtime&) {}, 0x700, 2, "", "DDRAW.DLL DINPUT.DLL "},
        {"version query fails", [](Runtime& r) { r.versionQueryOk = false; }, 0, 0, "", ""},
        {"NT 3", [](Runtime& r) { r.major = 3; }, 0, 2, "", ""},
        {"NT 4", [](Runtime& r) { r.major = 4; }, 0x300, 2, "", "DINPUT.DLL "},
        {"NT 4 without DirectInputCreateA", [](Runtime& r) { r.major = 4, r.hasDirectInputCreate = false; }, 0x200, 2,
         "Couldn't GetProcAddress DInputCreate\r\n", nullptr},
        {"NT 4 without DINPUT.DLL", [](Runtime& r) { r.major = 4, r.dinputPresent = false; }, 0x200, 2,
         "Couldn't LoadLibrary DInput\r\n", nullptr},
        {"9x with DirectX 6", [](Runtime& r) { r.platformId = VER_PLATFORM_WIN32_WINDOWS, r.major = 4, r.hasCreateEx = false; },
         0x600, 1, "", nullptr},
        {"9x keeps its platform code", [](Runtime& r) { r.platformId = VER_PLATFORM_WIN32_WINDOWS, r.surfaceOk = false; },
         0, 1, "Couldn't CreateSurface\r\n", nullptr},
        {"no DDRAW.DLL", [](Runtime& r) { r.ddrawPresent = false; }, 0, 0, "", nullptr},
        {"no DirectDrawCreate", [](Runtime& r) { r.hasDirectDrawCreate = false; }, 0, 0, "Couldn't LoadLibrary DDraw\r\n", nullptr},
        {"DirectDrawCreate fails", [](Runtime& r) { r.createResult = DDERR_NODIRECTDRAWHW; }, 0, 0, "Couldn't create DDraw\r\n", nullptr},
        {"no IDirectDraw2", [](Runtime& r) { r.dd2 = false; }, 0x100, 2, "Couldn't QI DDraw2\r\n", nullptr},
        {"no DINPUT.DLL", [](Runtime& r) { r.dinputPresent = false; }, 0x200, 2, "Couldn't LoadLibrary DInput\r\n", nullptr},
        {"no DirectInputCreateA", [](Runtime& r) { r.hasDirectInputCreate = false; }, 0x200, 2,
         "Couldn't GetProcAddress DInputCreate\r\n", nullptr},
        {"cooperative level refused", [](Runtime& r) { r.coopOk = false; }, 0, 2, "Couldn't Set coop level\r\n", nullptr},
        {"no primary surface", [](Runtime& r) { r.surfaceOk = false; }, 0, 2, "Couldn't CreateSurface\r\n", nullptr},
        {"no IDirectDrawSurface3", [](Runtime& r) { r.surface3 = false; }, 0x300, 2, "", nullptr},
        {"no IDirectDrawSurface4", [](Runtime& r) { r.surface4 = false; }, 0x500, 2, "", nullptr},
        {"no DirectDrawCreateEx", [](Runtime& r) { r.hasCreateEx = false; }, 0x600, 2, "", nullptr},
        {"DirectDrawCreateEx fails", [](Runtime& r) { r.createExOk = false; }, 0x600, 2, "", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        g_rt = Runtime();
        g_debug.clear();
        g_loadedNames.clear();
        g_loads.clear();
        g_liveObjects = g_dinputCreateCalls = 0;
        row.change(g_rt);
        DWORD version = 0xDEAD, platform = 0xBEEF;
        ProbeDirectXVersion(kFake, &version, &platform);
        EXPECT_EQ(version, row.version);
        EXPECT_EQ(platform, row.platform);
        EXPECT_EQ(g_debug, row.debug);
        if (row.loads != nullptr) {
            EXPECT_EQ(g_loadedNames, row.loads);
        }
        for (const auto& [module, count] : g_loads)
            EXPECT_EQ(count, 0) << "library " << module << " not freed exactly once per load";
        EXPECT_EQ(g_liveObjects, 0) << "COM references left unreleased";
        EXPECT_EQ(g_dinputCreateCalls, 0) << "DirectInputCreateA must never be called";
    }
}

TEST(DirectXProbe, WineOffersDirectX7)
{
    DWORD version = 0, platform = 0;
    ProbeDirectXVersion(&version, &platform);
    EXPECT_EQ(version, 0x700u);
    EXPECT_EQ(platform, 2u);
}

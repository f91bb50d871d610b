// The DirectX probe against a fake runtime: every step's failure, and balanced releases.
#include "update/DirectXProbe.h"

#include <ddraw.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// What the fake runtime offers; each field switches one step on or off.
struct Runtime {
    bool versionQueryOk = true;
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    bool ddrawPresent = true;
    bool hasDirectDrawCreate = true;
    HRESULT createResult = S_OK;
    bool dd2 = true;
    bool dinputPresent = true;
    bool hasDirectInputCreate = true;
    bool coopOk = true;
    bool surfaceOk = true;
    bool surface3 = true;
    bool surface4 = true;
    bool hasCreateEx = true;
    bool createExOk = true;
};

Runtime g_rt;
std::vector<std::string> g_debug;
std::map<HMODULE, int> g_loads;  // per module: loads minus frees
std::vector<std::string> g_loadedNames;
int g_liveObjects = 0;  // COM references not yet released
int g_dinputCreateCalls = 0;

const HMODULE kDdraw = reinterpret_cast<HMODULE>(0x1000);
const HMODULE kDinput = reinterpret_cast<HMODULE>(0x2000);

// A COM object with a hand-made vtable: only the slots the probe may call are filled.
struct FakeObject {
    void** vtbl;
    int refs;
};

HRESULT STDMETHODCALLTYPE FakeQueryInterface(FakeObject* self, REFIID iid, void** out);
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
HRESULT STDMETHODCALLTYPE FakeCreateSurface(FakeObject*, DDSURFACEDESC* desc, FakeObject** out, IUnknown* outer);
HRESULT STDMETHODCALLTYPE FakeSetCooperativeLevel(FakeObject*, HWND hwnd, DWORD flags)
{
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(flags, static_cast<DWORD>(DDSCL_NORMAL));
    return g_rt.coopOk ? S_OK : E_FAIL;
}

void* g_unknownVtbl[3] = {reinterpret_cast<void*>(FakeQueryInterface), reinterpret_cast<void*>(FakeAddRef),
                          reinterpret_cast<void*>(FakeRelease)};
void* g_ddrawVtbl[23];
void* g_surfaceVtbl[3];

enum class Kind { DirectDraw, Surface, Other };
std::map<FakeObject*, Kind> g_kinds;

FakeObject* NewObject(Kind kind)
{
    void** vtbl = kind == Kind::DirectDraw ? g_ddrawVtbl : kind == Kind::Surface ? g_surfaceVtbl : g_unknownVtbl;
    auto* o = new FakeObject{vtbl, 1};
    ++g_liveObjects;
    g_kinds[o] = kind;
    return o;
}

const GUID kDD2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID kSurf3 = {0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};
const GUID kSurf4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const GUID kDD7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

HRESULT STDMETHODCALLTYPE FakeQueryInterface(FakeObject* self, REFIID iid, void** out)
{
    Kind kind = g_kinds[self];
    bool ok = (kind == Kind::DirectDraw && IsEqualGUID(iid, kDD2) && g_rt.dd2) ||
              (kind == Kind::Surface && IsEqualGUID(iid, kSurf3) && g_rt.surface3) ||
              (kind == Kind::Surface && IsEqualGUID(iid, kSurf4) && g_rt.surface4);
    if (!ok) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = NewObject(Kind::Other);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeCreateSurface(FakeObject*, DDSURFACEDESC* desc, FakeObject** out, IUnknown* outer)
{
    EXPECT_EQ(desc->dwSize, sizeof(DDSURFACEDESC));  // 108 in 32-bit builds, 120 in 64-bit ones
    EXPECT_EQ(desc->dwFlags, static_cast<DWORD>(DDSD_CAPS));
    EXPECT_EQ(desc->ddsCaps.dwCaps, static_cast<DWORD>(DDSCAPS_PRIMARYSURFACE));
    EXPECT_EQ(outer, nullptr);
    if (!g_rt.surfaceOk)
        return E_FAIL;
    *out = NewObject(Kind::Surface);
    return S_OK;
}

HRESULT WINAPI FakeDirectDrawCreate(GUID* device, FakeObject** out, IUnknown* outer)
{
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(outer, nullptr);
    if (FAILED(g_rt.createResult))
        return g_rt.createResult;
    *out = NewObject(Kind::DirectDraw);
    return S_OK;
}

HRESULT WINAPI FakeDirectDrawCreateEx(GUID* device, void** out, REFIID iid, IUnknown* outer)
{
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(outer, nullptr);
    EXPECT_TRUE(IsEqualGUID(iid, kDD7));
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
    if (!g_rt.versionQueryOk)
        return FALSE;
    info->dwPlatformId = g_rt.platformId;
    info->dwMajorVersion = g_rt.major;
    return TRUE;
}

HMODULE WINAPI FakeLoadLibrary(LPCSTR name)
{
    g_loadedNames.push_back(name);
    HMODULE m = nullptr;
    if (std::string(name) == "DDRAW.DLL" && g_rt.ddrawPresent)
        m = kDdraw;
    if (std::string(name) == "DINPUT.DLL" && g_rt.dinputPresent)
        m = kDinput;
    if (m != nullptr)
        ++g_loads[m];
    return m;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name)
{
    EXPECT_GT(g_loads[module], 0) << "look-up in a library that is not loaded: " << name;
    std::string n = name;
    void* f = nullptr;
    if (module == kDdraw && n == "DirectDrawCreate" && g_rt.hasDirectDrawCreate)
        f = reinterpret_cast<void*>(FakeDirectDrawCreate);
    if (module == kDdraw && n == "DirectDrawCreateEx" && g_rt.hasCreateEx)
        f = reinterpret_cast<void*>(FakeDirectDrawCreateEx);
    if (module == kDinput && n == "DirectInputCreateA" && g_rt.hasDirectInputCreate)
        f = reinterpret_cast<void*>(FakeDirectInputCreateA);
    return reinterpret_cast<FARPROC>(f);
}

BOOL WINAPI FakeFreeLibrary(HMODULE module)
{
    --g_loads[module];
    return TRUE;
}

void WINAPI FakeDebugString(LPCSTR text) { g_debug.push_back(text); }

const GsDirectXPlatform kFake = {FakeGetVersionEx, FakeLoadLibrary, FakeGetProcAddress, FakeFreeLibrary,
                                 FakeDebugString};

struct Outcome {
    DWORD version;
    DWORD platform;
};

class DirectXProbeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_rt = Runtime();
        g_debug.clear();
        g_loads.clear();
        g_loadedNames.clear();
        g_kinds.clear();
        g_liveObjects = 0;
        g_dinputCreateCalls = 0;
        for (void*& slot : g_ddrawVtbl)
            slot = nullptr;
        for (int i = 0; i < 3; ++i)
            g_ddrawVtbl[i] = g_surfaceVtbl[i] = g_unknownVtbl[i];
        g_ddrawVtbl[6] = reinterpret_cast<void*>(FakeCreateSurface);
        g_ddrawVtbl[20] = reinterpret_cast<void*>(FakeSetCooperativeLevel);
    }

    Outcome Probe()
    {
        DWORD version = 0xDEAD, platform = 0xBEEF;
        ProbeDirectXVersion(kFake, &version, &platform);
        for (const auto& [module, count] : g_loads)
            EXPECT_EQ(count, 0) << "library " << module << " not freed exactly once per load";
        EXPECT_EQ(g_liveObjects, 0) << "COM references left unreleased";
        EXPECT_EQ(g_dinputCreateCalls, 0) << "DirectInputCreateA must never be called";
        return {version, platform};
    }

    std::string Debug() const
    {
        std::string all;
        for (const auto& s : g_debug)
            all += s;
        return all;
    }
};

}  // namespace

TEST_F(DirectXProbeTest, FullRuntimeOnNtReportsSeven)
{
    Outcome o = Probe();
    EXPECT_EQ(o.version, 0x700u);
    EXPECT_EQ(o.platform, 2u);
    EXPECT_EQ(Debug(), "");
}

TEST_F(DirectXProbeTest, Windows9xWithDirectX6)
{
    g_rt.platformId = VER_PLATFORM_WIN32_WINDOWS;
    g_rt.major = 4;
    g_rt.hasCreateEx = false;
    Outcome o = Probe();
    EXPECT_EQ(o.version, 0x600u);
    EXPECT_EQ(o.platform, 1u);
}

TEST_F(DirectXProbeTest, VersionQueryFailsOrOldNt)
{
    g_rt.versionQueryOk = false;
    Outcome o = Probe();
    EXPECT_EQ(o.version, 0u);
    EXPECT_EQ(o.platform, 0u);
    EXPECT_TRUE(g_loadedNames.empty());

    SetUp();
    g_rt.major = 3;
    o = Probe();
    EXPECT_EQ(o.version, 0u);
    EXPECT_EQ(o.platform, 2u);
    EXPECT_TRUE(g_loadedNames.empty()) << "NT 3.x loads no library";
}

TEST_F(DirectXProbeTest, Nt4DecidesByDirectInputAlone)
{
    g_rt.major = 4;
    Outcome o = Probe();
    EXPECT_EQ(o.version, 0x300u);
    EXPECT_EQ(o.platform, 2u);
    EXPECT_EQ(g_loadedNames, std::vector<std::string>{"DINPUT.DLL"});

    SetUp();
    g_rt.major = 4;
    g_rt.hasDirectInputCreate = false;
    o = Probe();
    EXPECT_EQ(o.version, 0x200u);
    EXPECT_EQ(Debug(), "Couldn't GetProcAddress DInputCreate\r\n");

    SetUp();
    g_rt.major = 4;
    g_rt.dinputPresent = false;
    o = Probe();
    EXPECT_EQ(o.version, 0x200u);
    EXPECT_EQ(Debug(), "Couldn't LoadLibrary DInput\r\n");
}

TEST_F(DirectXProbeTest, EachFailingStepGivesItsVersionPlatformAndDebugText)
{
    struct Row {
        const char* what;
        void (*breakIt)(Runtime&);
        DWORD version;
        DWORD platform;
        const char* debug;
    };
    const Row rows[] = {
        {"no DDRAW.DLL", [](Runtime& r) { r.ddrawPresent = false; }, 0, 0, ""},
        {"no DirectDrawCreate", [](Runtime& r) { r.hasDirectDrawCreate = false; }, 0, 0, "Couldn't LoadLibrary DDraw\r\n"},
        {"DirectDrawCreate fails", [](Runtime& r) { r.createResult = DDERR_NODIRECTDRAWHW; }, 0, 0, "Couldn't create DDraw\r\n"},
        {"no IDirectDraw2", [](Runtime& r) { r.dd2 = false; }, 0x100, 2, "Couldn't QI DDraw2\r\n"},
        {"no DINPUT.DLL", [](Runtime& r) { r.dinputPresent = false; }, 0x200, 2, "Couldn't LoadLibrary DInput\r\n"},
        {"no DirectInputCreateA", [](Runtime& r) { r.hasDirectInputCreate = false; }, 0x200, 2, "Couldn't GetProcAddress DInputCreate\r\n"},
        {"cooperative level refused", [](Runtime& r) { r.coopOk = false; }, 0, 2, "Couldn't Set coop level\r\n"},
        {"no primary surface", [](Runtime& r) { r.surfaceOk = false; }, 0, 2, "Couldn't CreateSurface\r\n"},
        {"no IDirectDrawSurface3", [](Runtime& r) { r.surface3 = false; }, 0x300, 2, ""},
        {"no IDirectDrawSurface4", [](Runtime& r) { r.surface4 = false; }, 0x500, 2, ""},
        {"no DirectDrawCreateEx", [](Runtime& r) { r.hasCreateEx = false; }, 0x600, 2, ""},
        {"DirectDrawCreateEx fails", [](Runtime& r) { r.createExOk = false; }, 0x600, 2, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        row.breakIt(g_rt);
        Outcome o = Probe();
        EXPECT_EQ(o.version, row.version);
        EXPECT_EQ(o.platform, row.platform);
        EXPECT_EQ(Debug(), row.debug);
    }
}

TEST_F(DirectXProbeTest, PlatformCodeSurvivesLaterFailuresOn9x)
{
    g_rt.platformId = VER_PLATFORM_WIN32_WINDOWS;
    g_rt.surfaceOk = false;
    Outcome o = Probe();
    EXPECT_EQ(o.version, 0u);
    EXPECT_EQ(o.platform, 1u);
}

TEST(DirectXProbeReal, WineOffersDirectX7)
{
    DWORD version = 0, platform = 0;
    ProbeDirectXVersion(&version, &platform);
    EXPECT_EQ(version, 0x700u);
    EXPECT_EQ(platform, 2u);
}

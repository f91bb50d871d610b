// The program folder and the update entry's source folder from it, the entry's refusals, the
// install menu's space decision with the free-space query steered, and the DirectX probe against
// a fake runtime: every step's failure, and balanced releases.
// This test program has no dialog resources, so the progress dialog can never be shown: every
// run must end as a failure.
#include "app/GsAppFrame.h"
#include "ui/GsMessageBox.h"
#include "update/DirectXProbe.h"
#include "update/SetupDialog.h"

#include <initguid.h>  // the interface identifiers from the platform headers, not the probe's copies

#include <ddraw.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

std::string g_boxes, g_modulePath;

int RecordBox(HWND, const char* text, const char* caption, UINT style)
{
    return g_boxes += std::string(caption) + "|" + text + "|" + std::to_string(style), IDOK;
}
DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    return DWORD(lstrlenA(lstrcpynA(buffer, g_modulePath.c_str(), int(size))));
}
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    return lstrcpynA(buffer, "E:\\", int(size)), 3;
}
ULONGLONG g_freeBytes = 0;
BOOL g_queryWorks = TRUE;
BOOL WINAPI FakeDiskFree(LPCSTR, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER totalFree)
{
    available->QuadPart = totalFree->QuadPart = g_freeBytes;
    return g_queryWorks;
}
struct ExposedSetup : CSetupDialog {
    ExposedSetup(const GsSystemPlatform& platform = GsRealSystemPlatform()) { m_system = CGsSystem(platform); }
    std::string SourceDir() const { return m_sourceDir; }
};

// The fake runtime fails each step named in g_runtime; "nt3" and "nt4" pick the system.
std::string g_runtime, g_trace;  // g_trace: libraries asked for and debug texts, in order
int g_loads[3];                  // per library (the fake module handle is its index): loads minus frees
const char* const kLibraries[] = {"", "DDRAW.DLL", "DINPUT.DLL"};
bool Fails(const std::string& step) { return (" " + g_runtime + " ").find(" " + step + " ") != std::string::npos; }

// One COM object per interface, counting its own references: IDirectDraw, its primary surface,
// IDirectDraw2, IDirectDrawSurface3, IDirectDrawSurface4, IDirectDraw7.
struct FakeObject { void* const* vtbl; int refs; } g_objects[6];
FakeObject* Hand(int index);

HRESULT STDMETHODCALLTYPE QueryInterface(FakeObject* self, REFIID iid, void** out)
{
    const struct { int from; const GUID& iid; const char* step; int to; } offers[] = {
        {0, IID_IDirectDraw2, "dd2", 2}, {1, IID_IDirectDrawSurface3, "surface3", 3},
        {1, IID_IDirectDrawSurface4, "surface4", 4}};
    *out = nullptr;
    for (const auto& o : offers)
        *out = self == &g_objects[o.from] && IsEqualGUID(iid, o.iid) && !Fails(o.step) ? Hand(o.to) : *out;
    return *out ? S_OK : E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE AddRef(FakeObject* self) { return ++self->refs; }
ULONG STDMETHODCALLTYPE Release(FakeObject* self)
{
    EXPECT_GT(g_loads[1], 0) << "released through an unloaded DDRAW.DLL";
    return --self->refs;
}
HRESULT STDMETHODCALLTYPE CreateSurface(FakeObject*, DDSURFACEDESC* desc, FakeObject** out, IUnknown* outer)
{
    EXPECT_EQ(desc->dwSize, sizeof(DDSURFACEDESC));  // 108 in 32-bit builds, 120 in 64-bit ones
    EXPECT_TRUE(desc->dwFlags == DDSD_CAPS && desc->ddsCaps.dwCaps == DDSCAPS_PRIMARYSURFACE && !outer);
    return Fails("surface") ? E_FAIL : (*out = Hand(1), S_OK);
}
HRESULT STDMETHODCALLTYPE SetCooperativeLevel(FakeObject*, HWND hwnd, DWORD flags)
{
    EXPECT_TRUE(!hwnd && flags == DDSCL_NORMAL);
    return Fails("coop") ? E_FAIL : S_OK;
}
// IUnknown, then IDirectDraw::CreateSurface in slot 6 and SetCooperativeLevel in slot 20.
void* const g_vtbl[21] = {(void*)QueryInterface, (void*)AddRef, (void*)Release, 0, 0, 0, (void*)CreateSurface, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, (void*)SetCooperativeLevel};
FakeObject* Hand(int index) { return g_objects[index].vtbl = g_vtbl, ++g_objects[index].refs, &g_objects[index]; }

HRESULT WINAPI DirectDrawCreate(GUID* device, FakeObject** out, IUnknown* outer)
{
    EXPECT_TRUE(!device && !outer);
    return Fails("create") ? DDERR_NODIRECTDRAWHW : (*out = Hand(0), S_OK);
}
HRESULT WINAPI DirectDrawCreateEx(GUID* device, FakeObject** out, REFIID iid, IUnknown* outer)
{
    EXPECT_TRUE(!device && !outer && IsEqualGUID(iid, IID_IDirectDraw7));
    return Fails("createEx") ? E_FAIL : (*out = Hand(5), S_OK);
}
HRESULT WINAPI DirectInputCreateA(HINSTANCE, DWORD, void**, IUnknown*) { return ADD_FAILURE() << "called", E_FAIL; }
BOOL WINAPI FakeVersion(OSVERSIONINFOA* info)
{
    EXPECT_EQ(info->dwOSVersionInfoSize, 148u);
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->dwMajorVersion = Fails("nt3") ? 3 : Fails("nt4") ? 4 : 6;
    return !Fails("version");
}
HMODULE WINAPI FakeLoad(LPCSTR name)
{
    g_trace += std::string(name) + " ";
    for (INT_PTR i = 1; i < 3; ++i)
        if (name == std::string(kLibraries[i]) && !Fails(name))
            return ++g_loads[i], reinterpret_cast<HMODULE>(i);
    return nullptr;
}
FARPROC WINAPI FakeLookUp(HMODULE module, LPCSTR name)
{
    const INT_PTR library = reinterpret_cast<INT_PTR>(module);
    EXPECT_GT(g_loads[library], 0) << "look-up in a library that is not loaded: " << name;
    const std::pair<std::string, void*> exports[] = {{"1DirectDrawCreate", (void*)DirectDrawCreate},
                                                     {"1DirectDrawCreateEx", (void*)DirectDrawCreateEx},
                                                     {"2DirectInputCreateA", (void*)DirectInputCreateA}};
    for (const auto& e : exports)
        if (e.first == std::to_string(library) + name && !Fails(name))
            return reinterpret_cast<FARPROC>(e.second);
    return nullptr;
}
BOOL WINAPI FakeFree(HMODULE module) { return --g_loads[reinterpret_cast<INT_PTR>(module)], TRUE; }
void WINAPI FakeDebug(LPCSTR text) { g_trace += text; }

}  // namespace

TEST(UpdateEntry, ComposesTheSourceFolderFromTheProgramFolderAndRefusesWhatCannotWork)
{
    ASSERT_EQ(GetACP(), 932u) << "run under code page 932 (tools/wine-run sets it)";
    const GsMessageBoxFn previousBox = SetGsMessageBoxHandler(RecordBox);
    const GsModuleQueries savedQueries = g_moduleQueries;
    g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory};
    CGsAppFrame frame;
    // 241 bytes of folder: with "\ZUNA\Graphic01.pak" a path of 260 bytes, one more than the
    // platform takes; one less fits.
    const std::string longDir = "C:\\" + std::string(238, 'd');
    const std::string cannotShow = "Setup error|インストール画面を表示できません|" + std::to_string(MB_ICONERROR | MB_OK);
    const struct { std::string module, source, box; } rows[] = {
        {"C:\\Games\\Disc\\update.exe", "C:\\Games\\Disc\\ZUNA", cannotShow},
        {"D:\\update.exe", "D:\\ZUNA", cannotShow},
        {"\\\\server\\share\\update.exe", "\\\\server\\share\\ZUNA", cannotShow},
        // No backslash after the first character: the current directory, here a drive root.
        {"update.exe", "E:\\ZUNA", cannotShow}, {"\\update.exe", "E:\\ZUNA", cannotShow}, {"", "E:\\ZUNA", cannotShow},
        // 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932: trail bytes, not separators.
        {"C:\\表\\update.exe", "C:\\表\\ZUNA", cannotShow}, {"C:\\ソ", "C:\\ZUNA", cannotShow},
        {"C:\\ゲーム\\アップデートソ.exe", "C:\\ゲーム\\ZUNA", cannotShow},
        {longDir + "\\u", longDir,
         "Setup error|プログラムのフォルダのパスが長すぎるため\r\nアップデートできません。\r\n"
         "短いパスのフォルダにコピーしてから実行してください。|" + std::to_string(MB_ICONWARNING | MB_OK)},
        {longDir.substr(0, 240) + "\\u", longDir.substr(0, 240) + "\\ZUNA", cannotShow},
        {"C:\\Disc\\update.exe", "", ""},  // no install record: silently nothing
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.module);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        if (!row.box.empty())
            RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Path", REG_SZ, "C:\\Game", 8);
        g_boxes.clear();
        g_modulePath = row.module;
        frame.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
        ExposedSetup setup;
        EXPECT_EQ(setup.RunUpdate(nullptr), 0);
        EXPECT_EQ(setup.SourceDir() + "|" + g_boxes, row.source + "|" + row.box);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    g_moduleQueries = savedQueries;
    SetGsMessageBoxHandler(previousBox);
}

TEST(SetupMenu, HasEnoughSpaceOnlyWithKnownRoomForTheInstallSize)
{
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.findDiskFreeEx = [] { return GsSystemPlatform::DiskFreeExFn(FakeDiskFree); };
    ExposedSetup setup(platform);  // TYPE-A: 1800 MB
    const ULONGLONG need = 1800ull * 1048576;
    for (auto [freeBytes, works, enough] :
         {std::tuple{need, TRUE, 1}, {need - 1, TRUE, 0}, {need << 12, TRUE, 1}, {need, FALSE, 0}}) {
        g_freeBytes = freeBytes;
        g_queryWorks = works;
        EXPECT_EQ(setup.HasEnoughSpace("D:\\Games\\KIRO\\Quillamet"), enough) << freeBytes << " " << works;
    }
}

TEST(DirectXProbe, EachRuntimeGivesItsVersionPlatformAndDebugTextAndReleasesEverything)
{
    const std::string dd = "DDRAW.DLL ", both = "DDRAW.DLL DINPUT.DLL ";
    const struct { const char* runtime; DWORD version, platform; std::string trace; } rows[] = {
        {"", 0x700, 2, both}, {"version", 0, 0, ""}, {"nt3", 0, 2, ""}, {"nt4", 0x300, 2, "DINPUT.DLL "},
        {"DDRAW.DLL", 0, 0, dd}, {"DirectDrawCreate", 0, 0, dd + "Couldn't LoadLibrary DDraw\r\n"},
        {"create", 0, 0, dd + "Couldn't create DDraw\r\n"}, {"dd2", 0x100, 2, dd + "Couldn't QI DDraw2\r\n"},
        {"DINPUT.DLL", 0x200, 2, both + "Couldn't LoadLibrary DInput\r\n"},
        {"DirectInputCreateA", 0x200, 2, both + "Couldn't GetProcAddress DInputCreate\r\n"},
        {"coop", 0, 2, both + "Couldn't Set coop level\r\n"}, {"surface", 0, 2, both + "Couldn't CreateSurface\r\n"},
        {"surface3", 0x300, 2, both}, {"surface4", 0x500, 2, both}, {"DirectDrawCreateEx", 0x600, 2, both},
        {"createEx", 0x600, 2, both},
    };
    for (const auto& row : rows) {
        g_runtime = row.runtime;
        g_trace.clear();
        DWORD version = 0xDEAD, platform = 0xBEEF;
        ProbeDirectXVersion({FakeVersion, FakeLoad, FakeLookUp, FakeFree, FakeDebug}, &version, &platform);
        EXPECT_EQ(std::to_string(version) + " " + std::to_string(platform) + " " + g_trace,
                  std::to_string(row.version) + " " + std::to_string(row.platform) + " " + row.trace) << row.runtime;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(g_loads[i], 0) << row.runtime << ": " << kLibraries[i] << " not freed exactly once per load";
        for (const FakeObject& o : g_objects)
            EXPECT_EQ(o.refs, 0) << row.runtime << ": interface " << &o - g_objects << " not released exactly once";
    }
}

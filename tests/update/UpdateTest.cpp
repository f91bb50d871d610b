// The program folder and the update entry's source folder from it, the entry's refusals, the
// install menu's space decision with the free-space query steered, and the DirectX probe against
// a fake runtime: every step's failure, and balanced releases; and the update's replace of the
// archives under power loss, modelled over its recorded platform calls.
#include "app/GsAppFrame.h"
#include "files/GsCopyRoutine.h"
#include "base/GsText.h"
#include "ui/GsMessageBox.h"
#include "update/DirectXProbe.h"
#include "update/SetupDialog.h"

#include <initguid.h>  // the interface identifiers from the platform headers, not the probe's copies

#include <ddraw.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace {

std::string g_boxes, g_modulePath;
int RecordBox(HWND, const wchar_t* text, const wchar_t* caption, UINT style)
{
    return g_boxes += GsTextToCp932(caption) + "|" + GsTextToCp932(text) + "|" + std::to_string(style), IDOK;
}
DWORD WINAPI FakeModuleFileName(HMODULE, LPSTR buffer, DWORD size)
{
    return DWORD(lstrlenA(lstrcpynA(buffer, g_modulePath.c_str(), int(size))));
}
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer) { return lstrcpynA(buffer, "E:\\", int(size)), 3; }
ULONGLONG g_freeBytes = 0;
BOOL g_queryWorks = TRUE;
BOOL WINAPI FakeDiskFree(LPCSTR, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER totalFree)
{
    return available->QuadPart = totalFree->QuadPart = g_freeBytes, g_queryWorks;
}
struct ExposedSetup : CSetupDialog {
    ExposedSetup(const GsSystemPlatform& platform = GsRealSystemPlatform()) { m_system = CGsSystem(platform); }
    std::string SourceDir() const { return m_sourceDir; }
};

// The update entry's seams: the program's path from g_modulePath, message boxes into g_boxes,
// and no record before or after.
class UpdateEntry : public testing::Test {
protected:
    UpdateEntry() { g_moduleQueries = {FakeModuleFileName, FakeCurrentDirectory}; }
    ~UpdateEntry() override
    {
        g_moduleQueries = savedQueries, SetGsMessageBoxHandler(previousBox);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    }
    // A fresh record naming `game`; the frame learns the program's path `module`.
    void Arrange(const std::string& module, const char* game)
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        if (game != nullptr)
            RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Path", REG_SZ, game, DWORD(strlen(game)));
        g_boxes.clear(), g_modulePath = module;
        frame.InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
    }
    const GsModuleQueries savedQueries = g_moduleQueries;
    const GsMessageBoxFn previousBox = SetGsMessageBoxHandler(RecordBox);
    CGsAppFrame frame;
};
using UpdateReplace = UpdateEntry;

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
        if (name == std::string(kLibraries[i]) && !Fails(name)) return ++g_loads[i], reinterpret_cast<HMODULE>(i);
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
        if (e.first == std::to_string(library) + name && !Fails(name)) return reinterpret_cast<FARPROC>(e.second);
    return nullptr;
}
BOOL WINAPI FakeFree(HMODULE module) { return --g_loads[reinterpret_cast<INT_PTR>(module)], TRUE; }
void WINAPI FakeDebug(LPCSTR text) { g_trace += text; }

}  // namespace

TEST_F(UpdateEntry, ComposesTheSourceFolderFromTheProgramFolderAndRefusesWhatCannotWork)
{
    // 241 bytes of folder: with "\ZUNA\Graphic01.pak" a path of 260 bytes, one more than the
    // platform takes; one less fits.
    const std::string longDir = "C:\\" + std::string(238, 'd');
    // No sources there: the progress dialog finds the first one missing.
    const std::string cannotShow = "file open error|Scr01.pak|" + std::to_string(MB_ICONERROR | MB_OK);
    const struct { std::string module, source, box; } rows[] = {
        {"C:\\Games\\Disc\\update.exe", "C:\\Games\\Disc\\ZUNA", cannotShow}, {"D:\\update.exe", "D:\\ZUNA", cannotShow},
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
        Arrange(row.module, row.box.empty() ? nullptr : "C:\\Game");
        ExposedSetup setup;
        EXPECT_EQ(setup.RunUpdate(nullptr), 0) << row.module;
        EXPECT_EQ(setup.SourceDir() + "|" + g_boxes, row.source + "|" + row.box) << row.module;
    }
}

TEST(SetupMenu, HasEnoughSpaceOnlyWithKnownRoomForTheInstallSize)
{
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.findDiskFreeEx = [] { return GsSystemPlatform::DiskFreeExFn(FakeDiskFree); };
    ExposedSetup setup(platform);  // TYPE-A: 1800 MB
    const ULONGLONG need = 1800ull * 1048576;
    for (auto [freeBytes, works, enough] :
         {std::tuple{need, TRUE, 1}, {need - 1, TRUE, 0}, {need << 12, TRUE, 1}, {need, FALSE, 0}}) {
        g_freeBytes = freeBytes, g_queryWorks = works;
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
        g_runtime = row.runtime, g_trace.clear();
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

namespace {

// The update's platform calls in order: "W name" the copy into the temporary file, "F file" a flush,
// "R name" a rename with write-through ("R~ name" without), "E" "Ext" found with bit 2 set.
std::vector<std::string> g_calls;
std::string g_temporary;  // the name the copies are written under
GsCopyFileFn g_copy;
void NoteExt()
{
    DWORD ext = 0, size = 4;
    RegGetValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Ext", RRF_RT_REG_DWORD, nullptr, &ext, &size);
    if ((ext & 2) != 0 && std::find(g_calls.begin(), g_calls.end(), "E") == g_calls.end()) g_calls.push_back("E");
}
std::string NameOf(LPCSTR path) { return std::filesystem::path(path).filename().string(); }
BOOL WINAPI RecordCopy(LPCSTR from, LPCSTR to, LPPROGRESS_ROUTINE progress, LPVOID data, LPBOOL cancel, DWORD flags)
{
    g_temporary = NameOf(to);
    return NoteExt(), g_calls.push_back("W " + NameOf(from)), g_copy(from, to, progress, data, cancel, flags);
}
BOOL WINAPI RecordFlush(HANDLE file)
{
    char path[MAX_PATH * 2] = {};
    GetFinalPathNameByHandleA(file, path, sizeof(path), 0);
    return NoteExt(), g_calls.push_back("F " + NameOf(path)), FlushFileBuffers(file);
}
BOOL WINAPI RecordMove(LPCSTR from, LPCSTR to, DWORD flags)
{
    NoteExt();
    const BOOL moved = MoveFileExA(from, to, flags);
    if (moved)  // a refused rename changes nothing
        g_calls.push_back(((flags & MOVEFILE_WRITE_THROUGH) ? "R " : "R~ ") + NameOf(to));
    return moved;
}

// A cut after `cut` calls keeps what was forced to the disk: the temporary file's data once it
// was flushed (a flush of any other file does not count), renames made with
// write-through. A rename without it, and the registry's "Ext", may or may not have landed, in
// any combination (`lost` picks). Renamed data that was never flushed may be anything. The
// first rule broken, or "" and the archives that are new in `archives`.
std::string PowerCut(size_t cut, unsigned lost, std::string& archives)
{
    std::map<std::string, std::string> archive;  // "new", or "garbage"; missing: old
    std::string temporary;                       // what the temporary file holds for sure
    bool ext = false;
    unsigned lossy = 0;
    for (size_t i = 0; i < cut; ++i) {
        const std::string& c = g_calls[i];
        const bool landed = (c[0] != 'E' && c.rfind("R~", 0) != 0) || !(lost >> lossy++ & 1);
        if (c[0] == 'W') temporary = "unflushed " + c.substr(2);
        else if (c == "F " + g_temporary && temporary.rfind("unflushed ", 0) == 0) temporary = temporary.substr(10);
        else if (c[0] == 'R' && landed)
            archive[c.substr(c.find(' ') + 1)] = temporary == c.substr(c.find(' ') + 1) ? "new" : "garbage";
        else if (c == "E") ext = landed;
    }
    archives.clear();
    for (const auto& [name, state] : archive) {
        if (state != "new") return name + " is " + state;
        archives += name + " ";
    }
    return ext && archive.size() != 3 ? "Ext claims " + std::to_string(archive.size()) + " new archives" : "";
}

}  // namespace

// The update of three archives: under every cut, each archive is old or new and "Ext" claims
// only all three new; once the run has returned, nothing it did can be lost.
TEST_F(UpdateReplace, EveryPowerCutLeavesOldOrNewArchivesAndAnHonestExt)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "gs-replace";
    g_copy = SetGsCopyFileRoutine(RecordCopy);
    const GsCommitCalls savedCalls = g_commitCalls;
    g_commitCalls = {RecordFlush, RecordMove};
    fs::remove_all(root);
    fs::create_directories(root / "disc" / "ZUNA");
    fs::create_directories(root / "game");
    for (const char* name : {"Scr01.pak", "Graphic01.pak", "Voice01.pak"}) {
        std::ofstream(root / "disc" / "ZUNA" / name) << std::string(100, 'n');
        std::ofstream(root / "game" / name) << "old";
    }
    const std::string game = (root / "game").string();
    const DWORD ext = 1;
    Arrange((root / "disc" / "update.exe").string(), game.c_str());
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Ext", REG_DWORD, &ext, 4);
    g_calls.clear();
    EXPECT_EQ(ExposedSetup().RunUpdate(nullptr), 1);
    NoteExt();
    std::string calls, whole, archives;
    for (const std::string& c : g_calls) calls += c + ";";
    SCOPED_TRACE(calls);
    ASSERT_EQ(std::count(g_calls.begin(), g_calls.end(), "E"), 1);
    PowerCut(g_calls.size(), 0, whole);
    for (size_t cut = 0; cut <= g_calls.size(); ++cut) {
        for (unsigned lost = 0; lost < 16; ++lost) {
            ASSERT_EQ("", PowerCut(cut, lost, archives)) << "cut after " << cut << " calls, lost " << lost;
            ASSERT_TRUE(cut < g_calls.size() || archives == whole) << "returned, then lost " << lost << ": " << archives;
        }
    }
    EXPECT_EQ(whole, "Graphic01.pak Scr01.pak Voice01.pak ");
    fs::remove_all(root);
    g_commitCalls = savedCalls;
    SetGsCopyFileRoutine(g_copy);
}

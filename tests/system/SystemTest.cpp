// The system services under Wine: directory walker, name and case helpers, folder trees, drives,
// shell folders, version text, the common dialogs driven from a second thread, COM and shortcuts.
// The test that needs extra Wine drives and a symbolic link is skipped unless run-tests.sh runs it.
#include "base/ScopedWin.h"
#include "files/GsDirWalker.h"
#include "store/GsRegKey.h"
#include "system/GsCom.h"
#include "system/GsSystem.h"

#include <gtest/gtest.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

using Strings = std::vector<std::string>;

namespace {

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir()
    {
        static int count = 0;
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_path = temp + ("gssys-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count));
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~ScratchDir() { std::error_code ignored; std::filesystem::remove_all(m_path, ignored); }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};
void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
std::string Read(const std::string& path)
{
    std::ostringstream bytes;
    return bytes << std::ifstream(path, std::ios::binary).rdbuf(), bytes.str();
}
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every file of a deep search relative to `root`, in order; at most 100 so a cycle cannot hang.
Strings Deep(CGsDirWalker& w, const std::string& root)
{
    Strings out;
    for (std::string name, folder, path; out.size() < 100 && w.NextFileDeep(name, folder, path);) {
        EXPECT_EQ(folder + "\\" + name, path);
        out.push_back(path.substr(root.size() + 1));
    }
    return out;
}
Strings Sorted(Strings v) { return std::sort(v.begin(), v.end()), v; }

class Walker : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* d : {"表", "表\\ソ", "sub.txt", "empty", "chain", "chain\\x", "chain\\x\\y"})
            CreateDirectoryA((dir / d).c_str(), nullptr);
        for (const char* f : {"a.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat", "sub.txt\\d.txt", "sub.txt\\e.txt"})
            Write(dir / f, f);
    }
    ScratchDir dir;
};

TEST_F(Walker, FlatAndDeepResultsFollowFolderAndPatterns)
{
    struct Row { const char *folder, *ext; Strings flat, deep; } rows[] = {  // results sorted
        {"\\", "*", {"a.txt", "z.dat"}, {"a.txt", "sub.txt\\d.txt", "sub.txt\\e.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat"}},
        {"", "txt", {"a.txt"}, {"a.txt", "sub.txt\\d.txt", "sub.txt\\e.txt"}},          // the pattern picks folders too
        {"\\表", "*", {"表\\b.txt"}, {"表\\b.txt", "表\\ソ\\c.dat"}},  // last byte 0x5C is no backslash
        {"\\表\\ソ\\", "*", {"表\\ソ\\c.dat"}, {"表\\ソ\\c.dat"}},
        {"\\chain", "*", {}, {}},
        {"\\missing", "*", {}, {}}};
    for (const Row& row : rows) {
        CGsDirWalker w;
        w.SetFolder((dir.Path() + row.folder).c_str());
        w.SetExtPattern(row.ext);
        Strings flat;
        for (std::string name, path; w.NextFile(name, path);)
            flat.push_back(path.substr(dir.Path().size() + 1));
        Strings deep = Deep(w, dir.Path());
        EXPECT_EQ(row.flat, Sorted(flat)) << row.folder;
        EXPECT_EQ(row.deep, Sorted(deep)) << row.folder;
        EXPECT_EQ(deep, Deep(w, dir.Path())) << "a search that has ended starts again";
        auto below = [&](const std::string& p) { return p.rfind("表\\", 0) == 0; };  // depth first:
        auto n = std::count_if(deep.begin(), deep.end(), below);                   // one run below 表
        EXPECT_TRUE(!n || std::find_if(deep.rbegin(), deep.rend(), below).base() - std::find_if(deep.begin(), deep.end(), below) == n);
    }
}

TEST_F(Walker, CloseMidDeepSearchStartsOverAndBufferFormsSkipWhatDoesNotFit)
{
    CGsDirWalker w;
    w.SetFolder(dir.Path().c_str());
    const Strings all = Deep(w, dir.Path());
    std::string name, folder, path;
    for (int round = 0; round < 2; ++round) {  // Close, then Reset, between sub.txt's two files
        while (w.NextFileDeep(name, folder, path) && folder != dir / "sub.txt") {
        }
        round == 0 ? w.Close() : w.Reset();
        if (round == 1)  // a kept child would go on with sub.txt after this folder's first file
            w.SetFolder((dir / "表\\ソ").c_str());
        EXPECT_EQ(round == 0 ? all : Strings{"表\\ソ\\c.dat"}, Deep(w, dir.Path())) << round;
    }

    // A name of 250 bytes fits a 260-byte buffer; with the scratch folder in front it does not.
    CreateDirectoryA((dir / "long").c_str(), nullptr);
    Write(dir / "long\\s.txt", "s");
    std::ofstream(std::filesystem::path(dir / "long") / std::string(250, 'n')) << "n";
    char nameBuf[MAX_PATH + 1], folderBuf[MAX_PATH + 1], pathBuf[MAX_PATH + 1];
    nameBuf[MAX_PATH] = folderBuf[MAX_PATH] = pathBuf[MAX_PATH] = '#';
    w.SetFolder((dir / "long").c_str());
    EXPECT_TRUE(w.NextFileBuf(nameBuf, pathBuf) && !w.NextFileBuf(nameBuf, pathBuf));
    EXPECT_STREQ("s.txt", nameBuf);
    EXPECT_TRUE(w.NextFile(name, path) && w.NextFile(name, path)) << "the string form has both";
    w.Reset();
    w.SetFolder(dir.Path().c_str());
    size_t count = 0;
    while (w.NextFileDeepBuf(nameBuf, folderBuf, nullptr))
        count += std::string(folderBuf).rfind(dir.Path(), 0) == 0;
    EXPECT_EQ(all.size() + 1, count);
    EXPECT_EQ("###", (std::string{nameBuf[MAX_PATH], folderBuf[MAX_PATH], pathBuf[MAX_PATH]}));
}

TEST(SystemNames, PartsAndCaseStepOverDoubleByteCharactersAndRefuseWhatDoesNotFit)
{
    const std::string tooLong(300, 'x');
    struct Row { std::string path, name, folder; int nameOk, folderOk; } rows[] = {
        {"C:\\表\\aソ", "aソ", "C:\\表", 1, 1}, {"plain", "plain", "", 1, 1}, {"C:\\d\\", "", "C:\\d", 1, 1},
        {"C:\\" + tooLong, "", "C:", 0, 1}, {tooLong + "\\a", "a", "", 1, 0}};
    CGsSystem sys;
    for (const Row& row : rows) {
        char name[MAX_PATH + 1], folder[MAX_PATH + 1];
        name[MAX_PATH] = folder[MAX_PATH] = '#';
        EXPECT_EQ(row.nameOk * 10 + row.folderOk,
                  sys.GetFileNamePart(row.path.c_str(), name) * 10 + sys.GetFolderPart(row.path.c_str(), folder));
        EXPECT_EQ(row.name + "|" + row.folder + "|##",
                  std::string(name) + "|" + folder + "|" + name[MAX_PATH] + folder[MAX_PATH]);
    }
    char upper[] = "aヂbソ\xB1z", lower[] = "AアBｱZ";  // trail bytes 'a' and 'A' stay
    sys.ToUpperDbcs(upper);
    sys.ToLowerDbcs(lower);
    EXPECT_EQ("AヂBソ\xB1Z|aアbｱz", std::string(upper) + "|" + lower);
}

TEST(SystemFolders, CreateFolderTreeMakesEachLevelOnceAndRefusesOverLongPaths)
{
    ScratchDir dir;
    struct Row { std::string path; int result; std::string made; } rows[] = {  // made: exists afterwards
        {dir / "a\\表\\ソ", 1, dir / "a\\表\\ソ"}, {dir / "a\\表\\ソ", 1, dir / "a\\表\\ソ"},
        {dir / "b\\c\\", 1, dir / "b\\c"}, {"C:\\", 1, "C:\\"}, {dir / ("long\\" + std::string(260, 'x')), 0, dir.Path()}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.result, CGsSystem().CreateFolderTree(row.path.c_str())) << row.path;
        EXPECT_TRUE(Exists(row.made)) << row.path;
    }
    EXPECT_FALSE(Exists(dir / "long"));
    for (const char* folder : {"a", "a\\表"}) {  // no level was cut inside 表 or ソ
        WIN32_FIND_DATAA entry;
        ScopedFind search(FindFirstFileA((dir / folder + "\\*").c_str(), &entry));
        int count = 0;
        for (BOOL more = search.IsValid(); more; more = FindNextFileA(search.Get(), &entry))
            count += entry.cFileName[0] != '.';
        EXPECT_EQ(1, count) << folder;
    }
}

// Stand-ins for the version record and the disk-space calls.
OSVERSIONINFOA g_version;
std::string g_rootAsked;
BOOL WINAPI FakeVersion(OSVERSIONINFOA* info) { return *info = g_version, TRUE; }
BOOL WINAPI FakeDiskFreeEx(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER totalFree)
{
    return g_rootAsked = root, available->QuadPart = 1, totalFree->QuadPart = 0x140000003ULL, TRUE;
}
BOOL WINAPI FakeDiskFree(LPCSTR root, LPDWORD sectors, LPDWORD bytes, LPDWORD clusters, LPDWORD)
{
    return g_rootAsked = root, *sectors = 8, *bytes = 512, *clusters = 0x300001, TRUE;
}
GsSystemPlatform::DiskFreeExFn WithEx() { return FakeDiskFreeEx; }
GsSystemPlatform::DiskFreeExFn WithoutEx() { return nullptr; }

TEST(SystemPlatform, VersionTextFollowsItsTable)
{
    struct Row { DWORD platform, major, minor; const char* text; } rows[] = {
        {1, 4, 0, "Windows 95 4.0 SP"}, {1, 4, 90, "Windows Me 4.90 SP"}, {1, 4, 10, "Windows 98 4.10 SP"},
        {2, 6, 0, "Windows Vista SP (NT:6.0)"}, {2, 6, 1, "Windows 7 SP (NT:6.1)"}, {2, 6, 2, "Windows NT 6.x SP (NT:6.2)"},
        {2, 5, 2, "Windows Server 2003 SP (NT:5.2)"}, {2, 5, 1, "Windows XP SP (NT:5.1)"},
        {2, 5, 0, "Windows 2000 SP (NT:5.0)"}, {2, 4, 0, "Windows NT 4.0 SP"}, {0, 3, 1, "Unknown OS Version"}};
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.getVersionEx = FakeVersion;
    CGsSystem sys(platform);
    for (const Row& row : rows) {
        g_version = {sizeof g_version, row.major, row.minor, 0, row.platform, "SP"};
        std::string text = "old";
        DWORD major = 0, minor = 0;
        EXPECT_EQ(1, sys.GetOsVersionText(text));
        EXPECT_EQ(row.text, text);
        EXPECT_EQ(row.platform == 2, sys.GetOsVersion(&major, nullptr) + sys.GetOsVersion(nullptr, &minor) == 2);
        EXPECT_EQ(row.major * 100 + row.minor, major * 100 + minor);
    }
}

TEST(SystemPlatform, DiskFreeBytesCutsTheRootAndKeepsSixtyFourBits)
{
    struct Row { GsSystemPlatform::DiskFreeExFn (*find)(); const char *path, *root; ULONGLONG bytes; } rows[] = {
        {WithEx, "D:\\Games\\X", "D:\\", 0x140000003ULL},  // the volume's figure, not the caller's
        {WithEx, "C:", "C:", 0x140000003ULL}, {WithoutEx, "表\\x\\y", "表\\", 8ULL * 512 * 0x300001}};
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.getDiskFreeSpace = FakeDiskFree;
    for (const Row& row : rows) {
        platform.findDiskFreeEx = row.find;
        ULONGLONG bytes = 0;
        EXPECT_EQ(1, CGsSystem(platform).GetDiskFreeBytes(row.path, &bytes));
        EXPECT_EQ(row.root + std::to_string(row.bytes), g_rootAsked + std::to_string(bytes));
    }
}

TEST(SystemDrives, TypesCdSearchFreeSpaceAndCyclesOnExtraWineDrives)
{
    if (getenv("GS_SYS_DRIVES") == nullptr)  // R: cdrom, S: network, T: tmpfs; a linked cycle
        GTEST_SKIP() << "needs run-tests.sh";
    CGsSystem sys;
    EXPECT_EQ(100, sys.IsFixedDrive("C:\\windows") * 100 + sys.IsFixedDrive("R:\\DATA") * 10 + sys.IsFixedDrive("S:\\"));
    struct Row { const char *first, *second; int found; } rows[] = {
        {"DISC.ID", "DATA\\A.PAK", 1}, {"DISC.ID", nullptr, 1}, {"DISC.ID", "NONE", 0}};
    for (const Row& row : rows) {
        SetErrorMode(SEM_NOGPFAULTERRORBOX);
        std::string root = "old";
        EXPECT_EQ(row.found, sys.FindCdDriveWithFiles(row.first, row.second, root));
        EXPECT_EQ(row.found ? "R:\\" : "", root);
        EXPECT_EQ(UINT(SEM_NOGPFAULTERRORBOX), GetErrorMode());
    }
    ULONGLONG bytes = 0;
    const char* expected = getenv("GS_SYS_SMALL_FREE");
    EXPECT_TRUE(!expected || (sys.GetDiskFreeBytes("T:\\any\\folder", &bytes) && std::stoull(expected) == bytes));
    CGsDirWalker w;  // sub\back links to the walked folder
    w.SetFolder(getenv("GS_SYS_CYCLE"));
    EXPECT_EQ((Strings{"f.txt", "sub\\g.txt"}), Sorted(Deep(w, getenv("GS_SYS_CYCLE"))));
}

TEST(SystemFolders, ShellFoldersComeFromThePrefixAndStayInsideIt)
{
    CGsSystem sys;
    char desktop[MAX_PATH] = {}, documents[MAX_PATH] = {}, registry[MAX_PATH] = {};
    DWORD size = sizeof registry;
    RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                 "Desktop", RRF_RT_REG_SZ, nullptr, registry, &size);
    EXPECT_TRUE(sys.GetDesktopFolder(desktop, sizeof desktop) && sys.GetDocumentsFolder(documents, MAX_PATH));
    EXPECT_STREQ(registry, desktop);
    // A fresh Wine prefix links these to the real home; tools/wine-prefix makes them real folders.
    for (const char* folder : {desktop, documents}) {
        EXPECT_EQ(0u, GetFileAttributesA(folder) & FILE_ATTRIBUTE_REPARSE_POINT) << folder;
        ScopedFile handle(CreateFileA(folder, 0, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        char final[MAX_PATH] = {};
        GetFinalPathNameByHandleA(handle.Get(), final, MAX_PATH, 0);
        EXPECT_EQ(0, lstrcmpiA(final, (std::string("\\\\?\\") + folder).c_str())) << final;
    }
}

TEST(SystemFolders, ProgramFilesFromTheRegistryElseTheApplicationDataFolder)
{
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion";
    char saved[MAX_PATH] = {}, appData[MAX_PATH] = {};
    DWORD size = sizeof saved, number = 7;
    RegGetValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", RRF_RT_REG_SZ, nullptr, saved, &size);
    SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE);
    for (int variant = 0; variant < 3; ++variant) {  // as installed, not a string, missing
        if (variant > 0)  // the second round replaces the value, the third deletes it
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", REG_DWORD, &number, sizeof number);
        if (variant > 1)
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir");
        char folder[MAX_PATH] = {};
        EXPECT_EQ(1, CGsSystem().GetProgramFilesFolder(folder, sizeof folder));
        EXPECT_STREQ(variant == 0 ? saved : appData, folder) << variant;
    }
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", REG_SZ, saved, DWORD(strlen(saved) + 1));
    EXPECT_NE("", std::string(saved));
}

template <typename T>
bool Is(IGsInterface* o) { return dynamic_cast<T*>(o) != nullptr; }

TEST(SystemFactory, CreatesEachServiceByIdentifierAndCountsComInitialisation)
{
    struct Row { const wchar_t* id; bool (*isRightType)(IGsInterface*); } rows[] = {
        {L"{260CF829-9ABC-46AD-9568-F5D350DA6F8C}", Is<CGsRegKey>}, {L"{06649AC0-7CA4-4EF8-80C4-BCA5352C75B8}", Is<CGsCom>},
        {L"{A2A95A9A-6C74-4AED-8F14-5C4DAFDB6340}", Is<CGsDirWalker>}, {L"{A2A95A9A-6C74-4AED-8F14-5C4DAFDB6341}", nullptr}};
    for (const Row& row : rows) {
        GUID id;
        CLSIDFromString(row.id, &id);
        IGsInterface* object = reinterpret_cast<IGsInterface*>(1);
        EXPECT_EQ(row.isRightType ? S_OK : E_FAIL, CGsSystem().CreateInstance(id, &object));
        EXPECT_TRUE(row.isRightType ? row.isRightType(object) : object == nullptr);
        if (object)
            object->Release();
    }
    auto initialised = [] { HRESULT hr = CoInitialize(nullptr); return CoUninitialize(), hr == S_FALSE; };
    IGsInterface *first, *second;
    CGsSystem().CreateInstance(CLSID_GsCom, &first), CGsSystem().CreateInstance(CLSID_GsCom, &second);
    EXPECT_EQ(2, g_comInitCount);
    first->Release();
    EXPECT_TRUE(initialised());
    second->Release();
    EXPECT_FALSE(initialised());
    EXPECT_EQ(0, g_comInitCount);
}

TEST(Com, ShortcutsCarryTheirPropertiesBackThroughTheShellLink)
{
    ScratchDir dir;
    const std::string target = dir / "game.exe";
    Write(target, "MZ");
    IGsInterface* made = nullptr;
    CGsSystem().CreateInstance(CLSID_GsCom, &made);
    CGsCom& com = *static_cast<CGsCom*>(made);
    struct Link { std::string file, args, description, workingDir, icon; int index, hotkey, show; } rows[] = {
        {"plain.lnk", "", "", "", "", 0, 0, 0},
        {"full.lnk", "-w 表", "説明ソ", dir.Path(), target, 2, MAKEWORD('Q', HOTKEYF_CONTROL), SW_SHOWMINNOACTIVE}};
    for (const Link& want : rows) {
        com.SetArguments("stale");
        com.Reset();
        if (!want.args.empty()) {
            com.SetArguments(want.args.c_str()), com.SetDescription(want.description.c_str());
            com.SetWorkingDirectory(want.workingDir.c_str()), com.SetIconLocation(want.icon.c_str(), want.index);
            com.SetHotkey(WORD(want.hotkey)), com.SetShowCmd(want.show);
        }
        ASSERT_EQ(1, com.CreateShortcut((dir / want.file).c_str(), target.c_str()));
        IShellLinkA* link = nullptr; IPersistFile* persist = nullptr;
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link);
        link->QueryInterface(IID_IPersistFile, (void**)&persist);
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, (dir / want.file).c_str(), -1, wide, MAX_PATH);
        ASSERT_EQ(S_OK, persist->Load(wide, STGM_READ));
        char text[5][MAX_PATH] = {}; int index = 0; WORD hotkey = 0;
        link->GetPath(text[0], MAX_PATH, nullptr, 0), link->GetArguments(text[1], MAX_PATH);
        link->GetDescription(text[2], MAX_PATH), link->GetWorkingDirectory(text[3], MAX_PATH);
        link->GetIconLocation(text[4], MAX_PATH, &index), link->GetHotkey(&hotkey);
        persist->Release(), link->Release();
        int show = static_cast<unsigned char>(Read(dir / want.file).at(0x3C));  // Wine reads back 1
        EXPECT_EQ((Strings{target, want.args, want.description, want.workingDir, want.icon}),
                  (Strings{text[0], text[1], text[2], text[3], text[4]}));
        EXPECT_EQ((std::vector<int>{want.index, want.hotkey, want.show}), (std::vector<int>{index, hotkey, show}));
    }
    EXPECT_EQ(0, com.CreateShortcut((dir.Path() + "\\" + std::string(260, 'l')).c_str(), target.c_str()));
    made->Release();
}

BOOL CALLBACK FindDialogBox(HWND w, LPARAM out)
{
    char name[16] = {};
    bool box = GetClassNameA(w, name, sizeof name) && !strcmp(name, "#32770") && IsWindowVisible(w);
    return box ? (*reinterpret_cast<HWND*>(out) = w, FALSE) : TRUE;
}
// Runs `act` on the first dialog box the calling thread shows, from a second thread.
std::thread DriveDialog(std::function<void(HWND)> act)
{
    return std::thread([ui = GetCurrentThreadId(), act] {
        HWND found = nullptr;
        for (int tries = 0; tries < 200 && !found; ++tries, Sleep(50))
            EnumThreadWindows(ui, FindDialogBox, reinterpret_cast<LPARAM>(&found));
        Sleep(1000);  // let the dialog finish its own start-up, also on a busy machine
        if (found)
            act(found);
    });
}

TEST(SystemDialogs, FileDialogsHandBackTheChosenFileAndItsFolder)
{
    ScratchDir dir;
    const std::string folder = dir / "表";
    CreateDirectoryA(folder.c_str(), nullptr);
    Write(folder + "\\aソ", "x");
    struct Row { bool save; const char* typed; } rows[] = {{false, "aソ"}, {true, "新ソ"}, {false, nullptr}, {true, nullptr}};
    for (const Row& row : rows) {  // typed null: cancel
        char file[MAX_PATH] = {}, title[MAX_PATH] = {}, start[MAX_PATH] = {};
        lstrcpyA(start, folder.c_str());
        std::thread driver = DriveDialog([&](HWND dialog) {
            SetDlgItemTextA(dialog, cmb13, row.typed);
            SetDlgItemTextA(dialog, edt1, row.typed);
            PostMessageA(dialog, WM_COMMAND, row.typed ? IDOK : IDCANCEL, 0);
        });
        CGsSystem sys;
        int result = row.save ? sys.ChooseSaveFile(nullptr, file, title, start, "All\0*.*\0", nullptr)
                              : sys.ChooseOpenFile(nullptr, file, title, start, "All\0*.*\0", nullptr);
        driver.join();
        EXPECT_EQ(row.typed ? 1 : 0, result) << row.save;
        std::string expected = row.typed ? folder + "\\" + row.typed + "|" + row.typed + "|" + folder : "";
        EXPECT_TRUE(!row.typed || expected == std::string(file) + "|" + title + "|" + start) << file << "|" << start;
    }
}

TEST(SystemDialogs, FolderBrowserOpensOnTheInitialFolder)
{
    ScratchDir dir;
    // Wine's browser cannot select a non-ASCII initial folder, nor one made by this process
    // that the shell has not been told of.
    const std::string folder = dir / "start";
    CreateDirectoryA(folder.c_str(), nullptr);
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, folder.c_str(), nullptr);
    for (int button : {IDOK, IDCANCEL}) {
        char chosen[MAX_PATH] = {};
        std::thread driver = DriveDialog([button](HWND dialog) { PostMessageA(dialog, WM_COMMAND, button, 0); });
        EXPECT_EQ(button == IDOK ? 1 : 0, CGsSystem().BrowseForFolder(nullptr, chosen, "title", folder.c_str()));
        driver.join();
        EXPECT_EQ(button == IDOK ? folder : "", chosen);
    }
}

}  // namespace

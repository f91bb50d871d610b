// The system services under Wine: directory walker, name and case helpers, folder trees, drives,
// shell folders, version text, the common dialogs driven from a second thread, COM and shortcuts.
// The test that needs extra Wine drives, a symbolic link and a private prefix is skipped unless
// run-tests.sh runs it.
#include "base/ScopedWin.h"
#include "files/GsDirWalker.h"
#include "store/GsRegKey.h"
#include "system/GsCom.h"
#include "system/GsSystem.h"

#include <gtest/gtest.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

using Strings = std::vector<std::string>;

namespace {

// Every file of a deep search relative to `root`, sorted; at most 100 so a cycle cannot hang.
Strings Deep(CGsDirWalker& w, const std::string& root)
{
    Strings out;
    for (std::string name, folder, path; out.size() < 100 && w.NextFileDeep(name, folder, path);) {
        EXPECT_EQ(folder + "\\" + name, path);
        out.push_back(path.substr(root.size() + 1));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Each test gets a fresh scratch folder, removed with everything in it.
class System : public ::testing::Test {
protected:
    System() { CreateDirectoryA(dir.c_str(), nullptr); }
    ~System() override { std::filesystem::remove_all(dir, ignored); }
    std::string At(const std::string& name) const { return dir + "\\" + name; }
    void Make(const Strings& folders, const Strings& files) const
    {
        for (const std::string& folder : folders)
            CreateDirectoryA(At(folder).c_str(), nullptr);
        for (const std::string& file : files)
            std::ofstream(At(file), std::ios::binary) << file;
    }
    std::error_code ignored;
    const std::string dir =
        (std::filesystem::temp_directory_path() / "gssys-").string() + std::to_string(GetCurrentProcessId());
};

TEST_F(System, WalkerFollowsFolderAndPatternStartsOverAndSkipsWhatDoesNotFit)
{
    Make({"表", "表\\ソ", "sub.txt", "chain", "chain\\x", "chain\\x\\y"},
         {"a.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat", "sub.txt\\d.txt", "sub.txt\\e.txt"});
    const Strings all = {"a.txt", "sub.txt\\d.txt", "sub.txt\\e.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat"};
    struct Row { const char *folder, *ext; Strings flat, deep; } rows[] = {
        {"\\", "*", {"a.txt", "z.dat"}, all},
        {"", "txt", {"a.txt"}, {"a.txt", "sub.txt\\d.txt", "sub.txt\\e.txt"}},  // the pattern picks folders too
        {"\\表", "*", {"表\\b.txt"}, {"表\\b.txt", "表\\ソ\\c.dat"}},            // last byte 0x5C is no backslash
        {"\\表\\ソ\\", "*", {"表\\ソ\\c.dat"}, {"表\\ソ\\c.dat"}},
        {"\\chain", "*", {}, {}},
        {"\\missing", "*", {}, {}}};
    CGsDirWalker w;
    for (const Row& row : rows) {
        w.SetFolder((dir + row.folder).c_str());
        w.SetExtPattern(row.ext);
        Strings flat;
        for (std::string name, path; w.NextFile(name, path);)
            flat.push_back(path.substr(dir.size() + 1));
        std::sort(flat.begin(), flat.end());
        EXPECT_EQ(row.flat, flat) << row.folder;
        EXPECT_EQ(row.deep, Deep(w, dir)) << row.folder;
        EXPECT_EQ(row.deep, Deep(w, dir)) << "a search that has ended starts again";
    }
    std::string name, folder, path;
    w.SetFolder(dir.c_str());
    for (int round = 0; round < 2; ++round) {  // Close, then Reset, between sub.txt's two files
        while (w.NextFileDeep(name, folder, path) && folder != At("sub.txt")) {
        }
        round == 0 ? w.Close() : w.Reset();
        if (round == 1)  // a kept child would go on with sub.txt after this folder's first file
            w.SetFolder(At("表\\ソ").c_str());
        EXPECT_EQ(round == 0 ? all : Strings{"表\\ソ\\c.dat"}, Deep(w, dir)) << round;
    }

    // A name of 250 bytes fits a 260-byte buffer; with the scratch folder in front it does not.
    Make({"long"}, {"long\\s.txt", "long\\" + std::string(250, 'n')});
    char nameBuf[MAX_PATH + 1], folderBuf[MAX_PATH + 1], pathBuf[MAX_PATH + 1];
    nameBuf[MAX_PATH] = folderBuf[MAX_PATH] = pathBuf[MAX_PATH] = '#';
    w.SetFolder(At("long").c_str());
    EXPECT_TRUE(w.NextFileBuf(nameBuf, pathBuf) && !w.NextFileBuf(nameBuf, pathBuf));
    EXPECT_STREQ("s.txt", nameBuf);
    w.Reset();
    w.SetFolder(dir.c_str());
    size_t count = 0;
    while (w.NextFileDeepBuf(nameBuf, folderBuf, nullptr))
        count += std::string(folderBuf).rfind(dir, 0) == 0;
    EXPECT_EQ(all.size() + 1, count);
    EXPECT_EQ("###", (std::string{nameBuf[MAX_PATH], folderBuf[MAX_PATH], pathBuf[MAX_PATH]}));
}

TEST_F(System, NamesCaseAndFolderTreesStepOverDoubleByteCharactersAndRefuseWhatDoesNotFit)
{
    const std::string tooLong(300, 'x');
    struct Row { std::string path, name, folder; int fits; } rows[] = {  // fits: name * 10 + folder
        {"C:\\表\\aソ", "aソ", "C:\\表", 11}, {"plain", "plain", "", 11}, {"C:\\d\\", "", "C:\\d", 11},
        {"C:\\" + tooLong, "", "C:", 1}, {tooLong + "\\a", "a", "", 10}};
    CGsSystem sys;
    for (const Row& row : rows) {
        char name[MAX_PATH + 1], folder[MAX_PATH + 1];
        name[MAX_PATH] = folder[MAX_PATH] = '#';
        int fits = sys.GetFileNamePart(row.path.c_str(), name) * 10 + sys.GetFolderPart(row.path.c_str(), folder);
        EXPECT_EQ(row.fits, fits) << row.path;
        EXPECT_EQ(row.name + "|" + row.folder + "|##",
                  std::string(name) + "|" + folder + "|" + name[MAX_PATH] + folder[MAX_PATH]);
    }
    char upper[] = "aヂbソ\xB1z", lower[] = "AアBｱZ";  // trail bytes 'a' and 'A' stay
    sys.ToUpperDbcs(upper);
    sys.ToLowerDbcs(lower);
    EXPECT_EQ("AヂBソ\xB1Z|aアbｱz", std::string(upper) + "|" + lower);

    for (const std::string& path : {At("a\\表\\ソ"), At("a\\表\\ソ"), At("b\\c\\"), std::string("C:\\")})
        EXPECT_EQ(1, sys.CreateFolderTree(path.c_str())) << path;
    EXPECT_EQ(0, sys.CreateFolderTree(At("long\\" + std::string(260, 'x')).c_str()));
    for (const char* folder : {"a\\表\\ソ", "b\\c"})
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(At(folder).c_str())) << folder;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(At("long").c_str()));
}

// Stand-ins for the version record and the disk-space calls.
OSVERSIONINFOA g_version;
std::string g_rootAsked;
BOOL WINAPI FakeVersion(OSVERSIONINFOA* info)
{
    *info = g_version;
    return TRUE;
}
BOOL WINAPI FakeDiskFreeEx(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER totalFree)
{
    g_rootAsked = root;
    available->QuadPart = 1;
    totalFree->QuadPart = 0x140000003ULL;
    return TRUE;
}
BOOL WINAPI FakeDiskFree(LPCSTR root, LPDWORD sectors, LPDWORD bytes, LPDWORD clusters, LPDWORD)
{
    g_rootAsked = root;
    *sectors = 8;
    *bytes = 512;
    *clusters = 0x300001;
    return TRUE;
}
GsSystemPlatform::DiskFreeExFn WithEx() { return FakeDiskFreeEx; }
GsSystemPlatform::DiskFreeExFn WithoutEx() { return nullptr; }

TEST(SystemPlatform, VersionTextAndDiskFreeBytesFollowTheirTables)
{
    struct Row { DWORD platform, major, minor; const char* text; } rows[] = {
        {1, 4, 0, "Windows 95 4.0 SP"}, {1, 4, 90, "Windows Me 4.90 SP"}, {1, 4, 10, "Windows 98 4.10 SP"},
        {2, 6, 0, "Windows Vista SP (NT:6.0)"}, {2, 6, 1, "Windows 7 SP (NT:6.1)"},
        {2, 6, 2, "Windows NT 6.x SP (NT:6.2)"}, {2, 5, 2, "Windows Server 2003 SP (NT:5.2)"},
        {2, 5, 1, "Windows XP SP (NT:5.1)"}, {2, 5, 0, "Windows 2000 SP (NT:5.0)"},
        {2, 4, 0, "Windows NT 4.0 SP"}, {0, 3, 1, "Unknown OS Version"}};
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.getVersionEx = FakeVersion;
    platform.getDiskFreeSpace = FakeDiskFree;
    CGsSystem sys(platform);
    for (const Row& row : rows) {
        g_version = {sizeof g_version, row.major, row.minor, 0, row.platform, "SP"};
        std::string text = "old";
        DWORD major = 0, minor = 0;
        EXPECT_EQ(1, sys.GetOsVersionText(text));
        EXPECT_EQ(row.text, text);
        EXPECT_EQ(row.platform == 2 ? 2 : 0, sys.GetOsVersion(&major, nullptr) + sys.GetOsVersion(nullptr, &minor));
        EXPECT_EQ(row.major * 100 + row.minor, major * 100 + minor);
    }
    struct Space { GsSystemPlatform::DiskFreeExFn (*find)(); const char *path, *root; ULONGLONG bytes; } spaces[] = {
        {WithEx, "D:\\Games\\X", "D:\\", 0x140000003ULL},  // the volume's figure, not the caller's
        {WithEx, "C:", "C:", 0x140000003ULL},
        {WithoutEx, "表\\x\\y", "表\\", 8ULL * 512 * 0x300001}};
    for (const Space& row : spaces) {
        platform.findDiskFreeEx = row.find;
        ULONGLONG bytes = 0;
        EXPECT_EQ(1, sys.GetDiskFreeBytes(row.path, &bytes));
        EXPECT_EQ(row.root + std::to_string(row.bytes), g_rootAsked + std::to_string(bytes));
    }
}

// Runs only in run-tests.sh's private prefix: it changes the prefix's registry.
TEST(SystemPrefix, DrivesShellFoldersAndProgramFilesOfThePrivatePrefix)
{
    if (getenv("GS_SYS_DRIVES") == nullptr)  // R: cdrom, S: network; a linked cycle
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
    CGsDirWalker w;  // sub\back links to the walked folder
    w.SetFolder(getenv("GS_SYS_CYCLE"));
    EXPECT_EQ((Strings{"f.txt", "sub\\g.txt"}), Deep(w, getenv("GS_SYS_CYCLE")));

    char desktop[MAX_PATH] = {}, documents[MAX_PATH] = {}, appData[MAX_PATH] = {};
    EXPECT_TRUE(sys.GetDesktopFolder(desktop, sizeof desktop) && sys.GetDocumentsFolder(documents, MAX_PATH));
    // A fresh Wine prefix links these to the real home; tools/wine-prefix makes them real folders.
    for (const char* folder : {desktop, documents}) {
        ScopedFile handle(CreateFileA(folder, 0, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        char final[MAX_PATH] = {};
        GetFinalPathNameByHandleA(handle.Get(), final, MAX_PATH, 0);
        EXPECT_EQ(0, lstrcmpiA(final, (std::string("\\\\?\\") + folder).c_str())) << final;
    }
    SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE);
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion";
    struct Value { DWORD type; const char* data; } values[] = {{REG_SZ, "D:\\"}, {REG_DWORD, "abc"}, {REG_NONE, ""}};
    for (const Value& value : values) {  // a string, not a string, missing
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir");
        if (value.type != REG_NONE)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", value.type, value.data, 4);
        char folder[MAX_PATH] = {};
        EXPECT_EQ(1, sys.GetProgramFilesFolder(folder, sizeof folder));
        EXPECT_STREQ(value.type == REG_SZ ? value.data : appData, folder) << value.type;
    }
}

TEST_F(System, FactoryAndShortcutsCarryTheirPropertiesBackThroughTheShellLink)
{
    Make({}, {"game.exe"});
    const std::string target = At("game.exe");
    IGsInterface* made = nullptr;
    CGsSystem().CreateInstance(CLSID_GsCom, &made);
    struct Row { const wchar_t* id; const std::type_info* type; } rows[] = {
        {L"{260CF829-9ABC-46AD-9568-F5D350DA6F8C}", &typeid(CGsRegKey)},
        {L"{06649AC0-7CA4-4EF8-80C4-BCA5352C75B8}", &typeid(CGsCom)},
        {L"{A2A95A9A-6C74-4AED-8F14-5C4DAFDB6340}", &typeid(CGsDirWalker)},
        {L"{A2A95A9A-6C74-4AED-8F14-5C4DAFDB6341}", nullptr}};
    for (const Row& row : rows) {
        GUID id;
        CLSIDFromString(row.id, &id);
        IGsInterface* object = reinterpret_cast<IGsInterface*>(1);
        EXPECT_EQ(row.type ? S_OK : E_FAIL, CGsSystem().CreateInstance(id, &object));
        EXPECT_TRUE(row.type ? object && typeid(*object) == *row.type : object == nullptr);
        if (object)
            object->Release();
    }
    CGsCom& com = *static_cast<CGsCom*>(made);
    struct Link { std::string file, args, description, workingDir, icon; int index, hotkey, show; } links[] = {
        {"plain.lnk", "", "", "", "", 0, 0, 0},
        {"full.lnk", "-w 表", "説明ソ", dir, target, 2, MAKEWORD('Q', HOTKEYF_CONTROL), SW_SHOWMINNOACTIVE}};
    for (const Link& want : links) {
        com.SetArguments("stale");
        com.Reset();
        if (!want.args.empty()) {
            com.SetArguments(want.args.c_str());
            com.SetDescription(want.description.c_str());
            com.SetWorkingDirectory(want.workingDir.c_str());
            com.SetIconLocation(want.icon.c_str(), want.index);
            com.SetHotkey(WORD(want.hotkey));
            com.SetShowCmd(want.show);
        }
        ASSERT_EQ(1, com.CreateShortcut(At(want.file).c_str(), target.c_str()));
        std::ifstream in(At(want.file), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        size_t at = 0;  // the set texts appear as UTF-16 in this order
        for (const std::string* text : {&want.description, &want.workingDir, &want.args, &want.icon}) {
            std::wstring wide(text->size(), L'\0');
            wide.resize(MultiByteToWideChar(CP_ACP, 0, text->data(), int(text->size()), &wide[0], int(wide.size())));
            at = bytes.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2), at);
            EXPECT_NE(std::string::npos, at) << *text;
        }
        int fields[3] = {};  // icon index, show command, hotkey
        std::memcpy(fields, bytes.data() + 0x38, sizeof fields);
        EXPECT_NE(std::string::npos, bytes.find(target + '\0'));
        EXPECT_EQ(want.args.empty() ? 0 : 0x74, bytes.at(0x14) & 0x74) << "name, folder, arguments, icon";
        EXPECT_EQ((std::vector<int>{want.index, want.show, want.hotkey}), (std::vector<int>{fields[0], fields[1], fields[2]}));
    }
    const std::string deep(200, 'l');  // a link path of more than 260 characters, each part fitting
    Make({deep}, {});
    EXPECT_EQ(0, com.CreateShortcut(At(deep + "\\" + std::string(60, 'l') + ".lnk").c_str(), target.c_str()));
    made->Release();
    HRESULT hr = CoInitialize(nullptr);  // the last release ended COM on this thread
    CoUninitialize();
    EXPECT_EQ(S_OK, hr);
}

BOOL CALLBACK FindDialogBox(HWND w, LPARAM out)
{
    char name[16] = {};
    if (!GetClassNameA(w, name, sizeof name) || strcmp(name, "#32770") != 0 || !IsWindowVisible(w))
        return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
}

// Types `typed` into the first dialog box the calling thread shows and presses OK, from a
// second thread; without a text it presses Cancel.
std::thread DriveDialog(const char* typed)
{
    return std::thread([ui = GetCurrentThreadId(), typed] {
        HWND found = nullptr;
        for (int tries = 0; tries < 200 && !found; ++tries, Sleep(50))
            EnumThreadWindows(ui, FindDialogBox, reinterpret_cast<LPARAM>(&found));
        Sleep(1000);  // let the dialog finish its own start-up, also on a busy machine
        SetDlgItemTextA(found, cmb13, typed);
        SetDlgItemTextA(found, edt1, typed);
        PostMessageA(found, WM_COMMAND, typed ? IDOK : IDCANCEL, 0);
    });
}

TEST_F(System, DialogsHandBackTheChoiceAndItsFolderOrNothingOnCancel)
{
    // Wine's browser cannot select a non-ASCII initial folder, nor one the shell was not told of.
    Make({"表", "start"}, {"表\\aソ"});
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, At("start").c_str(), nullptr);
    enum Kind { open, save, browse };
    struct Row { Kind kind; const char* typed; } rows[] = {
        {open, "aソ"}, {save, "新ソ"}, {browse, ""}, {open, nullptr}, {save, nullptr}, {browse, nullptr}};
    for (const Row& row : rows) {
        const std::string start = At(row.kind == browse ? "start" : "表");
        char file[MAX_PATH] = {}, title[MAX_PATH] = {}, folder[MAX_PATH] = {};
        lstrcpyA(folder, start.c_str());
        std::thread driver = DriveDialog(row.typed);
        CGsSystem sys;
        int result = row.kind == browse ? sys.BrowseForFolder(nullptr, file, "title", folder)
                     : row.kind == save ? sys.ChooseSaveFile(nullptr, file, title, folder, "All\0*.*\0", nullptr)
                                        : sys.ChooseOpenFile(nullptr, file, title, folder, "All\0*.*\0", nullptr);
        driver.join();
        std::string chosen = !row.typed ? "" : row.kind == browse ? start : start + "\\" + row.typed;
        EXPECT_EQ(row.typed ? 1 : 0, result) << row.kind;
        EXPECT_EQ(chosen + "|" + (row.kind == browse || !row.typed ? "" : row.typed) + "|" + start,
                  std::string(file) + "|" + title + "|" + folder);
    }
}

}  // namespace

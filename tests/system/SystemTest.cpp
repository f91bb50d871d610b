// The system services under Wine: directory walker, name helpers, folder trees, disk space,
// drives, program-files folder, the factory, COM and shortcuts.
// The test that needs extra Wine drives, a symbolic link and a private prefix is skipped unless
// tests/run-in-prefix.sh runs it.
#include "files/GsDirWalker.h"
#include "store/GsRegKey.h"
#include "system/GsCom.h"
#include "system/GsSystem.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using Strings = std::vector<std::string>;

namespace {

// The files a search hands out into 260-byte buffers, relative to `root` and sorted; at most 100
// so a cycle cannot hang. A byte behind each buffer catches a write past it.
Strings Walk(CGsDirWalker& w, const std::string& root, bool deep = true)
{
    Strings out;
    char name[MAX_PATH + 1], folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1];
    name[MAX_PATH] = folder[MAX_PATH] = path[MAX_PATH] = '#';
    while (out.size() < 100 && (deep ? w.NextFileDeepBuf(name, folder, path) : w.NextFileBuf(name, path))) {
        EXPECT_TRUE(!deep || std::string(folder) + "\\" + name == path) << path;
        out.push_back(path + root.size() + 1);
    }
    EXPECT_EQ("###", (std::string{name[MAX_PATH], folder[MAX_PATH], path[MAX_PATH]}));
    std::sort(out.begin(), out.end());
    return out;
}

// Each test gets a fresh scratch folder, removed with everything in it.
class System : public ::testing::Test {
protected:
    System() { CreateDirectoryA(dir.c_str(), nullptr); }
    ~System() override { std::filesystem::remove_all(dir, ignored); }
    std::string At(const std::string& name) const { return dir + "\\" + name; }
    std::error_code ignored;
    const std::string dir =
        (std::filesystem::temp_directory_path() / "gssys-").string() + std::to_string(GetCurrentProcessId());
};

TEST_F(System, WalkerFollowsFolderAndPatternStartsOverAndSkipsWhatDoesNotFit)
{
    for (const char* folder : {"表", "表\\ソ", "表\\ソ\\空", "sub.txt"})  // 空 stays empty
        CreateDirectoryA(At(folder).c_str(), nullptr);
    // With the scratch folder in front, the 250-byte name does not fit 260 bytes: it is passed over.
    for (const std::string& file : Strings{"a.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat", "sub.txt\\d.txt",
                                           "sub.txt\\e.txt", "表\\" + std::string(250, 'n')})
        std::ofstream(At(file)) << file;
    struct Row { const char *folder, *ext; Strings flat, deep; } rows[] = {
        {"\\", "txt", {"a.txt"}, {"a.txt", "sub.txt\\d.txt", "sub.txt\\e.txt"}},  // the pattern picks folders too
        {"\\表", "*", {"表\\b.txt"}, {"表\\b.txt", "表\\ソ\\c.dat"}}};             // last byte 0x5C is no backslash
    CGsDirWalker w;
    for (const Row& row : rows) {
        w.SetFolder((dir + row.folder).c_str());
        w.SetExtPattern(row.ext);
        EXPECT_EQ(row.flat, Walk(w, dir, false)) << row.folder;
        EXPECT_EQ(row.deep, Walk(w, dir)) << row.folder;
        EXPECT_EQ(row.deep, Walk(w, dir)) << "a search that has ended starts again";
    }
    for (void (CGsDirWalker::*end)() : {&CGsDirWalker::Close, &CGsDirWalker::Reset}) {
        w.SetFolder(dir.c_str());
        for (std::string name, folder, path; w.NextFileDeep(name, folder, path) && folder != At("sub.txt");) {
        }
        (w.*end)();  // between sub.txt's two files; a kept child would go on with the second
        w.SetFolder(At("表\\ソ").c_str());
        EXPECT_EQ(Strings{"表\\ソ\\c.dat"}, Walk(w, dir));
    }
}

// Stand-ins for the disk-space calls.
std::string g_rootAsked;
BOOL WINAPI FakeDiskFreeEx(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER totalFree)
{
    return g_rootAsked = root, available->QuadPart = 1, totalFree->QuadPart = 0x140000003ULL, TRUE;
}
BOOL WINAPI FakeDiskFree(LPCSTR root, LPDWORD sectors, LPDWORD bytes, LPDWORD clusters, LPDWORD)
{
    return g_rootAsked = root, *sectors = *bytes = *clusters = 0x800, TRUE;
}

TEST_F(System, NamesFolderTreesAndDiskSpaceFollowTheirRules)
{
    GsSystemPlatform platform = {nullptr, [] { return GsSystemPlatform::DiskFreeExFn(FakeDiskFreeEx); },
                                 FakeDiskFree};
    CGsSystem sys(platform);
    struct Name { std::string path, name, folder; int fits; } names[] = {  // fits: name * 10 + folder
        {"C:\\表\\aソ", "aソ", "C:\\表", 11}, {"plain", "plain", "", 11}, {"C:\\d\\", "", "C:\\d", 11},
        {"C:\\" + std::string(300, 'x'), "", "C:", 1}, {std::string(300, 'x') + "\\a", "a", "", 10}};
    for (const Name& row : names) {
        char name[MAX_PATH + 1], folder[MAX_PATH + 1];
        name[MAX_PATH] = folder[MAX_PATH] = '#';
        EXPECT_EQ(row.fits, sys.GetFileNamePart(row.path.c_str(), name) * 10 + sys.GetFolderPart(row.path.c_str(), folder));
        EXPECT_EQ(row.name + "|" + row.folder + "|##",
                  std::string(name) + "|" + folder + "|" + name[MAX_PATH] + folder[MAX_PATH]);
    }
    // A new tree over double-byte names, one with a trailing backslash, then an existing one:
    // each call names exactly the folders it made.
    const std::pair<std::string, Strings> trees[] = {{At("a\\表\\ソ"), {At("a"), At("a\\表"), At("a\\表\\ソ")}},
                                                     {At("b\\c\\"), {At("b"), At("b\\c")}},
                                                     {At("a\\表\\ソ"), {}}};
    for (const auto& [tree, expected] : trees) {
        Strings made;
        EXPECT_TRUE(sys.CreateFolderTree(tree.c_str(), &made) && GetFileAttributesA(tree.c_str()) != INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(expected, made) << tree;
    }
    EXPECT_EQ(0, sys.CreateFolderTree(At("long\\" + std::string(260, 'x')).c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(At("long").c_str()));

    ULONGLONG bytes = 0;  // the volume's free bytes, asked at its root: not the caller's quota
    EXPECT_EQ(1, sys.GetDiskFreeBytes("D:\\Games\\X", &bytes));
    EXPECT_EQ("D:\\ " + std::to_string(0x140000003ULL), g_rootAsked + " " + std::to_string(bytes));
    platform.findDiskFreeEx = [] { return GsSystemPlatform::DiskFreeExFn(nullptr); };  // the older call
    EXPECT_EQ(1, sys.GetDiskFreeBytes("表\\x\\y", &bytes));
    EXPECT_EQ("表\\ " + std::to_string(0x200000000ULL), g_rootAsked + " " + std::to_string(bytes));

    // Memory past 4 GiB saturates the 32-bit answers instead of wrapping (a 64-bit build).
    struct Memory : CGsSystem {
        unsigned long long total = 0;
        void GetMemoryStatus(MEMORYSTATUS* s) override { *s = {}, s->dwTotalPhys = SIZE_T(total), s->dwAvailPhys = SIZE_T(total / 2); }
    } memory;
    const unsigned long long rows[][3] = {{0x7FFFFFFE, 0x7FFFFFFE, 0x3FFFFFFF}, {0x17FFFFFFE, 0xFFFFFFFF, 0xBFFFFFFF}};
    for (const auto& row : rows) {
        memory.total = row[0];
        if (sizeof(SIZE_T) > 4 || row[0] <= 0xFFFFFFFF) {  // braces: EXPECT_EQ is an if itself
            EXPECT_EQ(row[1] << 32 | row[2], (0ULL + memory.GetTotalPhysicalMemory()) << 32 | memory.GetAvailablePhysicalMemory());
        }
    }
}

// Runs only in run-in-prefix.sh's private prefix: it changes the prefix's registry.
TEST(SystemPrefix, DrivesCycleAndProgramFilesOfThePrivatePrefix)
{
    const char* cycle = getenv("GS_SYS_CYCLE");  // R: cdrom, S: network; a linked cycle
    if (cycle == nullptr) GTEST_SKIP() << "needs tests/run-in-prefix.sh";
    CGsSystem sys;
    EXPECT_EQ(100, sys.IsFixedDrive("C:\\windows") * 100 + sys.IsFixedDrive("R:\\DATA") * 10 + sys.IsFixedDrive("S:\\"));
    std::string root;
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    EXPECT_TRUE(sys.FindCdDriveWithFiles("DISC.ID", nullptr, root) && root == "R:\\") << root;
    EXPECT_TRUE(!sys.FindCdDriveWithFiles("DISC.ID", "NONE", root) && root.empty()) << root;
    EXPECT_EQ(UINT(SEM_NOGPFAULTERRORBOX), GetErrorMode()) << "the caller's error mode comes back";
    CGsDirWalker w;  // sub\back links to the walked folder
    w.SetFolder(cycle);
    EXPECT_EQ((Strings{"f.txt", "sub\\g.txt"}), Walk(w, cycle));

    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion";
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir");
    for (DWORD type : {REG_NONE, REG_DWORD, REG_SZ}) {  // missing, not a string, a string
        if (type != REG_NONE) RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", type, "D:\\", 4);
        char folder[MAX_PATH] = {};
        EXPECT_EQ(1, sys.GetProgramFilesFolder(folder, sizeof folder));
        EXPECT_STREQ(type == REG_SZ ? "D:\\" : getenv("APPDATA"), folder) << type;
    }
}

TEST_F(System, FactoryAndShortcutsCarryTheirPropertiesBackThroughTheShellLink)
{
    CGsCom* com = new CGsCom();
    com->AddRef();
    struct Row { GUID id; const std::type_info* type; } rows[] = {
        {{0x260CF829, 0x9ABC, 0x46AD, {0x95, 0x68, 0xF5, 0xD3, 0x50, 0xDA, 0x6F, 0x8C}}, &typeid(CGsRegKey)},
        {{0x06649AC0, 0x7CA4, 0x4EF8, {0x80, 0xC4, 0xBC, 0xA5, 0x35, 0x2C, 0x75, 0xB8}}, &typeid(CGsCom)},
        {{0xA2A95A9A, 0x6C74, 0x4AED, {0x8F, 0x14, 0x5C, 0x4D, 0xAF, 0xDB, 0x63, 0x40}}, &typeid(CGsDirWalker)},
        {{0xA2A95A9A, 0x6C74, 0x4AED, {0x8F, 0x14, 0x5C, 0x4D, 0xAF, 0xDB, 0x63, 0x41}}, nullptr}};
    for (const Row& row : rows) {
        IGsInterface* object = reinterpret_cast<IGsInterface*>(1);
        EXPECT_EQ(row.type ? S_OK : E_FAIL, CGsSystem().CreateInstance(row.id, &object));
        EXPECT_TRUE(row.type ? object && typeid(*object) == *row.type : object == nullptr);
        if (object) object->Release();
    }
    com->SetArguments("-w 表"), com->SetWorkingDirectory("C:\\作業"), com->SetShowCmd(SW_SHOWMINNOACTIVE);
    for (const bool full : {true, false}) {  // then after Reset: an empty text is not handed over
        ASSERT_EQ(1, com->CreateShortcut(At("a.lnk").c_str(), dir.c_str()));
        const std::string bytes{std::istreambuf_iterator<char>(std::ifstream(At("a.lnk"), std::ios::binary).rdbuf()), {}};
        EXPECT_EQ(full ? 0x33 : 0x03, bytes.at(0x14) & 0x77) << "target, name, folder, arguments, icon";
        EXPECT_EQ(full ? SW_SHOWMINNOACTIVE : 0, bytes.at(0x3C));
        // The texts in UTF-16, without their terminators.
        EXPECT_EQ(full, bytes.find(std::string(reinterpret_cast<const char*>(L"C:\\作業"), 10)) != std::string::npos);
        EXPECT_EQ(full, bytes.find(std::string(reinterpret_cast<const char*>(L"-w 表"), 8)) != std::string::npos);
        com->Reset();
    }
    const std::string deep(200, 'l');  // a link path of more than 260 characters, each part fitting
    CreateDirectoryA(At(deep).c_str(), nullptr);
    EXPECT_EQ(0, com->CreateShortcut(At(deep + "\\" + std::string(60, 'l') + ".lnk").c_str(), dir.c_str()));
    com->Release();
    EXPECT_EQ(S_OK, CoInitialize(nullptr)) << "the last release ended COM on this thread";
    CoUninitialize();
}

}  // namespace

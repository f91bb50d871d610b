// The system services under Wine: directory walker, name and case helpers, folder trees, drives,
// shell folders, version text, the common dialogs driven from a second thread, COM and shortcuts.
#include "files/FileTestUtil.h"
#include "files/GsDirWalker.h"
#include "system/GsCom.h"
#include "system/GsSystem.h"

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <set>
#include <thread>

using gstest::ScratchDir;
using Strings = std::vector<std::string>;

namespace {

// Every file of a deep search, relative to `root`, stopping at 100 so that a cycle cannot hang.
Strings Deep(CGsDirWalker& w, const std::string& root)
{
    Strings out;
    std::string name, folder, path;
    while (out.size() < 100 && w.NextFileDeep(name, folder, path)) {
        EXPECT_EQ(folder + "\\" + name, path);
        out.push_back(path.substr(root.size() + 1));
    }
    return out;
}
Strings Sorted(Strings v)
{
    std::sort(v.begin(), v.end());
    return v;
}

class Walker : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* d : {"表", "表\\ソ", "sub.txt", "empty", "chain", "chain\\x", "chain\\x\\y"})
            CreateDirectoryA((dir / d).c_str(), nullptr);
        for (const char* f : {"a.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat", "sub.txt\\d.txt"})
            gstest::WriteBytes(dir / f, f);
    }
    ScratchDir dir;
};

TEST_F(Walker, FlatAndDeepResultsFollowFolderAndPatterns)
{
    struct Row {
        const char* folder;  // below the scratch folder
        const char* ext;
        Strings flat, deep;  // sorted
    } rows[] = {
        {"\\", "*", {"a.txt", "z.dat"}, {"a.txt", "sub.txt\\d.txt", "z.dat", "表\\b.txt", "表\\ソ\\c.dat"}},
        {"", "txt", {"a.txt"}, {"a.txt", "sub.txt\\d.txt"}},  // the pattern also picks the folders
        {"\\表", "*", {"表\\b.txt"}, {"表\\b.txt", "表\\ソ\\c.dat"}},  // last byte 0x5C is no backslash
        {"\\表\\ソ\\", "*", {"表\\ソ\\c.dat"}, {"表\\ソ\\c.dat"}},
        {"\\chain", "*", {}, {}},
        {"\\missing", "*", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        CGsDirWalker w;
        w.SetFolder((dir.Path() + row.folder).c_str());
        w.SetExtPattern(row.ext);
        Strings flat;
        for (std::string name, path; w.NextFile(name, path);)
            flat.push_back(path.substr(dir.Path().size() + 1));
        EXPECT_EQ(row.flat, Sorted(flat));
        Strings deep = Deep(w, dir.Path());
        EXPECT_EQ(row.deep, Sorted(deep));
        EXPECT_EQ(deep, Deep(w, dir.Path())) << "a search that has ended starts again";
        // Depth first: the files below any folder come as one run.
        for (const char* sub : {"表\\", "表\\ソ\\"}) {
            auto below = [&](const std::string& p) { return p.rfind(sub, 0) == 0; };
            auto first = std::find_if(deep.begin(), deep.end(), below);
            auto last = std::find_if(deep.rbegin(), deep.rend(), below).base();
            auto n = std::count_if(deep.begin(), deep.end(), below);
            EXPECT_TRUE(n == 0 || n == last - first) << sub;
        }
    }
}

TEST_F(Walker, CloseMidDeepSearchStartsOverAndBufferFormsSkipWhatDoesNotFit)
{
    CGsDirWalker w;
    w.SetFolder(dir.Path().c_str());
    const Strings all = Deep(w, dir.Path());
    std::string name, folder, path;
    while (w.NextFileDeep(name, folder, path) && folder == dir.Path()) {
    }
    w.Close();
    EXPECT_EQ(all, Deep(w, dir.Path()));

    // A name of 250 bytes fits a 260-byte buffer; with the scratch folder in front it does not.
    CreateDirectoryA((dir / "long").c_str(), nullptr);
    gstest::WriteBytes(dir / "long\\s.txt", "s");
    std::ofstream(std::filesystem::path(dir / "long") / std::string(250, 'n')) << "n";
    char nameBuf[MAX_PATH + 1], folderBuf[MAX_PATH + 1], pathBuf[MAX_PATH + 1];
    nameBuf[MAX_PATH] = folderBuf[MAX_PATH] = pathBuf[MAX_PATH] = '#';
    Strings viaBuffers;
    w.SetFolder((dir / "long").c_str());
    while (w.NextFileBuf(nameBuf, pathBuf))
        viaBuffers.push_back(nameBuf);
    EXPECT_EQ(Strings{"s.txt"}, viaBuffers);
    EXPECT_TRUE(w.NextFile(name, path) && w.NextFile(name, path)) << "the string form has both";
    w.Reset();
    w.SetFolder(dir.Path().c_str());
    size_t count = 0;
    for (; w.NextFileDeepBuf(nameBuf, folderBuf, nullptr); ++count)
        EXPECT_EQ(0, strncmp(folderBuf, dir.Path().c_str(), dir.Path().size()));
    EXPECT_EQ(all.size() + 1, count);
    EXPECT_EQ(std::string("###"), (std::string{nameBuf[MAX_PATH], folderBuf[MAX_PATH], pathBuf[MAX_PATH]}));
}

TEST(WalkerCycle, FolderLinkedBackToItsAncestorIsNotEnteredAgain)
{
    const char* root = getenv("GS_SYS_CYCLE");  // made by run-tests.sh: sub\back -> ..
    if (root == nullptr)
        GTEST_SKIP() << "needs run-tests.sh";
    CGsDirWalker w;
    w.SetFolder(root);
    EXPECT_EQ((Strings{"f.txt", "sub\\g.txt"}), Sorted(Deep(w, root)));
}

TEST(SystemNames, PartsAndCaseStepOverDoubleByteCharactersAndRefuseWhatDoesNotFit)
{
    const std::string tooLong(300, 'x');
    struct Row {
        std::string path, name, folder;
        int nameOk;
    } rows[] = {
        {"C:\\表\\aソ", "aソ", "C:\\表", 1},
        {"plain", "plain", "", 1},
        {"C:\\d\\", "", "C:\\d", 1},
        {"C:\\" + tooLong, "", "C:", 0},
    };
    CGsSystem sys;
    for (const Row& row : rows) {
        char name[MAX_PATH + 1], folder[MAX_PATH + 1];
        name[MAX_PATH] = folder[MAX_PATH] = '#';
        EXPECT_EQ(row.nameOk, sys.GetFileNamePart(row.path.c_str(), name)) << row.path;
        EXPECT_EQ(1, sys.GetFolderPart(row.path.c_str(), folder)) << row.path;
        EXPECT_EQ(row.name, name);
        EXPECT_EQ(row.folder, folder);
        EXPECT_EQ('#', name[MAX_PATH]);
    }
    char folder[MAX_PATH];
    EXPECT_EQ(0, sys.GetFolderPart((tooLong + "\\a").c_str(), folder));
    EXPECT_STREQ("", folder);
    char upper[] = "aヂbソ\xB1z", lower[] = "AアBｱZ";  // trail bytes 'a' and 'A' stay
    sys.ToUpperDbcs(upper);
    sys.ToLowerDbcs(lower);
    EXPECT_STREQ("AヂBソ\xB1Z", upper);
    EXPECT_STREQ("aアbｱz", lower);
}

TEST(SystemFolders, CreateFolderTreeMakesEachLevelOnceAndRefusesOverLongPaths)
{
    ScratchDir dir;
    CGsSystem sys;
    struct Row {
        std::string path;
        int result;
        const char* made;  // a folder that must exist afterwards (below the scratch folder)
    } rows[] = {
        {dir / "a\\表\\ソ", 1, "a\\表\\ソ"},
        {dir / "a\\表\\ソ", 1, "a\\表\\ソ"},
        {dir / "b\\c\\", 1, "b\\c"},
        {"C:\\", 1, ""},
        {dir / ("long\\" + std::string(260, 'x')), 0, nullptr},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.result, sys.CreateFolderTree(row.path.c_str())) << row.path;
        EXPECT_TRUE(!row.made || gstest::Exists(dir / row.made)) << row.path;
    }
    EXPECT_FALSE(gstest::Exists(dir / "long"));
    // No level was cut inside 表 or ソ: each folder holds exactly the one expected entry.
    for (const char* folder : {"a", "a\\表"}) {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((dir / folder + "\\*").c_str(), &entry);
        int count = 0;
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &entry))
            count += entry.cFileName[0] != '.';
        FindClose(search);
        EXPECT_EQ(1, count) << folder;
    }
}

// A stand-in for the version record and the disk-space calls.
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
    *sectors = 8, *bytes = 512, *clusters = 0x300001;
    return TRUE;
}
GsSystemPlatform::DiskFreeExFn WithEx() { return FakeDiskFreeEx; }
GsSystemPlatform::DiskFreeExFn WithoutEx() { return nullptr; }

TEST(SystemPlatform, VersionTextFollowsItsTable)
{
    struct Row {
        DWORD platform, major, minor;
        const char* text;
        int nt;
    } rows[] = {
        {1, 4, 0, "Windows 95 4.0 SP", 0},
        {1, 4, 90, "Windows Me 4.90 SP", 0},
        {1, 4, 10, "Windows 98 4.10 SP", 0},
        {2, 6, 0, "Windows Vista SP (NT:6.0)", 1},
        {2, 6, 1, "Windows 7 SP (NT:6.1)", 1},
        {2, 6, 2, "Windows NT 6.x SP (NT:6.2)", 1},
        {2, 5, 2, "Windows Server 2003 SP (NT:5.2)", 1},
        {2, 5, 1, "Windows XP SP (NT:5.1)", 1},
        {2, 5, 0, "Windows 2000 SP (NT:5.0)", 1},
        {2, 4, 0, "Windows NT 4.0 SP", 1},
        {0, 3, 1, "Unknown OS Version", 0},
    };
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.getVersionEx = FakeVersion;
    CGsSystem sys(platform);
    for (const Row& row : rows) {
        g_version = {sizeof g_version, row.major, row.minor, 0, row.platform, "SP"};
        std::string text = "old";
        DWORD major = 0, minor = 0;
        EXPECT_EQ(1, sys.GetOsVersionText(text));
        EXPECT_EQ(row.text, text);
        EXPECT_EQ(row.nt, sys.GetOsVersion(&major, nullptr));
        EXPECT_EQ(row.nt, sys.GetOsVersion(nullptr, &minor));
        EXPECT_EQ(row.major * 100 + row.minor, major * 100 + minor);
    }
}

TEST(SystemPlatform, DiskFreeBytesCutsTheRootAndKeepsSixtyFourBits)
{
    struct Row {
        GsSystemPlatform::DiskFreeExFn (*find)();
        const char* path;
        const char* root;
        ULONGLONG bytes;
    } rows[] = {
        {WithEx, "D:\\Games\\X", "D:\\", 0x140000003ULL},  // the volume's free bytes, not the caller's
        {WithEx, "C:", "C:", 0x140000003ULL},
        {WithoutEx, "表\\x\\y", "表\\", 8ULL * 512 * 0x300001},
    };
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.getDiskFreeSpace = FakeDiskFree;
    for (const Row& row : rows) {
        platform.findDiskFreeEx = row.find;
        ULONGLONG bytes = 0;
        EXPECT_EQ(1, CGsSystem(platform).GetDiskFreeBytes(row.path, &bytes));
        EXPECT_EQ(row.root, g_rootAsked);
        EXPECT_EQ(row.bytes, bytes);
    }
}

}  // namespace

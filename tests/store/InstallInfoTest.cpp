#include "store/InstallInfo.h"

#include <cstring>
#include <functional>

#include "RawRegistry.h"

using namespace rawreg;

namespace {

const char* const kPath = "C:\\Games\\Quillamet";

using InstallInfoTest = CleanRegistryTest;

void Install(const std::string& path)
{
    SetRaw(kRecordKey, "Path", REG_SZ, path);
}

TEST_F(InstallInfoTest, ExtensionFlagsReadAndAdd)
{
    Install(kPath);
    DWORD ext = 7;
    EXPECT_EQ(ReadInstallExt(&ext), 1);
    EXPECT_EQ(ext, 0u) << "missing Ext reads 0";
    SetRawDword(kRecordKey, "Ext", 1);
    EXPECT_EQ(AddInstallExt(2), 1);
    EXPECT_EQ(GetRaw(kRecordKey, "Ext"), Dword(3));
    SetRaw(kRecordKey, "Ext", REG_SZ, "2");
    EXPECT_EQ(ReadInstallExt(&ext), 1);
    EXPECT_EQ(ext, 0u) << "a string Ext reads 0";
    EXPECT_EQ(AddInstallExt(2), 1);
    EXPECT_EQ(GetRaw(kRecordKey, "Ext"), Dword(2));
    // Without a record the flags are still added, and nothing else is written.
    DeleteMakerTree();
    EXPECT_EQ(AddInstallExt(2), 1);
    EXPECT_EQ(CountChildren(kRecordKey), 1);
}

TEST_F(InstallInfoTest, OptionBitsPathsAndSaveType)
{
    Install(kPath);
    const struct {
        DWORD res;
        int desktop, startMenu;
    } cases[] = {{3, 1, 1}, {4, 0, 0}, {1, 1, 0}, {0xFFFFFFFE, 0, 1}};
    char path[MAX_PATH], save[MAX_PATH] = "kept";
    for (const auto& c : cases) {
        SetRawDword(kRecordKey, "Res", c.res);
        int desktop = -1, startMenu = -1;
        std::memset(path, 'G', sizeof path);
        ASSERT_EQ(ReadInstallOptions(path, &desktop, &startMenu), 1);
        EXPECT_STREQ(path, kPath);
        EXPECT_EQ(desktop * 10 + startMenu, c.desktop * 10 + c.startMenu) << "Res " << c.res;
    }
    DWORD saveType = 77;
    EXPECT_EQ(ReadInstallPaths(path, save, &saveType, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(save, "kept") << "a missing SavePath leaves the buffer as it was";
    EXPECT_EQ(saveType, 0u) << "missing SaveType reads 0";
    SetRaw(kRecordKey, "SavePath", REG_SZ, "D:\\Save");
    SetRawDword(kRecordKey, "SaveType", 3);
    EXPECT_EQ(ReadInstallPaths(path, save, &saveType, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(save, "D:\\Save");
    EXPECT_EQ(saveType, 3u);
    std::memset(path, 'G', sizeof path);
    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(path, kPath);
    // A save path that does not fit with its terminator is not read half.
    SetRaw(kRecordKey, "SavePath", REG_SZ, std::string(MAX_PATH, 's'));
    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(save, "D:\\Save");
}

TEST_F(InstallInfoTest, PathsUpToTheBufferLimitAreRead)
{
    // The game's installer stores no terminator: 259 bytes of text is the longest that fits,
    // with or without one; trailing zeros beyond the buffer do not make a path too long.
    const std::string longest = "C:\\" + std::string(MAX_PATH - 4, 'p');
    for (const std::string& stored : {longest, longest + '\0', kPath + std::string(400, '\0')}) {
        Install(stored);
        char path[MAX_PATH + 1];
        path[MAX_PATH] = '#';
        ASSERT_EQ(ReadInstallOptions(path, nullptr, nullptr), 1) << stored.size();
        EXPECT_EQ(std::string(path), stored.c_str());
        EXPECT_EQ(path[MAX_PATH], '#') << "wrote past the 260-byte buffer";
    }
    // The caller's sizes are honoured: 19 bytes need 20.
    Install("C:\\0123456789abcdef");
    char path[32];
    std::memset(path, 'G', sizeof path);
    EXPECT_EQ(ReadInstallPaths(path, nullptr, nullptr, 19, 0), GS_INSTALL_PATH_TOO_LONG);
    EXPECT_EQ(std::string(path, 20), std::string(19, '\0') + 'G');
    EXPECT_EQ(ReadInstallPaths(path, nullptr, nullptr, 20, 0), 1);
    EXPECT_STREQ(path, "C:\\0123456789abcdef");
}

// The three readers under one signature; flags they hand out are checked to stay untouched
// when nothing is installed.
const std::function<int(char*)> kReaders[] = {
    [](char* path) { return ReadInstallPaths(path, nullptr, nullptr, MAX_PATH, 0); },
    [](char* path) {
        std::memset(path, 0, MAX_PATH);
        DWORD ext = 0xABCD;
        int result = ReadInstallExt(&ext);
        EXPECT_TRUE(result == 1 || ext == 0xABCDu) << "flags touched without an install record";
        return result;
    },
    [](char* path) {
        int desktop = 7, startMenu = 7;
        int result = ReadInstallOptions(path, &desktop, &startMenu);
        EXPECT_TRUE(result == 1 || desktop + startMenu == 14) << "flags touched without an install record";
        return result;
    },
};

bool AllZero(const char* buffer)
{
    return std::string(buffer, MAX_PATH) == std::string(MAX_PATH, '\0');
}

TEST_F(InstallInfoTest, NotInstalledRemovesTheRecordOverLongPathIsRefusedAndKept)
{
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE("reader " + std::to_string(r));
        char path[MAX_PATH];
        // Empty Path: the key goes with every value in it; Software\KIRO stays.
        Install("");
        SetRawDword(kRecordKey, "Ext", 2);
        EXPECT_EQ(kReaders[r](path), 0);
        EXPECT_EQ(CountChildren(kRecordKey), -1);
        EXPECT_EQ(CountChildren(kMakerKey), 0);
        // No Software\KIRO at all: it is left created and empty.
        DeleteMakerTree();
        EXPECT_EQ(kReaders[r](path), 0);
        EXPECT_EQ(CountChildren(kMakerKey), 0);
        // A Path of another type counts as absent and the buffer gets none of its bytes; so
        // does an expandable string, although it may name a real folder.
        SetRawDword(kRecordKey, "Path", 0x41414141);
        std::memset(path, 'G', sizeof path);
        EXPECT_EQ(kReaders[r](path), 0);
        EXPECT_TRUE(AllZero(path));
        SetRaw(kRecordKey, "Path", REG_EXPAND_SZ, std::string("%ProgramFiles%\\Q", 17));
        EXPECT_EQ(kReaders[r](path), 0);
        EXPECT_EQ(CountChildren(kRecordKey), -1);
        // Too long for the buffer: refused, no cut path handed out, the record kept.
        for (size_t length : {MAX_PATH, MAX_PATH + 1, 1000}) {
            const std::string stored = "C:\\" + std::string(length - 3, 'L');
            Install(stored);
            std::memset(path, 'G', sizeof path);
            EXPECT_EQ(kReaders[r](path), GS_INSTALL_PATH_TOO_LONG) << length;
            EXPECT_TRUE(AllZero(path)) << length;
            EXPECT_EQ(GetRaw(kRecordKey, "Path"), Sz(stored)) << length;
        }
    }
}

}  // namespace

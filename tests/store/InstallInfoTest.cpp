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
    DWORD ext = 0;
    EXPECT_EQ(ReadInstallExt(&ext), 1);
    EXPECT_EQ(ext, 0u) << "missing Ext reads 0";

    SetRawDword(kRecordKey, "Ext", 1);
    EXPECT_EQ(AddInstallExt(2), 1);
    Value raw = GetRaw(kRecordKey, "Ext");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.data, DwordBytes(3));
    ext = 0;
    EXPECT_EQ(ReadInstallExt(&ext), 1);
    EXPECT_EQ(ext, 3u);

    SetRaw(kRecordKey, "Ext", REG_SZ, "2");
    ext = 0;
    EXPECT_EQ(ReadInstallExt(&ext), 1);
    EXPECT_EQ(ext, 0u) << "a string Ext reads 0";
    EXPECT_EQ(AddInstallExt(2), 1);
    raw = GetRaw(kRecordKey, "Ext");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.data, DwordBytes(2));
}

TEST_F(InstallInfoTest, AddInstallExtIgnoresThePath)
{
    // No record at all: the key is created with only Ext, and the result is still 1.
    EXPECT_EQ(AddInstallExt(2), 1);
    EXPECT_EQ(GetRaw(kRecordKey, "Ext").data, DwordBytes(2));
    EXPECT_FALSE(GetRaw(kRecordKey, "Path").exists);
}

TEST_F(InstallInfoTest, OptionBitsAndPath)
{
    char path[MAX_PATH];
    struct Case {
        bool stored;
        DWORD res;
        int desktop;
        int startMenu;
    } cases[] = {{true, 3, 1, 1}, {true, 4, 0, 0}, {true, 1, 1, 0},
                 {true, 2, 0, 1}, {true, 0xFFFFFFFE, 0, 1}, {false, 0, 0, 0}};
    Install(kPath);
    for (const Case& c : cases) {
        if (c.stored)
            SetRawDword(kRecordKey, "Res", c.res);
        else
            SetRaw(kRecordKey, "Res", REG_SZ, "3");
        int desktop = -1;
        int startMenu = -1;
        std::memset(path, 'G', sizeof(path));
        ASSERT_EQ(ReadInstallOptions(path, &desktop, &startMenu), 1) << "Res " << c.res;
        EXPECT_STREQ(path, kPath);
        EXPECT_EQ(desktop, c.desktop) << "Res " << c.res << " stored " << c.stored;
        EXPECT_EQ(startMenu, c.startMenu) << "Res " << c.res << " stored " << c.stored;
    }
}

TEST_F(InstallInfoTest, PathsSavePathAndSaveType)
{
    Install(kPath);
    char path[MAX_PATH];
    char save[MAX_PATH];
    std::memset(path, 'G', sizeof(path));
    std::strcpy(save, "kept");
    DWORD saveType = 77;
    EXPECT_EQ(ReadInstallPaths(path, save, &saveType, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(path, kPath);
    EXPECT_STREQ(save, "kept") << "a missing SavePath leaves the buffer as it was";
    EXPECT_EQ(saveType, 0u) << "missing SaveType reads 0";

    SetRaw(kRecordKey, "SavePath", REG_SZ, "D:\\Save");
    SetRawDword(kRecordKey, "SaveType", 3);
    EXPECT_EQ(ReadInstallPaths(path, save, &saveType, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(save, "D:\\Save");
    EXPECT_EQ(saveType, 3u);

    // Null save-type pointer: nothing is stored anywhere, the rest is read as before.
    std::memset(save, 0, sizeof(save));
    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(path, kPath);
    EXPECT_STREQ(save, "D:\\Save");

    // A save path that does not fit with its terminator is not read half.
    SetRaw(kRecordKey, "SavePath", REG_SZ, std::string(MAX_PATH, 's'));
    std::strcpy(save, "kept");
    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, MAX_PATH, MAX_PATH), 1);
    EXPECT_STREQ(save, "kept");
}

TEST_F(InstallInfoTest, PathWithoutTerminatorUpToBufferLimit)
{
    // The game's installer stores no terminator: 259 bytes of text is the longest that fits.
    const std::string longest = "C:\\" + std::string(MAX_PATH - 4, 'p');
    ASSERT_EQ(longest.size(), 259u);
    Install(longest);
    ASSERT_EQ(GetRaw(kRecordKey, "Path").data.size(), 259u) << "stored without terminator";
    char path[MAX_PATH + 1];
    std::memset(path, 'G', sizeof(path));
    path[MAX_PATH] = '#';
    ASSERT_EQ(ReadInstallOptions(path, nullptr, nullptr), 1);
    EXPECT_EQ(std::string(path), longest);
    EXPECT_EQ(path[MAX_PATH], '#') << "wrote past the 260-byte buffer";

    // The same text stored with its terminator (260 bytes) reads the same.
    Install(longest + '\0');
    std::memset(path, 'G', MAX_PATH);
    char save[MAX_PATH] = {};
    ASSERT_EQ(ReadInstallPaths(path, save, nullptr, MAX_PATH, MAX_PATH), 1);
    EXPECT_EQ(std::string(path), longest);

    // Stored with trailing zeros beyond the buffer: the text itself fits.
    Install(std::string(kPath) + std::string(400, '\0'));
    DWORD ext = 5;
    ASSERT_EQ(ReadInstallExt(&ext), 1);
    EXPECT_EQ(ext, 0u);
}

// The three readers under one signature: result, and whether the path buffer ended all zero.
struct Reader {
    const char* name;
    std::function<int(char* path)> read;
};

const Reader kReaders[] = {
    {"ReadInstallPaths",
     [](char* path) {
         char save[MAX_PATH] = {};
         DWORD saveType = 0;
         return ReadInstallPaths(path, save, &saveType, MAX_PATH, MAX_PATH);
     }},
    {"ReadInstallExt",
     [](char* path) {
         std::memset(path, 0, MAX_PATH);
         DWORD ext = 0xABCD;
         int result = ReadInstallExt(&ext);
         if (result != 1) {
             EXPECT_EQ(ext, 0xABCDu) << "flags touched without an install record";
         }
         return result;
     }},
    {"ReadInstallOptions",
     [](char* path) {
         int desktop = 7;
         int startMenu = 7;
         int result = ReadInstallOptions(path, &desktop, &startMenu);
         if (result != 1) {
             EXPECT_EQ(desktop, 7) << "flags touched without an install record";
             EXPECT_EQ(startMenu, 7);
         }
         return result;
     }},
};

bool AllZero(const char* buffer, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (buffer[i] != '\0')
            return false;
    return true;
}

TEST_F(InstallInfoTest, NotInstalledRemovesTheRecordAndKeepsTheMakerKey)
{
    for (const Reader& reader : kReaders) {
        SCOPED_TRACE(reader.name);
        char path[MAX_PATH];

        // Empty Path: the key goes with every value in it.
        Install("");
        SetRawDword(kRecordKey, "Ext", 2);
        SetRaw(kRecordKey, "Other", REG_BINARY, "xyz");
        std::memset(path, 'G', sizeof(path));
        EXPECT_EQ(reader.read(path), 0);
        EXPECT_TRUE(AllZero(path, sizeof(path)));
        EXPECT_FALSE(KeyExists(kRecordKey));
        EXPECT_TRUE(KeyExists(kMakerKey));

        // No Software\KIRO at all: it is left created and empty.
        DeleteMakerTree();
        EXPECT_EQ(reader.read(path), 0);
        DWORD subKeys = 99;
        DWORD values = 99;
        CountChildren(kMakerKey, &subKeys, &values);
        EXPECT_EQ(subKeys, 0u);
        EXPECT_EQ(values, 0u);

        // A Path of another type counts as absent; the buffer gets none of its bytes.
        SetRawDword(kRecordKey, "Path", 0x41414141);
        std::memset(path, 'G', sizeof(path));
        EXPECT_EQ(reader.read(path), 0);
        EXPECT_TRUE(AllZero(path, sizeof(path)));
        EXPECT_FALSE(KeyExists(kRecordKey));

        // So does an expandable string, although it may name a real folder.
        SetRaw(kRecordKey, "Path", REG_EXPAND_SZ, std::string("%ProgramFiles%\\Q", 17));
        EXPECT_EQ(reader.read(path), 0);
        EXPECT_FALSE(KeyExists(kRecordKey));

        // A record with a subkey of its own cannot be deleted: still 0, nothing else happens.
        Install("");
        SetRawDword("Software\\KIRO\\ZUNA\\Sub", "x", 1);
        EXPECT_EQ(reader.read(path), 0);
        EXPECT_TRUE(KeyExists(kRecordKey));
        DeleteMakerTree();
    }
}

TEST_F(InstallInfoTest, OverLongPathIsRefusedAndKept)
{
    const size_t lengths[] = {MAX_PATH, MAX_PATH + 1, 1000};
    for (const Reader& reader : kReaders) {
        for (size_t length : lengths) {
            SCOPED_TRACE(std::string(reader.name) + " length " + std::to_string(length));
            const std::string stored = "C:\\" + std::string(length - 3, 'L');
            Install(stored);
            SetRawDword(kRecordKey, "Ext", 1);
            char path[MAX_PATH];
            std::memset(path, 'G', sizeof(path));
            EXPECT_EQ(reader.read(path), GS_INSTALL_PATH_TOO_LONG);
            EXPECT_TRUE(AllZero(path, sizeof(path))) << "a cut path was handed out";
            Value raw = GetRaw(kRecordKey, "Path");
            EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(raw.data, stored) << "the record must be kept";
            EXPECT_EQ(GetRaw(kRecordKey, "Ext").data, DwordBytes(1));
        }
    }
}

TEST_F(InstallInfoTest, ReadInstallPathsHonoursTheCallersSizes)
{
    Install("C:\\0123456789abcdef");  // 19 bytes
    char path[32];
    char save[32] = "kept";
    std::memset(path, 'G', sizeof(path));
    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, 16, sizeof(save)), GS_INSTALL_PATH_TOO_LONG);
    EXPECT_TRUE(AllZero(path, 16));
    EXPECT_EQ(path[16], 'G') << "zero-filled past the given size";
    EXPECT_STREQ(save, "kept");
    EXPECT_TRUE(GetRaw(kRecordKey, "Path").exists);

    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, 20, sizeof(save)), 1);
    EXPECT_STREQ(path, "C:\\0123456789abcdef");

    // No buffer to read into is a caller's error, not a missing record.
    EXPECT_EQ(ReadInstallPaths(path, save, nullptr, 0, sizeof(save)), 0);
    EXPECT_TRUE(GetRaw(kRecordKey, "Path").exists);
}

}  // namespace

// The registry key object and the install record readers against the real (Wine) registry,
// set up and inspected with the raw API: every test starts and ends without Software\KIRO.
#include "base/ScopedWin.h"
#include "store/GsRegKey.h"
#include "store/InstallInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace std::string_literals;

namespace {

const char kMaker[] = "Software\\KIRO", kRecord[] = "Software\\KIRO\\ZUNA", kPath[] = "C:\\Games\\Quillamet";

// Stores exactly `data` in the record. NT counts a string's terminator in when the byte after
// the given size is 0, so a non-zero byte follows.
void Set(const char* name, DWORD type, const std::string& data)
{
    const std::string buffer = data + '\x7F';
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, name, type, buffer.data(), DWORD(data.size())), 0);
}
std::string Dw(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
// "<type>:<bytes>" of a value as stored, or without a name the key's subkeys plus values; "" when absent.
std::string Get(const char* name, const char* path = kRecord)
{
    HKEY raw = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &raw);
    ScopedRegKey key(raw);
    char bytes[2048];
    DWORD type = 0, size = sizeof bytes, keys = 0, values = 0;
    if (!key || (name ? RegQueryValueExA(raw, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes), &size)
                      : RegQueryInfoKeyA(raw, 0, 0, 0, &keys, 0, 0, &values, 0, 0, 0, 0)))
        return "";
    return name ? std::to_string(type) + ":" + std::string(bytes, size) : std::to_string(keys + values);
}

struct Store : ::testing::Test {
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kMaker); }
    void TearDown() override { SetUp(); }
};

TEST_F(Store, KeyReadsEachValueOnlyAsItsOwnTypeAndWithinTheBuffer)
{
    CGsRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA\\B"), 1) << "with every parent";
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kRecord), 1);
    ASSERT_EQ(key.SetDword("d", 0x01020304), 1);
    EXPECT_EQ(Get("d"), "4:" + Dw(0x01020304));
    // Each stored value through GetString, GetDword and QueryValueInfo.
    const struct { DWORD type; std::string stored, expected; } rows[] = {
        {REG_NONE, "", "-|9|-"}, {REG_SZ, "12", "12|9|1/2"}, {REG_SZ, "123456789", "-|9|1/9"},
        {REG_EXPAND_SZ, "%TEMP%\0"s, "-|9|2/7"}, {REG_DWORD, Dw(0x01020304), "-|16909060|4/4"},
        {REG_DWORD, "\5\0"s, "-|9|4/2"}, {REG_BINARY, "b\0n!"s, "-|9|3/4"},
    };
    for (const auto& row : rows) {
        if (row.type != REG_NONE) Set("v", row.type, row.stored);
        char text[9] = {0, 0, 0, 0, 0, 0, 0, 0, '#'};
        DWORD type = 0, size = 0;
        std::string seen = key.GetString("v", text, 8, nullptr) ? text : "-";
        seen += "|" + std::to_string(key.GetDword("v", 9)) + "|";
        seen += key.QueryValueInfo("v", &type, &size) ? std::to_string(type) + "/" + std::to_string(size) : "-";
        EXPECT_EQ(seen + text[8], row.expected + '#') << row.type << ":" << row.stored << " (# guards the buffer's end)";
    }
    // Without a key every operation fails and touches nothing; Open never creates.
    EXPECT_EQ(key.Close() * 10 + key.Close(), 10);
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KIRO\\Missing"), 0);
    EXPECT_EQ(Get(nullptr, "Software\\KIRO\\Missing"), "");
    char buffer[8] = "guard";
    EXPECT_EQ(key.GetDword("d", 5) + key.GetString("d", buffer, 8, nullptr) + key.SetDword("n", 1) + key.DeleteKey("B"), 0u);
    EXPECT_STREQ(buffer, "guard");
}

// Reader k's result and its outputs besides the path, which stay 77 unless the record is read.
std::string Read(int k, char* path)
{
    DWORD value = 77;
    int desktop = 7, startMenu = 7;
    int result = k == 0   ? ReadInstallPaths(path, nullptr, &value, MAX_PATH, 0)
                 : k == 1 ? ReadInstallExt(&value)
                          : ReadInstallOptions(path, &desktop, &startMenu);
    return std::to_string(result) + "|" + std::to_string(k == 2 ? desktop * 10 + startMenu : int(value));
}

TEST_F(Store, ReadersHandOutOnlyAWholePathAndRemoveARecordWithout)
{
    const std::string longest = "C:\\" + std::string(MAX_PATH - 4, 'p');  // fits with its terminator
    const int kTooLong = GS_INSTALL_PATH_TOO_LONG;
    const struct { DWORD type; std::string stored; int result; } rows[] = {
        // The game's installer stores no terminator; trailing zeros do not make a path too long.
        {REG_SZ, kPath, 1}, {REG_SZ, longest, 1}, {REG_SZ, longest + '\0', 1},
        {REG_SZ, kPath + std::string(400, '\0'), 1}, {REG_EXPAND_SZ, "%SystemDrive%\\Q\0"s, 1},
        // Not installed: the record goes with every value in it; Software\KIRO stays (or is made).
        {REG_NONE, "", 0}, {REG_SZ, "", 0},
        // A Path of another type names no folder, but the record stays for the game.
        {REG_DWORD, "AAAA", 0}, {REG_BINARY, kPath, 0},
        // Too long for the buffer: refused, no cut path handed out, the record kept.
        {REG_SZ, longest + 'p', kTooLong}, {REG_SZ, std::string(999, 'L'), kTooLong},
    };
    for (const auto& row : rows) {
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(std::to_string(row.type) + ":" + row.stored.c_str() + " reader " + std::to_string(k));
            SetUp();
            for (auto [name, value] : {std::pair<const char*, DWORD>{"Ext", 2}, {"Res", 1}, {"SaveType", 3}})
                row.type != REG_NONE ? Set(name, REG_DWORD, Dw(value)) : void();
            if (row.type != REG_NONE) Set("Path", row.type, row.stored);
            std::string path = std::string(MAX_PATH, 'G') + '#';
            const char* const found[] = {"3", "2", "10"};
            EXPECT_EQ(Read(k, &path[0]), std::to_string(row.result) + "|" + (row.result == 1 ? found[k] : "77"));
            const std::string handed = row.result != 1 ? "" : row.type == REG_EXPAND_SZ ? "C:\\Q" : row.stored.c_str();
            if (k != 1) {  // the extension reader hands out no path
                EXPECT_EQ(path, handed + std::string(MAX_PATH - handed.size(), '\0') + '#');
            }
            const bool kept = row.result != 0 || (row.type != REG_SZ && row.type != REG_NONE);
            EXPECT_EQ(kept ? Get("Path") : Get(nullptr, kMaker), kept ? std::to_string(row.type) + ":" + row.stored : "0");
        }
    }
}

TEST_F(Store, OptionBitsSavePathAndExtensionFlags)
{
    Set("Path", REG_SZ, kPath);
    char path[MAX_PATH], save[MAX_PATH] = "kept";
    for (auto [res, flags] : {std::pair<DWORD, int>{3, 11}, {4, 0}, {1, 10}, {0xFFFFFFFE, 1}}) {
        Set("Res", REG_DWORD, Dw(res));
        int desktop = -1, startMenu = -1;
        EXPECT_EQ(ReadInstallOptions(path, &desktop, &startMenu) * 100 + desktop * 10 + startMenu, 100 + flags) << res;
    }
    DWORD saveType = 77, ext = 77;
    EXPECT_EQ(ReadInstallPaths(path, save, &saveType, MAX_PATH, MAX_PATH) + ReadInstallExt(&ext), 2);
    EXPECT_EQ(save + std::to_string(saveType) + std::to_string(ext), "kept00") << "from missing values";
    for (const std::string& stored : {std::string("D:\\Save"), std::string(MAX_PATH, 's')}) {
        Set("SavePath", REG_SZ, stored);
        EXPECT_EQ(ReadInstallPaths(path, save, nullptr, MAX_PATH, MAX_PATH), 1);
    }
    EXPECT_STREQ(save, "D:\\Save") << "a save path that does not fit is not read half";
    // Bits are added to a REG_DWORD; a value of another type counts as 0 and is replaced.
    for (auto [type, stored, added] : {std::tuple<DWORD, std::string, DWORD>{REG_DWORD, Dw(1), 3}, {REG_SZ, "1", 2}}) {
        Set("Ext", type, stored);
        EXPECT_EQ(AddInstallExt(2), 1);
        EXPECT_EQ(Get("Ext"), "4:" + Dw(added));
    }
    SetUp();
    EXPECT_EQ(AddInstallExt(2), 1);
    EXPECT_EQ(Get(nullptr), "1") << "without a record only Ext is written";
}

}  // namespace

#include "store/GsRegKey.h"

#include <cstring>

#include "RawRegistry.h"

using namespace rawreg;

namespace {

const char* const kTestKey = "Software\\KIRO\\RegKeyTest";

using GsRegKeyTest = CleanRegistryTest;

TEST_F(GsRegKeyTest, WithoutAKeyEveryOperationFailsAndTouchesNothing)
{
    SetRaw(kTestKey, "s", REG_SZ, "stored");
    SetRawDword(kTestKey, "d", 7);
    CGsRegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KIRO\\Missing"), 0);
    EXPECT_EQ(CountChildren("Software\\KIRO\\Missing"), -1) << "Open must never create";

    EXPECT_EQ(key.GetDword("d", 5), 0u) << "no key returns 0, not the default";
    DWORD out = 0xDEADBEEF, size = 8;
    char buffer[8] = "guard";
    EXPECT_EQ(key.QueryDword("d", &out, 5) + key.GetString("s", buffer, 8, "def") + key.GetBinary("s", buffer, &size) +
                  key.SetString("new", "x") + key.SetDword("new", 1) + key.SetBinary("new", "x", 1) +
                  key.DeleteValue("s") + key.DeleteKey("RegKeyTest") + key.Flush(nullptr) + key.Close(),
              0);
    EXPECT_EQ(out, 0xDEADBEEFu);
    EXPECT_STREQ(buffer, "guard") << "default applied without a key";
    EXPECT_EQ(GetRaw(kTestKey, "new"), "");
    EXPECT_EQ(GetRaw(kTestKey, "s"), Sz("stored"));
}

TEST_F(GsRegKeyTest, CreateMakesEveryParentAndCloseAnswersOnce)
{
    CGsRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\KIRO\\A\\B\\C"), 1);
    EXPECT_GE(CountChildren("Software\\KIRO\\A\\B\\C"), 0);
    ASSERT_EQ(key.SetDword("v", 4), 1);
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\KIRO\\A\\B\\C"), 1);
    EXPECT_EQ(key.GetDword("v", 0), 4u);
    EXPECT_EQ(key.Close(), 1);
    EXPECT_EQ(key.Close(), 0);
}

TEST_F(GsRegKeyTest, ValuesAreStoredAsWrittenAndReadOnlyWithTheirOwnType)
{
    CGsRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kTestKey), 1);
    ASSERT_EQ(key.SetString("empty", ""), 1);
    EXPECT_EQ(GetRaw(kTestKey, "empty"), Sz("")) << "an empty text stores zero bytes";
    ASSERT_EQ(key.SetDword("d", 0x01020304), 1);
    EXPECT_EQ(GetRaw(kTestKey, "d"), Dword(0x01020304));
    const char block[5] = {0, 1, '\xFF', 0, 7};
    ASSERT_EQ(key.SetBinary("b", block, 5), 1);
    EXPECT_EQ(GetRaw(kTestKey, "b"), std::to_string(REG_BINARY) + ":" + std::string(block, 5));

    SetRaw(kTestKey, "s", REG_SZ, "12");
    SetRaw(kTestKey, "expand", REG_EXPAND_SZ, std::string("%TEMP%", 7));
    SetRaw(kTestKey, "short", REG_DWORD, std::string("\x05\x00", 2));  // malformed
    char buffer[16] = {};
    EXPECT_EQ(key.GetString("expand", buffer, 16, nullptr), 0);
    EXPECT_EQ(key.GetString("d", buffer, 16, nullptr), 0);
    EXPECT_EQ(key.GetDword("d", 9), 0x01020304u);
    for (const char* absent : {"missing", "s", "b", "short"})
        EXPECT_EQ(key.GetDword(absent, 9), 9u) << absent;
    DWORD out = 0;
    EXPECT_EQ(key.QueryDword("s", &out, 42), 1);
    EXPECT_EQ(out, 42u);
    DWORD size = 2;
    EXPECT_EQ(key.GetBinary("b", buffer, &size), 0) << "buffer too small";
    EXPECT_EQ(size, 5u) << "the needed size comes back";
    EXPECT_EQ(key.GetBinary("s", buffer, &size), 0) << "a string is not a block";
}

TEST_F(GsRegKeyTest, GetStringDefaultsAreBoundedByTheBuffer)
{
    CGsRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kTestKey), 1);
    SetRaw(kTestKey, "long", REG_SZ, std::string(20, 'x'));
    char buffer[17];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(key.GetString("long", buffer, 16, nullptr), 0);
    EXPECT_EQ(key.GetString("long", buffer, 16, "a default far longer than sixteen"), 1);
    EXPECT_EQ(std::string(buffer), "a default far l");
    EXPECT_EQ(buffer[16], '#') << "default copied past the buffer";
    EXPECT_EQ(key.GetString("missing", buffer, 16, "m"), 1);
    EXPECT_STREQ(buffer, "m");
    DWORD type = 0, size = 0;
    ASSERT_EQ(key.QueryValueInfo("long", &type, &size), 1);
    EXPECT_EQ(type + size, DWORD(REG_SZ + 20));
}

}  // namespace

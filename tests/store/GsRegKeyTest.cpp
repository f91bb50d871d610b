#include "store/GsRegKey.h"

#include <cstring>

#include "RawRegistry.h"

using namespace rawreg;

namespace {

const char* const kTestKey = "Software\\KIRO\\RegKeyTest";

class GsRegKeyTest : public CleanRegistryTest {
protected:
    void SetUp() override
    {
        CleanRegistryTest::SetUp();
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kTestKey), 1);
    }
    CGsRegKey key;
};

using GsRegKeyNoKeyTest = CleanRegistryTest;

TEST_F(GsRegKeyNoKeyTest, EveryOperationFailsWithoutTouchingOutputs)
{
    SetRaw(kTestKey, "s", REG_SZ, "stored");
    SetRawDword(kTestKey, "d", 7);
    CGsRegKey key;
    ASSERT_FALSE(key.IsOpen());

    EXPECT_EQ(key.GetDword("d", 5), 0u) << "no key returns 0, not the default";
    DWORD out = 0xDEADBEEF;
    EXPECT_EQ(key.QueryDword("d", &out, 5), 0);
    EXPECT_EQ(out, 0xDEADBEEFu);
    char buffer[8];
    std::memset(buffer, 'G', sizeof(buffer));
    EXPECT_EQ(key.GetString("s", buffer, sizeof(buffer), "def"), 0);
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(8, 'G')) << "default not applied";
    DWORD size = sizeof(buffer);
    EXPECT_EQ(key.GetBinary("s", buffer, &size), 0);
    EXPECT_EQ(key.SetString("new", "x"), 0);
    EXPECT_EQ(key.SetDword("new", 1), 0);
    EXPECT_EQ(key.SetBinary("new", "x", 1), 0);
    EXPECT_EQ(key.DeleteValue("s"), 0);
    EXPECT_EQ(key.DeleteKey("RegKeyTest"), 0);
    EXPECT_EQ(key.Flush(nullptr), 0);
    EXPECT_EQ(key.Close(), 0);
    DWORD type = 0;
    EXPECT_EQ(key.QueryValueInfo("s", &type, &size), 0);

    EXPECT_FALSE(GetRaw(kTestKey, "new").exists);
    EXPECT_TRUE(GetRaw(kTestKey, "s").exists);
}

TEST_F(GsRegKeyNoKeyTest, OpenNeverCreatesAndFailureLeavesNoKey)
{
    CGsRegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, kTestKey), 0);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(KeyExists(kTestKey));

    CGsRegKey byConstructor(HKEY_CURRENT_USER, kTestKey);
    EXPECT_FALSE(byConstructor.IsOpen());
    EXPECT_FALSE(KeyExists(kTestKey));

    SetRawDword(kTestKey, "d", 9);
    CGsRegKey opened(HKEY_CURRENT_USER, kTestKey);
    ASSERT_TRUE(opened.IsOpen());
    EXPECT_EQ(opened.GetDword("d", 0), 9u);
    // A failed reopen drops the key that was open.
    EXPECT_EQ(opened.Open(HKEY_CURRENT_USER, "Software\\KIRO\\Missing"), 0);
    EXPECT_FALSE(opened.IsOpen());
    EXPECT_EQ(opened.GetDword("d", 3), 0u);
}

TEST_F(GsRegKeyNoKeyTest, CreateMakesEveryMissingParent)
{
    const char* deep = "Software\\KIRO\\A\\B\\C";
    CGsRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, deep), 1);
    EXPECT_TRUE(KeyExists("Software\\KIRO\\A"));
    EXPECT_TRUE(KeyExists("Software\\KIRO\\A\\B"));
    EXPECT_TRUE(KeyExists(deep));
    // Create on an existing key opens it and keeps its values.
    ASSERT_EQ(key.SetDword("v", 4), 1);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, deep), 1);
    EXPECT_EQ(key.GetDword("v", 0), 4u);
}

TEST_F(GsRegKeyNoKeyTest, CloseTwiceAndHeapRelease)
{
    CGsRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, kTestKey), 1);
    EXPECT_EQ(key.Close(), 1);
    EXPECT_EQ(key.Close(), 0);

    CGsRegKey* heap = new CGsRegKey;
    EXPECT_FALSE(heap->IsOpen()) << "a factory-made key starts with none open";
    EXPECT_EQ(heap->AddRef(), 0);
    ASSERT_EQ(heap->Create(HKEY_CURRENT_USER, kTestKey), 1);
    EXPECT_EQ(heap->Release(), 0);
}

TEST_F(GsRegKeyNoKeyTest, FlushUsesTheGivenHandleEvenWithoutOwnKey)
{
    CGsRegKey other;
    ASSERT_EQ(other.Create(HKEY_CURRENT_USER, kTestKey), 1);
    CGsRegKey key;
    EXPECT_EQ(key.Flush(nullptr), 0);
    EXPECT_EQ(key.Flush(other.Handle()), 1);
    EXPECT_EQ(other.Flush(nullptr), 1);
}

TEST_F(GsRegKeyTest, StringsAreStoredAsWrittenAndReadOnlyAsRegSz)
{
    ASSERT_EQ(key.SetString("empty", ""), 1);
    Value empty = GetRaw(kTestKey, "empty");
    EXPECT_TRUE(empty.exists);
    EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty.data.size(), 0u) << "an empty text stores zero bytes";

    // The length passed excludes the terminator; RegSetValueExA still counts the zero that
    // follows the text (Wine as NT: "if user forgot to count terminating null, add it").
    ASSERT_EQ(key.SetString("s", "C:\\Game"), 1);
    Value s = GetRaw(kTestKey, "s");
    EXPECT_EQ(s.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(s.data, std::string("C:\\Game", 8));

    // Code-page-932 bytes (ゲーム) pass through unchanged.
    const std::string jp = "C:\\\x83\x51\x81\x5B\x83\x80";
    ASSERT_EQ(key.SetString("jp", jp.c_str()), 1);
    char buffer[64] = {};
    ASSERT_EQ(key.GetString("jp", buffer, sizeof(buffer), nullptr), 1);
    EXPECT_EQ(std::string(buffer), jp);

    // The empty value: the read succeeds and leaves the caller's zero-filled buffer empty.
    std::memset(buffer, 0, sizeof(buffer));
    EXPECT_EQ(key.GetString("empty", buffer, sizeof(buffer), "def"), 1);
    EXPECT_EQ(buffer[0], '\0');

    SetRaw(kTestKey, "expand", REG_EXPAND_SZ, std::string("%TEMP%", 7));
    EXPECT_EQ(key.GetString("expand", buffer, sizeof(buffer), nullptr), 0);
    EXPECT_EQ(key.GetString("expand", buffer, sizeof(buffer), "fallback"), 1);
    EXPECT_STREQ(buffer, "fallback");
    SetRawDword(kTestKey, "number", 1);
    EXPECT_EQ(key.GetString("number", buffer, sizeof(buffer), nullptr), 0);
    EXPECT_EQ(key.GetString("missing", buffer, sizeof(buffer), "m"), 1);
    EXPECT_STREQ(buffer, "m");
}

TEST_F(GsRegKeyTest, StringSizeLimits)
{
    char buffer[17];
    // Longer than the buffer: the query fails, the default applies, bounded by the size.
    SetRaw(kTestKey, "long", REG_SZ, std::string(20, 'x'));
    std::memset(buffer, 0, sizeof(buffer));
    EXPECT_EQ(key.GetString("long", buffer, 16, nullptr), 0);
    buffer[16] = '#';
    EXPECT_EQ(key.GetString("long", buffer, 16, "a default far longer than sixteen"), 1);
    EXPECT_EQ(std::string(buffer), "a default far l");
    EXPECT_EQ(buffer[16], '#') << "default copied past the buffer";

    // Exactly the buffer's size without terminator: fills it, no terminator added.
    SetRaw(kTestKey, "exact", REG_SZ, std::string(16, 'y'));
    std::memset(buffer, 0, sizeof(buffer));
    buffer[16] = '#';
    EXPECT_EQ(key.GetString("exact", buffer, 16, nullptr), 1);
    EXPECT_EQ(std::string(buffer, 16), std::string(16, 'y'));
    EXPECT_EQ(buffer[16], '#');

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(key.QueryValueInfo("long", &type, &size), 1);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(key.QueryValueInfo("missing", &type, &size), 0);
}

TEST_F(GsRegKeyTest, DwordsDefaultWhenMissingOrMistyped)
{
    ASSERT_EQ(key.SetDword("d", 0x01020304), 1);
    Value raw = GetRaw(kTestKey, "d");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.data, std::string("\x04\x03\x02\x01", 4)) << "little-endian, 4 bytes";
    EXPECT_EQ(key.GetDword("d", 9), 0x01020304u);

    EXPECT_EQ(key.GetDword("missing", 9), 9u);
    SetRaw(kTestKey, "str", REG_SZ, "12");
    EXPECT_EQ(key.GetDword("str", 9), 9u);
    SetRaw(kTestKey, "bin", REG_BINARY, DwordBytes(5));
    EXPECT_EQ(key.GetDword("bin", 9), 9u);
    SetRaw(kTestKey, "short", REG_DWORD, std::string("\x05\x00", 2));
    EXPECT_EQ(key.GetDword("short", 9), 9u) << "a 2-byte REG_DWORD is malformed";

    DWORD out = 0;
    EXPECT_EQ(key.QueryDword("str", &out, 42), 1);
    EXPECT_EQ(out, 42u);
    EXPECT_EQ(key.QueryDword("missing", &out, 43), 1);
    EXPECT_EQ(out, 43u);
    EXPECT_EQ(key.QueryDword("d", &out, 44), 1);
    EXPECT_EQ(out, 0x01020304u);

    // A string replaced by an integer becomes a REG_DWORD.
    ASSERT_EQ(key.SetDword("str", 2), 1);
    EXPECT_EQ(GetRaw(kTestKey, "str").type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(GsRegKeyTest, BinaryBlocksReportTheirSize)
{
    const char block[5] = {0, 1, '\xFF', 0, 7};
    ASSERT_EQ(key.SetBinary("b", block, sizeof(block)), 1);
    Value raw = GetRaw(kTestKey, "b");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(raw.data, std::string(block, sizeof(block)));

    char buffer[16] = {};
    DWORD size = sizeof(buffer);
    ASSERT_EQ(key.GetBinary("b", buffer, &size), 1);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(buffer, size), std::string(block, sizeof(block)));

    size = 2;
    EXPECT_EQ(key.GetBinary("b", buffer, &size), 0) << "buffer too small";
    EXPECT_EQ(size, 5u) << "the needed size comes back";

    SetRaw(kTestKey, "s", REG_SZ, "abc");
    size = sizeof(buffer);
    EXPECT_EQ(key.GetBinary("s", buffer, &size), 0) << "a string is not a block";
}

TEST_F(GsRegKeyTest, DeletesValuesAndOnlyLeafKeys)
{
    ASSERT_EQ(key.SetDword("v", 1), 1);
    EXPECT_EQ(key.DeleteValue("v"), 1);
    EXPECT_FALSE(GetRaw(kTestKey, "v").exists);
    EXPECT_EQ(key.DeleteValue("v"), 0);

    SetRawDword("Software\\KIRO\\RegKeyTest\\Leaf", "x", 1);
    SetRawDword("Software\\KIRO\\RegKeyTest\\Branch\\Twig", "x", 1);
    EXPECT_EQ(key.DeleteKey("Leaf"), 1);
    EXPECT_FALSE(KeyExists("Software\\KIRO\\RegKeyTest\\Leaf"));
    EXPECT_EQ(key.DeleteKey("Branch"), 0) << "a key with subkeys stays";
    EXPECT_TRUE(KeyExists("Software\\KIRO\\RegKeyTest\\Branch\\Twig"));
    EXPECT_EQ(key.DeleteKey("Missing"), 0);
}

}  // namespace

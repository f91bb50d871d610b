// The double-byte-aware path split; pure, so it also runs natively under the sanitizers.
#include "files/GsPathSplit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Code page 932 lead bytes, fixed here so the split is checked whatever the code page.
bool Cp932Lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TEST(GsPathSplit, SplitsDoubleByteAwareAtTheLastSeparatorAndDot)
{
    const struct {
        const char* path;
        const char *drive, *dir, *fname, *ext;
    } cases[] = {
        {"C:\\dir.x\\sub/file.name.ext", "C:", "\\dir.x\\sub/", "file.name", ".ext"},
        {".hidden", "", "", "", ".hidden"},
        // 表 and ソ end in the byte 0x5C, the backslash.
        {"C:\\\x95\x5C\\a\x83\x5C.pak", "C:", "\\\x95\x5C\\", "a\x83\x5C", ".pak"},
        // A lead byte at the very end has no trail byte; it stays in the name.
        {"a\\b\x95", "", "a\\", "b\x95", ""},
    };
    for (const auto& c : cases) {
        GsPathParts parts;
        ASSERT_TRUE(GsSplitPath(c.path, Cp932Lead, &parts)) << c.path;
        EXPECT_EQ(std::string(parts.drive) + "|" + parts.dir + "|" + parts.fname + "|" + parts.ext,
                  std::string(c.drive) + "|" + c.dir + "|" + c.fname + "|" + c.ext);
    }
}

TEST(GsPathSplit, EachPartMayFillItsBufferButOverflowClearsEverything)
{
    std::string dir = std::string(kGsMaxDir - 2, 'd') + "\\", fname(kGsMaxFname - 1, 'f');
    std::string ext = "." + std::string(kGsMaxExt - 2, 'e');
    GsPathParts parts;
    ASSERT_TRUE(GsSplitPath(("C:" + dir + fname + ext).c_str(), Cp932Lead, &parts));
    EXPECT_EQ(parts.dir + std::string("|") + parts.fname + parts.ext, dir + "|" + fname + ext);
    for (const std::string& path : {"C:d" + dir + fname + ext, "C:" + dir + "f" + fname + ext,
                                    "C:" + dir + fname + ext + "e"}) {
        EXPECT_FALSE(GsSplitPath(path.c_str(), Cp932Lead, &parts));
        EXPECT_EQ(std::string(parts.drive) + parts.dir + parts.fname + parts.ext, "");
    }
}

TEST(GsPathSplit, EndsWithBackslashLooksAtTheLastCharacter)
{
    EXPECT_TRUE(GsEndsWithBackslash("C:\\", Cp932Lead));
    EXPECT_TRUE(GsEndsWithBackslash("C:\\\x95\x5C\\", Cp932Lead));
    EXPECT_FALSE(GsEndsWithBackslash("C:\\\x95\x5C", Cp932Lead)) << "表 ends in a trail byte 0x5C";
    EXPECT_FALSE(GsEndsWithBackslash("C:\\\x83\x5C\x83\x5C", Cp932Lead));
    EXPECT_FALSE(GsEndsWithBackslash("C:/", Cp932Lead));
    EXPECT_FALSE(GsEndsWithBackslash("", Cp932Lead));
    EXPECT_TRUE(GsEndsWithBackslash("a\x95\\", nullptr)) << "without a code page every byte is one character";
}

}  // namespace

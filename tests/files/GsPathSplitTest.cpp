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

// 表 and ソ end in the byte 0x5C, the backslash.
const char kHyo[] = "\x95\x5C";
const char kSo[] = "\x83\x5C";

TEST(GsPathSplit, MatchesTheRuntimeSplitterOnSingleBytePaths)
{
    GsPathParts parts;
    ASSERT_TRUE(GsSplitPath("C:\\dir.x\\sub/file.name.ext", Cp932Lead, &parts));
    EXPECT_STREQ(parts.drive, "C:");
    EXPECT_STREQ(parts.dir, "\\dir.x\\sub/");
    EXPECT_STREQ(parts.fname, "file.name");
    EXPECT_STREQ(parts.ext, ".ext");

    ASSERT_TRUE(GsSplitPath(".hidden", Cp932Lead, &parts));
    EXPECT_STREQ(parts.fname, "");
    EXPECT_STREQ(parts.ext, ".hidden");

    ASSERT_TRUE(GsSplitPath("name.", Cp932Lead, &parts));
    EXPECT_STREQ(parts.fname, "name");
    EXPECT_STREQ(parts.ext, ".");
}

TEST(GsPathSplit, DoubleByteAwareAndClearsEverythingOnOverflow)
{
    GsPathParts parts;
    std::string path = std::string("C:\\") + kHyo + "\\a" + kSo + ".pak";
    ASSERT_TRUE(GsSplitPath(path.c_str(), Cp932Lead, &parts));
    EXPECT_EQ(std::string(parts.dir), std::string("\\") + kHyo + "\\");
    EXPECT_EQ(std::string(parts.fname), std::string("a") + kSo);
    EXPECT_STREQ(parts.ext, ".pak");

    // Without the lead-byte test the same path splits at the trail bytes, as Wine's
    // _splitpath_s does: the reason the split is the project's own.
    ASSERT_TRUE(GsSplitPath(path.c_str(), nullptr, &parts));
    EXPECT_STREQ(parts.fname, "");
    EXPECT_EQ(std::string(parts.dir), std::string("\\") + kHyo + "\\a\x83\\");

    // A lead byte at the very end has no trail byte to take; it stays in the name.
    ASSERT_TRUE(GsSplitPath("a\\b\x95", Cp932Lead, &parts));
    EXPECT_STREQ(parts.dir, "a\\");
    EXPECT_STREQ(parts.fname, "b\x95");

    std::string tooLong = "C:\\" + std::string(300, 'x') + "\\f.e";
    EXPECT_FALSE(GsSplitPath(tooLong.c_str(), Cp932Lead, &parts));
    EXPECT_STREQ(parts.drive, "");
    EXPECT_STREQ(parts.dir, "");
    EXPECT_STREQ(parts.fname, "");
    EXPECT_STREQ(parts.ext, "");
}

TEST(GsPathSplit, EachPartMayFillItsBufferButNotOverflowIt)
{
    std::string dir = std::string(kGsMaxDir - 2, 'd') + "\\";
    std::string fname(kGsMaxFname - 1, 'f');
    std::string ext = "." + std::string(kGsMaxExt - 2, 'e');
    GsPathParts parts;
    ASSERT_TRUE(GsSplitPath(("C:" + dir + fname + ext).c_str(), Cp932Lead, &parts));
    EXPECT_EQ(parts.dir, dir);
    EXPECT_EQ(parts.fname, fname);
    EXPECT_EQ(parts.ext, ext);

    const std::string tooLong[] = {"C:d" + dir + fname + ext, "C:" + dir + "f" + fname + ext,
                                   "C:" + dir + fname + ext + "e"};
    for (const std::string& path : tooLong) {
        EXPECT_FALSE(GsSplitPath(path.c_str(), Cp932Lead, &parts));
        EXPECT_STREQ(parts.drive, "");
        EXPECT_STREQ(parts.dir, "");
        EXPECT_STREQ(parts.fname, "");
        EXPECT_STREQ(parts.ext, "");
    }
}

}  // namespace

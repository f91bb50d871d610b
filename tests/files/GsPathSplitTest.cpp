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
        bool dbcs;
        const char *drive, *dir, *fname, *ext;
    } cases[] = {
        {"C:\\dir.x\\sub/file.name.ext", true, "C:", "\\dir.x\\sub/", "file.name", ".ext"},
        {".hidden", true, "", "", "", ".hidden"},
        // 表 and ソ end in the byte 0x5C, the backslash.
        {"C:\\\x95\x5C\\a\x83\x5C.pak", true, "C:", "\\\x95\x5C\\", "a\x83\x5C", ".pak"},
        // Without the lead-byte test the trail bytes split, as Wine's _splitpath_s does.
        {"C:\\\x95\x5C\\a\x83\x5C.pak", false, "C:", "\\\x95\\\\a\x83\\", "", ".pak"},
        // A lead byte at the very end has no trail byte; it stays in the name.
        {"a\\b\x95", true, "", "a\\", "b\x95", ""},
    };
    for (const auto& c : cases) {
        GsPathParts parts;
        ASSERT_TRUE(GsSplitPath(c.path, c.dbcs ? Cp932Lead : nullptr, &parts)) << c.path;
        EXPECT_STREQ(parts.drive, c.drive);
        EXPECT_STREQ(parts.dir, c.dir);
        EXPECT_STREQ(parts.fname, c.fname);
        EXPECT_STREQ(parts.ext, c.ext);
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

}  // namespace

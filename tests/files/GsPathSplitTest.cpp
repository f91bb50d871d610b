// The double-byte-aware path split; pure, so it also runs natively under the sanitizers.
#include "base/GsPath.h"
#include "files/GsPathSplit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(GsPathSplit, SplitsAtTheLastSeparatorAndDotAndRefusesPartsTooLong)
{
    // Code page 932 lead bytes, fixed here so the split is checked whatever the code page.
    const GsLeadByteFn lead = [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
    const std::string dir = std::string(kGsMaxDir - 2, 'd') + "\\", name(kGsMaxFname - 1, 'f');
    const std::string ext = "." + std::string(kGsMaxExt - 2, 'e');
    // 表 (\x95\x5C) and ソ (\x83\x5C) end in the byte 0x5C, the backslash; a lead byte at the
    // very end has no trail byte and stays in the name; a leading dot starts the extension.
    // Every part may fill its buffer, but one byte more clears all of them.
    const std::string cases[][2] = {
        {"C:\\dir.x\\sub/file.name.ext", "C:|\\dir.x\\sub/|file.name|.ext"},
        {"C:\\\x95\x5C\\a\x83\x5C.pak", "C:|\\\x95\x5C\\|a\x83\x5C|.pak"},
        {"a\\.b\x95", "|a\\||.b\x95"},
        {"C:" + dir + name + ext, "C:|" + dir + "|" + name + "|" + ext},
        {"C:d" + dir + name + ext, "refused |||"},
        {"C:" + dir + "f" + name + ext, "refused |||"},
        {"C:" + dir + name + ext + "e", "refused |||"},
    };
    for (const auto& c : cases) {
        GsPathParts p;
        std::vector<char> exact(c[0].c_str(), c[0].c_str() + c[0].size() + 1);  // the sanitizer sees any read past it
        bool ok = GsSplitPath(exact.data(), lead, &p);
        EXPECT_EQ((ok ? "" : "refused ") + std::string(p.drive) + "|" + p.dir + "|" + p.fname + "|" + p.ext, c[1]);
    }
}

// ASCII letters fold, a double-byte character (0x82 0x61) stays, and a lone lead byte at the end
// stops the walk at its terminator: the byte behind it is not the text's.
TEST(GsFoldCase, FoldsAsciiLettersOnlyAndStopsAtTheTerminator)
{
    char text[] = "aZ\x82" "a\x81\0x";
    GsFoldCase(text, sizeof(text), true);
    EXPECT_EQ(std::string(text, sizeof(text)), std::string("AZ\x82" "a\x81\0x", sizeof(text)));
    GsFoldCase(text, 2, false);
    EXPECT_EQ(std::string(text, 3), "az\x82");
}

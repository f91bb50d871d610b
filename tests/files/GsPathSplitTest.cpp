// The double-byte-aware path split; pure, so it also runs natively under the sanitizers.
#include "files/GsPathSplit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Code page 932 lead bytes, fixed here so the split is checked whatever the code page.
bool Cp932Lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TEST(GsPathSplit, SplitsAtTheLastSeparatorAndDotAndRefusesPartsTooLong)
{
    const std::string dir = std::string(kGsMaxDir - 2, 'd') + "\\", name(kGsMaxFname - 1, 'f');
    const std::string ext = "." + std::string(kGsMaxExt - 2, 'e');
    // 表 (\x95\x5C) and ソ (\x83\x5C) end in the byte 0x5C, the backslash; a lead byte at the
    // very end has no trail byte and stays in the name. Every part may fill its buffer, but
    // one byte more clears all of them.
    const std::string cases[][2] = {
        {"C:\\dir.x\\sub/file.name.ext", "C:|\\dir.x\\sub/|file.name|.ext"},
        {".hidden", "|||.hidden"},
        {"C:\\\x95\x5C\\a\x83\x5C.pak", "C:|\\\x95\x5C\\|a\x83\x5C|.pak"},
        {"a\\b\x95", "|a\\|b\x95|"},
        {"C:" + dir + name + ext, "C:|" + dir + "|" + name + "|" + ext},
        {"C:d" + dir + name + ext, ""},
        {"C:" + dir + "f" + name + ext, ""},
        {"C:" + dir + name + ext + "e", ""},
    };
    for (const auto& c : cases) {
        GsPathParts p;
        std::vector<char> exact(c[0].c_str(), c[0].c_str() + c[0].size() + 1);  // the sanitizer sees any read past it
        bool ok = GsSplitPath(exact.data(), Cp932Lead, &p);
        std::string parts = std::string(p.drive) + p.dir + p.fname + p.ext;
        EXPECT_EQ(ok ? std::string(p.drive) + "|" + p.dir + "|" + p.fname + "|" + p.ext : parts, c[1]) << c[0];
    }
}

}  // namespace

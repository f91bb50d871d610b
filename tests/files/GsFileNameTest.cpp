#include "files/GsFileName.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

TEST(GsFileName, JoinsWithOneSeparatorAndSplitsTheJoinedPath)
{
    const std::string dir256 = "C:" + std::string(255, 'd'), dir255 = "C:" + std::string(254, 'd') + "\\";
    // 表 (\x95\x5C) ends in the byte 0x5C, the backslash.
    const struct {
        std::string folder, name, path, pathFolder, pathName;
    } cases[] = {
        {"C:\\Game", "Scr01.pak", "C:\\Game\\Scr01.pak", "C:\\Game\\", "Scr01.pak"},
        {"C:\\Game\\", "Scr01.pak", "C:\\Game\\Scr01.pak", "C:\\Game\\", "Scr01.pak"},
        {"", "sub\\dir/a.txt", "sub\\dir/a.txt", "sub\\dir/", "a.txt"},
        {"C:/data/", "f.bin", "C:/data/\\f.bin", "C:/data/\\", "f.bin"},
        {"C:\\v1.2", "archive.tar.gz", "C:\\v1.2\\archive.tar.gz", "C:\\v1.2\\", "archive.tar.gz"},
        // A folder ending in 表 still gets its separator; the split steps over the trail bytes.
        {"C:\\\x95\x5C", "a\x83\x5C.pak", "C:\\\x95\x5C\\a\x83\x5C.pak", "C:\\\x95\x5C\\", "a\x83\x5C.pak"},
        {"C:\\\x95\x5C\\x", "\x83\x5C.pak", "C:\\\x95\x5C\\x\\\x83\x5C.pak", "C:\\\x95\x5C\\x\\", "\x83\x5C.pak"},
        // The directory part may hold 255 bytes; one more empties name and folder.
        {dir255, "a.txt", dir255 + "a.txt", dir255, "a.txt"},
        {dir256, "a.txt", dir256 + "\\a.txt", "", ""},
    };
    if (GetACP() != 932)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932 (run with LC_ALL=ja_JP.UTF-8)";
    for (const auto& c : cases) {
        CGsFileName p(c.folder.c_str(), c.name.c_str());
        EXPECT_EQ(p.GetPath(), c.path);
        EXPECT_EQ(p.GetFolder(), c.pathFolder) << c.path;
        EXPECT_EQ(p.GetName(), c.pathName) << c.path;
    }
}

}  // namespace

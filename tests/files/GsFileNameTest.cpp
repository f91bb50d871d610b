#include "files/GsFileName.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// 表 and ソ end in the byte 0x5C, the backslash.
const char kHyo[] = "\x95\x5C";
const char kSo[] = "\x83\x5C";

void ExpectPath(const CGsFileName& p, const std::string& path, const std::string& folder,
                const std::string& name)
{
    EXPECT_EQ(p.GetPath(), path);
    EXPECT_EQ(p.GetFolder(), folder);
    EXPECT_EQ(p.GetName(), name);
}

TEST(GsFileName, JoinsWithExactlyOneSeparator)
{
    ExpectPath(CGsFileName("C:\\Game", "Scr01.pak"), "C:\\Game\\Scr01.pak", "C:\\Game\\", "Scr01.pak");
    ExpectPath(CGsFileName("C:\\Game\\", "Scr01.pak"), "C:\\Game\\Scr01.pak", "C:\\Game\\", "Scr01.pak");
    ExpectPath(CGsFileName("", "a.txt"), "a.txt", "", "a.txt");
    // An empty name leaves the folder with its separator as the whole path.
    ExpectPath(CGsFileName("C:\\Game", ""), "C:\\Game\\", "C:\\Game\\", "");
    ExpectPath(CGsFileName("", ""), "", "", "");
}

TEST(GsFileName, SplitsTheJoinedPathNotTheArguments)
{
    // Folders inside the name move into the folder half.
    ExpectPath(CGsFileName("D:\\x", "sub\\a.txt"), "D:\\x\\sub\\a.txt", "D:\\x\\sub\\", "a.txt");
    ExpectPath(CGsFileName("", "sub\\dir/a.txt"), "sub\\dir/a.txt", "sub\\dir/", "a.txt");
    // A forward slash is no backslash: one is still added, and both count as separators.
    ExpectPath(CGsFileName("C:/data/", "f.bin"), "C:/data/\\f.bin", "C:/data/\\", "f.bin");
    // The split cuts at the last dot; the name keeps every dot.
    ExpectPath(CGsFileName("C:\\a", "archive.tar.gz"), "C:\\a\\archive.tar.gz", "C:\\a\\", "archive.tar.gz");
    // A dot in a folder is not an extension of the name.
    ExpectPath(CGsFileName("C:\\v1.2", "readme"), "C:\\v1.2\\readme", "C:\\v1.2\\", "readme");
    // A drive alone has no separator.
    ExpectPath(CGsFileName("", "C:a.txt"), "C:a.txt", "C:", "a.txt");
}

TEST(GsFileName, StepsOverDoubleByteCharactersEndingInBackslashByte)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932 (run with LC_ALL=ja_JP.UTF-8)";
    // A folder ending in 表 gets no separator (only the last byte is compared), and the split
    // does not take 表's trail byte for one either.
    std::string folder = std::string("C:\\") + kHyo;
    std::string name = std::string("a") + kSo + ".pak";
    ExpectPath(CGsFileName(folder.c_str(), name.c_str()), folder + name, "C:\\",
               std::string(kHyo) + name);
    // Double-byte folders and names in the usual shape.
    std::string deep = std::string("C:\\") + kHyo + "\\" + kSo + "x";
    std::string file = std::string(kSo) + "1.pak";
    ExpectPath(CGsFileName(deep.c_str(), file.c_str()), deep + "\\" + file, deep + "\\", file);
}

TEST(GsFileName, OverLongPartEmptiesNameAndFolderButKeepsPath)
{
    // The directory part may hold 255 bytes, the file name 255, the extension 255.
    std::string dir255 = "C:" + std::string(254, 'd') + "\\";
    ExpectPath(CGsFileName(dir255.c_str(), "a.txt"), dir255 + "a.txt", dir255, "a.txt");

    std::string dir256 = "C:" + std::string(255, 'd');
    CGsFileName longDir(dir256.c_str(), "a.txt");
    ExpectPath(longDir, dir256 + "\\a.txt", "", "");

    std::string longName = std::string(256, 'n') + ".txt";
    ExpectPath(CGsFileName("C:\\x", longName.c_str()), "C:\\x\\" + longName, "", "");
    std::string longExt = "a." + std::string(255, 'e');
    ExpectPath(CGsFileName("C:\\x", longExt.c_str()), "C:\\x\\" + longExt, "", "");
}

}  // namespace

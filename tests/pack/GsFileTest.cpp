#include "pack/GsFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

class GsFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char dir[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "gsf", 0, name);
        path = name;
    }
    void TearDown() override { DeleteFileA(path.c_str()); }
    std::string Contents()
    {
        CGsFile in;
        char buffer[4096];
        size_t n = 0;
        in.Open(path.c_str(), GSFILE_READ | GSFILE_BINARY);
        in.Read(buffer, sizeof buffer, &n);
        return std::string(buffer, n);
    }
    std::string path;
    CGsFile file;
};

TEST(GsFileMode, DecisionTable)
{
    const std::pair<int, const char*> cases[] = {
        {0x23, "wb+"}, {0x27, "rb+"}, {0x2B, "ab+"}, {0x13, "wt+"}, {0x33, "wb+"}, {0x03, "w+"},
        {0x07, "r+"},  {0x0B, "a+"},  {0x21, "rb"},  {0x22, "wb"},  {0x2A, "ab"},  {0x11, "rt"},
        {0x06, "w"},   {0x00, "r"},   {0x31, "rb"},  {0x10, "rt"},  {0x0E, "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CGsFile::ModeText(c.first), c.second) << "flags 0x" << std::hex << c.first;
}

TEST_F(GsFileTest, ClosedObjectAnswersEveryOperationAndTouchesNothing)
{
    char buffer[8] = "guard";
    size_t done = 77;
    int value = 1;
    EXPECT_EQ(file.Read(buffer, 4, &done) + file.Write(buffer, 4, &done) + file.WriteDword(&value, &done) +
                  file.WriteWord(&value, &done) + file.WriteByte(&value, &done) + file.Seek(0, 0),
              0);
    EXPECT_EQ(done, 77u);
    EXPECT_STREQ(buffer, "guard");
    EXPECT_EQ(file.GetSize() + file.Tell(), 0);
    EXPECT_EQ(file.GetState(), GSFILE_NOT_OPEN);
    EXPECT_EQ(file.ReadLine(buffer, sizeof buffer), nullptr);
    EXPECT_EQ(file.WriteString("x"), -1);
    EXPECT_EQ(file.PrintLine("%d", 5), -1);
    // A failed open keeps the path; "r+" updates an existing file only.
    std::string missing = path + ".missing";
    EXPECT_EQ(file.Open(missing.c_str(), GSFILE_READ | GSFILE_WRITE | GSFILE_EXISTING), 0);
    EXPECT_EQ(file.GetFileName(), missing);
    EXPECT_EQ(file.GetState(), GSFILE_NOT_OPEN);
}

TEST_F(GsFileTest, BinaryReadWriteSizeAndPositions)
{
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_READ | GSFILE_WRITE | GSFILE_BINARY), 1);
    const unsigned int dword = 0x11223344u;
    size_t done = 0;
    EXPECT_EQ(file.WriteDword(&dword, &done) + file.WriteWord(&dword, nullptr) + file.WriteByte(&dword, nullptr), 3);
    EXPECT_EQ(done, 4u);
    ASSERT_EQ(file.Seek(2, 0), 1);
    EXPECT_EQ(file.GetSize(), 7);
    EXPECT_EQ(file.Tell(), 2) << "GetSize moved the position";
    // Origin 1 is the current position, 2 the end, anything else the start.
    const long seeks[][3] = {{1, GSFILE_SEEK_CUR, 3}, {-1, GSFILE_SEEK_END, 6}, {5, 7, 5}, {0, 0, 0}};
    for (const auto& s : seeks)
        EXPECT_TRUE(file.Seek(s[0], int(s[1])) == 1 && file.Tell() == s[2]) << "origin " << s[1];
    EXPECT_EQ(file.Seek(-1, 0), 0);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 8, &done), 1);
    EXPECT_EQ(std::string(buffer, done), std::string("\x44\x33\x22\x11\x44\x33\x44", 7));
    // At the end: a read succeeds with nothing, and the state says end of file.
    EXPECT_EQ(file.Read(buffer, 4, &done), 1);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.GetState(), GSFILE_EOF);
}

TEST_F(GsFileTest, TextLinesAndPrintLineNeverWritesPastItsBuffer)
{
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_WRITE | GSFILE_BINARY), 1);
    EXPECT_GE(file.PrintLine("%d", 5), 0);
    std::string fits(510, 'a');
    EXPECT_GE(file.PrintLine("%s", fits.c_str()), 0);
    // One byte more leaves no room for the line feed: refused whole, nothing written.
    EXPECT_EQ(file.PrintLine("%s", std::string(511, 'b').c_str()), -1);
    EXPECT_EQ(file.PrintLine("%s%d", std::string(5000, 'c').c_str(), 1), -1);
    EXPECT_GE(file.WriteString("no feed"), 0);
    file.Close();
    EXPECT_EQ(Contents(), "5\n" + fits + "\nno feed");

    ASSERT_EQ(file.Open(path.c_str(), GSFILE_READ | GSFILE_BINARY), 1);
    char line[16];
    ASSERT_NE(file.ReadLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "5\n");
    ASSERT_NE(file.ReadLine(line, 4), nullptr);  // at most size - 1 bytes per call
    EXPECT_STREQ(line, "aaa");
}

}  // namespace

#include "pack/GsFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
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
        std::string bytes;
        FILE* fp = nullptr;
        if (fopen_s(&fp, path.c_str(), "rb") != 0)
            return bytes;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, fp)) > 0)
            bytes.append(buffer, n);
        std::fclose(fp);
        return bytes;
    }

    std::string path;
};

TEST(GsFileMode, DecisionTable)
{
    const struct {
        int flags;
        const char* mode;
    } cases[] = {
        {0x23, "wb+"}, {0x27, "rb+"}, {0x2B, "ab+"}, {0x13, "wt+"}, {0x33, "wb+"}, {0x03, "w+"},
        {0x07, "r+"},  {0x0B, "a+"},  {0x21, "rb"},  {0x22, "wb"},  {0x2A, "ab"},  {0x11, "rt"},
        {0x06, "w"},   {0x00, "r"},   {0x31, "rb"},  {0x10, "rt"},  {0x0E, "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CGsFile::ModeText(c.flags), c.mode) << "flags 0x" << std::hex << c.flags;
}

TEST_F(GsFileTest, ClosedObjectAnswersEveryOperationAndTouchesNothing)
{
    CGsFile file;
    char buffer[8] = "guard";
    size_t done = 77;
    int value = 1;
    EXPECT_EQ(file.Read(buffer, 4, &done), 0);
    EXPECT_EQ(file.Write(buffer, 4, &done), 0);
    EXPECT_EQ(file.WriteDword(&value, &done), 0);
    EXPECT_EQ(file.WriteWord(&value, &done), 0);
    EXPECT_EQ(file.WriteByte(&value, &done), 0);
    EXPECT_EQ(done, 77u);
    EXPECT_STREQ(buffer, "guard");
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_EQ(file.Seek(0, 0), 0);
    EXPECT_EQ(file.GetState(), GSFILE_NOT_OPEN);
    EXPECT_EQ(file.ReadLine(buffer, sizeof buffer), nullptr);
    EXPECT_EQ(file.WriteString("x"), -1);
    EXPECT_EQ(file.PrintLine("%d", 5), -1);
    EXPECT_EQ(file.AddRef(), 0);
    file.Close();
    EXPECT_STREQ(file.GetFileName(), "");
}

TEST_F(GsFileTest, OpenKeepsThePathAndClosesTheFileBefore)
{
    CGsFile file;
    std::string missing = path + ".missing";
    EXPECT_EQ(file.Open(missing.c_str(), GSFILE_READ | GSFILE_BINARY), 0);
    EXPECT_EQ(file.GetFileName(), missing);
    EXPECT_EQ(file.GetState(), GSFILE_NOT_OPEN);
    // "r+" updates an existing file only.
    EXPECT_EQ(file.Open(missing.c_str(), GSFILE_READ | GSFILE_WRITE | GSFILE_EXISTING), 0);

    ASSERT_EQ(file.Open(path.c_str(), GSFILE_WRITE | GSFILE_BINARY), 1);
    ASSERT_EQ(file.Write("abc", 3, nullptr), 1);
    // Opening another file closes (and so flushes) this one first.
    EXPECT_EQ(file.Open(missing.c_str(), GSFILE_READ), 0);
    EXPECT_EQ(Contents(), "abc");
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_WRITE | GSFILE_APPEND | GSFILE_BINARY), 1);
    file.Write("de", 2, nullptr);
    file.Close();
    EXPECT_STREQ(file.GetFileName(), "");
    EXPECT_EQ(Contents(), "abcde");

    CGsFile* heap = new CGsFile;
    ASSERT_EQ(heap->Open(path.c_str(), GSFILE_READ | GSFILE_WRITE | GSFILE_EXISTING | GSFILE_BINARY), 1);
    heap->Write("X", 1, nullptr);
    EXPECT_EQ(heap->Release(), 0);  // closes the file on the way
    EXPECT_EQ(Contents(), "Xbcde");
}

TEST_F(GsFileTest, BinaryReadWriteSizeAndPositions)
{
    CGsFile file;
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_READ | GSFILE_WRITE | GSFILE_BINARY), 1);
    const unsigned int dword = 0x11223344u;
    const unsigned short word = 0x5566;
    const unsigned char byte = 0x77;
    size_t done = 0;
    EXPECT_EQ(file.WriteDword(&dword, &done), 1);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(file.WriteWord(&word, &done), 1);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(file.WriteByte(&byte, &done), 1);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(file.Tell(), 7);
    // Size from the middle leaves the position where it was.
    ASSERT_EQ(file.Seek(2, 0), 1);
    EXPECT_EQ(file.GetSize(), 7);
    EXPECT_EQ(file.Tell(), 2);
    // Origin 1 is the current position, 2 the end, anything else the start.
    EXPECT_EQ(file.Seek(1, GSFILE_SEEK_CUR), 1);
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_EQ(file.Seek(-1, GSFILE_SEEK_END), 1);
    EXPECT_EQ(file.Tell(), 6);
    EXPECT_EQ(file.Seek(5, 7), 1);
    EXPECT_EQ(file.Tell(), 5);
    EXPECT_EQ(file.Seek(-1, 0), 0);

    char buffer[8] = {};
    ASSERT_EQ(file.Seek(0, 0), 1);
    EXPECT_EQ(file.Read(buffer, 7, &done), 1);
    EXPECT_EQ(done, 7u);
    EXPECT_EQ(std::string(buffer, 7), std::string("\x44\x33\x22\x11\x66\x55\x77", 7));
    EXPECT_EQ(file.GetState(), GSFILE_OK);
    // At the end: a read succeeds with nothing, and the state says end of file.
    EXPECT_EQ(file.Read(buffer, 4, &done), 1);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.GetState(), GSFILE_EOF);
}

TEST_F(GsFileTest, TextLines)
{
    CGsFile file;
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_WRITE | GSFILE_BINARY), 1);
    EXPECT_GE(file.PrintLine("%d", 5), 0);
    EXPECT_GE(file.WriteString("no feed"), 0);
    file.Close();
    EXPECT_EQ(Contents(), "5\nno feed");

    ASSERT_EQ(file.Open(path.c_str(), GSFILE_READ | GSFILE_BINARY), 1);
    char line[16];
    ASSERT_NE(file.ReadLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "5\n");
    // At most size - 1 bytes per call.
    ASSERT_NE(file.ReadLine(line, 4), nullptr);
    EXPECT_STREQ(line, "no ");
    ASSERT_NE(file.ReadLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "feed");
    EXPECT_EQ(file.ReadLine(line, sizeof line), nullptr);
}

TEST_F(GsFileTest, PrintLineNeverWritesPastItsBuffer)
{
    CGsFile file;
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_WRITE | GSFILE_BINARY), 1);
    std::string fits(510, 'a');
    EXPECT_GE(file.PrintLine("%s", fits.c_str()), 0);
    // One byte more leaves no room for the line feed: refused whole, nothing written.
    std::string tooLong(511, 'b');
    EXPECT_EQ(file.PrintLine("%s", tooLong.c_str()), -1);
    std::string huge(5000, 'c');
    EXPECT_EQ(file.PrintLine("%s%d", huge.c_str(), 1), -1);
    file.Close();
    EXPECT_EQ(Contents(), fits + "\n");
}

}  // namespace

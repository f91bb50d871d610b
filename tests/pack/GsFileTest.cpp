#include "pack/GsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(GsFile, ModeTextDecisionTable)
{
    const std::pair<int, const char*> cases[] = {
        {0x23, "wb+"}, {0x27, "rb+"}, {0x2B, "ab+"}, {0x13, "wt+"}, {0x33, "wb+"}, {0x03, "w+"},
        {0x07, "r+"},  {0x0B, "a+"},  {0x21, "rb"},  {0x22, "wb"},  {0x2A, "ab"},  {0x11, "rt"},
        {0x06, "w"},   {0x00, "r"},   {0x31, "rb"},  {0x10, "rt"},  {0x0E, "a"},
    };
    for (const auto& c : cases) EXPECT_EQ(CGsFile::ModeText(c.first), c.second) << "flags 0x" << std::hex << c.first;
}

TEST(GsFile, ClosedThenLinesWithinTheirBuffer)
{
    std::string path = (std::filesystem::temp_directory_path() / "gsfile-test.bin").string();
    std::filesystem::remove(path);  // a leftover of an aborted run
    CGsFile file;
    // Closed, every operation answers and touches nothing.
    char buffer[8] = "guard";
    size_t done = 77;
    EXPECT_EQ(file.Read(buffer, 4, &done) + file.Write(buffer, 4, &done), 0);
    EXPECT_TRUE(done == 77 && std::string(buffer) == "guard");
    EXPECT_TRUE(file.ReadLine(buffer, sizeof buffer) == nullptr && file.WriteString("x") + file.PrintLine("x") == -2);
    // A failed open keeps the path; "r+" updates an existing file only.
    EXPECT_EQ(file.Open(path.c_str(), GSFILE_READ | GSFILE_WRITE | GSFILE_EXISTING), 0);
    EXPECT_TRUE(file.GetFileName() == path && file.GetState() == GSFILE_NOT_OPEN);

    // A line that leaves no room for the line feed in 512 bytes is refused whole.
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_WRITE | GSFILE_BINARY), 1);
    std::string fits(510, 'a');
    EXPECT_TRUE(file.PrintLine("%d", 5) >= 0 && file.PrintLine("%s", fits.c_str()) >= 0);
    EXPECT_EQ(file.PrintLine("%s", std::string(511, 'b').c_str()), -1);
    EXPECT_GE(file.WriteString("end"), 0);
    ASSERT_EQ(file.Open(path.c_str(), GSFILE_READ | GSFILE_BINARY), 1);
    std::string text(600, '\0');
    text.resize(file.Read(&text[0], text.size(), &done) ? done : 0);
    EXPECT_EQ(text, "5\n" + fits + "\nend");
    file.Close();
    std::filesystem::remove(path);
}

}  // namespace

#include "files/GsCopyList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GsCopyList, AddKeepsOrderAndCopiesThePathObjectsAsTheyStand)
{
    CGsCopyList list;
    list.Clear();  // on an empty list: nothing happens
    EXPECT_EQ(list.GetJobCount(), 0u);

    // A path whose directory part is too long has an empty name; it is accepted as it is.
    std::string longDir = "C:\\" + std::string(300, 'd');
    CGsFileName overLong(longDir.c_str(), "a.pak");
    CGsFileName dst("D:\\game", "a.pak");
    list.Add(CGsFileName("C:\\src", "one.pak"), dst);
    list.Add(overLong, dst);
    list.Add(overLong, dst);  // repeated jobs stay two jobs
    ASSERT_EQ(list.GetJobCount(), 3u);
    EXPECT_STREQ(list.GetJob(0).m_source.GetName(), "one.pak");
    EXPECT_EQ(list.GetJob(1).m_source.GetPath(), longDir + "\\a.pak");
    EXPECT_STREQ(list.GetJob(1).m_source.GetName(), "");
    EXPECT_STREQ(list.GetJob(2).m_destination.GetFolder(), "D:\\game\\");
    EXPECT_EQ(list.GetJob(2).m_size, 0);
}

TEST(GsCopyList, ClearDropsJobsButKeepsThePrompt)
{
    CGsCopyList list;
    list.Add(CGsFileName("C:\\a", "b"), CGsFileName("C:\\c", "d"));
    list.RequestAbort("stop?", "title");
    list.Clear();
    EXPECT_EQ(list.GetJobCount(), 0u);
    EXPECT_EQ(list.GetPromptText(), "stop?");
    EXPECT_EQ(list.GetPromptCaption(), "title");
    EXPECT_EQ(list.GetAbortRequest(), 1);
    list.RequestAbort(nullptr, nullptr);
    EXPECT_EQ(list.GetPromptText(), "中止しますか？");
    EXPECT_EQ(list.GetPromptCaption(), "ファイルコピー");
}

}  // namespace

#include "base/StrFormat.h"

#include <gtest/gtest.h>

TEST(StrFormat, FormatsShortAndLongTexts)
{
    EXPECT_EQ(StrFormat("%s %d", "file", 7), "file 7");
    EXPECT_EQ(StrFormat("%s", ""), "");
    // Longer than the first working buffer: the result must be whole, not cut at 511.
    std::string longName(3000, 'x');
    std::string s = StrFormat("[%s]", longName.c_str());
    ASSERT_EQ(s.size(), 3002u);
    EXPECT_EQ(s.front(), '[');
    EXPECT_EQ(s.back(), ']');
    // Exactly at the boundary of the first buffer (511 characters plus terminator).
    std::string edge(511, 'y');
    EXPECT_EQ(StrFormat("%s", edge.c_str()), edge);
    std::string over(512, 'z');
    EXPECT_EQ(StrFormat("%s", over.c_str()), over);
}

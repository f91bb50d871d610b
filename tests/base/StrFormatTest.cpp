#include "base/StrFormat.h"

#include <gtest/gtest.h>

TEST(StrFormat, FormatsWholeTextsAroundTheFirstBufferOf512Bytes)
{
    EXPECT_EQ(StrFormat("%s %d", "file", 7), "file 7");
    for (size_t n : {0, 509, 510, 3000})  // 511 and 512 characters: the edge
        EXPECT_EQ(StrFormat("[%s]", std::string(n, 'x').c_str()), "[" + std::string(n, 'x') + "]");
}

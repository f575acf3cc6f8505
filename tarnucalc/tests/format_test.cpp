#include "format.h"

#include <gtest/gtest.h>

using namespace tarnu;

TEST(MoneyText, Examples) {
    EXPECT_EQ(MoneyText(0.5), "伍角整");
    EXPECT_EQ(MoneyText(1.05), "壹元零伍分");
}

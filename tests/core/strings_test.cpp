#include "lutrovane_core.h"

#include <gtest/gtest.h>

TEST(CompareKeyNames, IgnoresCaseOfLatinLettersOnly)
{
    EXPECT_EQ(0, CompareKeyNames("CapsLock", "capslock"));
    EXPECT_EQ(0, CompareKeyNames("control(왼쪽)", "Control(왼쪽)"));
    EXPECT_NE(0, CompareKeyNames("F1", "F13"));
}

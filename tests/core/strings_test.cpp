#include "lutrovane_core.h"

#include <gtest/gtest.h>

// Every letter here: a table's index and a scan from row 0 share the folding.
// A trail byte that is a letter's byte is the key names' fuzz target's seed.
TEST(CompareKeyNames, LetterCaseCountedOrDoubleByteCharactersFolded)
{
    EXPECT_EQ(0, CompareKeyNames("\x81\x41" "abcdefghijklmnopqrstuvwxyz(왼쪽)", "\x81\x41" "ABCDEFGHIJKLMNOPQRSTUVWXYZ(왼쪽)"));
    EXPECT_TRUE(CompareKeyNames("F1", "F13") < 0 && CompareKeyNames("F13", "F1") > 0);
}

// Copies share one buffer: a changed copy gets its own, and a buffer lives until its
// last copy goes, also while a string takes its own text. Format and Mid stay in their text.
TEST(CString, ChangeOrEndOfOneCopyReachesAnotherOrFormatOrMidReachesPastItsText)
{
    CString a("CapsLock"), b(a), c;
    c = b;
    a.Format("◁ %s", a);
    EXPECT_STREQ("\xA2\xB7 CapsLock", a);  // the triangle is A2 B7 in code page 949
    a = static_cast<const char*>(a) + 7;
    EXPECT_STREQ("Lock", a);
    EXPECT_STREQ("", CString("ab").Mid(3));
    b = "F1";
    const CString& alias = c;
    c = alias;
    {
        CString d(c);
        c.Empty();
        c = d.Mid(0);
    }
    EXPECT_STREQ("CapsLock", c);
}

// An element that grows the array from itself is the key names' fuzz target's.
TEST(CStringArray, ShrinkLeavesStaleText)
{
    CStringArray arr;
    arr.Add("key");
    arr.SetSize(0);
    arr.SetSize(2);
    EXPECT_STREQ("", arr[0]);
}

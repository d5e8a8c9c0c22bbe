#include "lutrovane_core.h"

#include <gtest/gtest.h>

TEST(CompareKeyNames, FoldsLatinLettersButNotDoubleByteCharacters)
{
    EXPECT_EQ(0, CompareKeyNames("CapsLock", "capslock"));
    EXPECT_EQ(0, CompareKeyNames("control(왼쪽)", "CONTROL(왼쪽)"));
    EXPECT_NE(0, CompareKeyNames("F1", "F13"));
    EXPECT_NE(0, CompareKeyNames("F13", "F1"));
    EXPECT_NE(0, CompareKeyNames("", "A"));

    // In code page 949 a trail byte can be an ASCII letter's byte: 0x81 0x41
    // and 0x81 0x61 are two different Hangul syllables, not one in two cases.
    EXPECT_NE(0, CompareKeyNames("\x81\x41", "\x81\x61"));
    EXPECT_NE(0, CompareKeyNames("\xB0\x41", "\xB0\x61"));
    EXPECT_EQ(0, CompareKeyNames("\x81\x41x", "\x81\x41X"));
}

TEST(CString, FormatFillsTheOnePlaceholderAndNothingElse)
{
    CString str;
    str.Format("◁ %s", "CapsLock");
    EXPECT_STREQ("\xA2\xB7 CapsLock", str);  // the triangle is A2 B7 in code page 949

    // A stray conversion in a format must not read an argument that is not there.
    str.Format("%s %d %s 100%%", "x");
    EXPECT_STREQ("x %d %s 100%", str);

    str.Format("%s", nullptr);
    EXPECT_STREQ("", str);
}

TEST(CString, MidPastTheEndIsEmpty)
{
    const CString str("\xA2\xBA Shift(왼쪽)");
    EXPECT_STREQ("Shift(왼쪽)", str.Mid(3));
    EXPECT_STREQ("", CString("ab").Mid(3));
    EXPECT_STREQ("", CString().Mid(0));
}

TEST(CString, SelfAssignmentAndAppendKeepTheText)
{
    CString str("키패드");
    str = str;
    str = static_cast<const char*>(str);
    str += CString(" /");
    EXPECT_STREQ("키패드 /", str);
    EXPECT_EQ(8, str.GetLength());
}

TEST(CStringArray, SetAtGrowOfItsOwnElementSurvivesReallocation)
{
    CStringArray arr;
    for (int i = 0; i < 16; ++i)
        arr.Add("key");
    // Growing past the capacity moves the elements while the argument is one of them.
    arr.SetAtGrow(arr.GetSize(), arr[0]);
    ASSERT_EQ(17, arr.GetSize());
    EXPECT_STREQ("key", arr[16]);

    arr.SetSize(0);
    EXPECT_EQ(0, arr.GetSize());
    arr.SetSize(2);
    EXPECT_STREQ("", arr[1]);  // emptied slots come back empty
}

TEST(CWordArray, EmptiedArrayRefillsFromIndexZero)
{
    CWordArray arr;
    for (WORD w = 1; w <= 40; ++w)
        arr.SetAtGrow(arr.GetSize(), w);
    arr.RemoveAll();
    arr.Add(0x3A00);
    ASSERT_EQ(1, arr.GetSize());
    EXPECT_EQ(0x3A00, arr[0]);
    arr.SetSize(3);
    EXPECT_EQ(0, arr[2]);
}

// The history's names and time stamps, without a disk.
#include "history_names.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

// Only the names the history writes are entries: anything else in the folder
// is never listed or deleted, and each number has one name.
TEST(EntryName, OnlyNamesTheHistoryWritesAreEntries)
{
    const struct { const wchar_t* name; unsigned long nNumber; } cases[] = {
        {L"20240501T134507Z.reg", 1}, {L"20240501T134507Z.REG", 1}, {L"20240501T134507Z_2.reg", 2},
        {L"20240501T134507Z_999999.reg", 999999},
        {L"20240501T134507Z_1000000.reg", 0}, {L"20240501T134507Z_02.reg", 0}, {L"20240501T134507Z_1.reg", 0},
        {L"20240501T134507Z_.reg", 0}, {L"20240501T134507Z.reg.bak", 0}, {L"20240501_134507Z.reg", 0},
        {L"20240501T13450xZ.reg", 0}, {L"2024050T134507Z.reg", 0}, {L"lock", 0}, {L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        SEntryName entry = {};
        ASSERT_EQ(c.nNumber != 0, ParseEntryName(c.name, &entry));
        if (c.nNumber) {
            EXPECT_EQ(L"20240501T134507Z", entry.strStamp);
            EXPECT_EQ(c.nNumber, entry.nNumber);
            EXPECT_EQ(0, lstrcmpiW(c.name, EntryName(entry.strStamp, entry.nNumber).c_str())) << "no round trip";
        }
    }
}

// Numbers sort as numbers: "_10" is newer than "_9", or undo takes the wrong map.
TEST(EntryName, TenthChangeOfASecondSortsNewest)
{
    std::vector<SEntryName> entries;
    for (const wchar_t* pszName : {L"20240501T134507Z_9.reg", L"20240501T134507Z_10.reg", L"20240501T134507Z.reg",
                                   L"20240501T134508Z.reg", L"20231231T235959Z_2.reg"}) {
        SEntryName entry;
        ASSERT_TRUE(ParseEntryName(pszName, &entry));
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(), IsNewerEntry);
    std::vector<std::wstring> names;
    for (const SEntryName& entry : entries)
        names.push_back(entry.strName);
    EXPECT_EQ(std::vector<std::wstring>({L"20240501T134508Z.reg", L"20240501T134507Z_10.reg", L"20240501T134507Z_9.reg",
                                         L"20240501T134507Z.reg", L"20231231T235959Z_2.reg"}),
              names);
}

// A stamp read back is the same time, and one second or one hour on crosses
// days, a leap day and years.
TEST(EntryName, StampsReadBackAndCountOnOverDaysAndYears)
{
    const struct { const wchar_t *from, *to; unsigned long nSeconds; } cases[] = {
        {L"20240501T134507Z", L"20240501T134508Z", 1}, {L"20231231T235959Z", L"20240101T000000Z", 1},
        {L"20240228T233000Z", L"20240229T003000Z", 3600}, {L"20230228T233000Z", L"20230301T003000Z", 3600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.from)));
        EXPECT_EQ(c.from, StampOf(TimeOf(c.from)));
        EXPECT_EQ(c.to, StampAfter(TimeOf(c.from), c.nSeconds));
    }
    EXPECT_EQ(L"C:\\ProgramData\\Lutrovane.refused-20240501T134507Z_2",
              RefusedName(L"C:\\ProgramData\\Lutrovane", L"20240501T134507Z", 2));
}

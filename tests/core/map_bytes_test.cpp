#include "lutrovane_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A small table with what the real ones have: a code held twice, a name held
// twice, a Korean name, an extended key.
const SKeyRow kTestRows[] = {
    {"CapsLock", 0x3A00},
    {"Control(왼쪽)", 0x1D00},
    {"Alt(오른쪽)/한글전환", 0x38E0},
    {"F13", 0x5D00},
    {"F13", 0x6400},
    {"Copy of CapsLock", 0x3A00},
};

class CTestTable : public CLutrovaneBase
{
public:
    CTestTable() { InitData(); }

protected:
    void InitData() override
    {
        CLutrovaneBase::InitData();
        AppendKeys(LUTROVANE_ROWS(kTestRows));
    }
};

std::vector<unsigned char> Encode(const std::vector<WORD>& real, const std::vector<WORD>& mapped)
{
    CWordArray realKeys, mappedKeys;
    for (WORD w : real)
        realKeys.Add(w);
    for (WORD w : mapped)
        mappedKeys.Add(w);
    std::vector<unsigned char> buffer(1024, 0);
    EXPECT_EQ(0u, CUtils::MakeRegistryData(realKeys, mappedKeys, buffer.data()));
    return buffer;
}

std::vector<WORD> Decode(unsigned char* pBuffer, int nSelector)
{
    CTestTable table;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(0u, table.GetScancodeMap(pBuffer, names, codes, nSelector));
    EXPECT_EQ(names.GetSize(), codes.GetSize());
    std::vector<WORD> result;
    for (int i = 0; i < codes.GetSize(); ++i)
        result.push_back(codes[i]);
    return result;
}

}  // namespace

TEST(MakeRegistryData, EncodesKnownMapsByteForByte)
{
    const unsigned char kEmpty[16] = {
        0, 0, 0, 0,  // version
        0, 0, 0, 0,  // flags
        1, 0, 0, 0,  // entry count: the null entry alone
        0, 0, 0, 0,  // null entry
    };
    std::vector<unsigned char> bytes = Encode({}, {});
    EXPECT_EQ(0, std::memcmp(kEmpty, bytes.data(), sizeof(kEmpty)));

    // CapsLock acts as the left Control key.
    const unsigned char kCapsToControl[20] = {
        0, 0, 0, 0,              // version
        0, 0, 0, 0,              // flags
        2, 0, 0, 0,              // entry count
        0x1D, 0x00, 0x3A, 0x00,  // mapped key make/prefix, real key make/prefix
        0, 0, 0, 0,              // null entry
    };
    bytes = Encode({0x3A00}, {0x1D00});
    EXPECT_EQ(0, std::memcmp(kCapsToControl, bytes.data(), sizeof(kCapsToControl)));

    // An extended real key keeps its prefix second: right Alt is 38 E0.
    bytes = Encode({0x38E0}, {0x1D00});
    EXPECT_EQ(0x38, bytes[14]);
    EXPECT_EQ(0xE0, bytes[15]);
}

TEST(MakeRegistryData, LargestMapFillsTheBufferExactly)
{
    std::vector<WORD> real(252, 0x3A00), mapped(252, 0x1D00);
    std::vector<unsigned char> bytes = Encode(real, mapped);
    EXPECT_EQ(253, bytes[8]);
    EXPECT_EQ(0x1D, bytes[12 + 4 * 251]);
    EXPECT_EQ(0x3A, bytes[12 + 4 * 251 + 2]);
    EXPECT_EQ(0, bytes[1020] | bytes[1021] | bytes[1022] | bytes[1023]);
}

TEST(MakeRegistryData, WritesNothingPastItsEntries)
{
    std::vector<unsigned char> buffer(1024, 0xCC);
    CWordArray real, mapped;
    real.Add(0x3A00);
    mapped.Add(0x1D00);
    ASSERT_EQ(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
    EXPECT_EQ(0xCC, buffer[20]);
}

TEST(MakeRegistryData, RefusesListsThatWouldOverrunTheBuffer)
{
    std::vector<unsigned char> buffer(1024, 0xCC);
    CWordArray real, mapped;
    for (int i = 0; i < 253; ++i) {
        real.Add(0x3A00);
        mapped.Add(0x1D00);
    }
    {
        SCOPED_TRACE("253 pairs");
        EXPECT_NE(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
        EXPECT_EQ(0xCC, buffer[8]);
    }
    {
        SCOPED_TRACE("fewer mapped keys than real keys");
        real.SetSize(3);
        mapped.SetSize(2);
        EXPECT_NE(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
        EXPECT_EQ(0xCC, buffer[8]);
    }
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, real, nullptr));
}

TEST(GetScancodeMap, RoundTripsBothKeysOfEveryPairInOrder)
{
    const std::vector<WORD> real = {0x3A00, 0x38E0, 0x3A00, 0x1D00};
    const std::vector<WORD> mapped = {0x1D00, 0x5D00, 0x3A00, 0x1D00};
    std::vector<unsigned char> bytes = Encode(real, mapped);
    EXPECT_EQ(real, Decode(bytes.data(), 1));
    EXPECT_EQ(mapped, Decode(bytes.data(), 0));
}

TEST(GetScancodeMap, CountByteGovernsTheEntriesDecoded)
{
    struct Case {
        const char* what;
        unsigned char count;
        std::vector<WORD> expected;
    };
    const Case cases[] = {
        {"count 0 is an empty map", 0, {}},
        {"count 1 is the null entry alone", 1, {}},
        {"an all-zero entry inside the count yields 0", 3, {0x3A00, 0}},
        {"entries announced past the written ones read as 0", 5, {0x3A00, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> bytes = Encode({0x3A00}, {0x1D00});
        bytes[8] = c.count;
        EXPECT_EQ(c.expected, Decode(bytes.data(), 1));
    }
}

TEST(GetScancodeMap, CountPastTheBufferNeverReadsBeyondIt)
{
    // The buffer ends where an inaccessible page begins: one byte too far faults.
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    auto* pPages = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, pPages);
    DWORD dwOld;
    ASSERT_TRUE(VirtualProtect(pPages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &dwOld));
    unsigned char* pBuffer = pPages + si.dwPageSize - 1024;
    std::memset(pBuffer, 0, 1024);
    pBuffer[8] = 255;  // announces 254 entries; only 253 fit
    pBuffer[1020] = 0x1D;
    pBuffer[1022] = 0x3A;

    std::vector<WORD> real = Decode(pBuffer, 1);
    std::vector<WORD> mapped = Decode(pBuffer, 0);
    ASSERT_EQ(253u, real.size());
    EXPECT_EQ(0x3A00, real.back());
    EXPECT_EQ(0x1D00, mapped.back());
    VirtualFree(pPages, 0, MEM_RELEASE);
}

TEST(GetScancodeMap, StaleArraysHoldOnlyTheDecodedEntries)
{
    CTestTable table;
    CStringArray names;
    CWordArray codes;
    for (int i = 0; i < 5; ++i) {
        names.Add("stale");
        codes.Add(0x1111);
    }
    std::vector<unsigned char> bytes = Encode({0x38E0}, {0x1D00});
    table.GetScancodeMap(bytes.data(), names, codes, 1);
    ASSERT_EQ(1, names.GetSize());
    ASSERT_EQ(1, codes.GetSize());
    EXPECT_STREQ("Alt(오른쪽)/한글전환", names[0]);

    bytes[8] = 1;
    table.GetScancodeMap(bytes.data(), names, codes, 0);
    EXPECT_EQ(0, names.GetSize());
    EXPECT_EQ(0, codes.GetSize());
}

TEST(GetScancodeMap, NamesComeFromTheDecodingTableFirstMatchFirst)
{
    std::vector<unsigned char> bytes = Encode({0x3A00, 0x6400, 0x1234}, {0x5D00, 0x5D00, 0x5D00});
    CTestTable table;
    CStringArray names;
    CWordArray codes;
    table.GetScancodeMap(bytes.data(), names, codes, 1);
    ASSERT_EQ(3, names.GetSize());
    EXPECT_STREQ("CapsLock", names[0]);  // not its later duplicate
    EXPECT_STREQ("F13", names[1]);
    EXPECT_STREQ("알수 없음", names[2]);
}

TEST(CLutrovaneBase, LookupsTakeTheFirstMatchAndIgnoreLatinCase)
{
    CTestTable table;
    EXPECT_EQ(6u, table.GetSizeOfMap());
    EXPECT_EQ(0x5D00, table.GetScanCode("f13"));
    EXPECT_EQ(0x3A00, table.GetScanCode("CAPSLOCK"));
    EXPECT_EQ(0x38E0, table.GetScanCode("alt(오른쪽)/한글전환"));
    EXPECT_STREQ("CapsLock", table.GetKeyName(0x3A00));
    EXPECT_STREQ("F13", table.GetKeyName(0x6400));

    // The not-found name is in no table, so it leads back to no key.
    EXPECT_STREQ("알수 없음", table.GetKeyName(0x4242));
    EXPECT_EQ(0, table.GetScanCode(table.GetKeyName(0x4242)));
    EXPECT_EQ(0, table.GetScanCode("Caps"));

    EXPECT_STREQ("", table.GetKeyNameByIndex(6));
    EXPECT_STREQ("", table.GetKeyNameByIndex(-1));
    EXPECT_EQ(0, table.GetScancodeByIndex(6));
}

TEST(CLutrovaneBase, BaseClassAloneIsAnEmptyTable)
{
    CLutrovaneBase table;
    EXPECT_EQ(0u, table.GetSizeOfMap());
    EXPECT_STREQ("알수 없음", table.GetKeyName(0x3A00));
    EXPECT_EQ(0, table.GetScanCode("CapsLock"));
}

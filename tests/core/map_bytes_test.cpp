#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

typedef std::vector<WORD> Codes;

void Fill(CWordArray& arr, const Codes& codes)
{
    arr.SetSize(0);
    for (WORD w : codes)
        arr.Add(w);
}

Codes Fetch(const CWordArray& arr)
{
    Codes codes;
    for (int i = 0; i < arr.GetSize(); ++i)
        codes.push_back(arr[i]);
    return codes;
}

// The map bytes of the pairs, from a buffer whose bytes past 16 + 4 * N must
// stay as they were; zero-filled to 1024 as every map buffer is.
Bytes Encode(const Codes& real, const Codes& mapped)
{
    CWordArray realKeys, mappedKeys;
    Fill(realKeys, real);
    Fill(mappedKeys, mapped);
    Bytes buffer(1024, 0xCC);
    EXPECT_EQ(0u, CUtils::MakeRegistryData(realKeys, mappedKeys, buffer.data()));
    const size_t nLength = 16 + 4 * real.size();
    EXPECT_EQ(Bytes(1024 - nLength, 0xCC), Bytes(buffer.begin() + nLength, buffer.end()));
    buffer.resize(nLength);
    buffer.resize(1024, 0);
    return buffer;
}

Codes Decode(unsigned char* pBuffer, int nSelector, CStringArray* pNames = nullptr)
{
    CLutrovaneCore catalogue;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(0u, catalogue.GetScancodeMap(pBuffer, pNames ? *pNames : names, codes, nSelector));
    return Fetch(codes);
}

}  // namespace

TEST(MakeRegistryData, KnownMapsNotByteForByteOrListsOverrunningTheBuffer)
{
    const Bytes caps = Encode({0x3A00}, {0x1D00});
    EXPECT_EQ(kCapsToControl, Bytes(caps.begin(), caps.begin() + 20));
    // An extended key keeps its prefix second: right Alt is 38 E0.
    const Bytes alt = Encode({0x38E0}, {0x1D00});
    EXPECT_EQ(0x38, alt[14]);
    EXPECT_EQ(0xE0, alt[15]);
    EXPECT_EQ(253, Encode(Codes(252, 0x3A00), Codes(252, 0x1D00))[8]);

    Bytes buffer(1024, 0xCC);
    CWordArray real, mapped;
    Fill(real, Codes(253, 0x3A00));
    Fill(mapped, Codes(253, 0x1D00));
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
    Fill(real, Codes(3, 0x3A00));
    Fill(mapped, Codes(2, 0x1D00));
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
    EXPECT_EQ(Bytes(1024, 0xCC), buffer);
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, real, nullptr));
}

TEST(GetScancodeMap, CountByteDisobeyedOrPairsLostReorderedOrBesideStaleEntries)
{
    const struct { const char* what; unsigned char count; Codes expected; } cases[] = {
        {"count 0 is an empty map", 0, {}},
        {"count 1 is the null entry alone", 1, {}},
        {"an all-zero entry inside the count yields 0", 3, {0x3A00, 0}},
        {"entries announced past the written ones read as 0", 5, {0x3A00, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = Encode({0x3A00}, {0x1D00});
        bytes[8] = c.count;
        EXPECT_EQ(c.expected, Decode(bytes.data(), 1));
    }
    // Count 255 announces 254 entries; 253 fit in the 1024 bytes, and the
    // bytes behind them are no part of the map.
    Bytes bytes(1028, 0);
    bytes[8] = 255;
    bytes[1022] = 0x3A;
    bytes[1026] = 0x1D;
    const Codes last = Decode(bytes.data(), 1);
    ASSERT_EQ(253u, last.size());
    EXPECT_EQ(0x3A00, last.back());

    // Both keys of every pair come back in order, into arrays that held more.
    CStringArray names;
    for (int i = 0; i < 5; ++i)
        names.Add("stale");
    const Codes real = {0x38E0, 0x1234, 0x3A00, 0x1D00};
    const Codes mapped = {0x1D00, 0x5D00, 0x3A00, 0x1D00};
    bytes = Encode(real, mapped);
    EXPECT_EQ(real, Decode(bytes.data(), 1, &names));
    ASSERT_EQ(4, names.GetSize());
    EXPECT_STREQ("Alt(오른쪽)/한글전환", names[0]);
    EXPECT_STREQ("알수 없음", names[1]);
    EXPECT_EQ(mapped, Decode(bytes.data(), 0));
    bytes[8] = 1;
    EXPECT_EQ(Codes(), Decode(bytes.data(), 0, &names));
    EXPECT_EQ(0, names.GetSize());
}

TEST(FindLostSignInKeys, MapsThatLeaveNoKeyToSignInWithMissedOrMovedKeysCounted)
{
    const struct { const char* what; Codes real, mapped; unsigned long nLost; Codes lostKeys; } cases[] = {
        {"both Control keys off", {0x1D00, 0x1DE0}, {0, 0}, SIGN_IN_CTRL, {0x1D00, 0x1DE0}},
        {"both Alt keys made A", {0x3800, 0x38E0}, {0x1E00, 0x1E00}, SIGN_IN_ALT, {0x3800, 0x38E0}},
        {"Delete and keypad Del off", {0x53E0, 0x5300}, {0, 0}, SIGN_IN_DELETE, {0x53E0, 0x5300}},
        {"every Enter off, and both Controls", {0x1C00, 0x1D00, 0x1CE0, 0x1DE0}, {0, 0, 0, 0},
         SIGN_IN_CTRL | SIGN_IN_ENTER, {0x1D00, 0x1DE0, 0x1C00, 0x1CE0}},
        {"an entry from the code 0 gives no key", {0x1D00, 0x1DE0, 0}, {0, 0, 0x1D00}, SIGN_IN_CTRL,
         {0x1D00, 0x1DE0}},
        {"one Control key left", {0x1D00}, {0}, 0, {}},
        {"Control moved onto CapsLock", {0x1D00, 0x3A00, 0x1DE0}, {0x3A00, 0x1D00, 0}, 0, {}},
        {"keys mapped onto themselves", {0x1C00, 0x1CE0}, {0x1C00, 0x1CE0}, 0, {}},
    };
    CWordArray lost;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lost.Add(0x5555);
        EXPECT_EQ(c.nLost, FindLostSignInKeys(Encode(c.real, c.mapped).data(), 16 + 4 * c.real.size(), lost));
        EXPECT_EQ(c.lostKeys, Fetch(lost));
    }
    // Entries past the count, or past the bytes given, are no part of the map.
    Bytes map = Encode({0x1D00, 0x1DE0}, {0, 0});
    map[8] = 2;
    EXPECT_EQ(0u, FindLostSignInKeys(map.data(), 24, lost));
    map[8] = 3;
    EXPECT_EQ(0u, FindLostSignInKeys(map.data(), 16, lost));
    EXPECT_EQ(0u, FindLostSignInKeys(nullptr, 0, lost));
}

// The base class alone is a table without rows: an index outside them is no row.
TEST(CLutrovaneBase, IndexOutsideTheRowsReadsARow)
{
    CLutrovaneBase table;
    EXPECT_STREQ("", table.GetKeyNameByIndex(-1));
    EXPECT_EQ(0, table.GetScancodeByIndex(-1));
}

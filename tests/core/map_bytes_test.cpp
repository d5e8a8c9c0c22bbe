#include "lutrovane_core.h"

#include "../map_bytes.h"

#include <gtest/gtest.h>

namespace {

typedef std::vector<WORD> Codes;

Codes Fetch(const CWordArray& arr)
{
    Codes codes;
    for (int i = 0; i < arr.GetSize(); ++i)
        codes.push_back(arr[i]);
    return codes;
}

// The map bytes of the pairs, or none when they are refused; no byte past the
// map may be written.
Bytes Encode(const Codes& real, const Codes& mapped)
{
    CWordArray realKeys, mappedKeys;
    for (WORD w : real)
        realKeys.Add(w);
    for (WORD w : mapped)
        mappedKeys.Add(w);
    Bytes buffer(1024, 0xCC);
    const size_t nLength = CUtils::MakeRegistryData(realKeys, mappedKeys, buffer.data()) ? 0 : 16 + 4 * real.size();
    EXPECT_EQ(Bytes(1024 - nLength, 0xCC), Bytes(buffer.begin() + nLength, buffer.end()));
    buffer.resize(nLength);
    return buffer;
}

Codes Decode(Bytes map, int nSelector, CStringArray& names)
{
    CWordArray codes;
    codes.Add(0x5555);
    names.Add("stale");
    EXPECT_EQ(0u, CLutrovaneCore().GetScancodeMap(map.data(), names, codes, nSelector));
    EXPECT_EQ(codes.GetSize(), names.GetSize());
    return Fetch(codes);
}

}  // namespace

TEST(MakeRegistryData, KnownMapsNotByteForByteOrListsOverrunningTheBuffer)
{
    EXPECT_EQ(kCapsToControl, Encode({0x3A00}, {0x1D00}));
    EXPECT_EQ(MapBytes({{0x001D, 0xE038}}), Encode({0x38E0}, {0x1D00})) << "an extended key's prefix second";
    EXPECT_EQ(253, Encode(Codes(252, 0x3A00), Codes(252, 0x1D00))[8]);
    EXPECT_TRUE(Encode(Codes(253, 0x3A00), Codes(253, 0x1D00)).empty()) << "253 pairs overrun";
    EXPECT_TRUE(Encode(Codes(3, 0x3A00), Codes(2, 0x1D00)).empty()) << "a real key without its mapped key";
}

// The count byte's bounds, zero entries inside it and stale entries are the
// decoder's fuzz target's seeds; here, which half of an entry each selector
// reads, in order, and the names it gives.
TEST(GetScancodeMap, PairsSwappedReorderedOrMisnamed)
{
    CStringArray names;
    const Codes real = {0x38E0, 0x1234, 0x3A00}, mapped = {0x1D00, 0x5D00, 0x3A00};
    const Bytes map = Encode(real, mapped);
    EXPECT_EQ(real, Decode(map, 1, names));
    EXPECT_STREQ("Alt(오른쪽)/한글전환", names[0]);
    EXPECT_STREQ("알수 없음", names[1]);
    EXPECT_EQ(mapped, Decode(map, 0, names));
}

TEST(FindLostSignInKeys, MapsThatLeaveNoKeyToSignInWithMissedOrMovedKeysCounted)
{
    const struct { const char* what; Codes real, mapped; unsigned long nLost; Codes lostKeys; } cases[] = {
        {"every Enter off, and both Controls", {0x1C00, 0x1D00, 0x1CE0, 0x1DE0}, {0, 0, 0, 0},
         SIGN_IN_CTRL | SIGN_IN_ENTER, {0x1D00, 0x1DE0, 0x1C00, 0x1CE0}},
        {"both Alt keys made A", {0x3800, 0x38E0}, {0x1E00, 0x1E00}, SIGN_IN_ALT, {0x3800, 0x38E0}},
        {"Delete and keypad Del off", {0x53E0, 0x5300}, {0, 0}, SIGN_IN_DELETE, {0x53E0, 0x5300}},
        {"an entry from the code 0 gives no key", {0x1D00, 0x1DE0, 0}, {0, 0, 0x1D00}, SIGN_IN_CTRL,
         {0x1D00, 0x1DE0}},
        {"one Control key left", {0x1D00}, {0}, 0, {}},
        {"Control moved onto CapsLock", {0x1D00, 0x3A00, 0x1DE0}, {0x3A00, 0x1D00, 0}, 0, {}},
        {"keys mapped onto themselves", {0x1C00, 0x1CE0}, {0x1C00, 0x1CE0}, 0, {}},
        // Which of two entries for one real key Windows takes is not known: the worse.
        {"CapsLock named twice, Control first", {0x1D00, 0x1DE0, 0x3A00, 0x3A00}, {0, 0, 0x1D00, 0x3A00},
         SIGN_IN_CTRL, {0x1D00, 0x1DE0}},
        {"CapsLock named twice, Control last", {0x1D00, 0x1DE0, 0x3A00, 0x3A00}, {0, 0, 0x3A00, 0x1D00},
         SIGN_IN_CTRL, {0x1D00, 0x1DE0}},
        {"each entry of a key named twice gives Control", {0x1D00, 0x3A00, 0x3A00, 0x1DE0}, {0, 0x1D00, 0x1DE0, 0},
         0, {}},
    };
    CWordArray lost;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lost.Add(0x5555);
        const Bytes map = Encode(c.real, c.mapped);
        EXPECT_EQ(c.nLost, FindLostSignInKeys(map.data(), map.size(), lost));
        EXPECT_EQ(c.lostKeys, Fetch(lost));
    }
    // The count is four bytes wide; entries past it, or past the bytes given,
    // are no part of the map.
    Bytes map = Encode({0x1D00, 0x1DE0}, {0, 0});
    const struct { unsigned char count[2]; unsigned long nLength, nLost; } counts[] = {
        {{2, 0}, 24, 0}, {{3, 0}, 16, 0}, {{2, 1}, 24, SIGN_IN_CTRL}};
    for (const auto& c : counts) {
        SCOPED_TRACE(testing::Message() << "count " << int(c.count[0]) << ", " << int(c.count[1]));
        map[8] = c.count[0];
        map[9] = c.count[1];
        EXPECT_EQ(c.nLost, FindLostSignInKeys(map.data(), c.nLength, lost));
    }
}

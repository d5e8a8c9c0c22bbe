#include "lutrovane_core.h"

#include "../map_bytes.h"

#include <gtest/gtest.h>

namespace {

typedef std::vector<WORD> Codes;

// The map bytes of the pairs, or none when they are refused.
Bytes Encode(const Codes& real, const Codes& mapped)
{
    CWordArray realKeys, mappedKeys;
    for (WORD w : real)
        realKeys.Add(w);
    for (WORD w : mapped)
        mappedKeys.Add(w);
    Bytes map(16 + 4 * real.size());
    return CUtils::MakeRegistryData(realKeys, mappedKeys, map.data()) ? Bytes() : map;
}

}  // namespace

// Which bytes hold which key, the count's bounds, zero entries inside it and
// stale elements in the arrays decoded into are the decoder's fuzz target's
// seeds, which encode each decoded map again; here, what no seed gives.
TEST(MakeRegistryData, RealKeyWithoutItsMappedKeyEncoded)
{
    EXPECT_TRUE(Encode({0x3A00, 0x1D00, 0x1C00}, {0x1D00, 0x3A00}).empty());
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
        Codes lostKeys;
        for (int i = 0; i < lost.GetSize(); ++i)
            lostKeys.push_back(lost[i]);
        EXPECT_EQ(c.lostKeys, lostKeys);
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

// Every signature byte; the file's other cases and what a refusal leaves are
// the map file fuzz target's seeds.
TEST(ParseLutrovaneData, ForeignSignatureAccepted)
{
    Bytes map(1024);
    unsigned long nSize = 0;
    for (size_t i = 0; i < 39; ++i) {
        Bytes file = MapDataFile(kCapsToControl);
        file[i] ^= (file[i] >= 'A' ? 0x20 : 0x01);  // letter case counts
        EXPECT_EQ(2u, CUtils::ParseLutrovaneData(file.data(), file.size(), map.data(), &nSize)) << "byte " << i;
    }
}

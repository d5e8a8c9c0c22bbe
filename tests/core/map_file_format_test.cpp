#include "lutrovane_core.h"

#include "../map_bytes.h"

#include <gtest/gtest.h>

namespace {

// Parses a file held in a buffer of exactly its size, so that a read past its
// end is caught in the sanitizer build. On success the map buffer must hold
// the map bytes and nothing past them; on failure it and the size must stay.
unsigned long Parse(const Bytes& file, Bytes map = {})
{
    const Bytes exact(file);
    Bytes buffer(1100, 0xCC);
    unsigned long nSize = 77;
    const unsigned long nResult = CUtils::ParseLutrovaneData(exact.data(), exact.size(), buffer.data(), &nSize);
    EXPECT_EQ(nResult == 0 ? map.size() : 77u, nSize) << "not the map's size, or changed on failure";
    map.resize(1100, 0xCC);
    EXPECT_EQ(map, buffer);
    return nResult;
}

}  // namespace

// Short files, no map bytes and map bytes past a map buffer's 1024 are the
// parser's fuzz target's seeds; these are the bytes no seed varies.
TEST(ParseLutrovaneData, ForeignSignatureAcceptedOrUnexaminedByteChecked)
{
    for (size_t i = 0; i < 39; ++i) {
        Bytes bytes = MapDataFile(kCapsToControl);
        bytes[i] ^= (bytes[i] >= 'A' ? 0x20 : 0x01);  // letter case counts
        EXPECT_EQ(2u, Parse(bytes)) << "signature byte " << i;
    }
    // The byte after the signature and the reserved block are not examined;
    // one map byte is a map as far as the file goes.
    Bytes bytes = MapDataFile({0});
    bytes[39] = 0x00;
    bytes[1063] = 0x12;
    EXPECT_EQ(0u, Parse(bytes, Bytes(1, 0)));
}

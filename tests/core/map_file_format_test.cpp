#include "lutrovane_core.h"

#include "../map_bytes.h"

#include <gtest/gtest.h>

// Short files, no map bytes, map bytes past a map buffer's 1024 and the bytes
// the parser must not examine are its fuzz target's seeds, which also check
// what a refused file leaves in the map buffer; here, every signature byte.
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

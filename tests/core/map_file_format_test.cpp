#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Parses a file held in a buffer of exactly its size, so that a read past its
// end is caught in the sanitizer build. On failure the map buffer and the size
// must stay as they were.
unsigned long Parse(const Bytes& file, Bytes* pMap = nullptr)
{
    const Bytes exact(file);
    Bytes buffer(1024, 0xCC);
    unsigned long nSize = 77;
    const unsigned long nResult = CUtils::ParseLutrovaneData(
        exact.empty() ? nullptr : exact.data(), static_cast<unsigned long>(exact.size()),
        buffer.data(), &nSize);
    if (nResult != 0) {
        EXPECT_EQ(77u, nSize) << "size changed on failure";
        EXPECT_EQ(Bytes(1024, 0xCC), buffer) << "map buffer written on failure";
    } else {
        for (size_t i = nSize; i < buffer.size(); ++i)
            EXPECT_EQ(0xCC, buffer[i]) << "written past the map bytes at " << i;
        if (pMap)
            pMap->assign(buffer.begin(), buffer.begin() + nSize);
    }
    return nResult;
}

}  // namespace

TEST(ParseLutrovaneData, ShortOrForeignFilesAreRefused)
{
    const Bytes header = MapDataFile(0);
    std::vector<std::pair<std::string, Bytes>> cases = {
        {"empty file", {}},
        {"signature alone", Bytes(header.begin(), header.begin() + 39)},
        {"reserved block cut short", Bytes(header.begin(), header.end() - 1)},
    };
    for (size_t i = 0; i < 39; ++i) {
        Bytes bytes = MapDataFile(20);
        bytes[i] ^= (bytes[i] >= 'A' ? 0x20 : 0x01);  // letter case counts
        cases.push_back({"signature byte " + std::to_string(i), bytes});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(2u, Parse(c.second));
    }
    EXPECT_EQ(3u, Parse(MapDataFile(0))) << "no map bytes";

    unsigned char abBuffer[1024];
    unsigned long nSize = 0;
    const Bytes file = MapDataFile(20);
    EXPECT_EQ(1u, CUtils::ParseLutrovaneData(file.data(), 1084, abBuffer, nullptr));
    EXPECT_EQ(1u, CUtils::ParseLutrovaneData(file.data(), 1084, nullptr, &nSize));
    EXPECT_EQ(1u, CUtils::ParseLutrovaneData(nullptr, 1084, abBuffer, &nSize));
}

TEST(ParseLutrovaneData, UnexaminedBytesAndOverlongMapsStillLoad)
{
    Bytes bytes = MapDataFile(1500);
    bytes[39] = 0x00;    // the byte after the signature
    bytes[1063] = 0x12;  // the reserved block
    Bytes map;
    ASSERT_EQ(0u, Parse(bytes, &map));
    EXPECT_EQ(Bytes(bytes.begin() + 1064, bytes.begin() + 2088), map);

    ASSERT_EQ(0u, Parse(MapDataFile(20), &map));
    EXPECT_EQ(kCapsToControl, map);
    ASSERT_EQ(0u, Parse(MapDataFile(1), &map));
    EXPECT_EQ(Bytes(1, 0), map) << "one map byte is a map as far as the file goes";
}

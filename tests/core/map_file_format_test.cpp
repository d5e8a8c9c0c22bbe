#include "lutrovane_core.h"

#include "../map_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Parses a file held in a buffer of exactly its size, so that a read past its
// end is caught in the sanitizer build. On failure the map buffer and the size
// must stay as they were; on success nothing past the map bytes is written.
unsigned long Parse(const Bytes& file, Bytes* pMap = nullptr)
{
    const Bytes exact(file);
    Bytes buffer(1100, 0xCC);
    unsigned long nSize = 77;
    const unsigned long nResult = CUtils::ParseLutrovaneData(
        exact.empty() ? nullptr : exact.data(), static_cast<unsigned long>(exact.size()), buffer.data(), &nSize);
    const unsigned long nWritten = nResult == 0 ? nSize : 0;
    EXPECT_EQ(nResult == 0 ? nWritten : 77u, nSize) << "size changed on failure";
    EXPECT_EQ(Bytes(1100 - nWritten, 0xCC), Bytes(buffer.begin() + nWritten, buffer.end()));
    if (pMap)
        pMap->assign(buffer.begin(), buffer.begin() + nWritten);
    return nResult;
}

}  // namespace

TEST(ParseLutrovaneData, ShortOrForeignFileAccepted)
{
    const Bytes header = MapDataFile({});
    std::vector<std::pair<std::string, Bytes>> cases = {
        {"empty file", {}},
        {"signature alone", Bytes(header.begin(), header.begin() + 39)},
        {"reserved block cut short", Bytes(header.begin(), header.end() - 1)},
    };
    for (size_t i = 0; i < 39; ++i) {
        Bytes bytes = MapDataFile(kCapsToControl);
        bytes[i] ^= (bytes[i] >= 'A' ? 0x20 : 0x01);  // letter case counts
        cases.push_back({"signature byte " + std::to_string(i), bytes});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(2u, Parse(c.second));
    }
    EXPECT_EQ(3u, Parse(header)) << "no map bytes";
    unsigned char abBuffer[1024];
    unsigned long nSize = 0;
    EXPECT_EQ(1u, CUtils::ParseLutrovaneData(header.data(), 1064, abBuffer, nullptr));
    EXPECT_EQ(1u, CUtils::ParseLutrovaneData(header.data(), 1064, nullptr, &nSize));
    EXPECT_EQ(1u, CUtils::ParseLutrovaneData(nullptr, 1064, abBuffer, &nSize));
}

// The byte after the signature and the reserved block are not examined; of a
// map longer than a map buffer, the first 1024 bytes are read.
TEST(ParseLutrovaneData, UnexaminedBytesOrOverlongMapRefused)
{
    Bytes bytes = MapDataFile(MapOf(254));
    bytes[39] = 0x00;
    bytes[1063] = 0x12;
    Bytes map;
    ASSERT_EQ(0u, Parse(bytes, &map));
    EXPECT_EQ(Bytes(bytes.begin() + 1064, bytes.begin() + 2088), map);
    ASSERT_EQ(0u, Parse(MapDataFile({0}), &map));
    EXPECT_EQ(Bytes(1, 0), map) << "one map byte is a map as far as the file goes";
}

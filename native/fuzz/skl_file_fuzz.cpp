// SharpKeys' saved key lists, over any file a user may bring: one taken is
// the map's bytes exactly, and sound; one refused leaves the map as it was.
#include "fuzz_support.h"

#include "map_import.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    SRegFileContent content;
    content.map = {0xAB};
    std::vector<std::string> leftOut;
    if (!ImportMap(IMPORT_SKL, pData, nSize, nullptr, nullptr, &content, &leftOut).empty()) {
        FUZZ_CHECK(content.map == std::vector<unsigned char>{0xAB});
        return 0;
    }
    FUZZ_CHECK(!content.bDelete && leftOut.empty());
    FUZZ_CHECK(content.map == std::vector<unsigned char>(pData, pData + nSize));
    FUZZ_CHECK(CheckMapBytes(content.map.data(), content.map.size()).empty());
    return 0;
}

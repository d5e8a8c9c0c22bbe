// The map data file parser, over any file a user may choose. What it loads is
// checked against the file's layout: a 39-byte signature, one byte, a
// 1024-byte reserved block, then up to 1024 map bytes that count.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const char kSignature[] = "Lutrovane v1.0 Scancode Map Data Format";
    const size_t kMapOffset = 1064;

    // libFuzzer's input is exactly nSize bytes: a read past the file's end is caught.
    std::vector<unsigned char> buffer(1024, 0xCC);
    unsigned long nMapSize = 77;
    const unsigned long nResult = CUtils::ParseLutrovaneData(
        nSize ? pData : nullptr, static_cast<unsigned long>(nSize), buffer.data(), &nMapSize);

    if (nSize < kMapOffset || std::memcmp(pData, kSignature, 39) != 0) {
        FUZZ_CHECK(nResult == 2);
    } else if (nSize == kMapOffset) {
        FUZZ_CHECK(nResult == 3);
    } else {
        FUZZ_CHECK(nResult == 0);
        const size_t nExpected = nSize - kMapOffset < 1024 ? nSize - kMapOffset : 1024;
        FUZZ_CHECK(nMapSize == nExpected);
        FUZZ_CHECK(std::memcmp(buffer.data(), pData + kMapOffset, nExpected) == 0);
        for (size_t i = nExpected; i < buffer.size(); ++i)
            FUZZ_CHECK(buffer[i] == 0xCC);
    }
    if (nResult != 0) {
        FUZZ_CHECK(nMapSize == 77);
        FUZZ_CHECK(buffer == std::vector<unsigned char>(1024, 0xCC));
    }
    return 0;
}

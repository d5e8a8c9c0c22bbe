// The map decoder with each of the five key tables (the first byte of the
// version field, which the decoder never reads, picks one), over whatever
// bytes a registry value or a map data file may put in a map buffer. Every
// decoded map must encode back to the entries it came from. The same bytes go
// through the check for keys that signing in needs.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const size_t kMapBufferSize = 1024;
const int kMaxEntries = 253;  // the entries that lie wholly inside the buffer
const int kMaxMappings = 252; // the most the encoder writes: 16 + 4 * 252 = 1024

// Decodes with one selector into arrays that already hold an element, and
// checks each code against its entry's bytes and its name against the table.
void Decode(CLutrovaneBase& table, unsigned char* pBuffer, int nSelector, int nEntries,
            CStringArray& names, CWordArray& codes)
{
    names.Add("stale");
    codes.Add(0xFFFF);
    FUZZ_CHECK(table.GetScancodeMap(pBuffer, names, codes, nSelector) == 0);
    FUZZ_CHECK(codes.GetSize() == nEntries);
    FUZZ_CHECK(names.GetSize() == nEntries);
    const int nKeyOffset = nSelector ? 2 : 0;
    for (int k = 0; k < nEntries; ++k) {
        const unsigned char* pKey = pBuffer + 12 + 4 * k + nKeyOffset;
        FUZZ_CHECK(codes[k] == (pKey[0] << 8 | pKey[1]));
        FUZZ_CHECK(std::strcmp(names[k], table.GetKeyName(codes[k])) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static SKeyTables tables;

    // Callers zero-fill a buffer of exactly this size: a read past it is caught.
    std::vector<unsigned char> buffer(kMapBufferSize, 0);
    std::memcpy(buffer.data(), pData, nSize < kMapBufferSize ? nSize : kMapBufferSize);
    int nEntries = buffer[8] - 1;
    if (nEntries < 0)
        nEntries = 0;
    if (nEntries > kMaxEntries)
        nEntries = kMaxEntries;

    // The check for keys that signing in needs reads the bytes given and no
    // more, whatever their count says; it names keys only for a lost group.
    const std::vector<unsigned char> exact(pData, pData + nSize);
    CWordArray lostKeys;
    const unsigned long nLost =
        FindLostSignInKeys(exact.data(), static_cast<unsigned long>(nSize), lostKeys);
    FUZZ_CHECK((nLost == 0) == (lostKeys.GetSize() == 0));

    // One table per input, not five: five times as many inputs in the time.
    CLutrovaneBase& table = *tables.all[buffer[0] % 5];
    CStringArray realNames, mappedNames;
    CWordArray real, mapped;
    Decode(table, buffer.data(), 1, nEntries, realNames, real);
    Decode(table, buffer.data(), 0, nEntries, mappedNames, mapped);

    // Encoded into a buffer of just the map's length, so that one byte too
    // many is caught. 253 entries are more than a map buffer holds with its
    // null entry: refused, nothing written.
    const size_t nLength = 16 + 4 * size_t(nEntries);
    std::vector<unsigned char> encoded(nLength, 0xCC);
    if (nEntries > kMaxMappings) {
        FUZZ_CHECK(CUtils::MakeRegistryData(real, mapped, encoded.data()) != 0);
        FUZZ_CHECK(encoded == std::vector<unsigned char>(nLength, 0xCC));
        return 0;
    }
    FUZZ_CHECK(CUtils::MakeRegistryData(real, mapped, encoded.data()) == 0);
    const unsigned char abHeader[12] = {0, 0, 0, 0, 0, 0, 0, 0,
                                        static_cast<unsigned char>(nEntries + 1), 0, 0, 0};
    FUZZ_CHECK(std::memcmp(encoded.data(), abHeader, 12) == 0);
    FUZZ_CHECK(std::memcmp(encoded.data() + 12, buffer.data() + 12, 4 * size_t(nEntries)) == 0);
    const unsigned char abNull[4] = {0, 0, 0, 0};
    FUZZ_CHECK(std::memcmp(encoded.data() + nLength - 4, abNull, 4) == 0);
    return 0;
}

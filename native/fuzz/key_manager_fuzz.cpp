// Keyboard Manager settings files, over any file a user may bring, under a
// layout of its own: some keys extended, some with no scan code, Pause with
// the E1 prefix no map holds. A map taken is sound, names no real key twice
// and holds only codes the layout gives; one refused leaves the map as it was.
#include "fuzz_support.h"

#include "map_import.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace {

unsigned short Scancode(unsigned int nVirtualKey, void*)
{
    if (nVirtualKey == 0x13)
        return 0xE11D;
    if (nVirtualKey > 0xFF || nVirtualKey % 7 == 0)
        return 0;
    const unsigned short wMake = static_cast<unsigned short>(((nVirtualKey * 0x3B) & 0x7F) | 1);
    return nVirtualKey % 3 == 0 ? static_cast<unsigned short>(0xE000 | wMake) : wMake;
}

bool LayoutGives(unsigned short wEntryCode)
{
    const unsigned int nCode = (wEntryCode & 0xFF00) == 0xE000 ? wEntryCode : wEntryCode & 0xFF;
    for (unsigned int vk = 1; vk <= 0xFF; ++vk) {
        if (Scancode(vk, nullptr) == nCode && (nCode >> 8) != 0xE1)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    SRegFileContent content;
    content.map = {0xAB};
    std::vector<std::string> leftOut;
    if (!ImportMap(IMPORT_KEY_MANAGER, pData, nSize, Scancode, nullptr, &content, &leftOut).empty()) {
        FUZZ_CHECK(content.map == std::vector<unsigned char>{0xAB});
        return 0;
    }
    const std::vector<unsigned char>& map = content.map;
    FUZZ_CHECK(!content.bDelete && CheckMapBytes(map.data(), map.size()).empty());
    std::set<unsigned short> realKeys;
    for (size_t i = 12; i + 4 < map.size(); i += 4) {
        const unsigned short wMapped = static_cast<unsigned short>(map[i] | map[i + 1] << 8);
        const unsigned short wReal = static_cast<unsigned short>(map[i + 2] | map[i + 3] << 8);
        FUZZ_CHECK(realKeys.insert(wReal).second);
        FUZZ_CHECK(LayoutGives(wReal) && (wMapped == 0 || LayoutGives(wMapped)));
    }
    for (const std::string& strLine : leftOut)
        FUZZ_CHECK(strLine.find(": ") != std::string::npos);
    return 0;
}

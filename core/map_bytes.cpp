#include "lutrovane_core.h"

#include <cstring>

namespace {

const int kMaxMappings = 252;  // 16 + 4 * 252 = 1024, the size of every map buffer

}  // namespace

CUtils::CUtils() {}

CUtils::CUtils(const CUtils&) {}

CUtils& CUtils::operator=(const CUtils&)
{
    return *this;
}

CUtils::~CUtils() {}

unsigned long CUtils::MakeRegistryData(CWordArray& realKeys, CWordArray& mappedKeys,
                                       unsigned char* pBuffer)
{
    const int nMappings = realKeys.GetSize();
    if (!pBuffer || nMappings > kMaxMappings || mappedKeys.GetSize() < nMappings)
        return 1;

    // Header: version 0, flags 0, entry count N + 1 (the null entry included).
    std::memset(pBuffer, 0, 12);
    pBuffer[8] = static_cast<unsigned char>(nMappings + 1);

    // Each key is written make code first, prefix second: mapped key, then real key.
    unsigned char* p = pBuffer + 12;
    for (int k = 0; k < nMappings; ++k) {
        const WORD wMapped = mappedKeys[k];
        const WORD wReal = realKeys[k];
        *p++ = static_cast<unsigned char>(wMapped >> 8);
        *p++ = static_cast<unsigned char>(wMapped);
        *p++ = static_cast<unsigned char>(wReal >> 8);
        *p++ = static_cast<unsigned char>(wReal);
    }
    std::memset(p, 0, 4);  // the null entry
    return 0;
}

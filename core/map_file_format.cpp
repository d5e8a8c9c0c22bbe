#include "lutrovane_core.h"

#include "map_file_format.h"

#include <cstring>

unsigned long CUtils::ParseLutrovaneData(const unsigned char* pData, unsigned long nLength,
                                         unsigned char* pBuffer, unsigned long* pSize)
{
    if (!pSize || !pBuffer || (!pData && nLength > 0))
        return 1;
    // Too short for the header and the reserved block, or another signature
    // (letter case counts). The byte after the signature and the reserved
    // block are not examined.
    if (nLength < kMapFileMapOffset
        || std::memcmp(pData, kMapFileSignature, kMapFileSignatureLength) != 0)
        return 2;
    unsigned long nMapBytes = nLength - kMapFileMapOffset;
    if (nMapBytes == 0)
        return 3;
    if (nMapBytes > kMapFileMapBufferSize)
        nMapBytes = kMapFileMapBufferSize;  // the rest of the file is never read
    std::memcpy(pBuffer, pData + kMapFileMapOffset, nMapBytes);
    *pSize = nMapBytes;
    return 0;
}

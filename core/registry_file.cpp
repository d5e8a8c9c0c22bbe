#include "lutrovane_core.h"

#include <string>

namespace {

const char kRegFileHeader[] = "Windows Registry Editor Version 5.00";
const char kRegFileKey[] = "HKEY_LOCAL_MACHINE\\" LUTROVANE_MAP_KEY;
const char kRegFileValue[] = "\"" LUTROVANE_MAP_VALUE "\"=";
// The registry editor breaks a hex line once it reaches this many characters.
const size_t kFoldColumn = 77;

}  // namespace

unsigned long CUtils::MakeRegFileData(bool bRemove, const unsigned char* pData,
                                      unsigned long nLength, unsigned char* pBuffer,
                                      unsigned long nCapacity, unsigned long nType)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text = std::string(kRegFileHeader) + "\r\n\r\n[" + kRegFileKey + "]\r\n"
                       + kRegFileValue;
    if (bRemove) {
        text += "-";
    } else {
        // hex(0): for REG_NONE, hex(b): for REG_QWORD, as the editor writes them.
        // The type in hex digits by hand: snprintf would link a printf of its
        // own into the library.
        if (nType == 3) {
            text += "hex:";
        } else {
            std::string digits;
            do {
                digits.insert(digits.begin(), kDigits[nType & 0xF]);
                nType >>= 4;
            } while (nType);
            text += "hex(" + digits + "):";
        }
        const unsigned long nBytes = pData ? nLength : 0;
        // The line so far: the quoted name, '=' and "hex:".
        size_t nColumn = text.size() - text.rfind('\n') - 1;
        for (unsigned long i = 0; i < nBytes; ++i) {
            text += kDigits[pData[i] >> 4];
            text += kDigits[pData[i] & 0xF];
            if (i + 1 == nBytes)
                break;
            text += ',';
            nColumn += 3;
            if (nColumn >= kFoldColumn) {
                text += "\\\r\n  ";
                nColumn = 2;
            }
        }
    }
    text += "\r\n\r\n";

    // UTF-16LE behind its byte-order mark; the text is ASCII.
    const unsigned long nSize = static_cast<unsigned long>(2 + 2 * text.size());
    if (pBuffer && nCapacity >= nSize) {
        pBuffer[0] = 0xFF;
        pBuffer[1] = 0xFE;
        for (size_t i = 0; i < text.size(); ++i) {
            pBuffer[2 + 2 * i] = static_cast<unsigned char>(text[i]);
            pBuffer[3 + 2 * i] = 0;
        }
    }
    return nSize;
}

// Map bytes in registry files (.reg) and their checks: pure C++ over bytes in
// memory, no Windows call, so that it builds and is tested on any platform.
// The strings and vectors that cross from the core to a program are freed
// in the C run-time's heap, which the modules share.
#pragma once

#include "lutrovane_core.h"

#include <cstddef>
#include <string>
#include <vector>

// The key that holds the value, as registry files spell it.
extern LUTROVANE_CORE_API const char kKeyboardLayoutKeyPath[];

const size_t kMaxMapBytes = 1024;
// Larger registry files are refused unread: no export of our key comes near.
const size_t kMaxRegFileBytes = 8 * 1024 * 1024;

// Checks Scancode Map bytes before they are written anywhere: header, entry
// count, length and closing null entry. Empty when sound, else what is wrong.
LUTROVANE_CORE_API std::string CheckMapBytes(const unsigned char* pData, size_t nLength);

// What a registry file does to the Scancode Map value.
struct SRegFileContent
{
    bool bDelete = false;             // "Scancode Map"=- : the value is removed
    std::vector<unsigned char> map;   // the value's bytes, when not removed
    unsigned long nType = 3;          // and their type: REG_BINARY, or another in a kept value
};

// Reads a registry file: the registry editor's UTF-16 form or the older
// REGEDIT4 form in ANSI or UTF-8. Other keys and values are skipped; the last
// mention of the value under our key counts. Empty and pContent filled when
// the file is sound and its map passes CheckMapBytes, else what is wrong,
// with its line number; pContent is then left as it was. bKeptValue reads a
// file of the map's history, which holds what the system held: a value of
// any type and length, sound map or not, written hex: or hex(N):.
LUTROVANE_CORE_API std::string ParseRegFile(const unsigned char* pData, size_t nLength,
                                            SRegFileContent* pContent, bool bKeptValue = false);

// A registry file as the registry editor exports the key with this value:
// UTF-16LE with a byte-order mark, CRLF, hex data folded as it folds it. The
// core writes it, for lvmap as for the map's history.
inline std::vector<unsigned char> MakeRegFile(const SRegFileContent& content)
{
    const unsigned long nLength = static_cast<unsigned long>(content.map.size());
    std::vector<unsigned char> bytes(
        CUtils::MakeRegFileData(content.bDelete, content.map.data(), nLength, nullptr, 0, content.nType));
    CUtils::MakeRegFileData(content.bDelete, content.map.data(), nLength, bytes.data(),
                            static_cast<unsigned long>(bytes.size()), content.nType);
    return bytes;
}

// Map bytes as Windows reads them from the registry, and map data files as a
// good writer lays them out.
#pragma once

#include <cstddef>
#include <vector>

typedef std::vector<unsigned char> Bytes;

// CapsLock acts as the left Control key.
const Bytes kCapsToControl = {
    0, 0, 0, 0, 0, 0, 0, 0,  // version, flags
    2, 0, 0, 0,              // entry count: one mapping and the null entry
    0x1D, 0x00, 0x3A, 0x00,  // mapped key make/prefix, real key make/prefix
    0, 0, 0, 0,              // null entry
};

// Signature, 0x1A, 1024 bytes 0xFF, then nMapBytes map bytes: the map above, then filler.
inline Bytes MapDataFile(std::size_t nMapBytes)
{
    const char kSignature[] = "Lutrovane v1.0 Scancode Map Data Format\x1A";
    Bytes bytes(kSignature, kSignature + 40);
    bytes.resize(1064, 0xFF);
    for (std::size_t i = 0; i < nMapBytes; ++i)
        bytes.push_back(static_cast<unsigned char>(i < kCapsToControl.size() ? kCapsToControl[i] : i));
    return bytes;
}

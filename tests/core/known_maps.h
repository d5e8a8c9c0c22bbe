// Map bytes as Windows reads them from the registry, for the core's tests.
#pragma once

#include <vector>

typedef std::vector<unsigned char> Bytes;

// CapsLock acts as the left Control key.
const Bytes kCapsToControl = {
    0, 0, 0, 0,              // version
    0, 0, 0, 0,              // flags
    2, 0, 0, 0,              // entry count: one mapping and the null entry
    0x1D, 0x00, 0x3A, 0x00,  // mapped key make/prefix, real key make/prefix
    0, 0, 0, 0,              // null entry
};

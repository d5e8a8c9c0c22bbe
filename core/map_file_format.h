// The map data file's layout, for its writer (map_file.cpp) and its reader
// over bytes (map_file_format.cpp).
#pragma once

// Header (40 bytes): the signature, no terminating zero, then 0x1A. Then a
// reserved block of 1024 bytes 0xFF, then the map bytes.
const char kMapFileSignature[] = "Lutrovane v1.0 Scancode Map Data Format";
const unsigned long kMapFileSignatureLength = sizeof(kMapFileSignature) - 1;  // 39
const unsigned long kMapFileHeaderSize = kMapFileSignatureLength + 1;
const unsigned long kMapFileReservedSize = 1024;
const unsigned long kMapFileMapOffset = kMapFileHeaderSize + kMapFileReservedSize;  // 1064
const unsigned long kMapFileMapBufferSize = 1024;

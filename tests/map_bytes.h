// Map bytes and map data files built here, not by the code under test. No
// Windows needed: the native sanitizer build uses this too.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

typedef std::vector<unsigned char> Bytes;

// The value of a map with these entries, each {mapped key, real key} as the
// registry holds them (prefix in the high byte: 0xE038 is the right Alt key).
inline Bytes MapBytes(const std::vector<std::pair<unsigned short, unsigned short>>& entries)
{
    const std::size_t nCount = entries.size() + 1;
    Bytes map = {0, 0, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(nCount), static_cast<unsigned char>(nCount >> 8),
                 0, 0};
    for (const auto& entry : entries) {
        for (unsigned short w : {entry.first, entry.second}) {
            map.push_back(static_cast<unsigned char>(w));
            map.push_back(static_cast<unsigned char>(w >> 8));
        }
    }
    map.insert(map.end(), 4, 0);
    return map;
}

// A map of n entries, each real key k made key k + 1: a different map for each n.
inline Bytes MapOf(std::size_t nMappings)
{
    std::vector<std::pair<unsigned short, unsigned short>> entries;
    for (std::size_t k = 0; k < nMappings; ++k)
        entries.push_back({static_cast<unsigned short>(k + 1), static_cast<unsigned short>(k)});
    return MapBytes(entries);
}

// CapsLock acts as the left Control key.
const Bytes kCapsToControl = MapBytes({{0x001D, 0x003A}});

// A map data file: the signature, 0x1A, 1024 reserved bytes 0xFF, the map bytes.
inline Bytes MapDataFile(const Bytes& map)
{
    const char kSignature[] = "Lutrovane v1.0 Scancode Map Data Format\x1A";
    Bytes file(kSignature, kSignature + 40);
    file.resize(1064, 0xFF);
    file.insert(file.end(), map.begin(), map.end());
    return file;
}

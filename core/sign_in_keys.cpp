#include "lutrovane_core.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Map bytes: version (4), flags (4), entry count (4, little-endian, the null
// entry included), then 4-byte entries: mapped key, then real key, each make
// code first and prefix second.
const unsigned long kCountOffset = 8;
const unsigned long kFirstEntryOffset = 12;
const unsigned long kEntrySize = 4;

struct SSignInKey
{
    unsigned long nGroup;
    WORD wScancode;  // make code in the high byte, prefix in the low
};

const SSignInKey kSignInKeys[] = {
    {SIGN_IN_CTRL, 0x1D00},   {SIGN_IN_CTRL, 0x1DE0},   // left, right Control
    {SIGN_IN_ALT, 0x3800},    {SIGN_IN_ALT, 0x38E0},    // left, right Alt
    {SIGN_IN_DELETE, 0x53E0}, {SIGN_IN_DELETE, 0x5300}, // Delete, keypad Del
    {SIGN_IN_ENTER, 0x1C00},  {SIGN_IN_ENTER, 0x1CE0},  // Enter, keypad Enter
};
const int kSignInKeyCount = int(sizeof(kSignInKeys) / sizeof(kSignInKeys[0]));

// The group of a key, 0 for a key that signing in does not need.
unsigned long GroupOf(WORD wScancode)
{
    for (int i = 0; i < kSignInKeyCount; ++i) {
        if (kSignInKeys[i].wScancode == wScancode)
            return kSignInKeys[i].nGroup;
    }
    return 0;
}

}  // namespace

unsigned long FindLostSignInKeys(const unsigned char* pData, unsigned long nLength,
                                 CWordArray& lostKeys)
{
    lostKeys.SetSize(0);
    if (!pData || nLength < kFirstEntryOffset + kEntrySize)
        return 0;
    // The count takes in the null entry that closes the map.
    const unsigned long nCount = pData[kCountOffset] | pData[kCountOffset + 1] << 8
                                 | static_cast<unsigned long>(pData[kCountOffset + 2]) << 16
                                 | static_cast<unsigned long>(pData[kCountOffset + 3]) << 24;
    unsigned long nEntries = nCount > 0 ? nCount - 1 : 0;
    if (nEntries > (nLength - kFirstEntryOffset) / kEntrySize)
        nEntries = (nLength - kFirstEntryOffset) / kEntrySize;

    // Entries by real key. No key sends the code 0: such an entry (the null
    // entry among them) gives nothing. A mapped key of 0 turns its real key off.
    std::vector<std::pair<WORD, WORD>> entries;
    for (unsigned long k = 0; k < nEntries; ++k) {
        const unsigned char* pEntry = pData + kFirstEntryOffset + k * kEntrySize;
        const WORD wReal = static_cast<WORD>(pEntry[2] << 8 | pEntry[3]);
        if (wReal != 0)
            entries.push_back(std::make_pair(wReal, static_cast<WORD>(pEntry[0] << 8 | pEntry[1])));
    }
    std::sort(entries.begin(), entries.end());

    // A key that no entry names gives itself.
    unsigned long nKept = 0;
    for (int i = 0; i < kSignInKeyCount; ++i) {
        const std::pair<WORD, WORD> first(kSignInKeys[i].wScancode, 0);
        const auto it = std::lower_bound(entries.begin(), entries.end(), first);
        if (it == entries.end() || it->first != first.first)
            nKept |= kSignInKeys[i].nGroup;
    }
    // Windows takes one entry for a real key, and which one, when a map names
    // a real key twice, is not documented: a real key gives a group's key for
    // certain only when every entry that names it does.
    for (size_t k = 0; k < entries.size();) {
        unsigned long nEvery = GroupOf(entries[k].second);
        size_t n = k + 1;
        for (; n < entries.size() && entries[n].first == entries[k].first; ++n)
            nEvery &= GroupOf(entries[n].second);
        nKept |= nEvery;
        k = n;
    }
    const unsigned long nLost = (SIGN_IN_CTRL_ALT_DEL | SIGN_IN_ENTER) & ~nKept;
    for (int i = 0; i < kSignInKeyCount; ++i) {
        if (nLost & kSignInKeys[i].nGroup)
            lostKeys.Add(kSignInKeys[i].wScancode);
    }
    return nLost;
}

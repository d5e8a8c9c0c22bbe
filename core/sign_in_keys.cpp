#include "lutrovane_core.h"

#include <algorithm>
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

bool InGroup(WORD wScancode, unsigned long nGroup)
{
    for (int i = 0; i < kSignInKeyCount; ++i) {
        if (kSignInKeys[i].nGroup == nGroup && kSignInKeys[i].wScancode == wScancode)
            return true;
    }
    return false;
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

    // Windows takes one entry for a real key, and which one, when a map names
    // a real key twice, is not documented: a real key is counted on to give a
    // group's key only when every entry that names it does. One that no entry
    // names gives itself. No key sends the code 0: such an entry (the null
    // entry among them) gives nothing. A mapped key of 0 turns its real key off.
    std::vector<unsigned char> state(0x10000);  // by real key: 1 gives the group's key, 2 may not
    unsigned long nLost = 0;
    for (unsigned long nGroup = SIGN_IN_CTRL; nGroup <= SIGN_IN_ENTER; nGroup <<= 1) {
        std::fill(state.begin(), state.end(), 0);
        for (unsigned long k = 0; k < nEntries; ++k) {
            const unsigned char* pEntry = pData + kFirstEntryOffset + k * kEntrySize;
            const WORD wMapped = static_cast<WORD>(pEntry[0] << 8 | pEntry[1]);
            const WORD wReal = static_cast<WORD>(pEntry[2] << 8 | pEntry[3]);
            if (wReal != 0)
                state[wReal] = state[wReal] != 2 && InGroup(wMapped, nGroup) ? 1 : 2;
        }
        bool bKept = false;
        for (int i = 0; i < kSignInKeyCount; ++i)
            bKept = bKept || (kSignInKeys[i].nGroup == nGroup && state[kSignInKeys[i].wScancode] == 0);
        for (unsigned long k = 0; k < nEntries && !bKept; ++k) {
            const unsigned char* pEntry = pData + kFirstEntryOffset + k * kEntrySize;
            bKept = state[static_cast<WORD>(pEntry[2] << 8 | pEntry[3])] == 1;
        }
        if (!bKept)
            nLost |= nGroup;
    }
    for (int i = 0; i < kSignInKeyCount; ++i) {
        if (nLost & kSignInKeys[i].nGroup)
            lostKeys.Add(kSignInKeys[i].wScancode);
    }
    return nLost;
}

#include "lutrovane_core.h"

#include <string>

namespace {

const char kUnknownKeyName[] = "알수 없음";

// Map bytes: version (4), flags (4), entry count (4, only the low byte is ever
// set), then 4-byte entries, the last of them the null entry.
const int kMapBufferSize = 1024;
const int kCountOffset = 8;
const int kFirstEntryOffset = 12;
const int kEntrySize = 4;
// Entries that lie wholly inside the buffer: a count byte that announces more
// must not make the decoder read past it.
const int kMaxDecodedEntries = (kMapBufferSize - kFirstEntryOffset) / kEntrySize;

// Scan codes differ mostly in their high byte (the make code); a multiplier
// spreads that over the slot bits.
unsigned HashScancode(unsigned short wScancode)
{
    return (wScancode * 2654435761u) >> 16;
}

// Folds every byte that is a Latin capital, a trail byte of a double-byte
// character too: names that CompareKeyNames finds equal hash alike, and the
// few that differ only in a trail byte's case share a hash, which the
// comparison then tells apart. No double-byte parsing: the hash runs on every
// lookup.
unsigned HashKeyName(const char* pszName)
{
    unsigned h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszName); *p; ++p) {
        const unsigned ch = *p + (unsigned(*p - 'A') < 26u ? 0x20u : 0u);
        h = (h << 5 | h >> 27) ^ ch;
    }
    return h * 2654435761u >> 16;
}

// CompareKeyNames(a, b) == 0, taking names of the same bytes, as most
// lookups give them, without its per-byte folding.
bool SameKeyName(const char* a, const char* b)
{
    const char* p = a;
    const char* q = b;
    while (*p && *p == *q) {
        ++p;
        ++q;
    }
    return *p == *q || CompareKeyNames(a, b) == 0;
}

}  // namespace

CLutrovaneBase::CLutrovaneBase() : m_nIndexedRows(-1)
{
    // A constructor reaches only this class's InitData; a subclass's
    // constructor runs its own afterwards.
    CLutrovaneBase::InitData();
}

CLutrovaneBase::~CLutrovaneBase() {}

void CLutrovaneBase::InitData()
{
    m_arrKeyName.SetSize(0);
    m_arrScancode.SetSize(0);
    m_nIndexedRows = -1;
}

void CLutrovaneBase::AppendKeys(const SKeyRow* pRows, int nCount)
{
    m_nIndexedRows = -1;
    for (int i = 0; i < nCount; ++i) {
        m_arrKeyName.SetAtGrow(m_arrKeyName.GetSize(), pRows[i].pszName);
        m_arrScancode.SetAtGrow(m_arrScancode.GetSize(), pRows[i].wScancode);
    }
}

void CLutrovaneBase::BuildIndexes()
{
    // Open addressing with linear probing, in at least twice as many slots as
    // rows, so that probe runs stay short. Rows go in in table order and a row
    // whose name or code an earlier row holds is left out: a lookup finds the
    // first row, as a scan from row 0 would.
    const int nRows = m_arrKeyName.GetSize();
    int nSlots = 4;
    while (nSlots < 2 * nRows)
        nSlots *= 2;
    const unsigned nMask = unsigned(nSlots) - 1;
    m_arrNameSlots.SetSize(0);
    m_arrNameSlots.SetSize(nSlots);
    m_arrCodeSlots.SetSize(0);
    m_arrCodeSlots.SetSize(nSlots);
    for (int nRow = 0; nRow < nRows; ++nRow) {
        unsigned i = HashKeyName(m_arrKeyName[nRow]) & nMask;
        while (m_arrNameSlots[i] != 0 &&
               !SameKeyName(m_arrKeyName[m_arrNameSlots[i] - 1], m_arrKeyName[nRow]))
            i = (i + 1) & nMask;
        if (m_arrNameSlots[i] == 0)
            m_arrNameSlots.SetAtGrow(int(i), WORD(nRow + 1));

        const WORD wScancode = m_arrScancode[nRow];
        i = HashScancode(wScancode) & nMask;
        while (m_arrCodeSlots[i] != 0 && m_arrScancode[m_arrCodeSlots[i] - 1] != wScancode)
            i = (i + 1) & nMask;
        if (m_arrCodeSlots[i] == 0)
            m_arrCodeSlots.SetAtGrow(int(i), WORD(nRow + 1));
    }
    m_nIndexedRows = nRows;
}

unsigned long CLutrovaneBase::GetSizeOfMap()
{
    return m_arrKeyName.GetSize();
}

CString CLutrovaneBase::GetKeyNameByIndex(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_arrKeyName.GetSize())
        return CString();
    return m_arrKeyName[nIndex];
}

unsigned short CLutrovaneBase::GetScancodeByIndex(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_arrScancode.GetSize())
        return 0;
    return m_arrScancode[nIndex];
}

CString CLutrovaneBase::GetKeyName(unsigned short wScancode)
{
    if (m_nIndexedRows != m_arrKeyName.GetSize())
        BuildIndexes();
    const unsigned nMask = unsigned(m_arrCodeSlots.GetSize()) - 1;
    for (unsigned i = HashScancode(wScancode) & nMask; m_arrCodeSlots[i] != 0; i = (i + 1) & nMask) {
        const int nRow = m_arrCodeSlots[i] - 1;
        if (m_arrScancode[nRow] == wScancode)
            return m_arrKeyName[nRow];
    }
    return CString(kUnknownKeyName);
}

unsigned short CLutrovaneBase::GetScanCode(CString strName)
{
    return FindScanCode(strName);
}

unsigned short CLutrovaneBase::FindScanCode(const char* pszName)
{
    // A subclass may fill the arrays itself: tables of another size are stale.
    if (m_nIndexedRows != m_arrKeyName.GetSize())
        BuildIndexes();
    if (!pszName)
        pszName = "";
    const unsigned nMask = unsigned(m_arrNameSlots.GetSize()) - 1;
    for (unsigned i = HashKeyName(pszName) & nMask; m_arrNameSlots[i] != 0; i = (i + 1) & nMask) {
        const int nRow = m_arrNameSlots[i] - 1;
        if (SameKeyName(m_arrKeyName[nRow], pszName))
            return m_arrScancode[nRow];
    }
    return 0;
}

unsigned long CLutrovaneBase::GetScancodeMap(unsigned char* pBuffer, CStringArray& names,
                                             CWordArray& codes, int nSelector)
{
    names.SetSize(0);
    codes.SetSize(0);
    if (!pBuffer)
        return 0;

    int nEntries = pBuffer[kCountOffset] - 1;  // the null entry is not decoded
    if (nEntries > kMaxDecodedEntries)
        nEntries = kMaxDecodedEntries;
    // An entry holds the mapped key in bytes +0 (make code) and +1 (prefix),
    // the real key in bytes +2 and +3.
    const int nKeyOffset = nSelector ? 2 : 0;
    // Sized once: arrays grown an entry at a time copy every name again at
    // each doubling.
    if (nEntries > 0) {
        codes.SetSize(nEntries);
        names.SetSize(nEntries);
    }
    for (int k = 0; k < nEntries; ++k) {
        const unsigned char* pKey = pBuffer + kFirstEntryOffset + k * kEntrySize + nKeyOffset;
        const unsigned short wScancode = static_cast<unsigned short>(pKey[0] << 8 | pKey[1]);
        codes.SetAtGrow(k, wScancode);
        names.SetAtGrow(k, GetKeyName(wScancode));
    }
    return 0;
}

CString GetKeyNameWithCode(CLutrovaneBase& table, unsigned short wScancode)
{
    const CString strName = table.GetKeyName(wScancode);
    if (strName != kUnknownKeyName)
        return strName;
    const char kHex[] = "0123456789ABCDEF";
    const unsigned char bytes[2] = {static_cast<unsigned char>(wScancode & 0xFF),
                                    static_cast<unsigned char>(wScancode >> 8)};
    char szCode[] = " (0000)";
    for (int i = 0; i < 2; ++i) {
        szCode[2 + 2 * i] = kHex[bytes[i] >> 4];
        szCode[3 + 2 * i] = kHex[bytes[i] & 0xF];
    }
    return CString((std::string(kUnknownKeyName) + szCode).c_str());
}

unsigned short ScancodeOfKeyEvent(unsigned long nVirtualKey, unsigned long nScanCode,
                                  unsigned long nFlags)
{
    const unsigned long kVkPause = 0x13, kVkPacket = 0xE7, kExtended = 0x01;  // VK_, LLKHF_
    const unsigned char bMake = static_cast<unsigned char>(nScanCode);
    if (nVirtualKey == kVkPacket || bMake == 0)
        return 0;
    // Pause sends E1 1D 45 E1 9D C5; the hook sees 45 without the flag, and the
    // map names the key by its first two bytes, E11D.
    if (nVirtualKey == kVkPause)
        return 0x1DE1;
    // The hook flags NumLock (45) and the right Shift key (36) extended,
    // although neither sends an E0 prefix and the map names them 0045 and
    // 0036; no key's code is E045 or E036.
    const bool bPrefix = (nFlags & kExtended) && bMake != 0x45 && bMake != 0x36;
    return static_cast<unsigned short>(bMake << 8 | (bPrefix ? 0xE0 : 0x00));
}

#include "lutrovane_core.h"

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

}  // namespace

CLutrovaneBase::CLutrovaneBase()
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
}

void CLutrovaneBase::AppendKeys(const SKeyRow* pRows, int nCount)
{
    for (int i = 0; i < nCount; ++i) {
        m_arrKeyName.SetAtGrow(m_arrKeyName.GetSize(), pRows[i].pszName);
        m_arrScancode.SetAtGrow(m_arrScancode.GetSize(), pRows[i].wScancode);
    }
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
    for (int i = 0; i < m_arrScancode.GetSize(); ++i) {
        if (m_arrScancode[i] == wScancode)
            return m_arrKeyName[i];
    }
    return CString(kUnknownKeyName);
}

unsigned short CLutrovaneBase::GetScanCode(CString strName)
{
    for (int i = 0; i < m_arrKeyName.GetSize(); ++i) {
        if (CompareKeyNames(m_arrKeyName[i], strName) == 0)
            return m_arrScancode[i];
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
    for (int k = 0; k < nEntries; ++k) {
        const unsigned char* pKey = pBuffer + kFirstEntryOffset + k * kEntrySize + nKeyOffset;
        const unsigned short wScancode = static_cast<unsigned short>(pKey[0] << 8 | pKey[1]);
        codes.SetAtGrow(codes.GetSize(), wScancode);
        names.SetAtGrow(names.GetSize(), GetKeyName(wScancode));
    }
    return 0;
}

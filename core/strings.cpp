#include "lutrovane_core.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {

char g_chNil = '\0';

// A string's bytes sit behind a reference count, as in the framework's
// CString: copies share one buffer. No buffer is written once it is filled
// (every change builds a new one), so sharing needs no copy on write. A copy
// costs an atomic increment, not a heap allocation and a byte copy, which
// under Wine take some 100 ns; decoding a map copies each name it gives
// several times over.
struct SStringData
{
    std::atomic<long> nRefs;
};

// The header sits in front of the bytes, at the start of the allocation.
const int kHeaderBytes = int(sizeof(SStringData));

SStringData* DataOf(char* pch)
{
    return reinterpret_cast<SStringData*>(pch - kHeaderBytes);
}

// A buffer for nLength bytes and the terminating zero, referenced once.
char* NewBuffer(int nLength)
{
    char* pRaw = new char[kHeaderBytes + nLength + 1];
    new (pRaw) SStringData{{1}};
    return pRaw + kHeaderBytes;
}

void AddRef(char* pch)
{
    if (pch != &g_chNil)
        DataOf(pch)->nRefs.fetch_add(1, std::memory_order_relaxed);
}

void Release(char* pch)
{
    if (pch == &g_chNil || DataOf(pch)->nRefs.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    DataOf(pch)->~SStringData();
    delete[] (pch - kHeaderBytes);
}

bool IsLeadByte949(unsigned char ch)
{
    return ch >= 0x81 && ch <= 0xFE;
}

unsigned char FoldLatin(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

// Both arrays grow the same way. Slots past the size always hold an empty
// value, so an array that grows again within its capacity needs no clearing.
template <class T>
void ResizeArray(T*& pData, int& nSize, int& nMaxSize, int nNewSize)
{
    if (nNewSize < 0)
        nNewSize = 0;
    if (nNewSize > nMaxSize) {
        int nMax = nMaxSize ? nMaxSize * 2 : 16;
        if (nMax < nNewSize)
            nMax = nNewSize;
        T* pNew = new T[nMax]();
        for (int i = 0; i < nSize; ++i)
            pNew[i] = pData[i];
        delete[] pData;
        pData = pNew;
        nMaxSize = nMax;
    }
    for (int i = nNewSize; i < nSize; ++i)
        pData[i] = T();
    nSize = nNewSize;
}

}  // namespace

CString::CString() : m_pchData(&g_chNil), m_nLength(0) {}

CString::CString(const CString& str) : m_pchData(str.m_pchData), m_nLength(str.m_nLength)
{
    AddRef(m_pchData);
}

CString::CString(const char* psz) : m_pchData(&g_chNil), m_nLength(0)
{
    if (psz)
        Assign(psz, static_cast<int>(std::strlen(psz)));
}

CString::~CString()
{
    Empty();
}

CString& CString::operator=(const CString& str)
{
    // Referenced before the old buffer goes: str may share it.
    AddRef(str.m_pchData);
    Release(m_pchData);
    m_pchData = str.m_pchData;
    m_nLength = str.m_nLength;
    return *this;
}

CString& CString::operator=(const char* psz)
{
    if (!psz)
        Empty();
    else
        Assign(psz, static_cast<int>(std::strlen(psz)));
    return *this;
}

void CString::Empty()
{
    Release(m_pchData);
    m_pchData = &g_chNil;
    m_nLength = 0;
}

void CString::Assign(const char* psz, int nLength)
{
    // psz may point into this string's own buffer: copy before releasing.
    char* pch = &g_chNil;
    if (nLength > 0) {
        pch = NewBuffer(nLength);
        std::memcpy(pch, psz, nLength);
        pch[nLength] = '\0';
    }
    Empty();
    m_pchData = pch;
    m_nLength = nLength;
}

CString CString::Mid(int nFirst) const
{
    if (nFirst <= 0)
        return *this;
    if (nFirst >= m_nLength)
        return CString();
    return CString(m_pchData + nFirst);
}

void CString::Format(const char* pszFormat, const char* psz)
{
    // Only the forms the program's resources use: one %s and %%. Anything else
    // after a % is copied as it stands, so no format can read past psz.
    if (!pszFormat)
        pszFormat = "";
    if (!psz)
        psz = "";
    const int nArg = static_cast<int>(std::strlen(psz));
    char* pch = NewBuffer(static_cast<int>(std::strlen(pszFormat)) + nArg);
    int n = 0;
    bool bUsed = false;
    for (const char* p = pszFormat; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && !bUsed) {
            std::memcpy(pch + n, psz, nArg);
            n += nArg;
            bUsed = true;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            pch[n++] = '%';
            ++p;
        } else {
            pch[n++] = *p;
        }
    }
    pch[n] = '\0';
    Empty();
    m_pchData = pch;
    m_nLength = n;
}

bool operator==(const CString& a, const char* b)
{
    return std::strcmp(a, b ? b : "") == 0;
}

int CompareKeyNames(const char* a, const char* b)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;;) {
        // A trail byte of 949 may be a Latin letter's byte (0x41..0x5A,
        // 0x61..0x7A): it is compared exactly, never folded.
        if (IsLeadByte949(*p) && p[1] && IsLeadByte949(*q) && q[1]) {
            const int d = (p[0] << 8 | p[1]) - (q[0] << 8 | q[1]);
            if (d)
                return d;
            p += 2;
            q += 2;
            continue;
        }
        const int d = FoldLatin(*p) - FoldLatin(*q);
        if (d || !*p)
            return d;
        ++p;
        ++q;
    }
}

CStringArray::CStringArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0) {}

CStringArray::~CStringArray()
{
    delete[] m_pData;
}

void CStringArray::SetSize(int nNewSize)
{
    ResizeArray(m_pData, m_nSize, m_nMaxSize, nNewSize);
}

int CStringArray::Add(const CString& str)
{
    SetAtGrow(m_nSize, str);
    return m_nSize - 1;
}

void CStringArray::SetAtGrow(int nIndex, const CString& str)
{
    if (nIndex < 0)
        return;
    if (nIndex < m_nMaxSize) {
        // The elements stay where they are, str among them if it is one.
        if (nIndex >= m_nSize)
            SetSize(nIndex + 1);
        m_pData[nIndex] = str;
        return;
    }
    // str may be an element of this array: hold its text before the array moves.
    const CString strCopy(str);
    SetSize(nIndex + 1);
    m_pData[nIndex] = strCopy;
}

CWordArray::CWordArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0) {}

CWordArray::~CWordArray()
{
    delete[] m_pData;
}

void CWordArray::SetSize(int nNewSize)
{
    ResizeArray(m_pData, m_nSize, m_nMaxSize, nNewSize);
}

int CWordArray::Add(WORD w)
{
    SetAtGrow(m_nSize, w);
    return m_nSize - 1;
}

void CWordArray::SetAtGrow(int nIndex, WORD w)
{
    if (nIndex < 0)
        return;
    if (nIndex >= m_nSize)
        SetSize(nIndex + 1);
    m_pData[nIndex] = w;
}

#include "history_names.h"

#include <cwchar>

namespace {

const wchar_t kExtension[] = L".reg";
const size_t kExtensionLength = sizeof(kExtension) / sizeof(wchar_t) - 1;
const size_t kStampLength = 16;  // 20240501T134507Z

// The number the nCount digits from nFirst on spell; -1 when they are not all digits.
long Digits(const std::wstring& str, size_t nFirst, size_t nCount)
{
    long n = 0;
    for (size_t i = nFirst; i < nFirst + nCount; ++i) {
        if (i >= str.size() || str[i] < L'0' || str[i] > L'9')
            return -1;
        n = n * 10 + (str[i] - L'0');
    }
    return n;
}

// n in at least nWidth digits, zeros in front. By hand: std::to_wstring and
// swprintf link the run-time's wide printf, some 25 KB.
std::wstring Decimal(unsigned long n, size_t nWidth)
{
    std::wstring str;
    do {
        str.insert(str.begin(), wchar_t(L'0' + n % 10));
        n /= 10;
    } while (n || str.size() < nWidth);
    return str;
}

std::wstring Numbered(unsigned long nNumber)
{
    return nNumber > 1 ? L"_" + Decimal(nNumber, 1) : std::wstring();
}

}  // namespace

bool ParseEntryName(const std::wstring& strName, SEntryName* pEntry)
{
    if (strName.size() < kStampLength + kExtensionLength)
        return false;
    const size_t nExtension = strName.size() - kExtensionLength;
    if (lstrcmpiW(strName.c_str() + nExtension, kExtension) != 0 || Digits(strName, 0, 8) < 0
        || strName[8] != L'T' || Digits(strName, 9, 6) < 0 || strName[15] != L'Z')
        return false;
    long nNumber = 1;
    if (nExtension != kStampLength) {
        // "_2" to "_999999", without leading zeros: one name per number.
        const size_t nDigits = nExtension - kStampLength - 1;
        if (strName[kStampLength] != L'_' || nDigits == 0 || nDigits > 6
            || strName[kStampLength + 1] == L'0')
            return false;
        nNumber = Digits(strName, kStampLength + 1, nDigits);
        if (nNumber < 2)
            return false;
    }
    pEntry->strName = strName;
    pEntry->strStamp = strName.substr(0, kStampLength);
    pEntry->nNumber = static_cast<unsigned long>(nNumber);
    return true;
}

std::wstring EntryName(const std::wstring& strStamp, unsigned long nNumber)
{
    return strStamp + Numbered(nNumber) + kExtension;
}

std::wstring StampOf(const SYSTEMTIME& st)
{
    return Decimal(st.wYear, 4) + Decimal(st.wMonth, 2) + Decimal(st.wDay, 2) + L"T"
           + Decimal(st.wHour, 2) + Decimal(st.wMinute, 2) + Decimal(st.wSecond, 2) + L"Z";
}

SYSTEMTIME TimeOf(const std::wstring& strStamp)
{
    SYSTEMTIME st = {};
    st.wYear = WORD(Digits(strStamp, 0, 4));
    st.wMonth = WORD(Digits(strStamp, 4, 2));
    st.wDay = WORD(Digits(strStamp, 6, 2));
    st.wHour = WORD(Digits(strStamp, 9, 2));
    st.wMinute = WORD(Digits(strStamp, 11, 2));
    st.wSecond = WORD(Digits(strStamp, 13, 2));
    return st;
}

std::wstring StampAfter(SYSTEMTIME st, unsigned long nSeconds)
{
    FILETIME ft;
    if (SystemTimeToFileTime(&st, &ft)) {
        ULARGE_INTEGER time = {{ft.dwLowDateTime, ft.dwHighDateTime}};
        time.QuadPart += ULONGLONG(nSeconds) * 10000000;  // in 100 ns
        ft.dwLowDateTime = time.LowPart;
        ft.dwHighDateTime = time.HighPart;
        FileTimeToSystemTime(&ft, &st);
    }
    return StampOf(st);
}

bool IsNewerEntry(const SEntryName& a, const SEntryName& b)
{
    return a.strStamp != b.strStamp ? a.strStamp > b.strStamp : a.nNumber > b.nNumber;
}

std::wstring RefusedName(const std::wstring& strName, const std::wstring& strStamp, unsigned long nNumber)
{
    return strName + L".refused-" + strStamp + Numbered(nNumber);
}

// Key names as they come in from outside: the name comparison, the lookups
// through each key table's indexes, and the string class. The input is two
// names, split at its first zero byte; the second is also a format's argument.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Each name in an allocation of its own, its terminating zero the last byte:
// a comparison that reads on is caught.
std::unique_ptr<char[]> Name(const uint8_t* pData, size_t nLength)
{
    std::unique_ptr<char[]> name(new char[nLength + 1]);
    std::memcpy(name.get(), pData, nLength);
    name[nLength] = '\0';
    return name;
}

int Sign(int n)
{
    return (n > 0) - (n < 0);
}

bool IsLatinLetter(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// Names that compare equal are the same bytes but for the case of Latin
// letters. The trail byte of a code page 949 character (a lead byte 81 to FE
// and the byte after it) may be a letter's byte: it is never folded.
void CheckCompare(const char* a, const char* b)
{
    const int n = CompareKeyNames(a, b);
    FUZZ_CHECK(Sign(n) == -Sign(CompareKeyNames(b, a)));
    if (std::strcmp(a, b) == 0)
        FUZZ_CHECK(n == 0);
    if (n == 0) {
        FUZZ_CHECK(std::strlen(a) == std::strlen(b));
        bool bTrail = false;
        for (size_t i = 0; a[i]; ++i) {
            const unsigned char x = a[i], y = b[i];
            FUZZ_CHECK(x == y || (!bTrail && IsLatinLetter(x) && (x ^ 0x20) == y));
            bTrail = !bTrail && x >= 0x81 && x <= 0xFE && a[i + 1];
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static SKeyTables tables;

    const uint8_t* pSplit = static_cast<const uint8_t*>(std::memchr(pData, 0, nSize));
    const size_t nFirst = pSplit ? size_t(pSplit - pData) : nSize;
    const size_t nRest = pSplit ? nSize - nFirst - 1 : 0;
    const std::unique_ptr<char[]> a = Name(pData, nFirst);
    const std::unique_ptr<char[]> b = Name(pSplit ? pSplit + 1 : pData + nSize, nRest);

    FUZZ_CHECK(CompareKeyNames(a.get(), a.get()) == 0);
    CheckCompare(a.get(), b.get());

    // The lookups, through each table's indexes, give the first row whose name
    // compares equal, and the first row with the code that the second name's
    // first two bytes make, as scans from row 0 would.
    const unsigned short wScancode = static_cast<unsigned short>(
        (nRest > 0 ? pSplit[1] << 8 : 0) | (nRest > 1 ? pSplit[2] : 0));
    for (CLutrovaneBase* pTable : tables.all) {
        int nRow = -1;
        int nCodeRow = -1;
        for (int i = 0; i < int(pTable->GetSizeOfMap()); ++i) {
            const CString strName = pTable->GetKeyNameByIndex(i);
            CheckCompare(strName, a.get());
            if (nRow < 0 && CompareKeyNames(strName, a.get()) == 0)
                nRow = i;
            if (nCodeRow < 0 && pTable->GetScancodeByIndex(i) == wScancode)
                nCodeRow = i;
        }
        FUZZ_CHECK(pTable->GetScanCode(a.get()) == (nRow < 0 ? 0 : pTable->GetScancodeByIndex(nRow)));
        const CString strCodeName =
            nCodeRow < 0 ? CString("알수 없음") : pTable->GetKeyNameByIndex(nCodeRow);
        FUZZ_CHECK(std::strcmp(pTable->GetKeyName(wScancode), strCodeName) == 0);
    }

    // The string class: copies, the tail from a byte on, a format with the
    // second name as its argument.
    const size_t nA = std::strlen(a.get()), nB = std::strlen(b.get());
    CString str(a.get());
    FUZZ_CHECK(str == a.get() && str.GetLength() == int(nA));
    const int nFirstByte = int(nB % (nA + 2)) - 1;
    const CString strMid = str.Mid(nFirstByte);
    FUZZ_CHECK(strMid == (nFirstByte >= int(nA) ? "" : a.get() + (nFirstByte < 0 ? 0 : nFirstByte)));
    str.Format(a.get(), b.get());
    FUZZ_CHECK(str.GetLength() <= int(nA + nB));
    if (!std::strchr(a.get(), '%'))
        FUZZ_CHECK(str == a.get());

    // An array that grows from its own elements, past a reallocation or two.
    CStringArray names;
    names.Add(a.get());
    for (int i = 0; i < int(nB % 40); ++i)
        names.SetAtGrow(names.GetSize(), names[i / 2]);
    for (int i = 0; i < names.GetSize(); ++i)
        FUZZ_CHECK(names[i] == a.get());
    return 0;
}

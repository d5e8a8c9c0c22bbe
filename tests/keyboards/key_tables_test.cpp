#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"
#include "standard_scan_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace {

const char kUnknownKeyName[] = "알수 없음";

// Runs InitData a second time, as a reload would: a subclass's InitData that
// does not empty the table first doubles it.
template <class TTable>
class CRebuilt : public TTable
{
public:
    CRebuilt() { this->InitData(); }
};

class KeyTables : public testing::Test
{
protected:
    CRebuilt<CLutrovaneCore> m_catalogue;
    CRebuilt<CLutrovanePC> m_pc;
    CRebuilt<CLutrovaneApplePro> m_pro;
    CRebuilt<CLutrovaneAppleEtc> m_etc;
    CRebuilt<CLutrovaneAppleExt> m_ext;

    struct STable
    {
        const char* pszLabel;
        CLutrovaneBase* pTable;
    };
    const STable m_tables[5] = {
        {"catalogue", &m_catalogue}, {"PC", &m_pc},
        {"Apple Pro", &m_pro},       {"other Apple", &m_etc},
        {"Apple Extended", &m_ext},
    };
};

// The standard key that one of our tables calls pszName, or null.
const standard_keys::SKey* FindStandardKey(const char* pszName)
{
    for (const standard_keys::SKey& key : standard_keys::kKeys) {
        for (const char* pszKeyName : key.apszNames) {
            if (pszKeyName && std::string(pszKeyName) == pszName)
                return &key;
        }
    }
    return nullptr;
}

// pszName with its Latin letters in upper or lower case. A byte from 0x81 on
// leads a double-byte character of code page 949, whose second byte may be a
// Latin letter's: both bytes stay as they are.
// bMixed alternates, starting with bUpper.
std::string WithLatinCase(const char* pszName, bool bUpper, bool bMixed = false)
{
    std::string str(pszName);
    for (size_t i = 0; i < str.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(str[i]);
        if (ch >= 0x81) {
            ++i;
            continue;
        }
        if (bUpper && ch >= 'a' && ch <= 'z')
            str[i] = static_cast<char>(ch - 'a' + 'A');
        else if (!bUpper && ch >= 'A' && ch <= 'Z')
            str[i] = static_cast<char>(ch - 'A' + 'a');
        if (bMixed && ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z'))
            bUpper = !bUpper;
    }
    return str;
}

// The lookups as scans from row 0, first match first: what the tables'
// indexes must answer.
unsigned short ScanForName(CLutrovaneBase& table, const char* pszName)
{
    for (int i = 0; i < int(table.GetSizeOfMap()); ++i) {
        if (CompareKeyNames(table.GetKeyNameByIndex(i), pszName) == 0)
            return table.GetScancodeByIndex(i);
    }
    return 0;
}

std::string ScanForCode(CLutrovaneBase& table, unsigned short wScancode)
{
    for (int i = 0; i < int(table.GetSizeOfMap()); ++i) {
        if (table.GetScancodeByIndex(i) == wScancode)
            return std::string(table.GetKeyNameByIndex(i));
    }
    return kUnknownKeyName;
}

}  // namespace

// Every row against the standard's scan code set 1, which no comparison of our
// tables with one another can replace (the catalogue and the PC table share
// their rows, as the three Apple tables do): a code typed wrong, two codes
// swapped between rows, a name the standard does not know. Departures on
// purpose: the Apple Pro Keyboard sends F13 to F15 as 5D to 5F, the catalogue
// holds those codes besides the standard ones, and its "키패드 =" carries
// keypad 9's code. Along the way, each row must look up by its name in either
// letter case (to the first row of that name), name back through the
// catalogue, and, in a keyboard's own table, sit behind no earlier row of its
// code or name. A table whose InitData runs again must not hold rows twice.
TEST_F(KeyTables, RowWithAnotherKeysCodeOrNameLookupMissed)
{
    const struct {
        const CLutrovaneBase* pTable;
        const char* pszName;
        unsigned short wScancode;
    } ownCodes[] = {
        {&m_pro, "F13", 0x5D00},       {&m_pro, "F14", 0x5E00},       {&m_pro, "F15", 0x5F00},
        {&m_catalogue, "F13", 0x5D00}, {&m_catalogue, "F14", 0x5E00}, {&m_catalogue, "F15", 0x5F00},
        {&m_catalogue, "키패드 =", 0x4900},
    };
    CLutrovaneCore catalogue;
    CLutrovanePC pc;
    CLutrovaneApplePro pro;
    CLutrovaneAppleEtc etc;
    CLutrovaneAppleExt ext;
    CLutrovaneBase* const fresh[] = {&catalogue, &pc, &pro, &etc, &ext};
    for (int t = 0; t < 5; ++t) {
        const STable& table = m_tables[t];
        SCOPED_TRACE(table.pszLabel);
        ASSERT_EQ(fresh[t]->GetSizeOfMap(), table.pTable->GetSizeOfMap()) << "rows appended twice";
        for (int i = 0; i < int(table.pTable->GetSizeOfMap()); ++i) {
            const CString strName = table.pTable->GetKeyNameByIndex(i);
            const unsigned short wScancode = table.pTable->GetScancodeByIndex(i);
            SCOPED_TRACE(testing::Message() << "row " << i << ", 0x" << std::hex << wScancode);
            EXPECT_STRNE(kUnknownKeyName, m_catalogue.GetKeyName(wScancode));
            const bool bOwnCode = std::any_of(std::begin(ownCodes), std::end(ownCodes), [&](const auto& own) {
                return own.pTable == table.pTable && strName == own.pszName && own.wScancode == wScancode;
            });
            const standard_keys::SKey* pKey = FindStandardKey(strName);
            if (!bOwnCode) {
                ASSERT_NE(nullptr, pKey) << "a key the standard does not know";
                EXPECT_EQ(standard_keys::ScanCode(*pKey), wScancode)
                    << "the standard's code is 0x" << std::hex << standard_keys::ScanCode(*pKey);
            }
            int nFirst = 0;
            while (std::string(table.pTable->GetKeyNameByIndex(nFirst)) != std::string(strName))
                ++nFirst;
            const unsigned short wFirst = table.pTable->GetScancodeByIndex(nFirst);
            EXPECT_EQ(wFirst, table.pTable->GetScanCode(WithLatinCase(strName, true).c_str()));
            EXPECT_EQ(wFirst, table.pTable->GetScanCode(WithLatinCase(strName, false).c_str()));
            if (t > 0) {
                EXPECT_EQ(i, nFirst) << "hidden behind an earlier row of its name";
                EXPECT_STREQ(strName, table.pTable->GetKeyName(wScancode));
            }
        }
        for (char ch = 'a'; ch <= 'z'; ++ch) {  // every letter there, by either case
            const char szLetter[] = {ch, '\0'};
            EXPECT_EQ(standard_keys::ScanCode(*FindStandardKey(WithLatinCase(szLetter, true).c_str())),
                      table.pTable->GetScanCode(szLetter)) << szLetter;
        }
    }
}

// The catalogue holds the PC rows with Break moved up behind ScrollLock; in
// the PC table the real-key list stops just before Break.
TEST_F(KeyTables, BreakOutOfPlaceInThePcTableOrTheCatalogue)
{
    ASSERT_EQ(103u, m_pc.GetSizeOfFromMap());
    EXPECT_STREQ("Break(Pause) 키", m_pc.GetKeyNameByIndex(103));
    std::vector<int> pcRows(m_pc.GetSizeOfMap());  // the PC row at each catalogue row
    std::iota(pcRows.begin(), pcRows.end(), 0);
    std::rotate(pcRows.begin() + 67, pcRows.begin() + 103, pcRows.begin() + 104);
    for (int i = 0; i < int(pcRows.size()); ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(m_pc.GetKeyNameByIndex(pcRows[i]), m_catalogue.GetKeyNameByIndex(i));
        EXPECT_EQ(m_pc.GetScancodeByIndex(pcRows[i]), m_catalogue.GetScancodeByIndex(i));
    }
}

TEST_F(KeyTables, NewerAppleTablesDifferOnlyInF13ToF15Codes)
{
    ASSERT_EQ(m_pro.GetSizeOfMap(), m_etc.GetSizeOfMap());
    for (int i = 0; i < int(m_pro.GetSizeOfMap()); ++i) {
        SCOPED_TRACE(i);
        const CString strName = m_pro.GetKeyNameByIndex(i);
        EXPECT_STREQ(strName, m_etc.GetKeyNameByIndex(i));
        const bool bF13ToF15 = strName == "F13" || strName == "F14" || strName == "F15";
        EXPECT_EQ(!bF13ToF15, m_pro.GetScancodeByIndex(i) == m_etc.GetScancodeByIndex(i));
    }
}

// Real-key names of an Apple keyboard convert only with that keyboard's own
// table. The catalogue takes the first of its duplicates: "F13" is the Apple
// Pro code, and "키패드 =" the code that names "키패드 9". Latin letters
// match in either case.
TEST_F(KeyTables, NamesConvertOnlyWithTheirOwnTableAndToTheFirstDuplicate)
{
    const struct {
        CLutrovaneBase* pTable;
        const char* pszName;
        unsigned short wScancode;
    } cases[] = {
        {&m_catalogue, "f13", 0x5D00},    {&m_catalogue, "control(왼쪽)", 0x1D00},
        {&m_catalogue, "키패드 =", 0x4900}, {&m_catalogue, "Enter/Return", 0},
        {&m_catalogue, "사과키(왼쪽)", 0},  {&m_catalogue, kUnknownKeyName, 0},
        {&m_pc, "F13", 0},   {&m_pro, "Insert", 0}, {&m_etc, "F13", 0x6400},
        {&m_ext, "F13", 0},  {&m_ext, "PrintScreen/F13", 0x37E0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wScancode, c.pTable->GetScanCode(c.pszName)) << c.pszName;
}

// A map written on one keyboard and read back with another one chosen: the
// chosen keyboard's table names the real keys, the catalogue the mapped keys,
// a code it holds twice under the first row's name.
TEST_F(KeyTables, RealKeysDecodeWithTheChosenKeyboardsTable)
{
    unsigned char abMap[1024] = {
        0x00, 0x00, 0x00, 0x00,  // version
        0x00, 0x00, 0x00, 0x00,  // flags
        0x04, 0x00, 0x00, 0x00,  // entries, the null entry included
        0x49, 0x00, 0x64, 0x00,  // mapped 0x4900 키패드 9, real 0x6400 other Apples' F13
        0x64, 0x00, 0x46, 0x00,  // mapped 0x6400 F13, real 0x4600 ScrollLock
        0x5B, 0xE0, 0x5F, 0x00,  // mapped 0x5BE0 윈도우키(왼쪽), real 0x5F00 Apple Pro F15
        0x00, 0x00, 0x00, 0x00,  // null entry
    };
    const struct {
        const char* pszLabel;
        CLutrovaneBase* pTable;
        int nSelector;
        const char* apszNames[3];
    } cases[] = {
        {"other Apple", &m_etc, 1, {"F13", kUnknownKeyName, kUnknownKeyName}},
        {"Apple Pro", &m_pro, 1, {kUnknownKeyName, kUnknownKeyName, "F15"}},
        {"Apple Extended", &m_ext, 1, {kUnknownKeyName, "ScrollLock/F14", kUnknownKeyName}},
        {"PC", &m_pc, 1, {kUnknownKeyName, "ScrollLock", kUnknownKeyName}},
        {"catalogue", &m_catalogue, 0, {"키패드 9", "F13", "윈도우키(왼쪽)"}},
    };
    for (const auto& decode : cases) {
        SCOPED_TRACE(decode.pszLabel);
        CStringArray names;
        CWordArray codes;
        decode.pTable->GetScancodeMap(abMap, names, codes, decode.nSelector);
        ASSERT_EQ(3, names.GetSize());
        for (int k = 0; k < 3; ++k)
            EXPECT_STREQ(decode.apszNames[k], names[k]) << "entry " << k;
    }
}

// List controls and map files get the names as code page 949 bytes: the
// expected bytes are written as escapes, which the compiler leaves alone.
TEST_F(KeyTables, NamesAreCodePage949Bytes)
{
    for (const STable& table : m_tables) {
        SCOPED_TRACE(table.pszLabel);
        EXPECT_EQ(std::string("\xA1\xE6"), std::string(table.pTable->GetKeyName(0x4DE0)));  // →
        EXPECT_EQ(std::string("\xC5\xB0\xC6\xD0\xB5\xE5\x20\x2F"),
                  std::string(table.pTable->GetKeyName(0x35E0)));  // 키패드 /
    }
}

// Lookups go through an index of each table; it must answer as a scan from
// row 0 would: every name in upper, lower and mixed case, to the first row of
// that name; names one byte longer or shorter, or ending in a lone lead byte
// (a Korean name cut inside its last character, or one more lead byte), to
// whatever row a scan finds, mostly none; and every code there is.
TEST_F(KeyTables, IndexAnswersOtherThanAScanFromRowZero)
{
    for (const STable& table : m_tables) {
        SCOPED_TRACE(table.pszLabel);
        std::vector<std::string> queries = {"", kUnknownKeyName};
        for (int i = 0; i < int(table.pTable->GetSizeOfMap()); ++i) {
            const std::string strName(table.pTable->GetKeyNameByIndex(i));
            for (bool bUpper : {true, false}) {
                queries.push_back(WithLatinCase(strName.c_str(), bUpper));
                queries.push_back(WithLatinCase(strName.c_str(), bUpper, true));
            }
            queries.push_back(strName + "x");
            queries.push_back(strName.substr(0, strName.size() - 1));
            queries.push_back(strName + "\xB0");
        }
        for (const std::string& strQuery : queries) {
            SCOPED_TRACE(strQuery);
            EXPECT_EQ(ScanForName(*table.pTable, strQuery.c_str()),
                      table.pTable->GetScanCode(strQuery.c_str()));
        }
        // One failure for a table says enough: 65536 would drown it.
        for (unsigned nCode = 0; nCode <= 0xFFFF; ++nCode) {
            const unsigned short wScancode = static_cast<unsigned short>(nCode);
            const std::string strName(table.pTable->GetKeyName(wScancode));
            if (strName != ScanForCode(*table.pTable, wScancode)) {
                ADD_FAILURE() << "code 0x" << std::hex << nCode << " named " << strName;
                break;
            }
        }
    }
}

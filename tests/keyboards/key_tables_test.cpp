#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"
#include "standard_scan_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUnknownKeyName[] = "알수 없음";

class KeyTables : public testing::Test
{
protected:
    CLutrovaneCore m_catalogue;
    CLutrovanePC m_pc;
    CLutrovaneApplePro m_pro;
    CLutrovaneAppleEtc m_etc;
    CLutrovaneAppleExt m_ext;
    CLutrovaneBase* const m_tables[5] = {&m_catalogue, &m_pc, &m_pro, &m_etc, &m_ext};
    const char* const m_labels[5] = {"catalogue", "PC", "Apple Pro", "other Apple", "Apple Extended"};
};

// The standard's code of the key that one of our tables calls strName; 0 for none.
unsigned short StandardCode(const std::string& strName)
{
    for (const standard_keys::SKey& key : standard_keys::kKeys) {
        for (const char* pszKeyName : key.apszNames) {
            if (pszKeyName && strName == pszKeyName)
                return standard_keys::ScanCode(key);
        }
    }
    return 0;
}

// strName with its Latin letters in lower case; a code page 949 lead byte
// (0x81 on) and the byte after it, which may be a letter's, stay as they are.
std::string Lower(std::string str)
{
    for (size_t i = 0; i < str.size(); ++i) {
        if (static_cast<unsigned char>(str[i]) >= 0x81)
            ++i;
        else if (str[i] >= 'A' && str[i] <= 'Z')
            str[i] = static_cast<char>(str[i] | 0x20);
    }
    return str;
}

}  // namespace

// Every row against the standard's scan code set 1, which no comparison of our
// tables with one another can replace: a code typed wrong, two codes swapped, a
// name the standard does not know. On purpose, the Apple Pro Keyboard sends F13
// to F15 as 5D to 5F, which the catalogue holds too, and the catalogue's
// "키패드 =" carries keypad 9's code. Every key is in the catalogue, a PC key
// under its PC name; a keyboard's table holds no name or code twice; Break
// follows ScrollLock in the catalogue and opens the PC table's mapped-only keys.
// Names are code page 949 bytes.
TEST_F(KeyTables, RowWithAnotherKeysCodeOrNameOrOutOfPlace)
{
    const std::vector<std::string> kOwnCodes[5] = {
        {"F13 5d00", "F14 5e00", "F15 5f00", "키패드 = 4900"}, {}, {"F13 5d00", "F14 5e00", "F15 5f00"}, {}, {}};
    for (int t = 0; t < 5; ++t) {
        CLutrovaneBase& table = *m_tables[t];
        SCOPED_TRACE(m_labels[t]);
        for (int i = 0; i < int(table.GetSizeOfMap()); ++i) {
            const std::string strName(table.GetKeyNameByIndex(i));
            const unsigned short wScancode = table.GetScancodeByIndex(i);
            SCOPED_TRACE(testing::Message() << "row " << i << " " << strName);
            char szRow[64];
            snprintf(szRow, sizeof(szRow), "%s %04x", strName.c_str(), wScancode);
            if (std::find(kOwnCodes[t].begin(), kOwnCodes[t].end(), szRow) == kOwnCodes[t].end()) {
                EXPECT_EQ(StandardCode(strName), wScancode);
            }
            EXPECT_STRNE(kUnknownKeyName, m_catalogue.GetKeyName(wScancode));
            if (t == 1) {
                EXPECT_EQ(strName, std::string(m_catalogue.GetKeyName(wScancode))) << "not the PC name";
            }
            if (t > 0) {
                EXPECT_EQ(strName, std::string(table.GetKeyName(wScancode))) << "a code held twice";
                EXPECT_EQ(wScancode, table.GetScanCode(strName.c_str())) << "a name held twice";
            }
            if (t == 0 && strName == "ScrollLock") {
                EXPECT_STREQ("Break(Pause) 키", table.GetKeyNameByIndex(i + 1));
            }
        }
        EXPECT_EQ("\xC5\xB0\xC6\xD0\xB5\xE5\x20\x2F", std::string(table.GetKeyName(0x35E0)));  // 키패드 /
    }
    EXPECT_STREQ("Break(Pause) 키", m_pc.GetKeyNameByIndex(int(m_pc.GetSizeOfFromMap())));
}

// Lookups go through an index; it must answer as a scan from row 0 would, for
// every name as written and in lower case, one byte longer or shorter, or
// ending in a lone lead byte, and for every code there is.
TEST_F(KeyTables, IndexAnswersOtherThanAScanFromRowZero)
{
    for (int t = 0; t < 5; ++t) {
        CLutrovaneBase& table = *m_tables[t];
        SCOPED_TRACE(m_labels[t]);
        const int nRows = int(table.GetSizeOfMap());
        std::vector<std::string> queries = {"", kUnknownKeyName};
        for (int i = 0; i < nRows; ++i) {
            const std::string strName(table.GetKeyNameByIndex(i));
            queries.insert(queries.end(), {strName, Lower(strName), strName + "x",
                                           strName.substr(0, strName.size() - 1), strName + "\xB0"});
        }
        for (const std::string& strQuery : queries) {
            int i = 0;
            while (i < nRows && CompareKeyNames(table.GetKeyNameByIndex(i), strQuery.c_str()) != 0)
                ++i;
            EXPECT_EQ(table.GetScancodeByIndex(i), table.GetScanCode(strQuery.c_str())) << strQuery;
        }
        // One failure for a table says enough: 65536 would drown it.
        for (unsigned nCode = 0; nCode <= 0xFFFF; ++nCode) {
            int i = 0;
            while (i < nRows && table.GetScancodeByIndex(i) != nCode)
                ++i;
            const std::string strName(table.GetKeyName(static_cast<unsigned short>(nCode)));
            if (strName != (i < nRows ? std::string(table.GetKeyNameByIndex(i)) : kUnknownKeyName)) {
                ADD_FAILURE() << "code 0x" << std::hex << nCode << " named " << strName;
                break;
            }
        }
    }
}

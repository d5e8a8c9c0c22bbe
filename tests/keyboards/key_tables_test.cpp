#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// The scan code set 1 make codes of a standard PC keyboard's keys (with the
// Windows, ACPI, media and browser keys) as Microsoft's USB HID to PS/2 scan
// code table gives them, written row by row of the keyboard, not from our
// tables. Each key carries our tables' names for it: PC names, then Apple ones.
struct SKey
{
    unsigned short nMake;  // as the standard writes it: make, or 0xE0 and make as 0xE0mm
    const char* apszNames[3];
};

const SKey kKeys[] = {
    // Function key row. Pause sends E1 1D 45, which no map entry can hold; the
    // map reaches the key through Break (Ctrl+Pause), E0 46. PrintScreen
    // sends E0 2A E0 37, of which E0 37 is the key's own.
    {0x01, {"ESC"}}, {0x3B, {"F1"}}, {0x3C, {"F2"}}, {0x3D, {"F3"}}, {0x3E, {"F4"}}, {0x3F, {"F5"}},
    {0x40, {"F6"}}, {0x41, {"F7"}}, {0x42, {"F8"}}, {0x43, {"F9"}}, {0x44, {"F10"}}, {0x57, {"F11"}},
    {0x58, {"F12"}}, {0x64, {"F13"}}, {0x65, {"F14"}}, {0x66, {"F15"}},
    // The Apple Extended Keyboard's F13 and F14 send PrintScreen and ScrollLock.
    {0xE037, {"PrintScreen", "PrintScreen/F13"}}, {0x46, {"ScrollLock", "ScrollLock/F14"}},
    {0xE046, {"Break(Pause) 키"}},
    {0x29, {"`"}}, {0x02, {"1"}}, {0x03, {"2"}}, {0x04, {"3"}}, {0x05, {"4"}}, {0x06, {"5"}}, {0x07, {"6"}},
    {0x08, {"7"}}, {0x09, {"8"}}, {0x0A, {"9"}}, {0x0B, {"0"}}, {0x0C, {"-"}}, {0x0D, {"="}},
    {0x0E, {"Backspace", "Backspace/Delete"}},
    {0x0F, {"Tab"}}, {0x10, {"Q"}}, {0x11, {"W"}}, {0x12, {"E"}}, {0x13, {"R"}}, {0x14, {"T"}}, {0x15, {"Y"}},
    {0x16, {"U"}}, {0x17, {"I"}}, {0x18, {"O"}}, {0x19, {"P"}}, {0x1A, {"["}}, {0x1B, {"]"}}, {0x2B, {"\\"}},
    {0x3A, {"CapsLock"}}, {0x1E, {"A"}}, {0x1F, {"S"}}, {0x20, {"D"}}, {0x21, {"F"}}, {0x22, {"G"}}, {0x23, {"H"}},
    {0x24, {"J"}}, {0x25, {"K"}}, {0x26, {"L"}}, {0x27, {";"}}, {0x28, {"'"}}, {0x1C, {"Enter", "Enter/Return"}},
    {0x2C, {"Z"}}, {0x2D, {"X"}}, {0x2E, {"C"}}, {0x2F, {"V"}}, {0x30, {"B"}}, {0x31, {"N"}}, {0x32, {"M"}},
    {0x33, {","}}, {0x34, {"."}}, {0x35, {"/"}},
    // Modifiers and the space bar. Apple's command keys send the Windows keys'
    // codes; the Apple Extended Keyboard's modifier pairs send the left key's.
    {0x2A, {"Shift(왼쪽)", "Shift(왼쪽&오른쪽)"}}, {0x36, {"Shift(오른쪽)"}}, {0x1D, {"Control(왼쪽)", "Control(왼쪽&오른쪽)"}},
    {0xE01D, {"Control(오른쪽)/한자변환", "Control(오른쪽)"}}, {0x38, {"Alt(왼쪽)", "Alt(왼쪽&오른쪽)"}},
    {0xE038, {"Alt(오른쪽)/한글전환", "Alt(오른쪽)"}}, {0xE05B, {"윈도우키(왼쪽)", "사과키(왼쪽)", "사과키(왼쪽&오른쪽)"}},
    {0xE05C, {"윈도우키(오른쪽)", "사과키(오른쪽)"}}, {0xE05D, {"컨텍스트키"}}, {0x39, {"Space"}},
    // Navigation block and arrows: the prefix tells them from the keypad.
    {0xE052, {"Insert", "Ins"}}, {0xE053, {"Delete", "Del"}}, {0xE047, {"Home"}}, {0xE04F, {"End"}},
    {0xE049, {"PageUp"}}, {0xE051, {"PageDown"}}, {0xE048, {"↑"}}, {0xE04B, {"←"}}, {0xE050, {"↓"}},
    {0xE04D, {"→"}},
    {0x45, {"NumLock"}}, {0xE035, {"키패드 /"}}, {0x37, {"키패드 *"}}, {0x4A, {"키패드 -"}}, {0x47, {"키패드 7"}},
    {0x48, {"키패드 8"}}, {0x49, {"키패드 9"}}, {0x4E, {"키패드 +"}}, {0x4B, {"키패드 4"}}, {0x4C, {"키패드 5"}},
    {0x4D, {"키패드 6"}}, {0x4F, {"키패드 1"}}, {0x50, {"키패드 2"}}, {0x51, {"키패드 3"}}, {0xE01C, {"키패드 Enter"}},
    {0x52, {"키패드 0"}}, {0x53, {"키패드 ."}}, {0x59, {"키패드 ="}},
    {0xE05E, {"Power 키"}}, {0xE05F, {"Sleep 키"}}, {0xE063, {"WakeUp 키"}},
    {0xE019, {"다음 트랙"}}, {0xE010, {"이전 트랙"}}, {0xE024, {"플레이 정지"}}, {0xE022, {"플레이/일시정지"}}, {0xE020, {"음소거"}},
    {0xE030, {"소리 크게"}}, {0xE02E, {"소리 작게"}}, {0xE06C, {"메일"}}, {0xE021, {"계산기"}}, {0xE06B, {"내컴퓨터"}},
    {0xE032, {"웹브라우저"}}, {0xE065, {"웹(검색)"}}, {0xE06A, {"웹(뒤로)"}}, {0xE069, {"웹(앞으로)"}},
};

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

// The standard's code of the key that one of our tables calls strName, in the
// form a Scancode Map holds (make code in the high byte, prefix in the low); 0 for none.
unsigned short StandardCode(const std::string& strName)
{
    for (const SKey& key : kKeys)
        for (const char* pszKeyName : key.apszNames)
            if (pszKeyName && strName == pszKeyName)
                return static_cast<unsigned short>(key.nMake > 0xFF ? (key.nMake & 0xFF) << 8 | 0xE0 : key.nMake << 8);
    return 0;
}

}  // namespace

// Every row against the standard, which no comparison of our tables with one
// another can replace: a code typed wrong, two swapped, a key left out (each
// table has as many rows as its keyboard has keys). On purpose, Apple Pro's and
// the catalogue's F13 to F15 are 5D to 5F, and the catalogue's "키패드 =" carries
// keypad 9's code. Break follows ScrollLock in the catalogue, and opens the PC table's mapped-only keys.
TEST_F(KeyTables, RowMissingOrWithAnotherKeysCodeOrNameOrOutOfPlace)
{
    const int kRows[5] = {129, 121, 103, 103, 98};
    const std::set<std::pair<std::string, unsigned short>> kOwnCodes[5] = {
        {{"F13", 0x5D00}, {"F14", 0x5E00}, {"F15", 0x5F00}, {"키패드 =", 0x4900}}, {},
        {{"F13", 0x5D00}, {"F14", 0x5E00}, {"F15", 0x5F00}}, {}, {}};
    for (int t = 0; t < 5; ++t) {
        CLutrovaneBase& table = *m_tables[t];
        SCOPED_TRACE(m_labels[t]);
        EXPECT_EQ(kRows[t], int(table.GetSizeOfMap()));
        for (int i = 0; i < int(table.GetSizeOfMap()); ++i) {
            const std::string strName(table.GetKeyNameByIndex(i));
            const unsigned short wScancode = table.GetScancodeByIndex(i);
            SCOPED_TRACE(testing::Message() << "row " << i << " " << strName);
            EXPECT_EQ(kOwnCodes[t].count({strName, wScancode}) ? wScancode : StandardCode(strName), wScancode);
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
        EXPECT_EQ("\xC5\xB0\xC6\xD0\xB5\xE5\x20\x2F", std::string(table.GetKeyName(0x35E0)));  // 키패드 / in code page 949
    }
    EXPECT_STREQ("Break(Pause) 키", m_pc.GetKeyNameByIndex(int(m_pc.GetSizeOfFromMap())));
}

// The index must answer as a scan from row 0 would, for every name as written,
// one byte longer or shorter, or ending in a lone lead byte, and for every
// code. Names in another letter case are the fuzz target's seeds.
TEST_F(KeyTables, IndexAnswersOtherThanAScanFromRowZero)
{
    for (int t = 0; t < 5; ++t) {
        CLutrovaneBase& table = *m_tables[t];
        SCOPED_TRACE(m_labels[t]);
        const int nRows = int(table.GetSizeOfMap());
        std::vector<std::string> queries = {"", kUnknownKeyName}, names(0x10000, kUnknownKeyName);
        for (int i = nRows - 1; i >= 0; --i) {
            const std::string strName(table.GetKeyNameByIndex(i));
            names[table.GetScancodeByIndex(i)] = strName;  // a code's first row last: a scan from row 0 finds it
            queries.insert(queries.end(), {strName, strName + "x", strName.substr(0, strName.size() - 1),
                                           strName + "\xB0"});
        }
        for (const std::string& strQuery : queries) {
            int i = 0;
            while (i < nRows && CompareKeyNames(table.GetKeyNameByIndex(i), strQuery.c_str()) != 0)
                ++i;
            EXPECT_EQ(table.GetScancodeByIndex(i), table.GetScanCode(strQuery.c_str())) << strQuery;
        }
        // One failure for a table says enough: 65536 would drown it.
        for (unsigned nCode = 0; nCode <= 0xFFFF; ++nCode) {
            const std::string strName(table.GetKeyName(static_cast<unsigned short>(nCode)));
            if (strName != names[nCode]) {
                ADD_FAILURE() << "code 0x" << std::hex << nCode << " named " << strName;
                break;
            }
        }
    }
}

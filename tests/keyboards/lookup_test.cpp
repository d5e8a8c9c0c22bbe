#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

namespace {

const char kUnknownKeyName[] = "알수 없음";

struct SLookupCase
{
    CLutrovaneBase* pTable;
    const char* pszName;
    unsigned short wScancode;
};

class KeyLookup : public testing::Test
{
protected:
    template <int N>
    static void ExpectCodesOfNames(const SLookupCase (&cases)[N])
    {
        for (int i = 0; i < N; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(cases[i].wScancode, cases[i].pTable->GetScanCode(cases[i].pszName));
        }
    }

    template <int N>
    static void ExpectNamesOfCodes(const SLookupCase (&cases)[N])
    {
        for (int i = 0; i < N; ++i) {
            SCOPED_TRACE(i);
            EXPECT_STREQ(cases[i].pszName, cases[i].pTable->GetKeyName(cases[i].wScancode));
        }
    }

    CLutrovaneCore m_catalogue;
    CLutrovanePC m_pc;
    CLutrovaneApplePro m_pro;
    CLutrovaneAppleEtc m_etc;
    CLutrovaneAppleExt m_ext;
};

}  // namespace

// The earlier row wins: "키패드 =" never names 0x4900, and the names F13 to
// F15 convert to the Apple Pro codes.
TEST_F(KeyLookup, CatalogueDuplicatesResolveToTheFirstRow)
{
    const SLookupCase names[] = {
        {&m_catalogue, "키패드 9", 0x4900},
        {&m_catalogue, "Power 키", 0x5EE0},
        {&m_catalogue, "F13", 0x5D00},
        {&m_catalogue, "F13", 0x6400},
        {&m_catalogue, "F15", 0x6600},
    };
    ExpectNamesOfCodes(names);
    const SLookupCase codes[] = {
        {&m_catalogue, "키패드 =", 0x4900},
        {&m_catalogue, "F13", 0x5D00},
        {&m_catalogue, "F15", 0x5F00},
    };
    ExpectCodesOfNames(codes);
}

TEST_F(KeyLookup, NamesMatchWhateverTheCaseOfLatinLetters)
{
    const SLookupCase cases[] = {
        {&m_catalogue, "control(왼쪽)", 0x1D00},
        {&m_catalogue, "f13", 0x5D00},
        {&m_etc, "f13", 0x6400},
        {&m_pro, "enter/RETURN", 0x1C00},
        {&m_ext, "printscreen/f13", 0x37E0},
    };
    ExpectCodesOfNames(cases);
}

// Real-key names of an Apple keyboard convert only with that keyboard's own
// table: the catalogue lacks them, or gives another keyboard's code.
TEST_F(KeyLookup, NamesOfOneTableAreUnknownToAnother)
{
    const SLookupCase cases[] = {
        {&m_catalogue, "Enter/Return", 0},
        {&m_catalogue, "Ins", 0},
        {&m_catalogue, "사과키(왼쪽)", 0},
        {&m_catalogue, "PrintScreen/F13", 0},
        {&m_catalogue, kUnknownKeyName, 0},
        {&m_pc, "F13", 0},
        {&m_pro, "Enter", 0},
        {&m_pro, "Insert", 0},
        {&m_pro, "F13", 0x5D00},
        {&m_etc, "F13", 0x6400},
        {&m_ext, "F13", 0},
        {&m_ext, "PrintScreen", 0},
        {&m_ext, "PrintScreen/F13", 0x37E0},
    };
    ExpectCodesOfNames(cases);
}

TEST_F(KeyLookup, CodesATableLacksAreNamedUnknown)
{
    const SLookupCase cases[] = {
        {&m_catalogue, kUnknownKeyName, 0x0000},
        {&m_catalogue, kUnknownKeyName, 0x5900},
        {&m_pc, kUnknownKeyName, 0x5D00},
        {&m_pro, kUnknownKeyName, 0x37E0},
        {&m_etc, kUnknownKeyName, 0x5D00},
        {&m_ext, kUnknownKeyName, 0x1DE0},
        {&m_ext, "Control(왼쪽&오른쪽)", 0x1D00},
    };
    ExpectNamesOfCodes(cases);
}

// A map written on one keyboard and read back with another one chosen: the
// chosen keyboard's table names the real keys, the catalogue the mapped keys.
TEST_F(KeyLookup, RealKeysDecodeWithTheChosenKeyboardsTable)
{
    unsigned char abMap[1024] = {};
    const unsigned char abBytes[] = {
        0x00, 0x00, 0x00, 0x00,  // version
        0x00, 0x00, 0x00, 0x00,  // flags
        0x04, 0x00, 0x00, 0x00,  // entries, the null entry included
        0x1D, 0x00, 0x64, 0x00,  // mapped 0x1D00 Control(왼쪽), real 0x6400 other Apples' F13
        0x38, 0x00, 0x46, 0x00,  // mapped 0x3800 Alt(왼쪽), real 0x4600 ScrollLock
        0x5B, 0xE0, 0x5F, 0x00,  // mapped 0x5BE0 윈도우키(왼쪽), real 0x5F00 Apple Pro F15
        0x00, 0x00, 0x00, 0x00,  // null entry
    };
    std::memcpy(abMap, abBytes, sizeof(abBytes));

    struct SDecodeCase
    {
        const char* pszLabel;
        CLutrovaneBase* pTable;
        int nSelector;
        const char* apszNames[3];
    } const cases[] = {
        {"other Apple", &m_etc, 1, {"F13", kUnknownKeyName, kUnknownKeyName}},
        {"Apple Pro", &m_pro, 1, {kUnknownKeyName, kUnknownKeyName, "F15"}},
        {"Apple Extended", &m_ext, 1, {kUnknownKeyName, "ScrollLock/F14", kUnknownKeyName}},
        {"PC", &m_pc, 1, {kUnknownKeyName, "ScrollLock", kUnknownKeyName}},
        {"catalogue", &m_catalogue, 0, {"Control(왼쪽)", "Alt(왼쪽)", "윈도우키(왼쪽)"}},
    };
    for (const SDecodeCase& decode : cases) {
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
TEST_F(KeyLookup, NamesAreCodePage949Bytes)
{
    struct SBytesCase
    {
        unsigned short wScancode;
        const char* pszBytes;
    } const keys[] = {
        {0x4DE0, "\xA1\xE6"},                          // →
        {0x4BE0, "\xA1\xE7"},                          // ←
        {0x50E0, "\xA1\xE9"},                          // ↓
        {0x48E0, "\xA1\xE8"},                          // ↑
        {0x35E0, "\xC5\xB0\xC6\xD0\xB5\xE5\x20\x2F"},  // 키패드 /
    };
    CLutrovaneBase* tables[] = {&m_catalogue, &m_pc, &m_pro, &m_etc, &m_ext};
    for (int t = 0; t < int(std::size(tables)); ++t) {
        for (const SBytesCase& key : keys) {
            SCOPED_TRACE(testing::Message() << "table " << t << ", 0x" << std::hex
                                            << key.wScancode);
            EXPECT_EQ(std::string(key.pszBytes),
                      std::string(tables[t]->GetKeyName(key.wScancode)));
        }
    }
    // 사과키(왼쪽&오른쪽)
    EXPECT_EQ(std::string("\xBB\xE7\xB0\xFA\xC5\xB0(\xBF\xDE\xC2\xCA&\xBF\xC0\xB8\xA5\xC2\xCA)"),
              std::string(m_ext.GetKeyName(0x5BE0)));
}

#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Rows that no lookup by their code, or by their name, reaches: an earlier row
// holds the same code, or a name equal under the lookup's comparison.
void FindShadowedRows(CLutrovaneBase& table, std::vector<int>& byCode, std::vector<int>& byName)
{
    const int nSize = int(table.GetSizeOfMap());
    for (int i = 0; i < nSize; ++i) {
        bool bCodeSeen = false;
        bool bNameSeen = false;
        for (int j = 0; j < i; ++j) {
            bCodeSeen |= table.GetScancodeByIndex(j) == table.GetScancodeByIndex(i);
            bNameSeen |= CompareKeyNames(table.GetKeyNameByIndex(j), table.GetKeyNameByIndex(i)) == 0;
        }
        if (bCodeSeen)
            byCode.push_back(i);
        if (bNameSeen)
            byName.push_back(i);
    }
}

template <class TTable>
class CRebuildable : public TTable
{
public:
    void Rebuild() { this->InitData(); }
};

}  // namespace

// Every module code must name back through the catalogue, which decodes the
// mapped keys; no table may hide a key behind an earlier row or hold the code
// 0, which stands for no match.
TEST(KeyTables, NoRowIsZeroHiddenOrUnknownToTheCatalogue)
{
    CLutrovaneCore catalogue;
    CLutrovanePC pc;
    CLutrovaneApplePro pro;
    CLutrovaneAppleEtc etc;
    CLutrovaneAppleExt ext;
    struct STableCase
    {
        const char* pszLabel;
        CLutrovaneBase* pTable;
        unsigned long nSize;
        std::vector<int> shadowedByCode;
        std::vector<int> shadowedByName;
    } const tables[] = {
        // Row 121 repeats "Power 키" whole, "키패드 =" a code, the second F13
        // to F15 their names.
        {"catalogue", &catalogue, 129, {121, 122}, {121, 126, 127, 128}},
        {"PC", &pc, 121, {}, {}},
        {"Apple Pro", &pro, 103, {}, {}},
        {"other Apple", &etc, 103, {}, {}},
        {"Apple Extended", &ext, 98, {}, {}},
    };
    for (const STableCase& table : tables) {
        SCOPED_TRACE(table.pszLabel);
        ASSERT_EQ(table.nSize, table.pTable->GetSizeOfMap());
        std::vector<int> byCode, byName;
        FindShadowedRows(*table.pTable, byCode, byName);
        EXPECT_EQ(table.shadowedByCode, byCode);
        EXPECT_EQ(table.shadowedByName, byName);
        for (int i = 0; i < int(table.nSize); ++i) {
            const unsigned short wScancode = table.pTable->GetScancodeByIndex(i);
            SCOPED_TRACE(testing::Message() << "row " << i << ", 0x" << std::hex << wScancode);
            EXPECT_NE(0, wScancode);
            EXPECT_TRUE((wScancode & 0xFF) == 0x00 || (wScancode & 0xFF) == 0xE0);
            EXPECT_STRNE("알수 없음", catalogue.GetKeyName(wScancode));
        }
    }
}

// Names picked from the PC table convert back with the catalogue, and codes
// decoded by the catalogue must show under the same names.
TEST(KeyTables, CatalogueIsPcTableWithBreakMovedAndEightRowsAdded)
{
    CLutrovaneCore catalogue;
    CLutrovanePC pc;
    const int kPcBreakRow = 103;
    const int kCatalogueBreakRow = 67;
    for (int i = 0; i < int(pc.GetSizeOfMap()); ++i) {
        SCOPED_TRACE(i);
        const CString strName = pc.GetKeyNameByIndex(i);
        const unsigned short wScancode = pc.GetScancodeByIndex(i);
        EXPECT_EQ(wScancode, catalogue.GetScanCode(strName));
        EXPECT_STREQ(strName, catalogue.GetKeyName(wScancode));

        int nCatalogueRow = i;
        if (i == kPcBreakRow)
            nCatalogueRow = kCatalogueBreakRow;
        else if (i >= kCatalogueBreakRow && i < kPcBreakRow)
            nCatalogueRow = i + 1;
        EXPECT_STREQ(strName, catalogue.GetKeyNameByIndex(nCatalogueRow));
        EXPECT_EQ(wScancode, catalogue.GetScancodeByIndex(nCatalogueRow));
    }
}

TEST(KeyTables, NewerAppleTablesDifferOnlyInF13ToF15Codes)
{
    CLutrovaneApplePro pro;
    CLutrovaneAppleEtc etc;
    ASSERT_EQ(pro.GetSizeOfMap(), etc.GetSizeOfMap());
    for (int i = 0; i < int(pro.GetSizeOfMap()); ++i) {
        SCOPED_TRACE(i);
        const CString strName = pro.GetKeyNameByIndex(i);
        EXPECT_STREQ(strName, etc.GetKeyNameByIndex(i));
        const bool bF13ToF15 = strName == "F13" || strName == "F14" || strName == "F15";
        EXPECT_EQ(!bF13ToF15, pro.GetScancodeByIndex(i) == etc.GetScancodeByIndex(i));
    }
}

TEST(KeyTables, PcRealKeyRowsStopBeforeBreak)
{
    CLutrovanePC pc;
    ASSERT_EQ(103u, pc.GetSizeOfFromMap());
    EXPECT_STREQ("컨텍스트키", pc.GetKeyNameByIndex(102));
    EXPECT_STREQ("Break(Pause) 키", pc.GetKeyNameByIndex(103));
}

// A subclass's InitData must empty the table first, or a second call doubles it.
TEST(KeyTables, InitDataAgainRebuildsInsteadOfAppending)
{
    CRebuildable<CLutrovaneCore> catalogue;
    CRebuildable<CLutrovanePC> pc;
    CRebuildable<CLutrovaneApplePro> pro;
    CRebuildable<CLutrovaneAppleEtc> etc;
    CRebuildable<CLutrovaneAppleExt> ext;
    catalogue.Rebuild();
    pc.Rebuild();
    pro.Rebuild();
    etc.Rebuild();
    ext.Rebuild();
    EXPECT_EQ(129u, catalogue.GetSizeOfMap());
    EXPECT_EQ(121u, pc.GetSizeOfMap());
    EXPECT_EQ(103u, pro.GetSizeOfMap());
    EXPECT_EQ(103u, etc.GetSizeOfMap());
    EXPECT_EQ(98u, ext.GetSizeOfMap());
}

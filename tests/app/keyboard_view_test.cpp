// The keyboard pictures against the key tables, and what the view makes of a
// map, without a window.
#include <gtest/gtest.h>

#include <cstring>

#include "key_tables.h"
#include "keyboard_layouts.h"

namespace {

// Rows a keyboard lacks: the aluminium keyboard has fn where Insert would be.
bool ListedUnderThePicture(int nType, WORD wScancode)
{
    return nType == 3 && wScancode == 0x52E0;
}

TEST(KeyboardLayout, EveryRealKeyIsDrawnOnceOrTwiceForBothSidesOrListedAndNoTwoKeysOverlap)
{
    for (int nType = 0; nType < 4; ++nType) {
        SCOPED_TRACE(nType);
        const std::vector<SKeyPlace>& layout = KeyboardLayout(nType);
        std::unique_ptr<CLutrovaneBase> pTable = NewKeyboardTable(nType);
        const int nRows = RealKeyCount(*pTable, nType);
        int nCoded = 0;
        for (const SKeyPlace& key : layout)
            nCoded += key.wScancode != 0;
        int nExpected = 0;
        for (int i = 0; i < nRows; ++i) {
            const WORD wCode = pTable->GetScancodeByIndex(i);
            int nPlaces = 0;
            for (const SKeyPlace& key : layout)
                nPlaces += key.wScancode == wCode;
            const bool bBothSides = std::strstr(pTable->GetKeyNameByIndex(i), "(왼쪽&오른쪽)") != NULL;
            const int nWanted = ListedUnderThePicture(nType, wCode) ? 0 : bBothSides ? 2 : 1;
            EXPECT_EQ(nWanted, nPlaces) << std::hex << wCode;
            nExpected += nWanted;
        }
        EXPECT_EQ(nExpected, nCoded) << "a key drawn with a code its table lacks";

        for (size_t i = 0; i < layout.size(); ++i) {
            const RECT a = KeyRect(layout[i], 192);
            for (size_t j = i + 1; j < layout.size(); ++j) {
                RECT b = KeyRect(layout[j], 192), overlap;
                EXPECT_FALSE(IntersectRect(&overlap, &a, &b)) << "keys " << i << " and " << j;
            }
        }
    }
}

TEST(KeyboardLayout, TheKeyAtEachKeysCentreIsThatKeyAtEveryDpiAndRectanglesScaleWithIt)
{
    for (int nType = 0; nType < 4; ++nType) {
        const std::vector<SKeyPlace>& layout = KeyboardLayout(nType);
        for (UINT nDpi : {96u, 144u, 192u}) {
            SCOPED_TRACE(testing::Message() << nType << " at " << nDpi);
            for (size_t i = 0; i < layout.size(); ++i) {
                const RECT rc = KeyRect(layout[i], nDpi), rc96 = KeyRect(layout[i], 96);
                EXPECT_EQ(int(i), KeyAt(layout, POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}, nDpi));
                EXPECT_NEAR(MulDiv(rc96.right - rc96.left, nDpi, 96), rc.right - rc.left, 2) << i;
                EXPECT_NEAR(MulDiv(rc96.left, nDpi, 96), rc.left, 1) << i;
            }
            EXPECT_EQ(-1, KeyAt(layout, POINT{-1, 0}, nDpi));
        }
    }
}

}  // namespace

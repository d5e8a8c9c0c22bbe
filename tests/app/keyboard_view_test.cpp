// The keyboard pictures against the key tables, and what the view makes of a
// map, without a window.
#include <gtest/gtest.h>

#include <cstring>

#include "key_tables.h"
#include "keyboard_layouts.h"
#include "keyboard_view.h"
#include "window_driver.h"

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

TEST(KeyboardView, RenderedPictureHasTheLayoutsSizeAndEveryKeyWhereItsRectangleIsAtEachDpi)
{
    const HDC hdcScreen = GetDC(NULL), hdc = CreateCompatibleDC(hdcScreen);
    CLutrovaneCore catalogue;
    for (int nType = 0; nType < 4; ++nType) {
        const std::vector<SKeyPlace>& layout = KeyboardLayout(nType);
        std::unique_ptr<CLutrovaneBase> pTable = NewKeyboardTable(nType);
        const SMapView view = ViewOfMap(layout, {{0x3A00, 0x1D00}, {0x3B00, 0}, {0x3000, 0x2E00}, {0x3000, 0x2000}});
        for (UINT nDpi : {96u, 144u, 192u}) {
            SCOPED_TRACE(testing::Message() << nType << " at " << nDpi);
            const HBITMAP hBitmap = RenderKeyboard(hdcScreen, layout, *pTable, catalogue, view, SLit{{0x1E00}, {0x1F00}}, 0, nDpi);
            ASSERT_TRUE(hBitmap);
            BITMAP bm = {};
            GetObjectW(hBitmap, sizeof(bm), &bm);
            const SIZE size = PictureSize(layout, nDpi);
            const int nMargin = KeyboardMargin(nDpi);
            EXPECT_EQ(size.cx + 2 * nMargin, bm.bmWidth);
            EXPECT_EQ(size.cy + 2 * nMargin, bm.bmHeight);
            const HGDIOBJ hOld = SelectObject(hdc, hBitmap);
            const COLORREF crBack = GetPixel(hdc, 0, 0);
            for (size_t i = 0; i < layout.size(); ++i) {
                const RECT rc = KeyRect(layout[i], nDpi);
                const int y = nMargin + (rc.top + rc.bottom) / 2, nInside = MulDiv(3, nDpi, 96);
                EXPECT_EQ(crBack, GetPixel(hdc, nMargin + rc.left, y)) << "no gap before key " << i;
                EXPECT_NE(crBack, GetPixel(hdc, nMargin + rc.left + nInside, y)) << "key " << i << " not drawn";
                EXPECT_NE(crBack, GetPixel(hdc, nMargin + rc.right - 1 - nInside, y)) << "key " << i << " cut short";
            }
            SelectObject(hdc, hOld);
            DeleteObject(hBitmap);
        }
    }
    DeleteDC(hdc);
    ReleaseDC(NULL, hdcScreen);
}

TEST(KeyboardView, EachKeyShowsItsFirstRowTurnedOffOrInConflictAndKeysNoKeyGivesAreLost)
{
    const std::vector<SKeyPlace>& layout = KeyboardLayout(0);
    const std::vector<SKeyPair> pairs = {
        {0x3A00, 0x1D00},  // CapsLock -> left Control: CapsLock lost
        {0x7300, 0x1E00},  // a key no PC keyboard has -> A
        {0x3B00, 0x0000},  // F1 off
        {0x3000, 0x2E00},  // B named twice
        {0x3000, 0x2000},
        {0x1E00, 0x1E00},  // A as itself: not lost
    };
    const SMapView view = ViewOfMap(layout, pairs);
    const auto At = [&](WORD w) { return view.keys[FindKey(layout, w)]; };
    EXPECT_EQ(LOOK_MAPPED, At(0x3A00).nLook);
    EXPECT_EQ(0x1D00, At(0x3A00).wMapped);
    EXPECT_TRUE(At(0x1D00).bTarget && !At(0x3A00).bTarget);
    EXPECT_EQ(LOOK_OFF, At(0x3B00).nLook);
    EXPECT_EQ(LOOK_CONFLICT, At(0x3000).nLook);
    EXPECT_EQ(LOOK_PLAIN, At(0x1F00).nLook);
    EXPECT_EQ(LOOK_NO_CODE, view.keys[KeyAt(layout, POINT{MulDiv(17 * 4 + 2, kKeyUnitPx, 4), kKeyUnitPx / 2}, 96)].nLook);
    EXPECT_EQ(std::vector<int>{1}, view.offPicture);
    EXPECT_EQ((std::vector<WORD>{0x3A00, 0x7300, 0x3B00, 0x3000}), view.lostKeys);

    // The swap's other half made: no key is lost.
    EXPECT_TRUE(ViewOfMap(layout, {{0x3A00, 0x1D00}, {0x1D00, 0x3A00}}).lostKeys.empty());
}

TEST(KeyboardView, TheMapInEffectIsTheRegistrysOnlyWhenTheHistoryShowsNoChangeSinceTheStart)
{
    const ULONGLONG t = 1000;
    const struct { const char* pszCase; std::vector<ULONGLONG> times; bool bFull; int nExpected; } cases[] = {
        {"no history", {}, false, MAP_UNKNOWN},
        {"last change before the start", {t - 1, t - 50}, false, MAP_IN_REGISTRY},
        {"changed since: the first change's kept value", {t + 9, t + 5, t - 3}, false, 1},
        {"a change at the start's very time counts as since", {t, t - 3}, false, 0},
        {"every kept change since, none dropped", {t + 9, t + 5}, false, 1},
        {"every kept change since, older ones dropped", {t + 9, t + 5}, true, MAP_UNKNOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        EXPECT_EQ(c.nExpected, MapInEffect(c.times, t, c.bFull));
    }
}

TEST(KeyboardView, ACodeSeenIsNamedByEveryPhysicalKeyThatGivesItUnderTheMapInEffect)
{
    const std::vector<SKeyPair> swap = {{0x3A00, 0x1D00}, {0x1D00, 0x3A00}};
    const std::vector<SKeyPair> half = {{0x3A00, 0x1D00}, {0x3B00, 0x0000}};
    const std::vector<SKeyPair> twice = {{0x3A00, 0x1E00}, {0x3A00, 0x3000}};
    const struct { const char* pszCase; const std::vector<SKeyPair>& map; WORD wSeen; std::vector<WORD> keys; } cases[] = {
        {"swapped", swap, 0x1D00, {0x3A00}},
        {"swapped back", swap, 0x3A00, {0x1D00}},
        {"untouched", swap, 0x1E00, {0x1E00}},
        {"two keys give left Control", half, 0x1D00, {0x3A00, 0x1D00}},
        {"taken away, nothing gives it", half, 0x3A00, {}},
        {"a key named twice gives its first row's", twice, 0x1E00, {0x3A00, 0x1E00}},
        {"not its second", twice, 0x3000, {0x3000}},
        {"no key", swap, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        EXPECT_EQ(c.keys, PhysicalKeys(c.wSeen, c.map));
    }
}

TEST(KeyboardView, TheTryItModeKeepsKeyUpsWithTheirKeyDownsAndLeavesKeysHeldBeforeItAlone)
{
    // Events as "d" or "u" with the key: a letter (its code and virtual key)
    // or E for Esc; "!" stops the mode. Verdicts: p pass, t take, s show, e end.
    const struct { const char* pszCase; const char* pszEvents; const char* pszVerdicts; bool bHook; } cases[] = {
        {"a press shown, its release taken", "dAuA", "st", true},
        {"held at the start: repeats kept, release passes, next press shown", "dHdHuHdH", "ttps", true},
        {"held through the end: its release taken, then the hook may go", "dA!dAuA", "s-tt", false},
        {"a new key after the end reaches Windows", "dAuA!dBuB", "st-pp", false},
        {"Esc twice ends", "dEuEdEuE", "stet", false},
        {"a held Esc repeats, it does not end", "dEdEdEuE", "sttt", true},
        {"Esc, another key, Esc: no end", "dEuEdAuAdEuE", "ststst", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        CKeyTaker taker;
        taker.Start({'H'});
        std::string strVerdicts;
        for (const char* p = c.pszEvents; *p; p += *p == '!' ? 1 : 2) {
            if (*p == '!') {
                taker.Stop();
                strVerdicts += '-';
                continue;
            }
            const WORD wCode = p[1] == 'E' ? 0x0100 : WORD(p[1] << 8);
            strVerdicts += "tsep"[(taker.OnKey(wCode, p[1] == 'E' ? VK_ESCAPE : p[1], p[0] == 'd') + 3) % 4];
        }
        EXPECT_EQ(c.pszVerdicts, strVerdicts);
        EXPECT_EQ(c.bHook, taker.NeedsHook());
    }
}

// The view of the list page's keyboard, opened by its button.
HWND OpenView(HWND page)
{
    Click(page, IDC_KEYBOARD_VIEW);
    return WaitShown([](HWND hwnd) { return Text(hwnd) == L"키보드 보기"; });
}

POINT KeyPoint(HWND view, int nType, WORD wScancode)
{
    HWND picture = GetDlgItem(view, IDC_VIEW_PICTURE);
    const std::vector<SKeyPlace>& layout = KeyboardLayout(nType);
    const UINT nDpi = AfxGetWindowDpi(picture);
    POINT pt = Middle(KeyRect(layout[FindKey(layout, wScancode)], nDpi));
    pt.x += KeyboardMargin(nDpi);
    pt.y += KeyboardMargin(nDpi);
    ClientToScreen(picture, &pt);
    return pt;
}

TEST(KeyboardView, AClickedKeyOpensAddWithItChosenOrModifyOfItsRowAndThePictureFollowsTheList)
{
    CWizardRun run;
    run.AtList(0, [&](HWND page, HWND list) {
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        HWND view = OpenView(page);
        ASSERT_TRUE(view);
        HWND lost = GetDlgItem(view, IDC_VIEW_LOST_KEYS);
        EXPECT_EQ(L"입력할 수 없게 되는 키: CapsLock", Text(lost));

        ClickAt(KeyPoint(view, 0, 0x1E00));
        HWND dlg = WaitShown(IsEditDialog);
        ASSERT_TRUE(dlg) << "a click on A opened no edit dialog";
        EXPECT_EQ(L"A", ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)));
        EXPECT_EQ(L"(none)", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
        ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), L"CapsLock");
        Click(dlg, IDC_SET_MAP);
        EXPECT_TRUE(WaitUntil([&] { return Text(lost) == L"입력할 수 없게 되는 키: A"; })) << "the view did not follow Add";

        // From A the left arrow reaches CapsLock; Enter modifies its row.
        PressKey(VK_LEFT);
        PressKey(VK_RETURN);
        dlg = WaitShown(IsEditDialog);
        ASSERT_TRUE(dlg) << "Enter on CapsLock opened no edit dialog";
        EXPECT_EQ(L"CapsLock", ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)));
        EXPECT_EQ(L"Control(왼쪽)", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
        ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), L"A");
        EXPECT_EQ(L"선택하신 매핑 코드를 정말로 수정하시겠습니까?", Command(dlg, IDC_SET_MAP, IDYES));
        EXPECT_TRUE(WaitUntil([&] { return Text(lost).empty(); })) << "the view did not follow Modify";
        PostMessageW(view, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(view));
        EXPECT_EQ((std::vector<std::wstring>{Row(L"CapsLock", L"A"), Row(L"A", L"CapsLock")}), Rows(list));
    });
}

TEST(KeyboardView, ARowWhoseKeyTheKeyboardLacksIsListedUnderThePictureAndOpensModifyFromThere)
{
    CWizardRun run;
    run.AtList(3, [&](HWND page, HWND) {  // the aluminium keyboard has fn where Insert would be
        ASSERT_TRUE(AddPair(page, L"Ins", L"Home"));
        HWND view = OpenView(page);
        ASSERT_TRUE(view);
        HWND link = GetDlgItem(view, IDC_VIEW_OFF_PICTURE);
        EXPECT_EQ(L"그림에 없는 키: <a>Ins</a>", Text(link));
        PostMessageW(view, WM_NEXTDLGCTL, WPARAM(link), TRUE);
        EXPECT_TRUE(WaitUntil([&] {
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof(gui);
            return GetGUIThreadInfo(GetWindowThreadProcessId(view, NULL), &gui) && gui.hwndFocus == link;
        }));
        PressKey(VK_RETURN);
        HWND dlg = WaitShown(IsEditDialog);
        ASSERT_TRUE(dlg) << "the listed key opened no edit dialog";
        EXPECT_EQ(L"Ins", ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)));
        EXPECT_EQ(L"Home", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(dlg));
        PostMessageW(view, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(view));
    });
}

TEST(KeyboardView, TryingNamesEachPressKeepsItFromWindowsAndEndsByTheBoxEscTwiceDeactivationAndClosing)
{
    CWizardRun run;
    run.AtList(0, [&](HWND page, HWND) {
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        HWND view = OpenView(page);
        ASSERT_TRUE(view);
        HWND status = GetDlgItem(view, IDC_VIEW_STATUS);
        const std::wstring strStarted = AfxLoadStringW(IDS_VIEW_TRY_STARTED), strEnded = L"눌러 보기를 마쳤습니다";
        const auto Start = [&] {
            Click(view, IDC_VIEW_TRY);
            return WaitUntil([&] { return Text(status) == strStarted; });
        };
        // One way of ending each, each leaving the keyboard to Windows.
        const std::pair<const char*, std::function<void()>> ends[] = {
            {"the box", [&] { Click(view, IDC_VIEW_TRY); }},
            {"Esc twice", [&] { PressScancode(0x01, false); PressScancode(0x01, false); }},
            {"deactivation", [&] { SendMessageW(view, WM_ACTIVATE, WA_INACTIVE, 0); }},
        };
        for (const auto& end : ends) {
            SCOPED_TRACE(end.first);
            // A key held as the mode starts is let go as usual.
            KeyEvent(0x30, false);
            ASSERT_TRUE(Start());
            KeyEvent(0x30, true);
            EXPECT_TRUE(WaitUntil([] { return (GetAsyncKeyState('B') & 0x8000) == 0; }, 1000)) << "B left down";
            PressScancode(0x3A, false);
            EXPECT_TRUE(WaitUntil([&] { return Text(status) == L"CapsLock → Control(왼쪽)"; })) << Text(status);
            EXPECT_FALSE(BReachesWindows());
            EXPECT_TRUE(WaitUntil([&] { return Text(status) == L"B: 그대로"; })) << Text(status);
            end.second();
            EXPECT_TRUE(WaitUntil([&] { return Text(status) == strEnded; })) << Text(status);
            EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(view, IDC_VIEW_TRY));
            EXPECT_TRUE(BReachesWindows());
            EXPECT_TRUE(IsWindowVisible(view)) << "a key reached the view";
        }
        ASSERT_TRUE(Start());
        PostMessageW(view, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(view));
        EXPECT_TRUE(BReachesWindows()) << "the hook outlived the view";
    });
}

}  // namespace

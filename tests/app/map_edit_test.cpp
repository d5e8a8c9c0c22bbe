// The map edit dialog run modally on the test's thread, as the list pages run
// it, and driven from a second thread.
#include "map_edit_dlg.h"
#include "wizard_run.h"

#include <gtest/gtest.h>

namespace {

struct SEditResult
{
    INT_PTR nResult = 0;
    CString strRealKey, strMapKey;
};

// Runs one dialog for keyboard nType; bModify preselects the two codes.
SEditResult RunEditDialog(CUserRun& run, int nType, BOOL bModify, WORD wReal, WORD wMap,
                          const std::function<void(HWND)>& steps)
{
    SEditResult result;
    run.RunWith(
        [&] {
            CMapEditDlg dlg;
            dlg.SetKeyboardType(nType, bModify);
            if (bModify)
                dlg.SetScancode(wReal, wMap);
            result.nResult = dlg.DoModal();
            dlg.GetKeyNames(result.strRealKey, result.strMapKey);
            return 0;
        },
        [&] {
            HWND dlg = WaitShown(IsEditDialog);
            ASSERT_TRUE(dlg) << "no edit dialog";
            steps(dlg);
        });
    return result;
}

std::wstring Wide(const CString& str) { return Cp949ToWide(str); }

TEST(EditDialog, OffersTheKeyboardsRealKeysAndEveryPcKeyPreselectingTheFirstRowOfEachCode)
{
    const struct
    {
        const char* pszCase;
        int nType;
        int nRealKeys;          // rows in the real-key list
        const wchar_t* pszLastRealKey;
        WORD wReal, wMap;       // modify mode: the row's codes
        const wchar_t* pszReal; // ... and what they preselect
        const wchar_t* pszMap;
    } cases[] = {
        // The PC keyboard's real keys end before Break, which only a mapped key
        // can be: its code is "not there" for the real-key list.
        {"PC", 0, 103, L"컨텍스트키", 0x3A00, 0x46E0, L"CapsLock", L"Break(Pause) 키"},
        {"PC, a mapped-only code as real key", 0, 103, L"컨텍스트키", 0x46E0, 0x1D00, L"(none)",
         L"Control(왼쪽)"},
        {"Apple Extended", 1, 98, NULL, 0x37E0, 0x5BE0, L"PrintScreen/F13", L"윈도우키(왼쪽)"},
        {"Apple Pro", 2, 103, NULL, 0x5D00, 0x1C00, L"F13", L"Enter"},
        {"other Apple", 3, 103, NULL, 0x1C00, 0x6400, L"Enter/Return", L"(none)"},
        {"other Apple, its F13", 3, 103, NULL, 0x6400, 0x3A00, L"F13", L"CapsLock"},
        {"no such keyboard", 7, 0, NULL, 0x1E00, 0x1E00, L"(none)", L"A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        for (BOOL bModify : {FALSE, TRUE}) {
            SCOPED_TRACE(bModify ? "modify" : "add");
            CUserRun run;
            RunEditDialog(run, c.nType, bModify, c.wReal, c.wMap, [&](HWND dlg) {
                HWND real = GetDlgItem(dlg, IDC_REAL_KEY), mapped = GetDlgItem(dlg, IDC_MAP_KEY);
                EXPECT_EQ(c.nRealKeys, ComboCount(real));
                if (c.pszLastRealKey) {
                    EXPECT_EQ(c.pszLastRealKey, ComboText(real, c.nRealKeys - 1));
                }
                // Mapped keys: the whole PC table in its order, whatever the keyboard.
                EXPECT_EQ(121, ComboCount(mapped));
                EXPECT_EQ(L"A", ComboText(mapped, 0));
                EXPECT_EQ(L"웹(앞으로)", ComboText(mapped, 120));
                EXPECT_EQ(bModify ? c.pszReal : L"(none)", ComboSelection(real));
                EXPECT_EQ(bModify ? c.pszMap : L"(none)", ComboSelection(mapped));
                // Unsorted: the list order is the table order.
                EXPECT_EQ(0, GetWindowLongW(real, GWL_STYLE) & CBS_SORT);
            });
        }
    }
}

TEST(EditDialog, SetRefusesAnIncompletePairAndStaysOpenThenTakesTheSameKeyTwice)
{
    CUserRun run;
    const SEditResult result = RunEditDialog(run, 0, FALSE, 0, 0, [&](HWND dlg) {
        HWND real = GetDlgItem(dlg, IDC_REAL_KEY), mapped = GetDlgItem(dlg, IDC_MAP_KEY);
        // Nothing chosen, then only the real key, then only the mapped key.
        const std::function<void()> choices[] = {
            [] {},
            [&] { ComboChoose(real, L"A"); },
            [&] { SendMessageW(real, CB_SETCURSEL, WPARAM(-1), 0); ComboChoose(mapped, L"A"); },
        };
        for (const auto& choose : choices) {
            choose();
            Click(dlg, IDC_SET_MAP);
            HWND box = WaitShown(IsMessageBox);
            ASSERT_TRUE(box) << "no notice for a missing key";
            EXPECT_EQ(L"실제 키와 매핑할 키를 선택하세요 !!", MessageText(box));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(WaitGone(box));
            EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog closed on an incomplete pair";
        }
        // A key mapped to itself is the user's business; Enter sets it.
        ASSERT_TRUE(ComboChoose(real, L"A"));
        SetForegroundWindow(dlg);
        PressKey(VK_RETURN);
        EXPECT_TRUE(WaitGone(dlg)) << "Enter did not set the pair";
    });
    EXPECT_EQ(IDOK, result.nResult);
    EXPECT_EQ(L"A", Wide(result.strRealKey));
    EXPECT_EQ(L"A", Wide(result.strMapKey));
}

TEST(EditDialog, CancelEscAndTheCloseBoxLeaveNoNames)
{
    const struct
    {
        const char* pszHow;
        std::function<void(HWND)> cancel;
    } ways[] = {
        {"cancel button", [](HWND dlg) { Click(dlg, IDC_CANCEL_MAP); }},
        {"Esc", [](HWND dlg) { SetForegroundWindow(dlg); PressKey(VK_ESCAPE); }},
        {"close box", [](HWND dlg) { PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.pszHow);
        CUserRun run;
        const SEditResult result = RunEditDialog(run, 2, TRUE, 0x1E00, 0x3000, [&](HWND dlg) {
            way.cancel(dlg);
            EXPECT_TRUE(WaitGone(dlg));
        });
        EXPECT_EQ(IDCANCEL, result.nResult);
        EXPECT_TRUE(result.strRealKey.IsEmpty() && result.strMapKey.IsEmpty());
    }
}

}  // namespace

// The map edit dialog run modally on the test's thread, as the list pages run it.
#include "map_edit_dlg.h"
#include "wizard_run.h"

namespace {

// Runs one dialog for keyboard nType; bModify preselects the two codes.
// The dialog's result and the names it gives back, e.g. "1 A>B".
std::wstring RunEditDialog(int nType, BOOL bModify, WORD wReal, WORD wMap, const std::function<void(HWND)>& steps)
{
    CUserRun run;
    return run.RunWith(
        [&] {
            CMapEditDlg dlg;
            dlg.SetKeyboardType(nType, bModify);
            if (bModify)
                dlg.SetScancode(wReal, wMap);
            const INT_PTR nResult = dlg.DoModal();
            CString strReal, strMap;
            dlg.GetKeyNames(strReal, strMap);
            return std::to_wstring(nResult) + L" " + Cp949ToWide(strReal) + L">" + Cp949ToWide(strMap);
        },
        [&] {
            HWND dlg = WaitShown(IsEditDialog);
            ASSERT_TRUE(dlg) << "no edit dialog";
            steps(dlg);
        });
}

TEST(EditDialog, OffersTheKeyboardsRealKeysAndEveryPcKeyPreselectingTheFirstRowOfEachCode)
{
    // wReal, wMap: the codes of the row modified; pszReal, pszMap: the names they preselect.
    const struct { const char* pszCase; int nType; WORD wReal, wMap; const wchar_t *pszReal, *pszMap; } cases[] = {
        // Break is a mapped key only: no real key of the PC keyboard.
        {"PC", 0, 0x3A00, 0x46E0, L"CapsLock", L"Break(Pause) 키"},
        {"PC, a mapped-only code as real key", 0, 0x46E0, 0x1D00, L"(none)", L"Control(왼쪽)"},
        {"Apple Extended", 1, 0x37E0, 0x5BE0, L"PrintScreen/F13", L"윈도우키(왼쪽)"},
        {"Apple Pro", 2, 0x5D00, 0x1C00, L"F13", L"Enter"},
        {"other Apple", 3, 0x1C00, 0x6400, L"Enter/Return", L"(none)"},
        {"other Apple, its F13", 3, 0x6400, 0x3A00, L"F13", L"CapsLock"},
        {"no such keyboard", 7, 0x1E00, 0x1E00, L"(none)", L"A"},
    };
    int nMappedKeys = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        for (BOOL bModify : {FALSE, TRUE}) {
            RunEditDialog(c.nType, bModify, c.wReal, c.wMap, [&](HWND dlg) {
                EXPECT_FALSE(ComboChoose(GetDlgItem(dlg, IDC_REAL_KEY), L"Break(Pause) 키")) << "a mapped-only key offered as real";
                // Mapped keys: the whole PC table, whatever the keyboard.
                const int n = int(SendDlgItemMessageW(dlg, IDC_MAP_KEY, CB_GETCOUNT, 0, 0));
                EXPECT_EQ(nMappedKeys < 0 ? n : nMappedKeys, n);
                nMappedKeys = n;
                EXPECT_EQ(bModify ? c.pszReal : L"(none)", ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)));
                EXPECT_EQ(bModify ? c.pszMap : L"(none)", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
            });
        }
    }
}

TEST(EditDialog, SetRefusesAnIncompletePairAndStaysOpenThenTakesTheSameKeyTwice)
{
    const std::wstring strResult = RunEditDialog(0, FALSE, 0, 0, [&](HWND dlg) {
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
            EXPECT_EQ(L"실제 키와 매핑할 키를 선택하세요 !!", Answer(IDOK));
            EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog closed on an incomplete pair";
        }
        // A key mapped to itself is the user's business; Enter sets it.
        ASSERT_TRUE(ComboChoose(real, L"A"));
        SetForegroundWindow(dlg);
        PressKey(VK_RETURN);
        EXPECT_TRUE(WaitGone(dlg)) << "Enter did not set the pair";
    });
    EXPECT_EQ(std::to_wstring(IDOK) + L" A>A", strResult);
}

}  // namespace

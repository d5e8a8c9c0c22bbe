// The map edit dialog run modally on the test's thread, as the list pages run it.
#include "map_edit_dlg.h"
#include "window_driver.h"

namespace {

// Runs one dialog for keyboard nType; bModify preselects the two codes.
// The dialog's result and the names and codes it gives back, e.g. "1 A>B 1e00>3000".
std::wstring RunEditDialog(int nType, BOOL bModify, WORD wReal, WORD wMap, const std::function<void(HWND)>& steps)
{
    CUserRun run;
    return run.RunWith(
        [&] {
            CMapEditDlg dlg;
            dlg.SetKeyboardType(nType, bModify);
            dlg.SetScancode(wReal, wMap);  // ignored in add mode
            const INT_PTR nResult = dlg.DoModal();
            CString strReal, strMap;
            dlg.GetKeyNames(strReal, strMap);
            WORD wRealCode, wMapCode;
            dlg.GetScancodes(wRealCode, wMapCode);
            wchar_t szCodes[16];
            return std::to_wstring(nResult) + L" " + Cp949ToWide(strReal) + L">" + Cp949ToWide(strMap) +
                   (swprintf(szCodes, 16, L" %04x>%04x", wRealCode, wMapCode), szCodes);
        },
        [&] {
            HWND dlg = WaitShown(IsEditDialog);
            ASSERT_TRUE(dlg) << "no edit dialog";
            steps(dlg);
        });
}

TEST(EditDialog, ThePairModifiedIsPreselectedWrong)
{
    // wReal, wMap: the codes of the row modified; pszReal, pszMap: the names they preselect (a row added if none has it).
    const struct { const char* pszCase; int nType; WORD wReal, wMap; const wchar_t *pszReal, *pszMap; } cases[] = {
        // Break is a mapped key only: no real key of the PC keyboard, unless a map holds it.
        {"PC", 0, 0x3A00, 0x46E0, L"CapsLock", L"Break(Pause) 키"},
        {"PC, a mapped-only code as real key", 0, 0x46E0, 0x1D00, L"Break(Pause) 키", L"Control(왼쪽)"},
        {"Apple Extended", 1, 0x37E0, 0x5BE0, L"PrintScreen/F13", L"윈도우키(왼쪽)"},
        {"Apple Pro", 2, 0x5D00, 0x1C00, L"F13", L"Enter"},
        {"other Apple, a mapped key only the catalogue names", 3, 0x1C00, 0x6400, L"Enter/Return", L"F13"},
        {"other Apple, its F13", 3, 0x6400, 0x3A00, L"F13", L"CapsLock"},
        {"codes no table names", 0, 0x7300, 0x1DE1, L"알수 없음 (0073)", L"알수 없음 (E11D)"},
        {"a key turned off", 0, 0x3A00, 0x0000, L"CapsLock", L"(사용 안 함)"},
        {"no such keyboard", 7, 0x1E00, 0x1E00, L"(none)", L"A"},
    };
    int nMappedKeys = -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        for (BOOL bModify : {FALSE, TRUE}) {
            RunEditDialog(c.nType, bModify, c.wReal, c.wMap, [&](HWND dlg) {
                EXPECT_FALSE(!bModify && ComboChoose(GetDlgItem(dlg, IDC_REAL_KEY), L"Break(Pause) 키")) << "mapped-only as real";
                // Mapped keys: the whole PC table, whatever the keyboard.
                const int n = int(SendDlgItemMessageW(dlg, IDC_MAP_KEY, CB_GETCOUNT, 0, 0));
                if (!bModify) {
                    EXPECT_EQ(nMappedKeys < 0 ? n : nMappedKeys, n);
                    nMappedKeys = n;
                }
                EXPECT_EQ(bModify ? c.pszReal : L"(none)", ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)));
                EXPECT_EQ(bModify ? c.pszMap : L"(none)", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
            });
        }
    }
}

TEST(EditDialog, SwapIsOfferedOnlyForKeysBothListsHold)
{
    // On the Apple Pro keyboard: its F13 is no PC key, Break no key of its own.
    RunEditDialog(2, FALSE, 0, 0, [&](HWND dlg) {
        const struct { int idList; const wchar_t* pszKey; const wchar_t* pszNote; } steps[] = {
            {IDC_REAL_KEY, L"CapsLock", L"두 키를 모두 고르면"},
            {IDC_MAP_KEY, L"(사용 안 함)", L"(사용 안 함)은"},
            {IDC_MAP_KEY, L"Break(Pause) 키", L"Break(Pause) 키은(는)"},
            {IDC_PRESS_MAP_KEY, L"Control(왼쪽)", L""},
            {IDC_REAL_KEY, L"F13", L"F13은(는)"},
        };
        wchar_t szFirst[32] = L"";
        SendDlgItemMessageW(dlg, IDC_MAP_KEY, CB_GETLBTEXT, 0, LPARAM(szFirst));
        EXPECT_STREQ(L"(사용 안 함)", szFirst) << "not the mapped list's first row";
        for (const auto& step : steps) {
            SCOPED_TRACE(step.pszKey);
            if (step.idList == IDC_PRESS_MAP_KEY)
                ASSERT_TRUE(PressKeyFor(dlg, step.idList, 0x1D, false));
            else
                ASSERT_TRUE(ComboChoose(GetDlgItem(dlg, step.idList), step.pszKey));
            const std::wstring strNote = Text(GetDlgItem(dlg, IDC_SWAP_NOTE));
            EXPECT_EQ(!*step.pszNote, bool(IsWindowEnabled(GetDlgItem(dlg, IDC_SWAP_KEYS)))) << strNote;
            EXPECT_TRUE(*step.pszNote ? strNote.find(step.pszNote) == 0 : strNote.empty()) << strNote;
        }
        Click(dlg, IDC_CANCEL_MAP);
    });
}

TEST(EditDialog, AnEndedKeyWaitTakesNoKeyAndKeepsNoHook)
{
    const std::wstring strCancelled = L"키 누르기를 취소했습니다";
    RunEditDialog(0, FALSE, 0, 0, [&](HWND dlg) {
        // The wait's timer (id 1) has its end sent rather than waited for.
        const std::pair<const char*, std::function<void()>> ends[] = {
            {"a second click", [&] { Click(dlg, IDC_PRESS_MAP_KEY); }},
            {"the timer", [&] { PostMessageW(dlg, WM_TIMER, 1, 0); }},
            {"deactivation", [&] { SendMessageW(dlg, WM_ACTIVATE, WA_INACTIVE, 0); }},
        };
        for (const auto& end : ends) {
            SCOPED_TRACE(end.first);
            Click(dlg, IDC_PRESS_MAP_KEY);
            ASSERT_TRUE(WaitUntil([&] { return Text(GetDlgItem(dlg, IDC_KEY_WAIT_TEXT)) == L"설정할 키를 누르세요"; }));
            end.second();
            const bool bTimer = std::string(end.first) == "the timer";
            EXPECT_TRUE(WaitUntil([&] {
                return Text(GetDlgItem(dlg, IDC_KEY_WAIT_TEXT)) == (bTimer ? L"10초 동안 누른 키가 없어 키 누르기를 마쳤습니다" : strCancelled);
            }));
            EXPECT_TRUE(BReachesWindows());
            EXPECT_EQ(L"(none)", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
        }
        // Closed while it waits.
        Click(dlg, IDC_PRESS_MAP_KEY);
        ASSERT_TRUE(WaitUntil([&] { return Text(GetDlgItem(dlg, IDC_KEY_WAIT_TEXT)) == L"설정할 키를 누르세요"; }));
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitGone(dlg));
        EXPECT_TRUE(BReachesWindows()) << "the hook outlived the dialog";
    });
}

TEST(EditDialog, SetRefusesAnIncompletePair)
{
    RunEditDialog(0, FALSE, 0, 0, [&](HWND dlg) {
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
    });
}

TEST(EditDialog, TheHookIsGoneOnceTheTakenKeyIsLetGo)
{
    // The next key, Enter, reaches the dialog and sets the pair (a key mapped to itself is the user's business).
    EXPECT_EQ(std::to_wstring(IDOK) + L" A>A 1e00>1e00", RunEditDialog(0, FALSE, 0, 0, [&](HWND dlg) {
        ASSERT_TRUE(PressKeyFor(dlg, IDC_PRESS_REAL_KEY, 0x1E, false));
        ASSERT_TRUE(ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), L"A"));
        SetForegroundWindow(dlg);
        PressScancode(0x1C, false);  // with its scan code, as a keyboard sends it: the hook passes a key without one
        EXPECT_TRUE(WaitGone(dlg, 5000)) << "Enter did not reach the dialog";
    }));
}

TEST(EditDialog, AKeyHeldBeforeTheWaitIsNotLeftDown)
{
    // Enter presses the focused button and is held: its repeat must neither press the button
    // again nor be taken, and its release must reach Windows.
    const auto SendEnter = [](DWORD dwUp) { INPUT in = {INPUT_KEYBOARD, {}}; in.ki = {VK_RETURN, 0x1C, dwUp, 0, 0}; SendInput(1, &in, sizeof(in)); };
    RunEditDialog(0, FALSE, 0, 0, [&](HWND dlg) {
        HWND text = GetDlgItem(dlg, IDC_KEY_WAIT_TEXT);
        // Wine sets its keys' state to the X server's when the focus arrives: a key sent before is let go.
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dlg; }));
        Sleep(300);
        PostMessageW(dlg, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dlg, IDC_PRESS_REAL_KEY)), TRUE);
        SendEnter(0);
        EXPECT_TRUE(WaitUntil([&] { return Text(text) == L"설정할 키를 누르세요"; }));
        SendEnter(0);  // its repeat
        SendEnter(KEYEVENTF_KEYUP);
        EXPECT_TRUE(WaitUntil([&] { return !(GetAsyncKeyState(VK_RETURN) & 0x8000); }, 3000)) << "left down";
        EXPECT_EQ(L"설정할 키를 누르세요", Text(text));
        PressScancode(0x1E, false);
        EXPECT_TRUE(WaitUntil([&] { return ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)) == L"A"; })) << "the next key not taken";
    });
    SendEnter(KEYEVENTF_KEYUP);  // left down by a fault: not for the next tests
}

TEST(EditDialog, APressedKeySelectsTheWrongRow)
{
    // As the hook sees them: NumLock and the right Shift key flagged extended, Pause as VK_PAUSE 45.
    const struct { int nType; bool bReal; WORD wMake; bool bExtended; WORD wVk; const wchar_t* pszResult; } keys[] = {
        {0, true, 0x3A, false, 0, L"1 CapsLock>A 3a00>1e00"},
        {2, true, 0x5B, true, 0, L"1 사과키(왼쪽)>A 5be0>1e00"},  // left Windows on the Apple Pro keyboard
        {1, false, 0x38, true, 0, L"1 A>Alt(오른쪽)/한글전환 1e00>38e0"},
        {0, false, 0x36, true, 0, L"1 A>Shift(오른쪽) 1e00>3600"},
        {0, true, 0x45, true, 0, L"1 NumLock>A 4500>1e00"},
        {0, true, 0x45, false, VK_PAUSE, L"1 알수 없음 (E11D)>A 1de1>1e00"},
        {0, true, 0x01, false, 0, L"1 ESC>A 0100>1e00"},  // not cancelling
        {0, false, 0x1C, false, 0, L"1 A>Enter 1e00>1c00"},  // not setting
        {3, false, 0x73, false, 0, L"1 A>알수 없음 (0073) 1e00>7300"},
        {0, true, 0x6A, true, 0, L"1 웹(뒤로)>A 6ae0>1e00"},  // a PC key offered only as mapped
        {2, true, 0x6A, true, 0, L"1 알수 없음 (E06A)>A 6ae0>1e00"},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.pszResult);
        EXPECT_EQ(k.pszResult, RunEditDialog(k.nType, FALSE, 0, 0, [&](HWND dlg) {
            HWND pressed = GetDlgItem(dlg, k.bReal ? IDC_REAL_KEY : IDC_MAP_KEY);
            const LRESULT nRows = SendMessageW(pressed, CB_GETCOUNT, 0, 0);
            for (int i = 0; i < 2; ++i)  // the second press finds the row the first one added
                ASSERT_TRUE(PressKeyFor(dlg, k.bReal ? IDC_PRESS_REAL_KEY : IDC_PRESS_MAP_KEY, k.wMake, k.bExtended, k.wVk));
            EXPECT_LE(SendMessageW(pressed, CB_GETCOUNT, 0, 0), nRows + 1);
            ComboChoose(GetDlgItem(dlg, k.bReal ? IDC_MAP_KEY : IDC_REAL_KEY), L"A");
            Click(dlg, IDC_SET_MAP);
        }));
    }
}

}  // namespace

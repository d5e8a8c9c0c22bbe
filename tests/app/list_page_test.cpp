// The mapping list pages inside the running wizard: their rows, buttons,
// questions and context menu, driven by clicks and keys.
#include "window_driver.h"

namespace {

const std::wstring kAskDelete = L"선택하신 매핑 코드를 정말 삭제하시겠습니까?";

TEST(ListPage, RowsAreAddedModifiedAndDeletedAsAnsweredAndEachKeyboardKeepsItsOwn)
{
    CWizardRun run;
    run.AtList(0, [&](HWND page, HWND list) {
        EXPECT_EQ("....", RowAndMapCommands(page));
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        EXPECT_EQ(std::vector<std::wstring>{Row(L"CapsLock", L"Control(왼쪽)")}, Rows(list));
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "..SA"; })) << RowAndMapCommands(page);
        ASSERT_TRUE(AddPair(page, L"A", L"B", IDC_CANCEL_MAP));
        // Nobody checks a pair against the rows: the same pair twice is two rows.
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        EXPECT_EQ("3a00>1d00 3a00>1d00", Codes(page)) << "Cancel added a row, or the pair is not its keys";

        // Each keyboard keeps its own rows.
        ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(2));
        HWND pro = run.Page();
        ASSERT_TRUE(AddPair(pro, L"F13", L"PrintScreen"));
        ASSERT_TRUE(AddPair(pro, L"F14", L"ScrollLock"));
        ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(0));
        EXPECT_EQ("3a00>1d00 3a00>1d00", Codes(page));
        ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(2));
        EXPECT_EQ("5d00>37e0 5e00>4600", Codes(pro));

        // Modify keeps the row's real key, preselected; only Yes changes the row.
        for (int answer : {IDNO, IDYES}) {
            Modify(pro, 0, L"Control(왼쪽)", answer);
            EXPECT_TRUE(WaitUntil([&] { return Codes(pro) == (answer == IDYES ? "5d00>1d00 5e00>4600" : "5d00>37e0 5e00>4600"); }));
        }
        ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(0));
        const std::string strSystemMap = SystemMapButtons(page);
        for (int answer : {IDNO, IDYES}) {
            EXPECT_EQ(L"모든 매핑 설정을 삭제하고 새 설정을 만드시겠습니까?", Command(page, IDC_NEW_MAP, answer));
            EXPECT_TRUE(WaitUntil([&] { return Rows(list).size() == (answer == IDNO ? 2u : 0u); }));
        }
        EXPECT_EQ("....", RowAndMapCommands(page));
        EXPECT_EQ(strSystemMap, SystemMapButtons(page));
        for (const wchar_t* key : {L"A", L"B", L"C"})
            ASSERT_TRUE(AddPair(page, key, L"Z"));
        ClickAt(RowPoint(list, 1));
        ASSERT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "DMSA"; }));
        // Each step: the answer, the rows left, the row selected after it.
        const struct { int nAnswer; std::vector<std::wstring> rows; int nSelected; const char* pszCommands; } steps[] = {
            {IDNO, {Row(L"A", L"Z"), Row(L"B", L"Z"), Row(L"C", L"Z")}, 1, "DMSA"},
            {IDYES, {Row(L"A", L"Z"), Row(L"C", L"Z")}, 1, "DMSA"},
            // The former third row goes, and nothing follows it.
            {IDYES, {Row(L"A", L"Z")}, -1, "..SA"},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(&step - steps);
            EXPECT_EQ(kAskDelete, Command(page, IDC_DELETE_MAP, step.nAnswer));
            EXPECT_TRUE(WaitUntil([&] { return Rows(list) == step.rows; }));
            EXPECT_EQ(step.nSelected, ListView_GetNextItem(list, -1, LVNI_SELECTED));
            EXPECT_EQ(step.pszCommands, RowAndMapCommands(page));
        }
        ClickAt(RowPoint(list, 0));
        Command(page, IDC_DELETE_MAP);
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "...."; }));
    });
}

TEST(ListPage, SwapMakesBothRowsModifyMovesTheReverseRowAndARowReplacedOrDeletedIsAskedForByName)
{
    CWizardRun().AtList(0, [&](HWND page, HWND list) {
        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)", IDC_SET_MAP, true));
        EXPECT_EQ("1e00>3000 3a00>1d00 1d00>3a00", Codes(page));
        // The swap starts checked for a row whose reverse is there; the old reverse goes on Yes.
        Modify(page, 1, L"Alt(왼쪽)");
        EXPECT_EQ(L"수정하기 전 매핑의 반대 매핑도 지우시겠습니까?\n\nControl(왼쪽) → CapsLock", Answer(IDYES));
        EXPECT_TRUE(WaitUntil([&] { return Codes(page) == "1e00>3000 3a00>3800 3800>3a00"; })) << Codes(page);
        // C and A swapped: A's own row is replaced only on Yes; No changes nothing.
        for (int nAnswer : {IDNO, IDYES}) {
            ASSERT_TRUE(AddPair(page, L"C", L"A", IDC_SET_MAP, true));
            EXPECT_NE(std::wstring::npos, Answer(nAnswer).find(L"\n\nA → B\n\n"));
            EXPECT_TRUE(WaitUntil([&] {
                return Codes(page) == (nAnswer == IDNO ? "1e00>3000 3a00>3800 3800>3a00" : "1e00>2e00 3a00>3800 3800>3a00 2e00>1e00");
            })) << Codes(page);
        }
        EXPECT_EQ(Row(L"A", L"C"), Rows(list)[0]);
    });
}

// The states of the context menu's items once open() has opened it, e.g. "N LR AMD FS P V" with
// "-" for a grayed item; then Esc, or a click on item nClick, and a pause: a right click that
// follows on the same spot is not to make a double click.
std::string MenuStates(const std::function<void()>& open, int nClick = -1)
{
    open();
    HWND popup = WaitShown([](HWND hwnd) { return ClassOf(hwnd) == L"#32768"; });
    const HMENU menu = popup ? HMENU(SendMessageW(popup, MN_GETHMENU, 0, 0)) : NULL;
    std::string str = menu ? "" : "no menu";
    const char szItems[] = "N LR AMD FS P V";
    const int ids[] = {IDC_NEW_MAP, 0, IDC_LOAD_SYSTEM_MAP, IDC_REMOVE_SYSTEM_MAP, 0, IDC_ADD_MAP, IDC_MODIFY_MAP,
                       IDC_DELETE_MAP, 0, IDC_LOAD_FILE, IDC_SAVE_FILE, 0, IDC_APPLY_MAP, 0, IDC_KEYBOARD_VIEW};
    for (int i = 0; menu && i < int(std::size(ids)); ++i) {
        const bool bGrey = ids[i] && (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED);
        str += GetMenuItemID(menu, i) != UINT(ids[i]) ? '?' : bGrey ? '-' : szItems[i];
    }
    RECT rc;
    if (nClick >= 0 && GetMenuItemRect(NULL, menu, nClick, &rc))
        ClickAt(Middle(rc));
    else
        PressKey(VK_ESCAPE);
    WaitGone(popup);
    Sleep(GetDoubleClickTime() + 50);
    return str;
}

TEST(ListPage, RowCommandsAndTheMenuFollowTheKeyboardAndEachClickAndDeleteTakesTheRowShownSelected)
{
    SetValue({});
    CWizardRun().AtList(0, [&](HWND page, HWND list) {
        EXPECT_EQ("N -- A-- F- - V", MenuStates([&] { ClickAt(RowPoint(list, -1), true); }));
        for (const wchar_t* key : {L"A", L"B", L"C"})
            ASSERT_TRUE(AddPair(page, key, L"Z"));

        // Tab stops at the list, and the list given the focus shows which row has it.
        EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_TABSTOP) << "Tab never reaches the list";
        PostMessageW(GetAncestor(page, GA_ROOT), WM_NEXTDLGCTL, WPARAM(list), TRUE);
        EXPECT_TRUE(WaitUntil([&] { return ListView_GetNextItem(list, -1, LVNI_FOCUSED) >= 0; }))
            << "no row has the focus rectangle";
        PressKey(VK_END);
        PressKey(VK_UP);
        ASSERT_TRUE(WaitUntil([&] { return ListView_GetNextItem(list, -1, LVNI_SELECTED) == 1; }));
        EXPECT_EQ("N -- AMD FS P V", MenuStates([] { PressKey(VK_F10, true); }));
        EXPECT_EQ(kAskDelete, Command(page, IDC_DELETE_MAP));
        EXPECT_TRUE(WaitUntil([&] { return Rows(list) == std::vector<std::wstring>{Row(L"A", L"Z"), Row(L"C", L"Z")}; }))
            << "deleted another row than the one shown selected";
        // Ctrl+Space deselects the focused row on Windows (Wine's single-selection list keeps it): the
        // same change, made directly. Then neither the buttons, the menu nor a command that still
        // arrives (a question would hold the send: it is looked for past the time-out) acts on a row.
        ListView_SetItemState(list, 1, 0, LVIS_SELECTED);
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "..SA"; })) << RowAndMapCommands(page);
        EXPECT_EQ("N -- A-- FS P V", MenuStates([] { PressKey(VK_F10, true); }));
        for (int id : {IDC_DELETE_MAP, IDC_MODIFY_MAP})
            SendMessageTimeoutW(page, WM_COMMAND, id, 0, SMTO_NORMAL, 1000, NULL);
        EXPECT_FALSE(FindShown([](HWND h) { return IsMessageBox(h) || IsEditDialog(h); })) << "acted on a row not shown selected";

        // A click, then a double click, on the empty area after one on a row.
        for (int nClicks : {1, 2}) {
            ClickAt(RowPoint(list, 1));
            EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "DMSA"; }));
            for (int i = 0; i < nClicks; ++i)
                ClickAt(RowPoint(list, -1));
            EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "..SA"; }))
                << nClicks << " clicks on the empty area left Delete and Modify on";
        }
        // Items set anew on each right click, on the empty area and on a row;
        // the menu's Add is the button's Add, its keyboard view the button's.
        SetValue(MapBytes({}));
        EXPECT_EQ("N LR A-- FS P V", MenuStates([&] { ClickAt(RowPoint(list, -1), true); }));
        EXPECT_EQ("N LR AMD FS P V", MenuStates([&] { ClickAt(RowPoint(list, 0), true); }, 5));
        HWND dlg = WaitShown(IsEditDialog);
        EXPECT_TRUE(dlg) << "the menu's Add opened no dialog";
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitGone(dlg));
        EXPECT_EQ("N LR AMD FS P V", MenuStates([&] { ClickAt(RowPoint(list, 0), true); }, 14));
        HWND view = WaitShown([](HWND hwnd) { return Text(hwnd) == L"키보드 보기"; });
        EXPECT_TRUE(view) << "the menu's keyboard view opened no dialog";
        PostMessageW(view, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitGone(view));
    });
}

}  // namespace

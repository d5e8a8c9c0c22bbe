// The mapping list pages inside the running wizard: their rows, buttons,
// questions and context menu, driven by clicks and keys.
#include "wizard_run.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kAskDelete = L"선택하신 매핑 코드를 정말 삭제하시겠습니까?";

TEST(ListPage, AddAppendsTheChosenPairUnselectedAndCancelAddsNothing)
{
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        EXPECT_EQ("....", RowAndMapCommands(page));

        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        EXPECT_EQ(std::vector<std::wstring>{Row(L"CapsLock", L"Control(왼쪽)")}, Rows(list));
        EXPECT_EQ("", SelectedRows(list)) << "a new row is not selected";
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "..SA"; }))
            << RowAndMapCommands(page);
        EXPECT_EQ("3a00>1d00", Codes(page));

        ASSERT_TRUE(AddPair(page, L"A", L"B", true));
        EXPECT_EQ(1u, Rows(list).size()) << "Cancel added a row";

        // Nobody checks a pair against the rows: the same pair twice is two rows.
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        EXPECT_EQ(2u, Rows(list).size());
        EXPECT_EQ("3a00>1d00 3a00>1d00", Codes(page));
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(ListPage, DeleteAsksThenRemovesTheSelectedRowAndSelectsTheOneAfterIt)
{
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        for (const wchar_t* key : {L"A", L"B", L"C"})
            ASSERT_TRUE(AddPair(page, key, L"Z"));

        ClickAt(RowPoint(list, 1));
        ASSERT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "DMSA"; }));
        Click(page, IDC_DELETE_MAP);
        EXPECT_EQ(kAskDelete, Answer(IDNO));
        EXPECT_EQ(3u, Rows(list).size()) << "No deleted a row";

        Click(page, IDC_DELETE_MAP);
        EXPECT_EQ(kAskDelete, Answer(IDYES));
        const std::vector<std::wstring> rowsAC = {Row(L"A", L"Z"), Row(L"C", L"Z")};
        EXPECT_TRUE(WaitUntil([&] { return Rows(list) == rowsAC; }));
        EXPECT_EQ("1", SelectedRows(list)) << "the row after the deleted one is not selected";

        // Again: now the former third row goes, and nothing follows it.
        Click(page, IDC_DELETE_MAP);
        EXPECT_EQ(kAskDelete, Answer(IDYES));
        EXPECT_TRUE(WaitUntil([&] { return Rows(list).size() == 1; }));
        EXPECT_EQ(Row(L"A", L"Z"), Rows(list)[0]);
        EXPECT_EQ("", SelectedRows(list));
        EXPECT_EQ("..SA", RowAndMapCommands(page)) << "Delete offered with no row selected";

        // The remembered row names no row now: a Delete that still arrives
        // (the menu, a command from elsewhere) must neither ask nor delete.
        PostMessageW(page, WM_COMMAND, IDC_DELETE_MAP, 0);
        EXPECT_EQ(L"(none)", Answer(IDNO, 1000));
        EXPECT_EQ(1u, Rows(list).size());

        ClickAt(RowPoint(list, 0));
        ASSERT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "DMSA"; }));
        Click(page, IDC_DELETE_MAP);
        EXPECT_EQ(kAskDelete, Answer(IDYES));
        EXPECT_TRUE(WaitUntil([&] { return Rows(list).empty(); }));
        EXPECT_EQ("....", RowAndMapCommands(page));
        EXPECT_EQ("", Codes(page));
        EXPECT_TRUE(run.End(kFinish));
    });
}

// The context menu's window once it shows.
HWND WaitPopup()
{
    return WaitShown([](HWND hwnd) {
        wchar_t szClass[16] = L"";
        GetClassNameW(hwnd, szClass, 16);
        return lstrcmpW(szClass, L"#32768") == 0;
    });
}

// The states of the context menu's items while it is open, e.g.
// "N LR AMD FS P" with "-" for a grayed item, then closes it.
std::string MenuStates(const std::function<void()>& open)
{
    open();
    HWND popup = WaitPopup();
    const HMENU menu = popup ? HMENU(SendMessageW(popup, MN_GETHMENU, 0, 0)) : NULL;
    if (!menu)
        return "no menu";
    std::string str;
    const std::pair<int, char> items[] = {
        {IDC_NEW_MAP, 'N'},    {0, ' '},           {IDC_LOAD_SYSTEM_MAP, 'L'},
        {IDC_REMOVE_SYSTEM_MAP, 'R'}, {0, ' '},    {IDC_ADD_MAP, 'A'},
        {IDC_MODIFY_MAP, 'M'}, {IDC_DELETE_MAP, 'D'}, {0, ' '},
        {IDC_LOAD_FILE, 'F'},  {IDC_SAVE_FILE, 'S'}, {0, ' '}, {IDC_APPLY_MAP, 'P'}};
    for (int i = 0; i < int(std::size(items)); ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (items[i].first == 0)
            str += (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) ? ' ' : '?';
        else if (id != UINT(items[i].first))
            str += '?';
        else
            str += (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) ? '-' : items[i].second;
    }
    PressKey(VK_ESCAPE);
    WaitGone(popup);
    return str;
}

std::string OpenMenuStates(POINT pt)
{
    const std::string str = MenuStates([&] { ClickAt(pt, true); });
    // The next right click on the same spot is not to make a double click.
    Sleep(GetDoubleClickTime() + 50);
    return str;
}

// Shift+F10, as a key press.
void PressShiftF10()
{
    INPUT in[4] = {};
    for (INPUT& i : in)
        i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[3].ki.wVk = VK_SHIFT;
    in[1].ki.wVk = in[2].ki.wVk = VK_F10;
    in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
}

// The window that has this process's keyboard focus.
HWND Focus(HWND wnd)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(wnd, NULL), &info) ? info.hwndFocus : NULL;
}

// Presses key until the open pop-up highlights item id; false if it never does.
bool HighlightItem(HWND popup, int id, WORD key)
{
    const HMENU menu = HMENU(SendMessageW(popup, MN_GETHMENU, 0, 0));
    const auto hilited = [&] {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE)
                return i;
        }
        return -1;
    };
    for (int n = 0; n < 16; ++n) {
        if (GetMenuState(menu, id, MF_BYCOMMAND) & MF_HILITE)
            return true;
        const int nBefore = hilited();
        PressKey(key);
        WaitUntil([&] { return hilited() != nBefore; }, 1000);
    }
    return false;
}

TEST(ListPage, TheKeyboardAloneFocusesARowOpensItsMenuAndDeletesTheRowShownSelected)
{
    CSystemMapKeeper keeper;
    CUtils::DelScancodeMapRegistry();

    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(1);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        for (const wchar_t* key : {L"A", L"B", L"C"})
            ASSERT_TRUE(AddPair(page, key, L"Z"));
        // Tab until the list has the focus: then a row shows where it is.
        for (int n = 0; n < 16 && Focus(page) != list; ++n) {
            PressKey(VK_TAB);
            WaitUntil([&] { return Focus(page) == list; }, 300);
        }
        ASSERT_EQ(list, Focus(page)) << "Tab never reaches the list";
        EXPECT_LE(0, ListView_GetNextItem(list, -1, LVNI_FOCUSED)) << "no row has the focus rectangle";
        PressKey(VK_END);
        PressKey(VK_UP);
        ASSERT_TRUE(WaitUntil([&] { return SelectedRows(list) == "1"; })) << SelectedRows(list);

        // Shift+F10 and the menu key: the menu of the selected row.
        EXPECT_EQ("N -- AMD FS P", MenuStates(PressShiftF10));
        EXPECT_EQ("N -- AMD FS P", MenuStates([] { PressKey(VK_APPS); }));

        PressKey(VK_APPS);
        HWND popup = WaitPopup();
        ASSERT_TRUE(popup);
        ASSERT_TRUE(HighlightItem(popup, IDC_DELETE_MAP, VK_DOWN));
        PressKey(VK_RETURN);
        HWND box = WaitShown(IsMessageBox);
        ASSERT_TRUE(box) << "Delete asked nothing";
        EXPECT_EQ(kAskDelete, MessageText(box));
        PressKey(VK_RETURN);
        const std::vector<std::wstring> rowsAC = {Row(L"A", L"Z"), Row(L"C", L"Z")};
        EXPECT_TRUE(WaitUntil([&] { return Rows(list) == rowsAC; }))
            << "deleted another row than the one shown selected";
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(ListPage, ClicksOnTheEmptyAreaDisableRowCommandsAndTheMenuFollowsEachRightClick)
{
    CSystemMapKeeper keeper;
    CUtils::DelScancodeMapRegistry();

    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        EXPECT_EQ("N -- A-- F- -", OpenMenuStates(EmptyPoint(list)));

        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        ASSERT_TRUE(AddPair(page, L"C", L"D"));
        ClickAt(RowPoint(list, 1));
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "DMSA"; }));
        ClickAt(EmptyPoint(list));
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "..SA"; }))
            << "a click on the empty area left Delete and Modify on";

        // Items set anew on each right click: on a row, then on the empty area.
        EXPECT_EQ("N -- AMD FS P", OpenMenuStates(RowPoint(list, 0)));
        EXPECT_EQ("N -- A-- FS P", OpenMenuStates(EmptyPoint(list)));
        unsigned char map[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
        ASSERT_EQ(0u, CUtils::SetScancodeMapRegistry(map, sizeof(map)));
        EXPECT_EQ("N LR A-- FS P", OpenMenuStates(EmptyPoint(list)));

        // A double click on the empty area disables them too, on a row it starts nothing.
        ClickAt(RowPoint(list, 0));
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "DMSA"; }));
        const POINT pt = EmptyPoint(list);
        ClickAt(pt);
        ClickAt(pt);
        EXPECT_TRUE(WaitUntil([&] { return RowAndMapCommands(page) == "..SA"; }));

        // The menu's Add is the button's Add.
        ClickAt(RowPoint(list, 0), true);
        HWND popup = WaitPopup();
        ASSERT_TRUE(popup);
        RECT rc;
        ASSERT_TRUE(GetMenuItemRect(NULL, HMENU(SendMessageW(popup, MN_GETHMENU, 0, 0)), 5, &rc));
        ClickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
        HWND dlg = WaitShown(IsEditDialog);
        EXPECT_TRUE(dlg) << "the menu's Add opened no dialog";
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitGone(dlg));
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(ListPage, ModifyPreselectsTheRowsKeysAndChangesItOnlyOnYes)
{
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(3);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        ASSERT_TRUE(AddPair(page, L"Enter/Return", L"Enter"));
        EXPECT_EQ("1c00>1c00", Codes(page));
        ClickAt(RowPoint(list, 0));

        for (int answer : {IDNO, IDYES}) {
            Click(page, IDC_MODIFY_MAP);
            HWND dlg = WaitShown(IsEditDialog);
            ASSERT_TRUE(dlg);
            EXPECT_EQ(L"Enter/Return", ComboSelection(GetDlgItem(dlg, IDC_REAL_KEY)));
            EXPECT_EQ(L"Enter", ComboSelection(GetDlgItem(dlg, IDC_MAP_KEY)));
            ASSERT_TRUE(ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), L"Control(왼쪽)"));
            Click(dlg, IDC_SET_MAP);
            EXPECT_EQ(L"선택하신 매핑 코드를 정말로 수정하시겠습니까?", Answer(answer));
            const std::wstring strWanted = Row(L"Enter/Return", answer == IDYES ? L"Control(왼쪽)" : L"Enter");
            EXPECT_TRUE(WaitUntil([&] { return Rows(list) == std::vector<std::wstring>{strWanted}; }));
        }
        EXPECT_EQ("1c00>1d00", Codes(page));
        EXPECT_EQ("DMSA", RowAndMapCommands(page));
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(ListPage, NewMapAsksThenEmptiesTheListAndEachKeyboardKeepsItsOwnRows)
{
    CWizardRun run;
    run.Run([&] {
        HWND pc = run.StartAtList(0);
        ASSERT_TRUE(pc) << run.Where();
        ASSERT_TRUE(AddPair(pc, L"CapsLock", L"Control(왼쪽)"));
        ASSERT_TRUE(run.Go(kBack, 0));
        ASSERT_TRUE(run.GoToList(2)) << run.Where();
        HWND pro = run.Page();
        ASSERT_TRUE(AddPair(pro, L"F13", L"PrintScreen"));
        ASSERT_TRUE(AddPair(pro, L"F14", L"ScrollLock"));
        ASSERT_TRUE(run.Go(kBack, 0));
        ASSERT_TRUE(run.GoToList(0)) << run.Where();
        EXPECT_EQ(std::vector<std::wstring>{Row(L"CapsLock", L"Control(왼쪽)")},
                  Rows(GetDlgItem(pc, IDC_MAP_LIST)));
        ASSERT_TRUE(run.Go(kBack, 0));
        ASSERT_TRUE(run.GoToList(2)) << run.Where();
        HWND list = GetDlgItem(pro, IDC_MAP_LIST);
        EXPECT_EQ(2u, Rows(list).size());
        EXPECT_EQ("5d00>37e0 5e00>4600", Codes(pro));

        const bool bSystemMap = IsEnabledItem(pro, IDC_LOAD_SYSTEM_MAP);
        ClickAt(RowPoint(list, 0));
        Click(pro, IDC_NEW_MAP);
        EXPECT_EQ(L"모든 매핑 설정을 삭제하고 새 설정을 만드시겠습니까?", Answer(IDNO));
        EXPECT_EQ(2u, Rows(list).size());
        Click(pro, IDC_NEW_MAP);
        Answer(IDYES);
        EXPECT_TRUE(WaitUntil([&] { return Rows(list).empty(); }));
        EXPECT_EQ("....", RowAndMapCommands(pro));
        EXPECT_EQ(bSystemMap, IsEnabledItem(pro, IDC_LOAD_SYSTEM_MAP));
        EXPECT_EQ(bSystemMap, IsEnabledItem(pro, IDC_REMOVE_SYSTEM_MAP));
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(ListPage, AFullListRefusesAddWithANoticeAndOpensNoDialog)
{
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        // The other 251 rows straight into the list: 251 dialogs would prove nothing more.
        for (int i = 1; i < 252; ++i) {
            wchar_t szCell[] = L"◁ A";
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = szCell;
            SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item));
        }
        ASSERT_EQ(252u, Rows(list).size());
        Click(page, IDC_ADD_MAP);
        const std::wstring strNotice = Answer(IDOK);
        EXPECT_NE(std::wstring::npos, strNotice.find(L"252")) << strNotice;
        EXPECT_FALSE(FindShown(IsEditDialog)) << "Add opened the dialog on a full list";
        EXPECT_EQ(252u, Rows(list).size());
        EXPECT_TRUE(run.End(kFinish));
    });
}

}  // namespace

// The list page: its rows of real key and mapped key, the selection that
// Delete and Modify act on, and the context menu. The commands on the
// system's map and on files are in prop_page_step2_commands.cpp.
#include "prop_page_step2.h"

#include <new>
#include <string>

#include "keyboard_view_dlg.h"
#include "lutrovane_main.h"
#include "map_edit_dlg.h"
#include "res/resource.h"

namespace {

// Cell formats: a glyph and a blank before the key name.
const char kRealKeyFormat[] = "◁ %s";
const char kMapKeyFormat[] = "▶ %s";

// 16 + 4 * 252 = 1024, the size of every buffer that carries the map.
const int kMaxRows = 252;

CString Cell(const char* pszFormat, const char* pszName)
{
    CString str;
    str.Format(pszFormat, pszName);
    return str;
}

// A row keeps both codes as its item data, those it was decoded from or
// those of the keys chosen in the edit dialog: a code no table knows, or one
// of two codes that share a name, would not survive a round trip through the
// name, so a row is written back exactly as it was read or chosen.
LPARAM PackCodes(WORD wRealKey, WORD wMapKey)
{
    return LPARAM(MAKELONG(wRealKey, wMapKey));
}

// Turns a list's drawing off for a bulk change, and back on with one repaint
// however the change ends: a row that runs out of memory throws, and a list
// left without redraw never paints again.
class CRedrawOff
{
public:
    explicit CRedrawOff(const CListCtrl& list) : m_list(list) { m_list.SendMessage(WM_SETREDRAW, FALSE); }
    ~CRedrawOff()
    {
        m_list.SendMessage(WM_SETREDRAW, TRUE);
        ::InvalidateRect(m_list.m_hWnd, NULL, TRUE);
    }
    CRedrawOff(const CRedrawOff&) = delete;
    CRedrawOff& operator=(const CRedrawOff&) = delete;

private:
    const CListCtrl& m_list;
};

}  // namespace

CPropPageStep2::CPropPageStep2()
    : CPropertyPageEx(IDD_STEP2), m_nKeyboardType(0), m_nMapCount(0), m_nSelItem(-1)
{
    m_psp.dwFlags &= ~PSP_HASHELP;
    m_menuMap.LoadMenu(IDR_MAP_MENU);
}

CPropPageStep2::~CPropPageStep2()
{
    m_menuMap.DestroyMenu();
}

void CPropPageStep2::SetKeyboardType(int nKeyboardType)
{
    if (nKeyboardType >= 0 && nKeyboardType <= 3)
        Construct(IDD_STEP2, 0, IDS_STEP2_TITLE, IDS_KEYBOARD_PC + nKeyboardType);
    m_psp.dwFlags &= ~PSP_HASHELP;
}

CLutrovaneMain* CPropPageStep2::GetMainSheet() const
{
    return dynamic_cast<CLutrovaneMain*>(GetSheet());
}

void CPropPageStep2::DoDataExchange()
{
    m_listMap.Attach(::GetDlgItem(m_hWnd, IDC_MAP_LIST));
}

BOOL CPropPageStep2::OnInitDialog()
{
    CPropertyPageEx::OnInitDialog();

    m_listMap.ModifyStyle(0, LVS_REPORT);
    m_listMap.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE | LVS_EX_FLATSB |
                               LVS_EX_UNDERLINEHOT);
    m_listMap.InsertColumn(0, AfxLoadString(IDS_REAL_KEY_COLUMN), LVCFMT_LEFT);
    m_listMap.InsertColumn(1, AfxLoadString(IDS_MAP_KEY_COLUMN), LVCFMT_LEFT);
    OnDpiChanged(AfxGetWindowDpi(m_listMap.m_hWnd));

    EnableRowCommands(FALSE);
    EnableMapCommands(FALSE);
    return TRUE;
}

void CPropPageStep2::OnDpiChanged(UINT nDpi)
{
    // 175 pixels at 96 DPI: the columns grow with the text at higher DPI.
    m_listMap.SetColumnWidth(0, AfxScaleForDpi(175, nDpi));
    m_listMap.SetColumnWidth(1, AfxScaleForDpi(175, nDpi));
}

BOOL CPropPageStep2::OnSetActive()
{
    if (CLutrovaneMain* pSheet = GetMainSheet()) {
        pSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
        m_nKeyboardType = pSheet->GetKeyboardType();
    }
    EnableSystemMapCommands(CUtils::HaveCurrentScancode() != 0);
    return CPropertyPageEx::OnSetActive();
}

LRESULT CPropPageStep2::OnWizardBack()
{
    // Sheet page 1 made current first, the sheet's default Back step of one
    // page then lands on sheet page 0, the keyboard choice.
    if (CLutrovaneMain* pSheet = GetMainSheet())
        pSheet->SetActivePage(1);
    return CPropertyPageEx::OnWizardBack();
}

BOOL CPropPageStep2::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // The layer below would end a command that runs out of memory silently.
    try {
        return DispatchCommand(wParam, lParam);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(IDS_OUT_OF_MEMORY, MB_OK);
        return TRUE;
    }
}

BOOL CPropPageStep2::DispatchCommand(WPARAM wParam, LPARAM lParam)
{
    // Buttons send BN_CLICKED, the context menu code 0: the same value.
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_ADD_MAP:
            OnAddMap();
            return TRUE;
        case IDC_MODIFY_MAP:
            OnModifyMap();
            return TRUE;
        case IDC_DELETE_MAP:
            OnDeleteMap();
            return TRUE;
        case IDC_NEW_MAP:
            OnNewMap();
            return TRUE;
        case IDC_LOAD_SYSTEM_MAP:
            OnLoadSystemMap();
            return TRUE;
        case IDC_REMOVE_SYSTEM_MAP:
            OnRemoveSystemMap();
            return TRUE;
        case IDC_APPLY_MAP:
            OnApplyMap();
            return TRUE;
        case IDC_LOAD_FILE:
            OnLoadFile();
            return TRUE;
        case IDC_SAVE_FILE:
            OnSaveFile();
            return TRUE;
        case IDC_KEYBOARD_VIEW:
            OnKeyboardView();
            return TRUE;
        }
    }
    return CPropertyPageEx::OnCommand(wParam, lParam);
}

BOOL CPropPageStep2::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (pHdr->idFrom != IDC_MAP_LIST)
        return CPropertyPageEx::OnNotify(wParam, lParam, pResult);
    const NMITEMACTIVATE* pItem = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
    switch (pHdr->code) {
    case NM_CLICK:
        OnClickList(pItem);
        break;
    case NM_DBLCLK:
        OnDblClkList(pItem);
        break;
    case NM_RCLICK:
        OnRClickList(pItem);
        break;
    case LVN_ITEMCHANGED:
        OnItemChangedList(reinterpret_cast<const NMLISTVIEW*>(lParam));
        break;
    case NM_SETFOCUS:
        OnSetFocusList();
        break;
    default:
        return FALSE;
    }
    *pResult = 0;
    return TRUE;
}

void CPropPageStep2::OnAddMap(WORD wRealKey)
{
    if (m_listMap.GetItemCount() >= kMaxRows) {
        AfxMessageBox(IDS_LIST_FULL, MB_OK);
        return;
    }
    CMapEditDlg dlg(NULL);
    dlg.SetKeyboardType(m_nKeyboardType, FALSE);
    dlg.PreselectRealKey(wRealKey);
    if (dlg.DoModal() == IDOK) {
        CString strRealKey, strMapKey, strReverseReal, strReverseMap;
        dlg.GetKeyNames(strRealKey, strMapKey);
        WORD wRealKey, wMapKey;
        dlg.GetScancodes(wRealKey, wMapKey);
        // A key swapped with itself is its own reverse.
        const BOOL bSwap = dlg.GetSwap(strReverseReal, strReverseMap) && wRealKey != wMapKey;
        int nReverse = -1;
        if (!bSwap || PlanReverseRow(wMapKey, wRealKey, -1, -1, 2, nReverse)) {
            AppendRow(strRealKey, strMapKey, PackCodes(wRealKey, wMapKey));
            if (bSwap)
                PutRow(nReverse, strReverseReal, strReverseMap, wMapKey, wRealKey);
        }
    }
    if (m_nMapCount > 0)
        EnableMapCommands(TRUE);
}

void CPropPageStep2::OnModifyMap()
{
    const int r = m_nSelItem;
    if (!IsRowSelected(r))
        return;
    WORD wOldReal, wOldMap;
    GetRowScancodes(r, wOldReal, wOldMap);
    // A row whose reverse is there is half of a swap: the dialog offers to
    // keep it one.
    WORD wRealKey, wMapKey;
    int nOldReverse = wOldReal != wOldMap ? FindRowOfRealKey(wOldMap, r) : -1;
    if (nOldReverse >= 0) {
        GetRowScancodes(nOldReverse, wRealKey, wMapKey);
        if (wMapKey != wOldReal)
            nOldReverse = -1;
    }

    CMapEditDlg dlg(NULL);
    dlg.SetKeyboardType(m_nKeyboardType, TRUE);
    dlg.SetScancode(wOldReal, wOldMap);
    dlg.SetSwap(nOldReverse >= 0);
    if (dlg.DoModal() != IDOK || AfxMessageBox(IDS_ASK_MODIFY_MAP, MB_YESNO) != IDYES)
        return;
    CString strRealKey, strMapKey, strReverseReal, strReverseMap;
    dlg.GetKeyNames(strRealKey, strMapKey);
    dlg.GetScancodes(wRealKey, wMapKey);
    const BOOL bSwap = dlg.GetSwap(strReverseReal, strReverseMap) && wRealKey != wMapKey;
    int nReverse = -1;
    if (bSwap && !PlanReverseRow(wMapKey, wRealKey, r, nOldReverse, 1, nReverse))
        return;
    // The old pair's reverse, unless the new one takes its place, goes only
    // if the user agrees.
    BOOL bDeleteOld = FALSE;
    if (bSwap && nOldReverse >= 0 && nOldReverse != nReverse) {
        CString strQuestion;
        strQuestion.Format(AfxLoadString(IDS_ASK_DELETE_OLD_REVERSE), RowPair(nOldReverse));
        bDeleteOld = AfxMessageBox(strQuestion, MB_YESNO) == IDYES;
    }
    SetRow(r, strRealKey, strMapKey, PackCodes(wRealKey, wMapKey));
    if (bSwap)
        PutRow(nReverse, strReverseReal, strReverseMap, wMapKey, wRealKey);
    if (bDeleteOld) {
        m_listMap.DeleteItem(nOldReverse);
        m_nMapCount = m_listMap.GetItemCount();
        FollowSelection();
    }
}

void CPropPageStep2::OnDeleteMap()
{
    // The remembered row may be gone (the list was replaced by fewer rows),
    // or no longer shown selected: then there is nothing to delete.
    const int r = m_nSelItem;
    if (!IsRowSelected(r) || AfxMessageBox(IDS_ASK_DELETE_MAP, MB_YESNO) != IDYES)
        return;
    m_listMap.DeleteItem(r);
    m_nMapCount = m_listMap.GetItemCount();
    m_listMap.SetFocus();
    if (m_nMapCount == 0) {
        EnableRowCommands(FALSE);
        EnableMapCommands(FALSE);
        return;
    }
    if (!HasRow(r)) {
        // The last row went: no row takes its place, none is selected.
        EnableRowCommands(FALSE);
        return;
    }
    // The row that followed the deleted one takes its place and its selection.
    m_listMap.SetItemState(r, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_listMap.SetSelectionMark(r);
}

void CPropPageStep2::EditRealKey(WORD wRealKey)
{
    for (int i = 0; i < m_listMap.GetItemCount(); ++i) {
        WORD wReal, wMap;
        GetRowScancodes(i, wReal, wMap);
        if (wReal == wRealKey) {
            m_listMap.SetItemState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            m_listMap.SetSelectionMark(i);
            FollowSelection();
            OnModifyMap();
            return;
        }
    }
    OnAddMap(wRealKey);
}

void CPropPageStep2::OnKeyboardView()
{
    CKeyboardViewDlg dlg(this, m_nKeyboardType);
    dlg.DoModal();
}

void CPropPageStep2::OnNewMap()
{
    if (AfxMessageBox(IDS_ASK_NEW_MAP, MB_YESNO) != IDYES)
        return;
    ClearList();
    EnableMapCommands(FALSE);
}


void CPropPageStep2::OnClickList(const NMITEMACTIVATE*)
{
    // A click on a row need not select it (Ctrl+click takes the selection
    // away): the list's selection decides, not the row hit.
    FollowSelection();
}

void CPropPageStep2::OnDblClkList(const NMITEMACTIVATE*)
{
    FollowSelection();
}

void CPropPageStep2::OnRClickList(const NMITEMACTIVATE* pItem)
{
    POINT pt = pItem->ptAction;
    m_listMap.ClientToScreen(&pt);
    ShowMapMenu(pt);
}

BOOL CPropPageStep2::OnContextMenu(CWnd* pWnd, POINT point)
{
    // A right click has shown the menu through NM_RCLICK already; this is
    // the keyboard's way (Shift+F10, the menu key): the menu of the selected
    // row, shown at that row, or at the list's corner when none is selected.
    if (pWnd->m_hWnd != m_listMap.m_hWnd || point.x != -1 || point.y != -1)
        return FALSE;
    const int nItem = SelectedRow();
    RECT rc = {};
    if (nItem >= 0) {
        rc.left = LVIR_LABEL;
        m_listMap.SendMessage(LVM_GETITEMRECT, nItem, LPARAM(&rc));
    }
    POINT pt = {rc.left, rc.bottom};
    m_listMap.ClientToScreen(&pt);
    ShowMapMenu(pt);
    return TRUE;
}

void CPropPageStep2::OnSetFocusList()
{
    // A list without a focused row draws no focus rectangle: the keyboard's
    // user would not see where it is. The selected row, else the first, gets
    // the focus; the selection stays as it is.
    if (m_listMap.GetItemCount() == 0 ||
        m_listMap.SendMessage(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED) >= 0)
        return;
    const int nItem = SelectedRow();
    m_listMap.SetItemState(nItem >= 0 ? nItem : 0, LVIS_FOCUSED, LVIS_FOCUSED);
}

void CPropPageStep2::ShowMapMenu(POINT ptScreen)
{
    // The pop-up keeps its item states between uses: each showing sets
    // those that depend on the moment anew. A right click has selected the
    // row it hit, or taken the selection away on the empty area.
    CMenu menu = m_menuMap.GetSubMenu(0);
    if (!menu.m_hMenu)
        return;
    const UINT nRow = SelectedRow() >= 0 ? MF_ENABLED : MF_GRAYED;
    menu.EnableMenuItem(IDC_DELETE_MAP, nRow);
    menu.EnableMenuItem(IDC_MODIFY_MAP, nRow);
    const UINT nRows = m_listMap.GetItemCount() > 0 ? MF_ENABLED : MF_GRAYED;
    menu.EnableMenuItem(IDC_SAVE_FILE, nRows);
    menu.EnableMenuItem(IDC_APPLY_MAP, nRows);
    const UINT nSystemMap = CUtils::HaveCurrentScancode() ? MF_ENABLED : MF_GRAYED;
    menu.EnableMenuItem(IDC_LOAD_SYSTEM_MAP, nSystemMap);
    menu.EnableMenuItem(IDC_REMOVE_SYSTEM_MAP, nSystemMap);
    menu.TrackPopupMenu(TPM_RIGHTBUTTON, ptScreen.x, ptScreen.y, this);
}

void CPropPageStep2::OnItemChangedList(const NMLISTVIEW* pItem)
{
    // Selected or deselected, by the mouse, the keyboard (Ctrl+Space) or a
    // command: Delete and Modify act on the row shown selected, or on none.
    if ((pItem->uNewState ^ pItem->uOldState) & LVIS_SELECTED)
        FollowSelection();
}

void CPropPageStep2::FollowSelection()
{
    const int nItem = SelectedRow();
    if (nItem >= 0)
        m_nSelItem = nItem;
    EnableRowCommands(nItem >= 0);
}

void CPropPageStep2::ClearList()
{
    m_listMap.DeleteAllItems();
    m_nMapCount = 0;
    // No row is selected now, so none is left for Delete and Modify.
    EnableRowCommands(FALSE);
}

void CPropPageStep2::AppendRow(const char* pszRealKey, const char* pszMapKey, LPARAM lCodes)
{
    const int nItem = m_listMap.InsertItem(m_nMapCount, Cell(kRealKeyFormat, pszRealKey), lCodes);
    if (nItem < 0)
        return;
    m_listMap.SetItemText(nItem, 1, Cell(kMapKeyFormat, pszMapKey));
    m_nMapCount = m_listMap.GetItemCount();
}

void CPropPageStep2::SetRow(int nItem, const char* pszRealKey, const char* pszMapKey, LPARAM lCodes)
{
    m_listMap.SetItemText(nItem, 0, Cell(kRealKeyFormat, pszRealKey));
    m_listMap.SetItemText(nItem, 1, Cell(kMapKeyFormat, pszMapKey));
    m_listMap.SetItemData(nItem, lCodes);
}

void CPropPageStep2::PutRow(int nItem, const char* pszRealKey, const char* pszMapKey, WORD wRealKey, WORD wMapKey)
{
    if (nItem >= 0)
        SetRow(nItem, pszRealKey, pszMapKey, PackCodes(wRealKey, wMapKey));
    else
        AppendRow(pszRealKey, pszMapKey, PackCodes(wRealKey, wMapKey));
}

int CPropPageStep2::FindRowOfRealKey(WORD wRealKey, int nSkip)
{
    for (int i = 0; i < m_listMap.GetItemCount(); ++i) {
        WORD wReal, wMap;
        GetRowScancodes(i, wReal, wMap);
        if (i != nSkip && wReal == wRealKey)
            return i;
    }
    return -1;
}

CString CPropPageStep2::RowPair(int nItem)
{
    // Each cell's glyph and blank are the bytes of its format before "%s".
    const std::string strReal(m_listMap.GetItemText(nItem, 0).Mid(int(sizeof(kRealKeyFormat)) - 3));
    const std::string strMap(m_listMap.GetItemText(nItem, 1).Mid(int(sizeof(kMapKeyFormat)) - 3));
    return CString((strReal + " → " + strMap).c_str());
}

BOOL CPropPageStep2::PlanReverseRow(WORD wRealKey, WORD wMapKey, int nSkip, int nUpdate, int nNewRows,
                                    int& nReverse)
{
    nReverse = FindRowOfRealKey(wRealKey, nSkip);
    if (nReverse < 0) {
        if (m_listMap.GetItemCount() + nNewRows <= kMaxRows)
            return TRUE;
        AfxMessageBox(IDS_LIST_FULL, MB_OK);
        return FALSE;
    }
    WORD wReal, wMap;
    GetRowScancodes(nReverse, wReal, wMap);
    if (wMap == wMapKey || nReverse == nUpdate)
        return TRUE;
    CString strQuestion;
    strQuestion.Format(AfxLoadString(IDS_ASK_REPLACE_ROW), RowPair(nReverse));
    return AfxMessageBox(strQuestion, MB_YESNO) == IDYES;
}

BOOL CPropPageStep2::AppendDecodedPairs(const CStringArray& realNames,
                                        const CStringArray& mapNames,
                                        const CWordArray& realCodes, const CWordArray& mapCodes)
{
    // Pairs only by index: no array is read past its end.
    int nPairs = realNames.GetSize();
    for (int n : {mapNames.GetSize(), realCodes.GetSize(), mapCodes.GetSize()}) {
        if (n < nPairs)
            nPairs = n;
    }
    // One redraw for the whole map, not one per row.
    const CRedrawOff redrawOff(m_listMap);
    // A key mapped to 0 is turned off, and named so as the edit dialog names it.
    const CString strOff = AfxLoadString(IDS_KEY_OFF);
    int i = 0;
    for (; i < nPairs && m_listMap.GetItemCount() < kMaxRows; ++i)
        AppendRow(realNames[i], mapCodes[i] ? mapNames[i] : strOff, PackCodes(realCodes[i], mapCodes[i]));
    return i == nPairs;
}

void CPropPageStep2::GetRowScancodes(int nItem, WORD& wRealKey, WORD& wMapKey)
{
    const LPARAM lCodes = m_listMap.GetItemData(nItem);
    wRealKey = LOWORD(lCodes);
    wMapKey = HIWORD(lCodes);
}

void CPropPageStep2::GetListScancodes(CWordArray& realKeys, CWordArray& mappedKeys)
{
    const int nRows = m_listMap.GetItemCount();
    realKeys.SetSize(0);
    realKeys.SetSize(nRows);
    mappedKeys.SetSize(0);
    mappedKeys.SetSize(nRows);
    for (int i = 0; i < nRows; ++i) {
        WORD wRealKey, wMapKey;
        GetRowScancodes(i, wRealKey, wMapKey);
        realKeys.SetAtGrow(i, wRealKey);
        mappedKeys.SetAtGrow(i, wMapKey);
    }
}

void CPropPageStep2::EnableRowCommands(BOOL bEnable)
{
    GetDlgItem(IDC_DELETE_MAP).EnableWindow(bEnable);
    GetDlgItem(IDC_MODIFY_MAP).EnableWindow(bEnable);
}

void CPropPageStep2::EnableMapCommands(BOOL bEnable)
{
    GetDlgItem(IDC_SAVE_FILE).EnableWindow(bEnable);
    GetDlgItem(IDC_APPLY_MAP).EnableWindow(bEnable);
}

void CPropPageStep2::EnableSystemMapCommands(BOOL bEnable)
{
    GetDlgItem(IDC_LOAD_SYSTEM_MAP).EnableWindow(bEnable);
    GetDlgItem(IDC_REMOVE_SYSTEM_MAP).EnableWindow(bEnable);
}

#include "prop_page_step2.h"

#include <new>
#include <string>
#include <vector>

#include "lutrovane_main.h"
#include "map_edit_dlg.h"
#include "res/resource.h"

namespace {

// Cell formats. In code page 949 each glyph is two bytes, so with its blank
// a cell's key name starts at byte 3.
const char kRealKeyFormat[] = "◁ %s";
const char kMapKeyFormat[] = "▶ %s";
const int kCellPrefixBytes = 3;

// The key name in a cell, as Mid(kCellPrefixBytes) would give it, without a
// copy: empty when the cell is no longer than its prefix.
const char* CellKeyName(const CString& strCell)
{
    return static_cast<const char*>(strCell) +
           (strCell.GetLength() < kCellPrefixBytes ? strCell.GetLength() : kCellPrefixBytes);
}

// 16 + 4 * 252 = 1024, the size of every buffer that carries the map.
const int kMaxRows = 252;

CString Cell(const char* pszFormat, const char* pszName)
{
    CString str;
    str.Format(pszFormat, pszName);
    return str;
}

// A row keeps both codes as its item data, those it was decoded from or
// those of the keys chosen in the edit dialog; 0 for a row made by name.
// Both codes 0 need no marking: every table names the code 0 "알수 없음",
// which resolves to 0 again.
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

// The system's text for a Win32 error, in code page 949.
CString SystemMessage(DWORD dwError)
{
    wchar_t* pszMessage = NULL;
    const DWORD nChars = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        NULL, dwError, 0, reinterpret_cast<wchar_t*>(&pszMessage), 0, NULL);
    const std::wstring str = nChars ? std::wstring(pszMessage, nChars) : L"error " + std::to_wstring(dwError);
    ::LocalFree(pszMessage);
    return WideToCp949(str.c_str());
}

// The map was not changed because the value it would replace could not be
// kept: says where and why. dwError is the history's GetLastError.
void ReportHistoryFailure(const CMapHistory& history, DWORD dwError)
{
    CString strWhy = WideToCp949((std::wstring(history.GetFolder()) + L"\r\n").c_str());
    std::string strText = std::string(strWhy) + std::string(SystemMessage(dwError));
    CString strMessage;
    strMessage.Format(AfxLoadString(IDS_HISTORY_FAILED), strText.c_str());
    AfxMessageBox(strMessage, MB_OK);
}

// Asks before a map after which Ctrl+Alt+Del or Enter can no longer be
// pressed, naming the keys it takes away: nobody might sign in to Windows.
// No is the default. TRUE to go on.
BOOL ConfirmSignInKeys(const unsigned char* pMap, unsigned long nLength)
{
    CWordArray lostKeys;
    if (FindLostSignInKeys(pMap, nLength, lostKeys) == 0)
        return TRUE;
    CLutrovaneCore catalogue;
    std::string strKeys;
    for (int i = 0; i < lostKeys.GetSize(); ++i)
        strKeys += (i ? ", " : "") + std::string(catalogue.GetKeyName(lostKeys[i]));
    CString strQuestion;
    strQuestion.Format(AfxLoadString(IDS_ASK_LOCKOUT), strKeys.c_str());
    return AfxMessageBox(strQuestion, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

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
    const BOOL bSystemMap = CUtils::HaveCurrentScancode() != 0;
    GetDlgItem(IDC_LOAD_SYSTEM_MAP).EnableWindow(bSystemMap);
    GetDlgItem(IDC_REMOVE_SYSTEM_MAP).EnableWindow(bSystemMap);
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

void CPropPageStep2::OnAddMap()
{
    if (m_listMap.GetItemCount() >= kMaxRows) {
        AfxMessageBox(IDS_LIST_FULL, MB_OK);
        return;
    }
    CMapEditDlg dlg(NULL);
    dlg.SetKeyboardType(m_nKeyboardType, FALSE);
    if (dlg.DoModal() == IDOK) {
        CString strRealKey, strMapKey;
        dlg.GetKeyNames(strRealKey, strMapKey);
        WORD wRealKey, wMapKey;
        dlg.GetScancodes(wRealKey, wMapKey);
        AppendRow(strRealKey, strMapKey, PackCodes(wRealKey, wMapKey));
    }
    if (m_nMapCount > 0)
        EnableMapCommands(TRUE);
}

void CPropPageStep2::OnModifyMap()
{
    const int r = m_nSelItem;
    if (!IsRowSelected(r))
        return;
    WORD wRealKey, wMapKey;
    GetRowScancodes(r, wRealKey, wMapKey);

    CMapEditDlg dlg(NULL);
    dlg.SetKeyboardType(m_nKeyboardType, TRUE);
    dlg.SetScancode(wRealKey, wMapKey);
    if (dlg.DoModal() != IDOK || AfxMessageBox(IDS_ASK_MODIFY_MAP, MB_YESNO) != IDYES)
        return;
    CString strRealKey, strMapKey;
    dlg.GetKeyNames(strRealKey, strMapKey);
    dlg.GetScancodes(wRealKey, wMapKey);
    SetRow(r, strRealKey, strMapKey, PackCodes(wRealKey, wMapKey));
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

void CPropPageStep2::OnNewMap()
{
    if (AfxMessageBox(IDS_ASK_NEW_MAP, MB_YESNO) != IDYES)
        return;
    ClearList();
    EnableMapCommands(FALSE);
}

void CPropPageStep2::OnLoadSystemMap()
{
    if (AfxMessageBox(IDS_ASK_LOAD_SYSTEM_MAP, MB_YESNO) != IDYES)
        return;
    ClearList();

    // One read serves both decodings, so the two halves of a row always come
    // from the same value; an absent or unreadable value leaves the arrays
    // empty.
    std::vector<unsigned char> buffer(1024, 0);
    unsigned long nSize = static_cast<unsigned long>(buffer.size());
    CStringArray realNames, mapNames;
    CWordArray realCodes, mapCodes;
    if (CUtils::GetScancodeMapRegistry(buffer.data(), &nSize) == 0)
        m_keyTables.DecodeMap(m_nKeyboardType, buffer.data(), realNames, realCodes, mapNames,
                              mapCodes);
    if (realNames.GetSize() == 0 || mapNames.GetSize() == 0)
        AfxMessageBox(IDS_NO_SYSTEM_MAP, MB_OK);
    if (!AppendDecodedPairs(realNames, mapNames, realCodes, mapCodes))
        AfxMessageBox(IDS_LIST_TRUNCATED, MB_OK);
    if (m_nMapCount > 0)
        EnableMapCommands(TRUE);
}

void CPropPageStep2::OnRemoveSystemMap()
{
    if (AfxMessageBox(IDS_ASK_REMOVE_SYSTEM_MAP, MB_YESNO) != IDYES)
        return;
    // A removal that did not happen must not look like one, nor offer a
    // restart for it.
    CMapHistory history;
    const unsigned long nResult = history.ChangeSystemMap(NULL, 0);
    if (nResult == 4) {
        ReportHistoryFailure(history, ::GetLastError());
        return;
    }
    if (nResult == 2) {
        AfxMessageBox(IDS_REMOVE_FAILED, MB_OK);
        return;
    }
    // No map there any more (another program removed it while the page was
    // open): nothing was removed, so there is nothing to restart for.
    GetDlgItem(IDC_LOAD_SYSTEM_MAP).EnableWindow(FALSE);
    GetDlgItem(IDC_REMOVE_SYSTEM_MAP).EnableWindow(FALSE);
    if (nResult == 1) {
        AfxMessageBox(IDS_NO_SYSTEM_MAP, MB_OK);
        return;
    }
    CUtils::RebootSystem(m_hWnd, 0);
}

void CPropPageStep2::OnApplyMap()
{
    if (AfxMessageBox(IDS_ASK_APPLY_MAP, MB_YESNO) != IDYES)
        return;
    std::vector<unsigned char> buffer(1024, 0);
    const unsigned long nLength = MakeMapBytes(buffer.data());
    if (nLength != 0 && !ConfirmSignInKeys(buffer.data(), nLength))
        return;
    // Without administrative rights the write fails: say so, and offer no
    // restart for a change that never happened.
    CMapHistory history;
    const unsigned long nResult = nLength ? history.ChangeSystemMap(buffer.data(), nLength) : 2;
    if (nResult == 4) {
        ReportHistoryFailure(history, ::GetLastError());
        return;
    }
    // 1: the system holds this map already, nothing kept; as applied all the same.
    if (nResult != 0 && nResult != 1) {
        AfxMessageBox(IDS_APPLY_FAILED, MB_OK);
        return;
    }
    GetDlgItem(IDC_LOAD_SYSTEM_MAP).EnableWindow(TRUE);
    GetDlgItem(IDC_REMOVE_SYSTEM_MAP).EnableWindow(TRUE);
    CUtils::RebootSystem(m_hWnd, 0);
}

void CPropPageStep2::OnLoadFile()
{
    if (AfxMessageBox(IDS_ASK_LOAD_FILE, MB_YESNO) != IDYES)
        return;
    // The list is cleared before the file is chosen: it stays empty when no
    // file is loaded.
    ClearList();
    const CString strPath = ChooseMapFile(TRUE);
    if (strPath.IsEmpty())
        return;
    std::vector<unsigned char> buffer(1024, 0);
    unsigned long nSize = 0;
    if (CUtils::LoadLutrovaneData(strPath, buffer.data(), &nSize) != 0) {
        AfxMessageBox(IDS_INVALID_FILE, MB_OK);
        return;
    }
    // The map's own entry count governs, not the number of bytes read.
    CStringArray realNames, mapNames;
    CWordArray realCodes, mapCodes;
    m_keyTables.DecodeMap(m_nKeyboardType, buffer.data(), realNames, realCodes, mapNames, mapCodes);
    if (!AppendDecodedPairs(realNames, mapNames, realCodes, mapCodes))
        AfxMessageBox(IDS_LIST_TRUNCATED, MB_OK);
    if (m_nMapCount > 0)
        EnableMapCommands(TRUE);
}

void CPropPageStep2::OnSaveFile()
{
    const CString strPath = ChooseMapFile(FALSE);
    if (strPath.IsEmpty())
        return;
    std::vector<unsigned char> buffer(1024, 0);
    const unsigned long nLength = MakeMapBytes(buffer.data());
    // A failed save leaves any earlier file as it was.
    if (nLength == 0 || CUtils::SaveLutrovaneData(strPath, buffer.data(), nLength) != 0)
        AfxMessageBox(IDS_SAVE_FAILED, MB_OK);
}

unsigned long CPropPageStep2::MakeMapBytes(unsigned char* pBuffer)
{
    CWordArray realKeys, mappedKeys;
    GetListScancodes(realKeys, mappedKeys);
    if (CUtils::MakeRegistryData(realKeys, mappedKeys, pBuffer) != 0)
        return 0;
    return 16 + 4 * realKeys.GetSize();
}

CString CPropPageStep2::ChooseMapFile(BOOL bOpen)
{
    CFileDialog dlg(bOpen, "lvd", "New Scancode Map", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    "Lutrovane Data Files (*.lvd)|*.lvd|All Files (*.*)|*.*||", this);
    if (dlg.DoModal() != IDOK)
        return CString();
    const CString strPath = dlg.GetPathName();
    if (strPath.IsEmpty())
        AfxMessageBox(IDS_PATH_NOT_949, MB_OK);
    return strPath;
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
    int i = 0;
    for (; i < nPairs && m_listMap.GetItemCount() < kMaxRows; ++i)
        AppendRow(realNames[i], mapNames[i], PackCodes(realCodes[i], mapCodes[i]));
    return i == nPairs;
}

void CPropPageStep2::GetRowScancodes(int nItem, WORD& wRealKey, WORD& wMapKey)
{
    ResolveRow(nItem, m_keyTables.GetRealKeyResolver(m_nKeyboardType), m_keyTables.GetCatalogue(),
               wRealKey, wMapKey);
}

void CPropPageStep2::GetListScancodes(CWordArray& realKeys, CWordArray& mappedKeys)
{
    const int nRows = m_listMap.GetItemCount();
    realKeys.SetSize(0);
    realKeys.SetSize(nRows);
    mappedKeys.SetSize(0);
    mappedKeys.SetSize(nRows);
    CLutrovaneBase* pRealKeys = m_keyTables.GetRealKeyResolver(m_nKeyboardType);
    CLutrovaneBase& catalogue = m_keyTables.GetCatalogue();
    for (int i = 0; i < nRows; ++i) {
        WORD wRealKey, wMapKey;
        ResolveRow(i, pRealKeys, catalogue, wRealKey, wMapKey);
        realKeys.SetAtGrow(i, wRealKey);
        mappedKeys.SetAtGrow(i, wMapKey);
    }
}

void CPropPageStep2::ResolveRow(int nItem, CLutrovaneBase* pRealKeys, CLutrovaneBase& catalogue,
                                WORD& wRealKey, WORD& wMapKey)
{
    // A decoded row is written back exactly as it was read, whatever names
    // its codes got: a code no table knows, or one of two codes that share a
    // name, would not survive a round trip through the name.
    const LPARAM lCodes = m_listMap.GetItemData(nItem);
    if (lCodes) {
        wRealKey = LOWORD(lCodes);
        wMapKey = HIWORD(lCodes);
        return;
    }
    const CString strRealCell = m_listMap.GetItemText(nItem, 0);
    const CString strMapCell = m_listMap.GetItemText(nItem, 1);
    wRealKey = pRealKeys ? pRealKeys->FindScanCode(CellKeyName(strRealCell)) : 0;
    wMapKey = catalogue.FindScanCode(CellKeyName(strMapCell));
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

#include "map_edit_dlg.h"

#include "key_tables.h"
#include "lutrovane_pc.h"
#include "res/resource.h"

namespace {

// Appends the first nCount keys of the table, in table order, so that a
// key's position in the list is its row in the table; with bSelect, selects
// the first row holding wScancode (none when no row does).
void FillKeyList(CComboBox& combo, CLutrovaneBase& table, int nCount, BOOL bSelect,
                 WORD wScancode)
{
    for (int i = 0; i < nCount; ++i)
        combo.AddString(table.GetKeyNameByIndex(i));
    if (!bSelect)
        return;
    for (int i = 0; i < nCount; ++i) {
        if (table.GetScancodeByIndex(i) == wScancode) {
            combo.SetCurSel(i);
            return;
        }
    }
}

}  // namespace

CMapEditDlg::CMapEditDlg(CWnd* pParent)
    : CDialog(IDD_MAP_EDIT, pParent), m_nKeyboardType(0), m_bModify(FALSE), m_wRealScancode(0),
      m_wMapScancode(0)
{
}

void CMapEditDlg::SetKeyboardType(int nKeyboardType, BOOL bModify)
{
    m_nKeyboardType = nKeyboardType;
    m_bModify = bModify;
}

int CMapEditDlg::SetScancode(WORD wRealScancode, WORD wMapScancode)
{
    m_wRealScancode = wRealScancode;
    m_wMapScancode = wMapScancode;
    return 0;
}

int CMapEditDlg::GetKeyNames(CString& strRealKey, CString& strMapKey)
{
    strRealKey = m_strRealKey;
    strMapKey = m_strMapKey;
    return 0;
}

void CMapEditDlg::DoDataExchange()
{
    m_comboRealKey.Attach(::GetDlgItem(m_hWnd, IDC_REAL_KEY));
    m_comboMapKey.Attach(::GetDlgItem(m_hWnd, IDC_MAP_KEY));
}

BOOL CMapEditDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // Real keys: the chosen keyboard's own keys, for the PC keyboard only the
    // rows it offers as real keys. Tables live only while the lists fill; an
    // index outside 0 to 3 leaves the list empty.
    if (std::unique_ptr<CLutrovaneBase> pTable = NewKeyboardTable(m_nKeyboardType)) {
        FillKeyList(m_comboRealKey, *pTable, RealKeyCount(*pTable, m_nKeyboardType), m_bModify,
                    m_wRealScancode);
    }

    // Mapped keys: the whole PC table, whatever the keyboard.
    CLutrovanePC tableMapped;
    FillKeyList(m_comboMapKey, tableMapped, int(tableMapped.GetSizeOfMap()), m_bModify,
                m_wMapScancode);
    return TRUE;
}

BOOL CMapEditDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_SET_MAP:
            OnOK();
            return TRUE;
        case IDC_CANCEL_MAP:
            OnCancel();
            return TRUE;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CMapEditDlg::OnOK()
{
    const int nReal = m_comboRealKey.GetCurSel();
    const int nMap = m_comboMapKey.GetCurSel();
    if (nReal == CB_ERR || nMap == CB_ERR) {
        AfxMessageBox(IDS_CHOOSE_BOTH_KEYS, MB_OK);
        return;
    }
    m_strRealKey = m_comboRealKey.GetLBText(nReal);
    m_strMapKey = m_comboMapKey.GetLBText(nMap);
    CDialog::OnOK();
}

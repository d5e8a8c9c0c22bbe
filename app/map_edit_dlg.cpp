#include "map_edit_dlg.h"

#include <algorithm>

#include "key_tables.h"
#include "lutrovane_pc.h"
#include "res/resource.h"

namespace {

// Not redrawn while it fills: each string added otherwise updates the list,
// which under Wine takes as long again as the adding.
class CFillList
{
public:
    explicit CFillList(CComboBox& combo) : m_combo(combo) { m_combo.SendMessage(WM_SETREDRAW, FALSE); }
    ~CFillList() { m_combo.SendMessage(WM_SETREDRAW, TRUE); }
    CFillList(const CFillList&) = delete;
    CFillList& operator=(const CFillList&) = delete;

private:
    CComboBox& m_combo;
};

// A low-level hook has no data of its own: the dialog whose hook it is.
CMapEditDlg* g_pHookOwner = NULL;

const UINT_PTR kWaitTimer = 1;
const UINT kWaitMs = 10000;

}  // namespace

CMapEditDlg::CMapEditDlg(CWnd* pParent)
    : CDialog(IDD_MAP_EDIT, pParent), m_nKeyboardType(0), m_bModify(FALSE), m_wRealScancode(0),
      m_wMapScancode(0), m_nWaitingFor(0), m_hHook(NULL), m_bSwap(FALSE),
      m_wPresetRealKey(0)
{
}

CMapEditDlg::~CMapEditDlg()
{
    ReleaseKeyboard();
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

int CMapEditDlg::GetScancodes(WORD& wRealScancode, WORD& wMapScancode)
{
    wRealScancode = m_wRealScancode;
    wMapScancode = m_wMapScancode;
    return 0;
}

BOOL CMapEditDlg::GetSwap(CString& strReverseReal, CString& strReverseMap)
{
    strReverseReal = m_strReverseReal;
    strReverseMap = m_strReverseMap;
    return m_bSwap;
}

void CMapEditDlg::DoDataExchange()
{
    m_comboRealKey.Attach(::GetDlgItem(m_hWnd, IDC_REAL_KEY));
    m_comboMapKey.Attach(::GetDlgItem(m_hWnd, IDC_MAP_KEY));
}

BOOL CMapEditDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_realCodes.clear();
    m_mapCodes.clear();
    m_swapKeys.clear();

    // Real keys: the chosen keyboard's own keys, for the PC keyboard only the
    // rows it offers as real keys. Tables live only while the lists fill; an
    // index outside 0 to 3 leaves the list empty, and nothing to press for.
    if (std::unique_ptr<CLutrovaneBase> pTable = NewKeyboardTable(m_nKeyboardType)) {
        const CFillList fill(m_comboRealKey);
        const int nCount = RealKeyCount(*pTable, m_nKeyboardType);
        for (int i = 0; i < nCount; ++i)
            AddKey(TRUE, pTable->GetKeyNameByIndex(i), pTable->GetScancodeByIndex(i));
    } else {
        GetDlgItem(IDC_PRESS_REAL_KEY).EnableWindow(FALSE);
    }

    // Mapped keys: the key turned off (code 0) first, then the whole PC
    // table, whatever the keyboard.
    {
        const CFillList fill(m_comboMapKey);
        AddKey(FALSE, AfxLoadString(IDS_KEY_OFF), 0);
        CLutrovanePC tableMapped;
        const int nCount = int(tableMapped.GetSizeOfMap());
        for (int i = 0; i < nCount; ++i)
            AddKey(FALSE, tableMapped.GetKeyNameByIndex(i), tableMapped.GetScancodeByIndex(i));
    }
    for (WORD wScancode : m_realCodes) {
        if (wScancode && std::find(m_mapCodes.begin(), m_mapCodes.end(), wScancode) != m_mapCodes.end())
            m_swapKeys.push_back(wScancode);
    }
    // A pair read from a map may hold a key that the list lacks: it is added.
    // The real key 0 is no key.
    if (m_bModify && m_wRealScancode)
        SelectKey(TRUE, m_wRealScancode);
    if (m_bModify)
        SelectKey(FALSE, m_wMapScancode);
    if (!m_bModify && m_wPresetRealKey)
        SelectKey(TRUE, m_wPresetRealKey);
    CheckDlgButton(IDC_SWAP_KEYS, m_bSwap ? BST_CHECKED : BST_UNCHECKED);
    UpdateSwap();
    return TRUE;
}

void CMapEditDlg::SelectKey(BOOL bRealKey, WORD wScancode)
{
    // No notice comes for a selection made here, a key pressed included:
    // the swap box is brought up to date by hand.
    CComboBox& combo = bRealKey ? m_comboRealKey : m_comboMapKey;
    const int nFound = FindKey(bRealKey, wScancode);
    if (nFound != CB_ERR) {
        combo.SetCurSel(nFound);
        UpdateSwap();
        return;
    }
    // Named as a decoded map names it: real keys by the keyboard's whole
    // table (the PC keyboard's mapped-only rows too), mapped keys by the
    // catalogue.
    std::unique_ptr<CLutrovaneBase> pNames = NewKeyboardTable(m_nKeyboardType);
    if (!bRealKey)
        pNames.reset(new CLutrovaneCore);
    if (!pNames)
        return;
    const int nItem = AddKey(bRealKey, GetKeyNameWithCode(*pNames, wScancode), wScancode);
    if (nItem >= 0)
        combo.SetCurSel(nItem);
    UpdateSwap();
}

int CMapEditDlg::AddKey(BOOL bRealKey, const char* pszName, WORD wScancode)
{
    // The lists are not sorted: a row added goes last.
    std::vector<WORD>& codes = bRealKey ? m_realCodes : m_mapCodes;
    const int nItem = (bRealKey ? m_comboRealKey : m_comboMapKey).AddString(pszName);
    if (nItem >= 0 && nItem <= int(codes.size()))
        codes.insert(codes.begin() + nItem, wScancode);
    return nItem;
}

WORD CMapEditDlg::KeyAt(BOOL bRealKey, int nItem) const
{
    const std::vector<WORD>& codes = bRealKey ? m_realCodes : m_mapCodes;
    return nItem >= 0 && nItem < int(codes.size()) ? codes[nItem] : 0;
}

int CMapEditDlg::FindKey(BOOL bRealKey, WORD wScancode) const
{
    const std::vector<WORD>& codes = bRealKey ? m_realCodes : m_mapCodes;
    const auto it = std::find(codes.begin(), codes.end(), wScancode);
    return it == codes.end() ? CB_ERR : int(it - codes.begin());
}

void CMapEditDlg::UpdateSwap()
{
    const int nReal = m_comboRealKey.GetCurSel();
    const int nMap = m_comboMapKey.GetCurSel();
    CString strWhy;
    if (nReal == CB_ERR || nMap == CB_ERR) {
        strWhy = AfxLoadString(IDS_SWAP_CHOOSE_BOTH);
    } else if (KeyAt(FALSE, nMap) == 0) {
        strWhy = AfxLoadString(IDS_SWAP_NOT_OFF);
    } else {
        // The reverse pair must be one the lists could make: each key a real
        // key of this keyboard and a key the mapped list offers.
        for (const BOOL bRealKey : {TRUE, FALSE}) {
            const int nItem = bRealKey ? nReal : nMap;
            const WORD wScancode = KeyAt(bRealKey, nItem);
            if (strWhy.IsEmpty() && std::find(m_swapKeys.begin(), m_swapKeys.end(), wScancode) == m_swapKeys.end())
                strWhy.Format(AfxLoadString(IDS_SWAP_NOT_BOTH_LISTS),
                              (bRealKey ? m_comboRealKey : m_comboMapKey).GetLBText(nItem));
        }
    }
    GetDlgItem(IDC_SWAP_KEYS).EnableWindow(strWhy.IsEmpty());
    ::SetDlgItemTextW(m_hWnd, IDC_SWAP_NOTE, Cp949ToWide(strWhy).c_str());
}

void CMapEditDlg::StartWaiting(int nIDButton)
{
    if (!m_hHook) {
        m_hHook = ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, ::GetModuleHandleW(NULL), 0);
        if (!m_hHook)
            return;
        g_pHookOwner = this;
    }
    m_nWaitingFor = nIDButton;
    m_keyWait.Start(CKeyWait::KeysDownNow());
    SetTimer(kWaitTimer, kWaitMs);
    ::SetDlgItemTextW(m_hWnd, IDC_KEY_WAIT_TEXT, AfxLoadStringW(IDS_PRESS_KEY).c_str());
}

void CMapEditDlg::StopWaiting(UINT nIDText)
{
    m_nWaitingFor = 0;
    m_keyWait.Stop();
    ::SetDlgItemTextW(m_hWnd, IDC_KEY_WAIT_TEXT, AfxLoadStringW(nIDText).c_str());
    if (m_keyWait.IsDone())
        ReleaseKeyboard();
    else
        SetTimer(kWaitTimer, kWaitMs);  // a key-up that never comes frees the keyboard all the same
}

void CMapEditDlg::ReleaseKeyboard()
{
    if (m_hHook) {
        ::UnhookWindowsHookEx(m_hHook);
        g_pHookOwner = NULL;
        m_hHook = NULL;
        KillTimer(kWaitTimer);
    }
    m_nWaitingFor = 0;
    m_keyWait.Clear();
}

LRESULT CALLBACK CMapEditDlg::KeyboardHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Runs on the dialog's thread while it retrieves messages. A key kept
    // from Windows reaches no window, so the dialog's own keys (Enter, Esc,
    // Alt for a menu) do nothing either, and the Windows key opens nothing.
    if (nCode == HC_ACTION && g_pHookOwner) {
        const KBDLLHOOKSTRUCT& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const WORD wScancode = ScancodeOfKeyEvent(key.vkCode, key.scanCode, key.flags);
        if (wScancode != 0 && g_pHookOwner->OnHookedKey(key.vkCode, wScancode, !(key.flags & LLKHF_UP)))
            return 1;
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

BOOL CMapEditDlg::OnHookedKey(UINT nVk, WORD wScancode, BOOL bDown)
{
    const CKeyWait::EAction action = m_keyWait.OnKey(nVk, bDown != FALSE);
    if (action == CKeyWait::kTake) {
        SelectKey(m_nWaitingFor == IDC_PRESS_REAL_KEY, wScancode);
        StopWaiting(IDS_KEY_TAKEN);
    } else if (m_keyWait.IsDone()) {
        ReleaseKeyboard();
    }
    return action != CKeyWait::kPass;
}

void CMapEditDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kWaitTimer)
        return;
    if (m_nWaitingFor)
        ::SetDlgItemTextW(m_hWnd, IDC_KEY_WAIT_TEXT, AfxLoadStringW(IDS_KEY_WAIT_TIMED_OUT).c_str());
    ReleaseKeyboard();
}

void CMapEditDlg::OnActivate(UINT nState)
{
    // Keys meant for another window are not ours to take.
    if (nState == WA_INACTIVE && m_nWaitingFor)
        StopWaiting(IDS_KEY_WAIT_CANCELLED);
}

BOOL CMapEditDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == CBN_SELCHANGE && (LOWORD(wParam) == IDC_REAL_KEY || LOWORD(wParam) == IDC_MAP_KEY)) {
        UpdateSwap();
        return TRUE;
    }
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_SET_MAP:
            OnOK();
            return TRUE;
        case IDC_CANCEL_MAP:
            OnCancel();
            return TRUE;
        case IDC_PRESS_REAL_KEY:
        case IDC_PRESS_MAP_KEY: {
            // A second click stops the wait; a click on the other button
            // moves it to the other list.
            const int nWasWaitingFor = m_nWaitingFor;
            if (nWasWaitingFor)
                StopWaiting(IDS_KEY_WAIT_CANCELLED);
            if (nWasWaitingFor != LOWORD(wParam))
                StartWaiting(LOWORD(wParam));
            return TRUE;
        }
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CMapEditDlg::OnOK()
{
    // No hook takes keys behind the notice below: its OK must reach it.
    if (m_nWaitingFor)
        StopWaiting(IDS_KEY_WAIT_CANCELLED);
    ReleaseKeyboard();
    const int nReal = m_comboRealKey.GetCurSel();
    const int nMap = m_comboMapKey.GetCurSel();
    if (nReal == CB_ERR || nMap == CB_ERR) {
        AfxMessageBox(IDS_CHOOSE_BOTH_KEYS, MB_OK);
        return;
    }
    m_strRealKey = m_comboRealKey.GetLBText(nReal);
    m_strMapKey = m_comboMapKey.GetLBText(nMap);
    m_wRealScancode = KeyAt(TRUE, nReal);
    m_wMapScancode = KeyAt(FALSE, nMap);
    UpdateSwap();
    m_bSwap = ::IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_SWAP_KEYS)) && IsDlgButtonChecked(IDC_SWAP_KEYS) == BST_CHECKED;
    if (m_bSwap) {
        m_strReverseReal = m_comboRealKey.GetLBText(FindKey(TRUE, m_wMapScancode));
        m_strReverseMap = m_comboMapKey.GetLBText(FindKey(FALSE, m_wRealScancode));
    }
    CDialog::OnOK();
}

void CMapEditDlg::OnCancel()
{
    ReleaseKeyboard();
    CDialog::OnCancel();
}

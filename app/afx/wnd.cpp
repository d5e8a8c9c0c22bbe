#include "afx/afx.h"

namespace {

const UINT kCodePage = 949;

// The property that leads from a window to its permanent object.
const wchar_t kPermanentProp[] = L"Lutrovane.CWnd";

}  // namespace

std::wstring Cp949ToWide(const char* psz)
{
    if (!psz || !*psz)
        return std::wstring();
    const int n = ::MultiByteToWideChar(kCodePage, 0, psz, -1, NULL, 0);
    if (n <= 1)
        return std::wstring();
    std::wstring str(n - 1, L'\0');
    ::MultiByteToWideChar(kCodePage, 0, psz, -1, &str[0], n);
    return str;
}

CString WideToCp949(const wchar_t* psz)
{
    if (!psz || !*psz)
        return CString();
    const int n = ::WideCharToMultiByte(kCodePage, 0, psz, -1, NULL, 0, NULL, NULL);
    if (n <= 1)
        return CString();
    std::vector<char> buf(n);
    ::WideCharToMultiByte(kCodePage, 0, psz, -1, buf.data(), n, NULL, NULL);
    return CString(buf.data());
}

HINSTANCE AfxGetInstanceHandle()
{
    return ::GetModuleHandleW(NULL);
}

std::wstring AfxLoadStringW(UINT nID)
{
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself: no length limit, and the entry is not NUL-terminated.
    const wchar_t* pch = NULL;
    const int n = ::LoadStringW(AfxGetInstanceHandle(), nID, reinterpret_cast<LPWSTR>(&pch), 0);
    return n > 0 && pch ? std::wstring(pch, n) : std::wstring();
}

CString AfxLoadString(UINT nID)
{
    return WideToCp949(AfxLoadStringW(nID).c_str());
}

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    m_hMenu = ::LoadMenuW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(nIDResource));
    return m_hMenu != NULL;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    const BOOL bDone = ::DestroyMenu(m_hMenu);
    m_hMenu = NULL;
    return bDone;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const char* pszNewItem)
{
    const std::wstring strItem = Cp949ToWide(pszNewItem);
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, pszNewItem ? strItem.c_str() : NULL);
}

BOOL CBitmap::LoadBitmap(UINT nIDResource)
{
    DeleteObject();
    m_hObject = ::LoadBitmapW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(nIDResource));
    return m_hObject != NULL;
}

BOOL CBitmap::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    const BOOL bDone = ::DeleteObject(m_hObject);
    m_hObject = NULL;
    return bDone;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? static_cast<CWnd*>(::GetPropW(hWnd, kPermanentProp)) : NULL;
}

void CWnd::AttachPermanent(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropW(hWnd, kPermanentProp, this);
}

void CWnd::DetachPermanent()
{
    if (m_hWnd)
        ::RemovePropW(m_hWnd, kPermanentProp);
    m_hWnd = NULL;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd)
{
    const DWORD dwStyle = GetStyle();
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, LONG(dwNewStyle));
    return TRUE;
}

void CWnd::CenterWindow()
{
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& rcArea = mi.rcWork;

    RECT rcCenter = rcArea;
    const HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner))
        ::GetWindowRect(hOwner, &rcCenter);

    const LONG cx = rcWnd.right - rcWnd.left;
    const LONG cy = rcWnd.bottom - rcWnd.top;
    LONG x = (rcCenter.left + rcCenter.right - cx) / 2;
    LONG y = (rcCenter.top + rcCenter.bottom - cy) / 2;
    if (x + cx > rcArea.right)
        x = rcArea.right - cx;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + cy > rcArea.bottom)
        y = rcArea.bottom - cy;
    if (y < rcArea.top)
        y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::CenterAfterInit(const RECT& rcBefore)
{
    const DWORD dwStyle = GetStyle();
    if (dwStyle & (WS_CHILD | WS_VISIBLE | DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN))
        return;
    RECT rcAfter;
    ::GetWindowRect(m_hWnd, &rcAfter);
    if (rcAfter.left != rcBefore.left || rcAfter.top != rcBefore.top)
        return;
    const HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && ::IsWindowEnabled(hOwner))
        return;
    CenterWindow();
}

int CListCtrl::InsertColumn(int nCol, const char* pszHeading, int nFormat)
{
    std::wstring strHeading = Cp949ToWide(pszHeading);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = &strHeading[0];
    return int(SendMessage(LVM_INSERTCOLUMNW, nCol, LPARAM(&column)));
}

namespace {

int ShowMessageBox(const std::wstring& strText, UINT nType)
{
    if (!(nType & MB_ICONMASK)) {
        const UINT nButtons = nType & MB_TYPEMASK;
        if (nButtons == MB_OK || nButtons == MB_OKCANCEL)
            nType |= MB_ICONEXCLAMATION;
        else if (nButtons == MB_YESNO || nButtons == MB_YESNOCANCEL)
            nType |= MB_ICONQUESTION;
    }
    HWND hOwner = ::GetActiveWindow();
    if (hOwner)
        hOwner = ::GetAncestor(hOwner, GA_ROOT);
    return ::MessageBoxW(hOwner, strText.c_str(), L"Lutrovane", nType);
}

}  // namespace

int AfxMessageBox(UINT nIDPrompt, UINT nType)
{
    return ShowMessageBox(AfxLoadStringW(nIDPrompt), nType);
}

int AfxMessageBox(const char* pszText, UINT nType)
{
    return ShowMessageBox(Cp949ToWide(pszText), nType);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, const CWnd* pWnd) const
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->m_hWnd, NULL);
}

HWND CWnd::SetFocus()
{
    if (::GetWindowThreadProcessId(m_hWnd, NULL) == ::GetCurrentThreadId())
        return ::SetFocus(m_hWnd);
    PostMessage(WM_AFX_SETFOCUS);
    return NULL;
}

int CComboBox::AddString(const char* pszString)
{
    const std::wstring str = Cp949ToWide(pszString);
    return int(SendMessage(CB_ADDSTRING, 0, LPARAM(str.c_str())));
}

CString CComboBox::GetLBText(int nIndex) const
{
    const LRESULT n = SendMessage(CB_GETLBTEXTLEN, nIndex);
    if (n == CB_ERR || n <= 0)
        return CString();
    std::vector<wchar_t> buf(n + 1, L'\0');
    if (SendMessage(CB_GETLBTEXT, nIndex, LPARAM(buf.data())) == CB_ERR)
        return CString();
    return WideToCp949(buf.data());
}

int CListCtrl::InsertItem(int nItem, const char* pszItem, LPARAM lParam)
{
    std::wstring strItem = Cp949ToWide(pszItem);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = nItem;
    item.pszText = &strItem[0];
    item.lParam = lParam;
    return int(SendMessage(LVM_INSERTITEMW, 0, LPARAM(&item)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const char* pszText)
{
    std::wstring strText = Cp949ToWide(pszText);
    LVITEMW item = {};
    item.iSubItem = nSubItem;
    item.pszText = &strText[0];
    return BOOL(SendMessage(LVM_SETITEMTEXTW, nItem, LPARAM(&item)));
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    // LVM_GETITEMTEXT reports only how much it copied: grow until it fits.
    for (int nCapacity = 64;; nCapacity *= 4) {
        std::vector<wchar_t> buf(nCapacity, L'\0');
        LVITEMW item = {};
        item.iSubItem = nSubItem;
        item.pszText = buf.data();
        item.cchTextMax = nCapacity;
        const int n = int(SendMessage(LVM_GETITEMTEXTW, nItem, LPARAM(&item)));
        if (n < nCapacity - 1)
            return WideToCp949(buf.data());
    }
}

LPARAM CListCtrl::GetItemData(int nItem) const
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    return SendMessage(LVM_GETITEMW, 0, LPARAM(&item)) ? item.lParam : 0;
}

BOOL CListCtrl::SetItemData(int nItem, LPARAM lParam)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = lParam;
    return BOOL(SendMessage(LVM_SETITEMW, 0, LPARAM(&item)));
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    LVITEMW item = {};
    item.state = nState;
    item.stateMask = nMask;
    return BOOL(SendMessage(LVM_SETITEMSTATE, nItem, LPARAM(&item)));
}

#include "afx/afx.h"

#include <windowsx.h>

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

INT_PTR CDialog::DoModal()
{
    AfxSyncThreadDpiAwareness();
    // Without a parent the owner is whatever window of this thread is active,
    // taken at its top level: the wizard while it runs, nothing on a thread
    // that has no window of its own.
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
    if (hOwner)
        hOwner = ::GetAncestor(hOwner, GA_ROOT);
    return ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hOwner,
                             DialogProc, LPARAM(this));
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM)
{
    // Enter, Esc and the close box arrive as IDOK and IDCANCEL with code 0.
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

BOOL CDialog::OnNotify(WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CDialog::OnContextMenu(CWnd*, POINT)
{
    return FALSE;
}

void CDialog::OnTimer(UINT_PTR)
{
}

void CDialog::OnLButtonDown(UINT, POINT)
{
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* pDlg;
    if (message == WM_INITDIALOG) {
        pDlg = reinterpret_cast<CDialog*>(lParam);
        pDlg->AttachPermanent(hWnd);
    } else {
        pDlg = static_cast<CDialog*>(FromHandlePermanent(hWnd));
    }
    return pDlg ? pDlg->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A C++ exception must not unwind through user32's frames: it ends here,
    // and the message goes to the system's default handling.
    try {
        switch (message) {
        case WM_INITDIALOG: {
            RECT rcBefore;
            ::GetWindowRect(m_hWnd, &rcBefore);
            const BOOL bDefaultFocus = OnInitDialog();
            CenterAfterInit(rcBefore);
            return bDefaultFocus;
        }
        case WM_COMMAND:
            return OnCommand(wParam, lParam);
        case WM_NOTIFY: {
            LRESULT lResult = 0;
            if (!OnNotify(wParam, lParam, &lResult))
                return FALSE;
            // A dialog procedure answers WM_NOTIFY through DWLP_MSGRESULT.
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, lResult);
            return TRUE;
        }
        case WM_CONTEXTMENU: {
            CWnd wnd(reinterpret_cast<HWND>(wParam));
            return OnContextMenu(&wnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        }
        case WM_TIMER:
            OnTimer(wParam);
            return FALSE;
        case WM_LBUTTONDOWN:
            OnLButtonDown(UINT(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return FALSE;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam));
            return FALSE;
        case WM_AFX_SETFOCUS:
            // On the dialog's own thread now: the dialog manager passes the
            // focus on to the control that last had it, or the first one.
            ::SetFocus(m_hWnd);
            return TRUE;
        case WM_NCDESTROY:
            DetachPermanent();
            return FALSE;
        }
    } catch (...) {
    }
    return FALSE;
}

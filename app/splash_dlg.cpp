#include "splash_dlg.h"

#include "lutrovane_main.h"
#include "res/resource.h"

namespace {

const UINT_PTR kCloseTimer = 1001;
const UINT kCloseAfterMs = 3000;
// SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOOWNERZORDER, and activating.
const UINT kRaiseFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOOWNERZORDER;

}  // namespace

CSplashDlg::CSplashDlg(CWnd* pParent) : CDialog(IDD_SPLASH, pParent), m_bAutoClose(FALSE)
{
}

int CSplashDlg::ShowModal(BOOL bAutoClose)
{
    m_bAutoClose = bAutoClose;
    return int(DoModal());
}

BOOL CSplashDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_bAutoClose)
        SetTimer(kCloseTimer, kCloseAfterMs);
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, kRaiseFlags);
    SetFocus();
    return FALSE;
}

void CSplashDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kCloseTimer) {
        KillTimer(kCloseTimer);
        OnOK();
    }
}

void CSplashDlg::OnLButtonDown(UINT, POINT)
{
    if (m_bAutoClose)
        KillTimer(kCloseTimer);
    OnOK();
}

UINT SplashThreadProc(LPVOID pParam)
{
    // Only the sheet's window is kept: the sheet object is alive now, while
    // it is being created, but nothing keeps it alive until the splash closes.
    CWnd wndSheet(static_cast<CLutrovaneMain*>(pParam)->GetSafeHwnd());
    {
        // No owner: this thread has no active window. Blocks until the splash
        // closes, or returns at once when it cannot be created.
        CSplashDlg dlgSplash(NULL);
        dlgSplash.ShowModal(TRUE);
    }
    wndSheet.ModifyStyle(WS_DISABLED, WS_VISIBLE);
    wndSheet.SetWindowPos(HWND_TOP, 0, 0, 0, 0, kRaiseFlags);
    wndSheet.SetFocus();
    AfxEndThread(0);
    return 0;
}

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
    ShowPictureForDpi();
    if (m_bAutoClose)
        SetTimer(kCloseTimer, kCloseAfterMs);
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, kRaiseFlags);
    SetFocus();
    return FALSE;
}

void CSplashDlg::ShowPictureForDpi()
{
    // The template shows the 96-DPI picture. Larger screens get the one drawn
    // for them, and the window takes its size: the picture fills the window,
    // whatever the template's font makes of its dialog units at that DPI.
    const UINT nPictures[] = {IDB_SPLASH, IDB_SPLASH_150, IDB_SPLASH_200};
    const int nScale = AfxArtworkScale(AfxGetWindowDpi(m_hWnd));
    if (nScale == 0 || !m_bmpPicture.LoadBitmap(nPictures[nScale]))
        return;
    const HWND hPicture = ::GetDlgItem(m_hWnd, IDC_SPLASH_PICTURE);
    // The control sizes itself to the new picture; the one it loaded from the
    // template is ours to delete now.
    const HGDIOBJ hOld = HGDIOBJ(::SendMessageW(hPicture, STM_SETIMAGE, IMAGE_BITMAP,
                                                LPARAM(m_bmpPicture.GetSafeHandle())));
    if (hOld)
        ::DeleteObject(hOld);
    BITMAP bm = {};
    ::GetObjectW(m_bmpPicture.GetSafeHandle(), sizeof(bm), &bm);
    RECT rc = {0, 0, bm.bmWidth, bm.bmHeight};
    ::AdjustWindowRectEx(&rc, GetStyle(), FALSE, DWORD(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    // Around the centre where DS_CENTER put the template's window.
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    SetWindowPos(NULL, (rcWnd.left + rcWnd.right - cx) / 2, (rcWnd.top + rcWnd.bottom - cy) / 2,
                 cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
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
    // The wizard enables itself on its own thread: the message waits in its
    // queue until the wizard's creation (which disables it) is over.
    wndSheet.PostMessage(WM_SPLASH_CLOSED);
    AfxEndThread(0);
    return 0;
}

// The splash picture: at start-up on a thread of its own, topmost, for three
// seconds or until clicked; later, without the time-out, the About box.
#pragma once

#include "afx/afx.h"

class CSplashDlg : public CDialog
{
public:
    explicit CSplashDlg(CWnd* pParent);

    // bAutoClose TRUE: closes itself after 3000 ms. Returns the modal result.
    int ShowModal(BOOL bAutoClose);

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnLButtonDown(UINT nFlags, POINT point) override;

    BOOL m_bAutoClose;

private:
    void ShowPictureForDpi();

    CBitmap m_bmpPicture;  // the picture for a screen above 96 DPI; none at 96
};

// The start-up splash thread; pParam is the wizard sheet (CLutrovaneMain),
// which it asks to enable, raise and focus itself once the splash has closed.
UINT SplashThreadProc(LPVOID pParam);

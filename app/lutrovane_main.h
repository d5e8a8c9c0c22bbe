// The wizard sheet: hosts page 1 and the four list pages, carries the
// keyboard type from one to the other, and shows the splash at start-up.
#pragma once

#include "afx/afx.h"

// Posted to the wizard by the splash thread once the splash has closed.
const UINT WM_SPLASH_CLOSED = WM_APP + 1;

class CLutrovaneMain : public CPropertySheetEx
{
public:
    CLutrovaneMain();
    ~CLutrovaneMain() override;

    // Keyboard type index 0 to 3: written by page 1 on Next, read by the
    // list pages when they become active.
    int GetKeyboardType() const { return m_nKeyboardType; }
    void SetKeyboardType(int nKeyboardType) { m_nKeyboardType = nKeyboardType; }

protected:
    int OnCreate(LPCREATESTRUCTW lpCreateStruct) override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    HCURSOR OnQueryDragIcon() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Enables, raises and focuses the wizard.
    void OnSplashClosed();

    HICON m_hIcon;       // shared resource icon, large: never destroyed
    HICON m_hIconSmall;  // the same, at the title bar's size
    int m_nKeyboardType;
    CBitmap m_bmpHeader;
};

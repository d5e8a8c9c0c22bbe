// The dialog that picks one mapping pair: a real key of the chosen keyboard
// and the key it is to act as, both by name.
#pragma once

#include "afx/afx.h"

class CMapEditDlg : public CDialog
{
public:
    // The list pages pass no parent: the active wizard window owns the dialog.
    explicit CMapEditDlg(CWnd* pParent = NULL);

    // Keyboard type index 0 to 3; bModify TRUE preselects the pair that
    // SetScancode names.
    void SetKeyboardType(int nKeyboardType, BOOL bModify);
    // The codes of the pair to change (modify mode). Always 0.
    int SetScancode(WORD wRealScancode, WORD wMapScancode);
    // After IDOK: the chosen names, as the key tables spell them. Always 0.
    int GetKeyNames(CString& strRealKey, CString& strMapKey);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Enter arrives here as well as through the set button.
    void OnOK() override;

    int m_nKeyboardType;
    BOOL m_bModify;
    CString m_strRealKey;
    CString m_strMapKey;
    WORD m_wRealScancode;
    WORD m_wMapScancode;
    CComboBox m_comboMapKey;
    CComboBox m_comboRealKey;
};

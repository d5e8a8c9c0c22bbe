// The dialog that picks one mapping pair: a real key of the chosen keyboard
// and the key it is to act as, chosen by name or by pressing the key.
#pragma once

#include "afx/afx.h"
#include "key_wait.h"

#include <vector>

class CMapEditDlg : public CDialog
{
public:
    // The list pages pass no parent: the active wizard window owns the dialog.
    explicit CMapEditDlg(CWnd* pParent = NULL);
    ~CMapEditDlg() override;

    // Keyboard type index 0 to 3; bModify TRUE preselects the pair that
    // SetScancode names.
    void SetKeyboardType(int nKeyboardType, BOOL bModify);
    // The codes of the pair to change (modify mode). Always 0.
    int SetScancode(WORD wRealScancode, WORD wMapScancode);
    // Add mode: the real key chosen when the dialog opens (0 none).
    void PreselectRealKey(WORD wRealScancode) { m_wPresetRealKey = wRealScancode; }
    // After IDOK: the chosen names, as the key tables spell them, or for a
    // key no table names its not-found name with its code. Always 0.
    int GetKeyNames(CString& strRealKey, CString& strMapKey);
    // After IDOK: the chosen keys' codes, which alone tell apart the keys no
    // table names. Always 0.
    int GetScancodes(WORD& wRealScancode, WORD& wMapScancode);
    // Whether "swap" starts checked (where it can be made).
    void SetSwap(BOOL bSwap) { m_bSwap = bSwap; }
    // After IDOK: TRUE when the reverse pair is to be made too, with its
    // names: the mapped key as a real key, the real key as a mapped key.
    BOOL GetSwap(CString& strReverseReal, CString& strReverseMap);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Enter arrives here as well as through the set button.
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnActivate(UINT nState) override;

    int m_nKeyboardType;
    BOOL m_bModify;
    CString m_strRealKey;
    CString m_strMapKey;
    WORD m_wRealScancode;  // to preselect; after IDOK the chosen key's
    WORD m_wMapScancode;
    CComboBox m_comboMapKey;
    CComboBox m_comboRealKey;

private:
    // Selects the first row of the list with the code, or adds a last row
    // for it, named by the list's table, and selects that.
    void SelectKey(BOOL bRealKey, WORD wScancode);
    // Adds a last row to the list, its code kept by its position.
    int AddKey(BOOL bRealKey, const char* pszName, WORD wScancode);
    // The code of the list's row nItem; 0 for none.
    WORD KeyAt(BOOL bRealKey, int nItem) const;
    // The position of the list's first row with the code; CB_ERR for none.
    int FindKey(BOOL bRealKey, WORD wScancode) const;
    // Enables "swap" for the two keys chosen, or says why not.
    void UpdateSwap();
    void StartWaiting(int nIDButton);
    // Stops waiting and says why (string nIDText).
    void StopWaiting(UINT nIDText);
    // Removes the hook, even while keys it took are down.
    void ReleaseKeyboard();
    // A key event that the hook sees; TRUE keeps it from Windows.
    BOOL OnHookedKey(UINT nVk, WORD wScancode, BOOL bDown);
    static LRESULT CALLBACK KeyboardHook(int nCode, WPARAM wParam, LPARAM lParam);

    int m_nWaitingFor;              // the press button whose list waits; 0 for none
    HHOOK m_hHook;                  // from the wait until the keys it took are let go
    CKeyWait m_keyWait;
    // Keys a swap may take: real keys of the keyboard that the mapped list
    // offers too.
    std::vector<WORD> m_swapKeys;
    // Each list's codes by row. Not the rows' item data: that is a message for
    // each row set or read, and under Wine each message also calls every hook
    // that watches the thread's messages.
    std::vector<WORD> m_realCodes;
    std::vector<WORD> m_mapCodes;
    BOOL m_bSwap;
    CString m_strReverseReal;
    CString m_strReverseMap;
    WORD m_wPresetRealKey;          // add mode: chosen at the start; 0 none
};

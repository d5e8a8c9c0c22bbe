// "키보드 보기": the chosen keyboard drawn with the list's map on it, a click
// on a key to map it, and "눌러 보기", which shows what a pressed key will
// become once the map is in effect.
#pragma once

#include <memory>
#include <vector>

#include "afx/afx.h"
#include "keyboard_view.h"

class CPropPageStep2;

class CKeyboardViewDlg : public CDialog
{
public:
    // pPage: the list page whose rows the picture shows and whose Add and
    // Modify a chosen key opens; it must outlive the dialog.
    CKeyboardViewDlg(CPropPageStep2* pPage, int nKeyboardType);
    ~CKeyboardViewDlg() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnCancel() override;

private:
    // Reads the list anew and redraws everything that shows it.
    void Refresh();
    // Opens the map edit dialog for the key (Modify for its first row, else
    // Add with it chosen), the try-it mode ended first, then follows the list.
    void ChooseKey(WORD wScancode);
    // Fits the picture to nDpi and the controls below it.
    void Layout(UINT nDpi);
    void OnDpiChanged(UINT nDpi, const RECT& rcSuggested);
    void UpdateTooltips();

    void StartTrying();
    // Ends the mode; the hook stays until the keys it took are up.
    void StopTrying(UINT nIDText);
    // Removes the hook, even while keys it took are down.
    void ReleaseKeyboard();
    void ShowPress(WORD wSeen, bool bInjected);
    // The map Windows loaded at its start, into m_inEffect; the line that says so.
    void FindMapInEffect();

    static LRESULT CALLBACK KeyboardHook(int nCode, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DialogSubclass(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PictureProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPictureMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The key a cursor key moves the focus to, or the focus itself.
    int NextKey(int nFrom, UINT nVk) const;

    CPropPageStep2* m_pPage;
    int m_nKeyboardType;
    const std::vector<SKeyPlace>& m_layout;
    std::unique_ptr<CLutrovaneBase> m_pTable;
    std::unique_ptr<CLutrovaneBase> m_pCatalogue;
    std::vector<SKeyPair> m_pairs;  // the list's rows, as last read
    SMapView m_view;
    SLit m_lit;
    int m_nFocus;                   // the key with the keyboard focus
    UINT m_nDpi;                    // the DPI the controls are laid out for
    HWND m_hwndPicture;
    HWND m_hwndTooltip;
    HFONT m_hFont;                  // the controls' font at a DPI other than the first; owned
    WNDPROC m_pfnSuper;

    CKeyTaker m_taker;
    HHOOK m_hHook;
    bool m_bInEffectKnown;
    std::vector<SKeyPair> m_inEffect;  // the map Windows applies now, when known
};

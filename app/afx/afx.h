// The thin window layer the program is built on: the framework's class names
// and the members the program calls, nothing more. Wide-character Win32
// inside; CString (code page 949) wherever the program hands text in or out.
// No exception leaves a window or dialog procedure.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "lutrovane_core.h"

// Code page 949 <-> UTF-16, independent of the process's ANSI code page.
std::wstring Cp949ToWide(const char* psz);
CString WideToCp949(const wchar_t* psz);

// The module whose resources the program uses: the executable.
HINSTANCE AfxGetInstanceHandle();
// String-table entry nID; empty when there is none.
CString AfxLoadString(UINT nID);
std::wstring AfxLoadStringW(UINT nID);

// A message box with string-table entry nIDPrompt, captioned with the
// program's name, owned by the calling thread's active window. Without an
// icon in nType, OK boxes get the exclamation mark and Yes/No boxes the
// question mark. Returns the button pressed (IDOK, IDYES, IDNO), 0 on failure.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
// The same with a text of code page 949.
int AfxMessageBox(const char* pszText, UINT nType = MB_OK);

// The DPI a window is drawn at: its monitor's where the system tells
// (Windows 10 1607 and later), else the screen's. NULL: the screen's.
UINT AfxGetWindowDpi(HWND hWnd = NULL);
// n pixels at 96 DPI, at nDpi.
inline int AfxScaleForDpi(int n, UINT nDpi) { return ::MulDiv(n, int(nDpi), 96); }
// Which of the artwork drawn at 1x, 1.5x and 2x fits nDpi: 0, 1 or 2, the
// largest that is not larger than the DPI asks for.
int AfxArtworkScale(UINT nDpi);
// Makes the calling thread's DPI awareness agree with what the screen says:
// see its comment. Called before a thread makes its first window.
void AfxSyncThreadDpiAwareness();

// The application object. There may be several (a test makes its own), and
// none is special: the entry point calls InitInstance of the one it owns.
class CWinApp
{
public:
    CWinApp() = default;
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // FALSE ends the program without a message loop of its own.
    virtual BOOL InitInstance() = 0;
};

// A menu handle, not owned: a loaded menu is freed by DestroyMenu only.
class CMenu
{
public:
    explicit CMenu(HMENU hMenu = NULL) : m_hMenu(hMenu) {}

    BOOL LoadMenu(UINT nIDResource);
    BOOL DestroyMenu();
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const char* pszNewItem = NULL);
    // The item's previous state, or -1 (as UINT) when there is no such item.
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable)
    {
        return ::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable);
    }
    // The pop-up at nPos, not owned (m_hMenu NULL when there is none).
    CMenu GetSubMenu(int nPos) const { return CMenu(::GetSubMenu(m_hMenu, nPos)); }
    // The chosen item reaches pWnd as WM_COMMAND with code 0, as a button's
    // BN_CLICKED does.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, const class CWnd* pWnd) const;

    HMENU m_hMenu;
};

// Owns its bitmap: the destructor deletes it.
class CBitmap
{
public:
    CBitmap() : m_hObject(NULL) {}
    ~CBitmap() { DeleteObject(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    BOOL LoadBitmap(UINT nIDResource);
    BOOL DeleteObject();
    HBITMAP GetSafeHandle() const { return m_hObject; }

private:
    HBITMAP m_hObject;
};

// A window handle, not owned. Objects of the dialog and sheet classes below
// are "permanent": their window leads back to them through FromHandlePermanent.
class CWnd
{
public:
    explicit CWnd(HWND hWnd = NULL) : m_hWnd(hWnd) {}
    // Virtual so that a permanent object's true class can be checked.
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = default;
    CWnd& operator=(const CWnd&) = default;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    // The dialog, page or sheet object whose window hWnd is; NULL for any
    // other window. Safe from any thread of the process.
    static CWnd* FromHandlePermanent(HWND hWnd);
    CWnd GetDlgItem(int nID) const { return CWnd(::GetDlgItem(m_hWnd, nID)); }
    void ClientToScreen(POINT* pPoint) const { ::ClientToScreen(m_hWnd, pPoint); }

    DWORD GetStyle() const { return DWORD(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    // A style change only: no frame is recalculated, nothing is redrawn.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd);
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }
    // From any thread: SetFocus acts only on the calling thread's windows, so
    // a window of another thread is asked to take the focus itself (then the
    // result is NULL). A dialog or sheet of ours passes it to its first control.
    HWND SetFocus();
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return HICON(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, LPARAM(hIcon)));
    }
    // Over the owner, or over the work area when there is no visible owner.
    void CenterWindow();
    // The window menu, or no menu (m_hMenu NULL) when the window has none.
    CMenu GetSystemMenu(BOOL bRevert) const { return CMenu(::GetSystemMenu(m_hWnd, bRevert)); }

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, NULL);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    void CheckDlgButton(int nIDButton, UINT nCheck) { ::CheckDlgButton(m_hWnd, nIDButton, nCheck); }
    UINT IsDlgButtonChecked(int nIDButton) const { return ::IsDlgButtonChecked(m_hWnd, nIDButton); }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }

    HWND m_hWnd;

protected:
    // Makes this object the permanent object of hWnd, until DetachPermanent.
    void AttachPermanent(HWND hWnd);
    void DetachPermanent();
    // After WM_INITDIALOG: centres a popup that its initialisation did not
    // move or show, unless its template centres it or an enabled owner keeps
    // its own place for it.
    void CenterAfterInit(const RECT& rcBefore);
};

// Posted by CWnd::SetFocus to a window of another thread.
const UINT WM_AFX_SETFOCUS = WM_APP + 0x3FF0;

// A drop-down list. Positions are 0-based; CB_ERR (-1) means none.
class CComboBox : public CWnd
{
public:
    // The new item's position, or CB_ERR / CB_ERRSPACE.
    int AddString(const char* pszString);
    int GetCount() const { return int(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return int(SendMessage(CB_GETCURSEL)); }
    // nSelect -1 clears the selection.
    int SetCurSel(int nSelect) { return int(SendMessage(CB_SETCURSEL, nSelect)); }
    // The item's text; empty for a position that holds none.
    CString GetLBText(int nIndex) const;
    // CB_ERR for a position that holds none.
    DWORD_PTR GetItemData(int nIndex) const { return DWORD_PTR(SendMessage(CB_GETITEMDATA, nIndex)); }
    int SetItemData(int nIndex, DWORD_PTR dwItemData)
    {
        return int(SendMessage(CB_SETITEMDATA, nIndex, LPARAM(dwItemData)));
    }
};

// A report-view list. Rows and columns are 0-based; -1 means none.
class CListCtrl : public CWnd
{
public:
    DWORD SetExtendedStyle(DWORD dwNewStyle)
    {
        return DWORD(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwNewStyle));
    }
    // The new column's index, or -1.
    int InsertColumn(int nCol, const char* pszHeading, int nFormat = LVCFMT_LEFT);
    BOOL SetColumnWidth(int nCol, int cx)
    {
        return BOOL(SendMessage(LVM_SETCOLUMNWIDTH, nCol, MAKELPARAM(cx, 0)));
    }

    int GetItemCount() const { return int(SendMessage(LVM_GETITEMCOUNT)); }
    // The new row's index, or -1. lParam is the row's item data.
    int InsertItem(int nItem, const char* pszItem, LPARAM lParam = 0);
    BOOL SetItemText(int nItem, int nSubItem, const char* pszText);
    // Empty for a row or column that does not exist.
    CString GetItemText(int nItem, int nSubItem) const;
    // 0 for a row that does not exist.
    LPARAM GetItemData(int nItem) const;
    BOOL SetItemData(int nItem, LPARAM lParam);
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    int SetSelectionMark(int iIndex) { return int(SendMessage(LVM_SETSELECTIONMARK, 0, iIndex)); }
    BOOL DeleteItem(int nItem) { return BOOL(SendMessage(LVM_DELETEITEM, nItem)); }
    BOOL DeleteAllItems() { return BOOL(SendMessage(LVM_DELETEALLITEMS)); }
};

// A modal dialog from a template of the executable's resources. One static
// dialog procedure finds the object and calls its virtual handlers; a handler
// that returns (or falls through to) FALSE leaves the message to the system.
class CDialog : public CWnd
{
public:
    // pParentWnd NULL: the owner is the calling thread's active window (and
    // no owner on a thread that has none).
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // The value passed to EndDialog; -1 when the dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

protected:
    // Binds control members to their dialog items; called first by OnInitDialog.
    virtual void DoDataExchange() {}
    // TRUE lets the system set the focus to the first tab stop.
    virtual BOOL OnInitDialog();
    // TRUE when the command was handled. Routes IDOK and IDCANCEL.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // TRUE when handled; *pResult then becomes the message's result.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_CONTEXTMENU: pWnd is the window clicked, point in screen
    // coordinates, (-1, -1) when the keyboard asked (Shift+F10, the menu
    // key). TRUE when handled; FALSE passes it on to the parent window.
    virtual BOOL OnContextMenu(CWnd* pWnd, POINT point);
    // All three are followed by the system's own handling of the message.
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnLButtonDown(UINT nFlags, POINT point);
    // WM_ACTIVATE: nState is WA_ACTIVE, WA_CLICKACTIVE or WA_INACTIVE.
    virtual void OnActivate(UINT /*nState*/) {}

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

// A wizard page. Its header title and subtitle come from the string table.
class CPropertyPageEx : public CDialog
{
public:
    explicit CPropertyPageEx(UINT nIDTemplate, UINT nIDCaption = 0,
                             UINT nIDHeaderTitle = 0, UINT nIDHeaderSubTitle = 0);
    // Sets the page up anew, as the constructor does; before the sheet runs.
    void Construct(UINT nIDTemplate, UINT nIDCaption = 0,
                   UINT nIDHeaderTitle = 0, UINT nIDHeaderSubTitle = 0);

    PROPSHEETPAGEW m_psp;

protected:
    // The sheet that holds the page, or NULL while the page has no window.
    class CPropertySheetEx* GetSheet() const;

    // A page never ends a dialog: IDOK or IDCANCEL reaching it (a control
    // with id 1 or 2, Esc passed on by a control) would hide it in its sheet.
    void OnOK() override {}
    void OnCancel() override {}

    // TRUE lets the page become the current page.
    virtual BOOL OnSetActive() { return TRUE; }
    // 0 for the sheet's default step of one page, -1 to stay, or a template id.
    virtual LRESULT OnWizardNext() { return 0; }
    virtual LRESULT OnWizardBack() { return 0; }
    // TRUE lets the wizard close.
    virtual BOOL OnWizardFinish() { return TRUE; }

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    // The page and its controls are laid out for nDpi now: what the dialog
    // manager does not scale (a list's columns) follows here.
    virtual void OnDpiChanged(UINT /*nDpi*/) {}

private:
    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nDpi;  // the DPI the page's window is laid out for
    friend class CPropertySheetEx;

    // PROPSHEETPAGEW points into these while the sheet runs.
    std::wstring m_strCaption;
    std::wstring m_strHeaderTitle;
    std::wstring m_strHeaderSubTitle;
};

// A property sheet run modally. The sheet window is subclassed from its very
// creation, so OnCreate wraps the system's own WM_CREATE handling.
class CPropertySheetEx : public CWnd
{
public:
    CPropertySheetEx();
    virtual ~CPropertySheetEx() = default;
    CPropertySheetEx(const CPropertySheetEx&) = delete;
    CPropertySheetEx& operator=(const CPropertySheetEx&) = delete;

    // Pages in the order added; the page objects must outlive the modal run.
    void AddPage(CPropertyPageEx* pPage) { m_pages.push_back(pPage); }
    // The result of PropertySheet: 1 for Finish, 0 for Cancel, -1 on failure.
    INT_PTR DoModal();
    BOOL SetActivePage(int nPage) { return BOOL(SendMessage(PSM_SETCURSEL, nPage, 0)); }

    PROPSHEETHEADERW m_psh;

protected:
    // The default creation: -1 when the window is not to be created.
    virtual int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual HCURSOR OnQueryDragIcon();
    // Every message without a handler above, the program's own among them;
    // the default is the system's handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return CallSuper(message, wParam, lParam);
    }

private:
    // Before the frame is made: gives its template the first page's font size.
    static int CALLBACK PropSheetProc(HWND hWnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK CbtHookProc(int nCode, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SheetWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallSuper(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    }

    // Moved to a screen of nDpi: the frame and every page made so far laid
    // out for it, by the system where it does so, else in proportion.
    void OnDpiChanged(UINT nDpi, const RECT& rcSuggested);
    // Lays a page about to be shown out as the frame is.
    void FitPage(CPropertyPageEx* pPage);

    std::vector<CPropertyPageEx*> m_pages;
    WNDPROC m_pfnSuper;
    UINT m_nDpi;                 // the DPI the frame is laid out for
    RECT m_rcPage;               // where pages go once the frame was scaled by us; else empty
    std::vector<HFONT> m_fonts;  // fonts made for other DPIs, deleted with the window

    friend class CPropertyPageEx;
};

// The common Open or Save As dialog.
class CFileDialog
{
public:
    // pszFilter: pairs of description and pattern, each ended by '|', the
    // whole ended by another '|'. dwFlags: OFN_ flags.
    CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt = NULL, const char* pszFileName = NULL,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const char* pszFilter = NULL, CWnd* pParentWnd = NULL);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen file's full path; empty when code page 949 cannot hold it
    // (a folder named in another script), so that no other file is reached.
    CString GetPathName() const;

private:
    BOOL m_bOpenFileDialog;
    DWORD m_dwFlags;
    CWnd* m_pParentWnd;
    std::wstring m_strDefExt;
    std::wstring m_strFilter;  // '|' turned into the NULs the system expects
    std::vector<wchar_t> m_szFile;
};

// A thread started by AfxBeginThread. The object deletes itself when its
// thread ends, so the caller may use it only while it knows the thread runs.
typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread
{
public:
    // The previous suspend count, or (DWORD)-1 on failure. After the call the
    // thread may run to its end and delete this object.
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

    HANDLE m_hThread;

private:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
        : m_hThread(NULL), m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
    {
    }
    ~CWinThread();
    static unsigned __stdcall ThreadEntry(void* pThread);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;

    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                      LPSECURITY_ATTRIBUTES);
    friend void AfxEndThread(UINT, BOOL);
};

// NULL when the thread could not be started.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
// Ends the calling thread, which AfxBeginThread started. Objects on its stack
// are not destroyed: let them go out of scope first.
void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

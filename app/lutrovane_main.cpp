#include "lutrovane_main.h"

#include <shellapi.h>

#include "res/resource.h"
#include "splash_dlg.h"

namespace {

const wchar_t kBrowserPath[] = L"%ProgramFiles%\\Internet Explorer\\iexplore";

void OpenHomePage()
{
    // Expanded now, not at start-up: the command follows the environment.
    wchar_t szBrowser[512] = L"";
    ::ExpandEnvironmentStringsW(kBrowserPath, szBrowser, 512);
    const std::wstring strAddress = Cp949ToWide(LUTROVANE_HOME_PAGE);
    // ShellExecute reports failure with a value of 32 or less. Where that
    // browser is missing the address goes to the user's default browser.
    const HINSTANCE hResult =
        ::ShellExecuteW(NULL, NULL, szBrowser, strAddress.c_str(), NULL, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(hResult) <= 32)
        ::ShellExecuteW(NULL, NULL, strAddress.c_str(), NULL, NULL, SW_SHOW);
}

HICON LoadProgramIcon(int nMetricX, int nMetricY)
{
    // Shared: the system keeps one copy per size, and it is never destroyed.
    return static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_LUTROVANE),
                                           IMAGE_ICON, ::GetSystemMetrics(nMetricX),
                                           ::GetSystemMetrics(nMetricY), LR_SHARED));
}

}  // namespace

CLutrovaneMain::CLutrovaneMain() : m_nKeyboardType(0)
{
    // The icon group holds an image for each size the title bar and the
    // task switcher ask for at 100 %, 150 % and 200 %: none is stretched.
    m_hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    m_hIconSmall = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    // The header as drawn for the DPI the wizard starts at; the sheet draws
    // it at its own size.
    const UINT nHeaders[] = {IDB_HEADER, IDB_HEADER_150, IDB_HEADER_200};
    const UINT nHeader = nHeaders[AfxArtworkScale(AfxGetWindowDpi())];
    if (m_bmpHeader.LoadBitmap(nHeader) || m_bmpHeader.LoadBitmap(IDB_HEADER))
        m_psh.hbmHeader = m_bmpHeader.GetSafeHandle();
    m_psh.dwFlags &= ~PSH_HASHELP;
    m_psh.dwFlags |= PSH_HEADER | PSH_USEHBMHEADER | PSH_WIZARD97;
}

CLutrovaneMain::~CLutrovaneMain()
{
    m_bmpHeader.DeleteObject();
}

int CLutrovaneMain::OnCreate(LPCREATESTRUCTW lpCreateStruct)
{
    if (CPropertySheetEx::OnCreate(lpCreateStruct) == -1)
        return -1;

    // With the minimise box in place the window menu is the full one of seven
    // entries, whose position 6 is Close: greying it also disables the title
    // bar's close button, so only Cancel and Finish end the wizard.
    ModifyStyle(0, WS_SYSMENU | WS_MINIMIZEBOX);
    CMenu menuSys = GetSystemMenu(FALSE);
    if (menuSys.m_hMenu) {
        menuSys.EnableMenuItem(6, MF_BYPOSITION | MF_GRAYED);
        const CString strAbout = AfxLoadString(IDS_ABOUTBOX);
        if (!strAbout.IsEmpty()) {
            menuSys.AppendMenu(MF_SEPARATOR);
            menuSys.AppendMenu(MF_STRING, IDM_ABOUTBOX, strAbout);
        }
        const CString strHomePage = AfxLoadString(IDS_HOMEPAGE);
        if (!strHomePage.IsEmpty())
            menuSys.AppendMenu(MF_STRING, IDM_HOMEPAGE, strHomePage);
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIconSmall, FALSE);

    // The splash thread has the wizard re-enable itself when the splash
    // closes. Without that thread nothing would: then the wizard is not
    // disabled at all. It runs only once the wizard is disabled: a splash that
    // cannot be created returns at once.
    if (CWinThread* pThread = AfxBeginThread(SplashThreadProc, this, THREAD_PRIORITY_NORMAL, 0,
                                             CREATE_SUSPENDED)) {
        ModifyStyle(0, WS_DISABLED);
        pThread->ResumeThread();
        // Lets the splash get in front before the wizard is shown.
        ::Sleep(1000);
    }
    return 0;
}

void CLutrovaneMain::OnSysCommand(UINT nID, LPARAM lParam)
{
    switch (nID & 0xFFF0) {
    case IDM_ABOUTBOX: {
        CSplashDlg dlgAbout(NULL);
        dlgAbout.ShowModal(FALSE);
        break;
    }
    case IDM_HOMEPAGE:
        OpenHomePage();
        break;
    default:
        CPropertySheetEx::OnSysCommand(nID, lParam);
        break;
    }
}

LRESULT CLutrovaneMain::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SPLASH_CLOSED)
        return CPropertySheetEx::WindowProc(message, wParam, lParam);
    OnSplashClosed();
    return 0;
}

void CLutrovaneMain::OnSplashClosed()
{
    // A style change only, made here on the wizard's own thread: from the
    // splash thread this read-modify-write of GWL_STYLE could undo a change
    // the wizard makes at the same moment. Raised with activation.
    ModifyStyle(WS_DISABLED, WS_VISIBLE);
    SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOOWNERZORDER);
    SetFocus();
}

HCURSOR CLutrovaneMain::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

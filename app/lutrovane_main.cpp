#include "lutrovane_main.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "res/resource.h"
#include "splash_dlg.h"
#include "system_library.h"

namespace {

const wchar_t kBrowserPath[] = L"%ProgramFiles%\\Internet Explorer\\iexplore";

// A COM interface pointer released when it goes.
template <class TInterface>
class CComRef
{
public:
    CComRef() : m_p(NULL) {}
    ~CComRef()
    {
        if (m_p)
            m_p->Release();
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    TInterface* operator->() const { return m_p; }
    TInterface** Out() { return &m_p; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_p); }

private:
    TInterface* m_p;
};

// The home page's calls: ole32, oleaut32 and shell32 serve nothing else, so
// they are loaded when it is opened, not at every start.
struct SHomePageCalls
{
    SHomePageCalls()
        : hOle(LoadSystemLibrary(L"ole32.dll")), hOleAut(LoadSystemLibrary(L"oleaut32.dll")),
          pfnCoInitializeEx(SystemFunction<decltype(CoInitializeEx)>(hOle, "CoInitializeEx")),
          pfnCoUninitialize(SystemFunction<decltype(CoUninitialize)>(hOle, "CoUninitialize")),
          pfnCoCreateInstance(SystemFunction<decltype(CoCreateInstance)>(hOle, "CoCreateInstance")),
          pfnSysAllocString(SystemFunction<decltype(SysAllocString)>(hOleAut, "SysAllocString")),
          pfnSysFreeString(SystemFunction<decltype(SysFreeString)>(hOleAut, "SysFreeString")),
          pfnVariantClear(SystemFunction<decltype(VariantClear)>(hOleAut, "VariantClear")),
          pfnShellExecuteW(SystemFunction<decltype(ShellExecuteW)>(LoadSystemLibrary(L"shell32.dll"),
                                                                   "ShellExecuteW"))
    {
    }
    // Every COM call there, or none is made.
    bool HasCom() const
    {
        return pfnCoInitializeEx && pfnCoUninitialize && pfnCoCreateInstance && pfnSysAllocString
               && pfnSysFreeString && pfnVariantClear;
    }

    HMODULE hOle, hOleAut;
    decltype(&CoInitializeEx) pfnCoInitializeEx;
    decltype(&CoUninitialize) pfnCoUninitialize;
    decltype(&CoCreateInstance) pfnCoCreateInstance;
    decltype(&SysAllocString) pfnSysAllocString;
    decltype(&SysFreeString) pfnSysFreeString;
    decltype(&VariantClear) pfnVariantClear;
    decltype(&ShellExecuteW) pfnShellExecuteW;
};

// Has the desktop's shell, Explorer, start strFile with strArgs, through the
// Shell.Application object of the desktop's own view: the program then runs
// with Explorer's rights, which are the user's ordinary ones even while this
// process runs elevated. FALSE when no such shell answers (another shell,
// none yet, a server without a desktop).
BOOL DesktopShellExecute(const SHomePageCalls& calls, const std::wstring& strFile,
                         const std::wstring& strArgs)
{
    CComRef<IShellWindows> windows;
    CComRef<IDispatch> desktop, background, application;
    CComRef<IServiceProvider> provider;
    CComRef<IShellBrowser> browser;
    CComRef<IShellView> view;
    CComRef<IShellFolderViewDual> folderView;
    CComRef<IShellDispatch2> shell;
    VARIANT vDesktop = {}, vNone = {};  // VT_EMPTY, as VariantInit makes them
    vDesktop.vt = VT_I4;
    vDesktop.lVal = CSIDL_DESKTOP;
    long hwnd = 0;
    // FindWindowSW answers S_FALSE, and no object, when there is no desktop window.
    if (FAILED(calls.pfnCoCreateInstance(CLSID_ShellWindows, NULL, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.OutVoid())) ||
        windows->FindWindowSW(&vDesktop, &vNone, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                              desktop.Out()) != S_OK ||
        FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.OutVoid())) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Out())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) ||
        FAILED(folderView->get_Application(application.Out())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid())))
        return FALSE;
    // No directory and no verb: the default verb, as ShellExecute's NULL.
    VARIANT vArgs = {}, vShow = {};
    vArgs.vt = VT_BSTR;
    vArgs.bstrVal = calls.pfnSysAllocString(strArgs.c_str());
    vShow.vt = VT_I4;
    vShow.lVal = SW_SHOW;
    const BSTR bstrFile = calls.pfnSysAllocString(strFile.c_str());
    const HRESULT hr = bstrFile && vArgs.bstrVal ? shell->ShellExecute(bstrFile, vArgs, vNone, vNone, vShow)
                                                 : E_OUTOFMEMORY;
    calls.pfnSysFreeString(bstrFile);
    calls.pfnVariantClear(&vArgs);
    return SUCCEEDED(hr);
}

// UAC's split token: this process runs elevated, and the user has a token
// without administrator rights too. Without UAC (or before Vista) a program
// started from here gets no rights the user's own programs lack.
BOOL RunsElevatedAboveTheUser()
{
    HANDLE hToken = NULL;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return TRUE;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD nSize = 0;
    ::GetTokenInformation(hToken, TokenElevationType, &type, sizeof(type), &nSize);
    ::CloseHandle(hToken);
    return type == TokenElevationTypeFull;
}

void OpenHomePage()
{
    // Expanded now, not at start-up: the command follows the environment.
    // Where that browser is missing the address goes to the user's default
    // browser.
    wchar_t szBrowser[512] = L"";
    ::ExpandEnvironmentStringsW(kBrowserPath, szBrowser, 512);
    const std::wstring strAddress = Cp949ToWide(LUTROVANE_HOME_PAGE);
    wchar_t szFound[MAX_PATH];
    const BOOL bBrowser = ::SearchPathW(NULL, szBrowser, L".exe", MAX_PATH, szFound, NULL) != 0;
    const std::wstring strFile = bBrowser ? szBrowser : strAddress;
    const std::wstring strArgs = bBrowser ? strAddress : std::wstring();

    // The program runs with the highest rights the user has: a browser
    // started from here would have administrator rights, and so would
    // whatever it downloads and runs. Explorer starts it with the user's own.
    const SHomePageCalls calls;
    if (calls.HasCom()) {
        const HRESULT hrCom = calls.pfnCoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        const BOOL bStarted = DesktopShellExecute(calls, strFile, strArgs);
        if (SUCCEEDED(hrCom))
            calls.pfnCoUninitialize();
        if (bStarted)
            return;
    }
    if (!RunsElevatedAboveTheUser() && calls.pfnShellExecuteW) {
        calls.pfnShellExecuteW(NULL, NULL, strFile.c_str(), strArgs.empty() ? NULL : strArgs.c_str(),
                               NULL, SW_SHOW);
        return;
    }
    CString strMessage;
    strMessage.Format(AfxLoadString(IDS_HOME_PAGE_ELEVATED), LUTROVANE_HOME_PAGE);
    AfxMessageBox(strMessage, MB_OK | MB_ICONINFORMATION);
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

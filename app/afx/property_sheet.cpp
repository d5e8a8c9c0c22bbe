#include "afx/afx.h"

namespace {

// The sheet whose window this thread is about to create, and the hook that
// waits for it. Thread-local: a sheet may run on any thread.
thread_local CPropertySheetEx* t_pSheetInit = NULL;
thread_local HHOOK t_hCbtHook = NULL;

// Skips a menu or class entry of a dialog template: none, an ordinal, or a name.
const WORD* SkipNameOrOrdinal(const WORD* p)
{
    if (*p == 0x0000)
        return p + 1;
    if (*p == 0xFFFF)
        return p + 2;
    return p + lstrlenW(reinterpret_cast<const WCHAR*>(p)) + 1;
}

// The point size of a DIALOG or DIALOGEX template, or NULL when it sets no font.
WORD* TemplatePointSize(void* pTemplate)
{
    WORD* p = static_cast<WORD*>(pTemplate);
    DWORD dwStyle;
    if (p[1] == 0xFFFF) {
        // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy
        memcpy(&dwStyle, p + 6, sizeof(dwStyle));
        p += 13;
    } else {
        // style, exStyle, cdit, x, y, cx, cy
        memcpy(&dwStyle, p, sizeof(dwStyle));
        p += 9;
    }
    if (!(dwStyle & DS_SETFONT))
        return NULL;
    p = const_cast<WORD*>(SkipNameOrOrdinal(SkipNameOrOrdinal(p)));
    return p + lstrlenW(reinterpret_cast<const WCHAR*>(p)) + 1;
}

WORD PagePointSize(const PROPSHEETPAGEW& psp)
{
    const HRSRC hRes = ::FindResourceW(psp.hInstance, psp.pszTemplate, MAKEINTRESOURCEW(5));
    const HGLOBAL hData = hRes ? ::LoadResource(psp.hInstance, hRes) : NULL;
    void* pTemplate = hData ? ::LockResource(hData) : NULL;
    const WORD* pSize = pTemplate ? TemplatePointSize(pTemplate) : NULL;
    return pSize ? *pSize : 0;
}

// The first page's font size, for the frame about to be made.
thread_local WORD t_nPagePointSize = 0;

}  // namespace

CPropertyPageEx::CPropertyPageEx(UINT nIDTemplate, UINT nIDCaption, UINT nIDHeaderTitle,
                                 UINT nIDHeaderSubTitle)
    : CDialog(nIDTemplate), m_nDpi(0)
{
    Construct(nIDTemplate, nIDCaption, nIDHeaderTitle, nIDHeaderSubTitle);
}

void CPropertyPageEx::Construct(UINT nIDTemplate, UINT nIDCaption, UINT nIDHeaderTitle,
                                UINT nIDHeaderSubTitle)
{
    m_nIDTemplate = nIDTemplate;
    m_strCaption = nIDCaption ? AfxLoadStringW(nIDCaption) : std::wstring();
    m_strHeaderTitle = nIDHeaderTitle ? AfxLoadStringW(nIDHeaderTitle) : std::wstring();
    m_strHeaderSubTitle = nIDHeaderSubTitle ? AfxLoadStringW(nIDHeaderSubTitle) : std::wstring();

    m_psp = PROPSHEETPAGEW();
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = AfxGetInstanceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEW(nIDTemplate);
    m_psp.pfnDlgProc = PageProc;
    m_psp.lParam = LPARAM(this);
    if (!m_strCaption.empty()) {
        m_psp.dwFlags |= PSP_USETITLE;
        m_psp.pszTitle = m_strCaption.c_str();
    }
    if (!m_strHeaderTitle.empty()) {
        m_psp.dwFlags |= PSP_USEHEADERTITLE;
        m_psp.pszHeaderTitle = m_strHeaderTitle.c_str();
    }
    if (!m_strHeaderSubTitle.empty()) {
        m_psp.dwFlags |= PSP_USEHEADERSUBTITLE;
        m_psp.pszHeaderSubTitle = m_strHeaderSubTitle.c_str();
    }
}

CPropertySheetEx* CPropertyPageEx::GetSheet() const
{
    return dynamic_cast<CPropertySheetEx*>(FromHandlePermanent(::GetParent(m_hWnd)));
}

BOOL CPropertyPageEx::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (pHdr->hwndFrom != ::GetParent(m_hWnd))
        return CDialog::OnNotify(wParam, lParam, pResult);
    switch (pHdr->code) {
    case PSN_SETACTIVE:
        if (CPropertySheetEx* pSheet = GetSheet())
            pSheet->FitPage(this);
        *pResult = OnSetActive() ? 0 : -1;
        return TRUE;
    case PSN_WIZNEXT:
        *pResult = OnWizardNext();
        return TRUE;
    case PSN_WIZBACK:
        *pResult = OnWizardBack();
        return TRUE;
    case PSN_WIZFINISH:
        // Non-zero keeps the wizard open.
        *pResult = OnWizardFinish() ? FALSE : TRUE;
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK CPropertyPageEx::PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A page's WM_INITDIALOG carries the sheet's copy of PROPSHEETPAGEW,
    // whose lParam is the page object.
    CPropertyPageEx* pPage;
    if (message == WM_INITDIALOG) {
        pPage = reinterpret_cast<CPropertyPageEx*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        pPage->AttachPermanent(hWnd);
        pPage->m_nDpi = AfxGetWindowDpi(hWnd);
    } else {
        pPage = static_cast<CPropertyPageEx*>(FromHandlePermanent(hWnd));
    }
    return pPage ? pPage->Dispatch(message, wParam, lParam) : FALSE;
}

CPropertySheetEx::CPropertySheetEx() : m_psh(), m_pfnSuper(NULL), m_nDpi(0), m_rcPage()
{
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE;
    m_psh.hInstance = AfxGetInstanceHandle();
}

INT_PTR CPropertySheetEx::DoModal()
{
    AfxSyncThreadDpiAwareness();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    std::vector<PROPSHEETPAGEW> pages;
    for (CPropertyPageEx* pPage : m_pages)
        pages.push_back(pPage->m_psp);
    m_psh.dwFlags = (m_psh.dwFlags | PSH_PROPSHEETPAGE) & ~PSH_MODELESS;
    m_psh.nPages = UINT(pages.size());
    m_psh.ppsp = pages.data();
    t_nPagePointSize = pages.empty() ? 0 : PagePointSize(pages[0]);
    m_psh.dwFlags |= PSH_USECALLBACK;
    m_psh.pfnCallback = PropSheetProc;

    // PropertySheet creates the window and runs it to the end in one call:
    // the only way to see its WM_CREATE is to subclass the window as it is
    // created, from a CBT hook.
    t_pSheetInit = this;
    t_hCbtHook = ::SetWindowsHookExW(WH_CBT, CbtHookProc, NULL, ::GetCurrentThreadId());
    const INT_PTR nResult = t_hCbtHook ? ::PropertySheetW(&m_psh) : -1;
    if (t_hCbtHook)
        ::UnhookWindowsHookEx(t_hCbtHook);
    t_hCbtHook = NULL;
    t_pSheetInit = NULL;

    m_psh.ppsp = NULL;
    m_psh.nPages = 0;
    return nResult;
}

int CALLBACK CPropertySheetEx::PropSheetProc(HWND, UINT message, LPARAM lParam)
{
    // The frame lays pages out in its own dialog units, taken from its own
    // font (8 pt), not the pages' (9 pt): an 8-pt font is 10.67 pixels high
    // at 96 DPI, 11 after rounding, and 21 at 192, so frame and pages scale
    // apart and the pages no longer fit their frame at high DPI. A frame of
    // the pages' size measures pages as they measure themselves. The
    // template is the system's copy, ours to change before it is used.
    if (message == PSCB_PRECREATE && lParam && t_nPagePointSize) {
        if (WORD* pSize = TemplatePointSize(reinterpret_cast<void*>(lParam)))
            *pSize = t_nPagePointSize;
    }
    return 0;
}

LRESULT CALLBACK CPropertySheetEx::CbtHookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const HHOOK hHook = t_hCbtHook;
    const LRESULT lResult = ::CallNextHookEx(hHook, nCode, wParam, lParam);
    if (nCode != HCBT_CREATEWND || !t_pSheetInit)
        return lResult;

    // The sheet is the first top-level dialog the thread creates; the IME
    // window that the system creates beside the first window is not it.
    const HWND hWnd = reinterpret_cast<HWND>(wParam);
    const CBT_CREATEWNDW* pCreate = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
    wchar_t szClass[16] = L"";
    ::GetClassNameW(hWnd, szClass, 16);
    if ((pCreate->lpcs->style & WS_CHILD) || lstrcmpW(szClass, L"#32770") != 0)
        return lResult;

    CPropertySheetEx* pSheet = t_pSheetInit;
    t_pSheetInit = NULL;
    pSheet->AttachPermanent(hWnd);
    pSheet->m_pfnSuper =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC,
                                                      reinterpret_cast<LONG_PTR>(SheetWndProc)));
    ::UnhookWindowsHookEx(hHook);
    t_hCbtHook = NULL;
    return lResult;
}

LRESULT CALLBACK CPropertySheetEx::SheetWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                                LPARAM lParam)
{
    CPropertySheetEx* pSheet = static_cast<CPropertySheetEx*>(FromHandlePermanent(hWnd));
    // A C++ exception must not unwind through user32's frames.
    try {
        switch (message) {
        case WM_CREATE:
            return pSheet->OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam));
        case WM_INITDIALOG: {
            // The sheet sizes itself to its pages here but does not place
            // itself: it is centred as any modal dialog of the program is.
            RECT rcBefore;
            ::GetWindowRect(hWnd, &rcBefore);
            const LRESULT lResult = pSheet->CallSuper(message, wParam, lParam);
            pSheet->CenterAfterInit(rcBefore);
            pSheet->m_nDpi = AfxGetWindowDpi(hWnd);
            return lResult;
        }
        case WM_SYSCOMMAND:
            pSheet->OnSysCommand(UINT(wParam), lParam);
            return 0;
        case WM_DPICHANGED:
            pSheet->OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(pSheet->OnQueryDragIcon());
        case WM_AFX_SETFOCUS:
            // On the sheet's own thread now: the dialog manager passes the
            // focus on to the current page's control that last had it, or
            // its first one, so the keyboard works at once.
            ::SetFocus(hWnd);
            return 0;
        case WM_NCDESTROY: {
            // Someone may have subclassed the window after us: then their
            // procedure stays, and they restore ours, which passes on.
            const WNDPROC pfnSuper = pSheet->m_pfnSuper;
            if (::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SheetWndProc))
                ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnSuper));
            pSheet->DetachPermanent();
            for (HFONT hFont : pSheet->m_fonts)
                ::DeleteObject(hFont);
            pSheet->m_fonts.clear();
            return ::CallWindowProcW(pfnSuper, hWnd, message, wParam, lParam);
        }
        default:
            return pSheet->WindowProc(message, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

int CPropertySheetEx::OnCreate(LPCREATESTRUCTW lpCreateStruct)
{
    return int(CallSuper(WM_CREATE, 0, reinterpret_cast<LPARAM>(lpCreateStruct)));
}

void CPropertySheetEx::OnSysCommand(UINT nID, LPARAM lParam)
{
    CallSuper(WM_SYSCOMMAND, nID, lParam);
}

HCURSOR CPropertySheetEx::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(CallSuper(WM_QUERYDRAGICON, 0, 0));
}

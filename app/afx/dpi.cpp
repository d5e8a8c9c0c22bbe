// What follows the screen's DPI: the DPI a window is drawn at, the thread's
// awareness of it, and a wizard moved to a screen of another DPI.
#include "afx/afx.h"

namespace {

// A function of user32 that older Windows lack; NULL there.
template <class TProc>
TProc User32Proc(const char* pszName)
{
    const FARPROC pfn = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), pszName);
    return reinterpret_cast<TProc>(reinterpret_cast<void*>(pfn));
}

UINT ScreenDpi()
{
    const HDC hdc = ::GetDC(NULL);
    const int nDpi = hdc ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 0;
    if (hdc)
        ::ReleaseDC(NULL, hdc);
    return nDpi > 0 ? UINT(nDpi) : 96;
}

// The font nFrom DPI's font hFont would be at nTo DPI; made once per pass
// (made), and kept in fonts until the windows that use it are gone.
HFONT ScaledFont(HFONT hFont, UINT nFrom, UINT nTo, std::vector<std::pair<HFONT, HFONT>>& made,
                 std::vector<HFONT>& fonts)
{
    for (const auto& pair : made) {
        if (pair.first == hFont)
            return pair.second;
    }
    LOGFONTW lf;
    if (!::GetObjectW(hFont, sizeof(lf), &lf))
        return hFont;
    lf.lfHeight = ::MulDiv(lf.lfHeight, int(nTo), int(nFrom));
    lf.lfWidth = ::MulDiv(lf.lfWidth, int(nTo), int(nFrom));
    const HFONT hScaled = ::CreateFontIndirectW(&lf);
    if (!hScaled)
        return hFont;
    fonts.push_back(hScaled);
    made.emplace_back(hFont, hScaled);
    return hScaled;
}

// Scales hWnd's place and size within its parent (a child window), its font,
// and as much of its children, from nFrom to nTo DPI in proportion, as the
// dialog manager of Windows 10 1703 and later does for per-monitor dialogs.
// A dialog's children are scaled in turn (a sheet's pages and their
// controls), a control's are its own to place.
void ScaleForDpi(HWND hWnd, UINT nFrom, UINT nTo, std::vector<std::pair<HFONT, HFONT>>& made,
                 std::vector<HFONT>& fonts)
{
    if (::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) {
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        ::MapWindowPoints(NULL, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
        const auto Scale = [&](LONG n) { return ::MulDiv(n, int(nTo), int(nFrom)); };
        ::SetWindowPos(hWnd, NULL, Scale(rc.left), Scale(rc.top), Scale(rc.right) - Scale(rc.left),
                       Scale(rc.bottom) - Scale(rc.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (const HFONT hFont = HFONT(::SendMessageW(hWnd, WM_GETFONT, 0, 0)))
        ::SendMessageW(hWnd, WM_SETFONT, WPARAM(ScaledFont(hFont, nFrom, nTo, made, fonts)), TRUE);
    wchar_t szClass[8] = L"";
    ::GetClassNameW(hWnd, szClass, 8);
    if (lstrcmpW(szClass, L"#32770") != 0)
        return;
    for (HWND hChild = ::GetWindow(hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ScaleForDpi(hChild, nFrom, nTo, made, fonts);
}

}  // namespace

UINT AfxGetWindowDpi(HWND hWnd)
{
    // Looked up at each call, as below: a function-local static would link in
    // the run-time's thread-safe initialisation, some 30 KB.
    const auto pfnGetDpiForWindow = User32Proc<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT nDpi = hWnd && pfnGetDpiForWindow ? pfnGetDpiForWindow(hWnd) : 0;
    return nDpi ? nDpi : ScreenDpi();
}

int AfxArtworkScale(UINT nDpi)
{
    return nDpi >= 192 ? 2 : nDpi >= 144 ? 1 : 0;
}

void AfxSyncThreadDpiAwareness()
{
    // Wine 8 takes PerMonitorV2 from the manifest, but its user32 does not
    // know that value: every thread then calls itself unaware while GDI
    // measures at the screen's DPI, and a wizard comes out with its frame at
    // one DPI and its pages at another. On Windows an unaware thread always
    // sees 96 DPI, so a thread that calls itself unaware and sees another
    // DPI is in that state: declared per-monitor aware, both halves agree.
    typedef HANDLE(WINAPI * GetContextProc)();
    typedef int(WINAPI * AwarenessProc)(HANDLE);
    typedef HANDLE(WINAPI * SetContextProc)(HANDLE);
    const auto pfnGetContext = User32Proc<GetContextProc>("GetThreadDpiAwarenessContext");
    const auto pfnAwareness = User32Proc<AwarenessProc>("GetAwarenessFromDpiAwarenessContext");
    const auto pfnSetContext = User32Proc<SetContextProc>("SetThreadDpiAwarenessContext");
    const int kUnaware = 0;
    const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(-3);
    if (!pfnGetContext || !pfnAwareness || !pfnSetContext)
        return;
    if (pfnAwareness(pfnGetContext()) == kUnaware && ScreenDpi() != 96)
        pfnSetContext(kPerMonitorAware);
}

void CPropertySheetEx::OnDpiChanged(UINT nDpi, const RECT& rcSuggested)
{
    // Windows 10 1703 and later lay a per-monitor dialog out anew by its
    // font, pages included, and size the frame to fit, all inside the
    // default handling: the suggested rectangle, scaled in proportion, would
    // no longer fit what the font laid out. Elsewhere (earlier Windows, Wine)
    // the default handling changes nothing: the frame takes the suggested
    // rectangle and what is in it is scaled in proportion.
    const HWND hPage = HWND(SendMessage(PSM_GETCURRENTPAGEHWND));
    const auto Layout = [&](RECT* prcFrame, RECT* prcPage) {
        ::GetWindowRect(m_hWnd, prcFrame);
        ::GetWindowRect(hPage, prcPage);
        return ::SendMessageW(hPage, WM_GETFONT, 0, 0);
    };
    RECT rcFrame, rcPage, rcFrameAfter, rcPageAfter;
    const LRESULT hFont = Layout(&rcFrame, &rcPage);
    CallSuper(WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi), reinterpret_cast<LPARAM>(&rcSuggested));
    const BOOL bLaidOut = Layout(&rcFrameAfter, &rcPageAfter) != hFont ||
                          !::EqualRect(&rcFrame, &rcFrameAfter) || !::EqualRect(&rcPage, &rcPageAfter);
    if (bLaidOut) {
        ::SetRectEmpty(&m_rcPage);
    } else {
        ::SetWindowPos(m_hWnd, NULL, rcSuggested.left, rcSuggested.top,
                       rcSuggested.right - rcSuggested.left, rcSuggested.bottom - rcSuggested.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (m_nDpi && m_nDpi != nDpi) {
            std::vector<std::pair<HFONT, HFONT>> made;
            ScaleForDpi(m_hWnd, m_nDpi, nDpi, made, m_fonts);
            ::GetWindowRect(hPage, &m_rcPage);
            ::MapWindowPoints(NULL, m_hWnd, reinterpret_cast<POINT*>(&m_rcPage), 2);
        }
    }
    m_nDpi = nDpi;
    for (CPropertyPageEx* pPage : m_pages) {
        if (pPage->m_hWnd) {
            pPage->m_nDpi = nDpi;
            pPage->OnDpiChanged(nDpi);
        }
    }
}

void CPropertySheetEx::FitPage(CPropertyPageEx* pPage)
{
    // A page made since the DPI changed was laid out for the old one.
    if (m_nDpi && pPage->m_nDpi && pPage->m_nDpi != m_nDpi) {
        std::vector<std::pair<HFONT, HFONT>> made;
        ScaleForDpi(pPage->m_hWnd, pPage->m_nDpi, m_nDpi, made, m_fonts);
        pPage->m_nDpi = m_nDpi;
        pPage->OnDpiChanged(m_nDpi);
    }
    // The sheet places a page each time it shows it, measured as the frame
    // first was: in a frame scaled since, the page goes where scaling put it.
    if (!::IsRectEmpty(&m_rcPage))
        ::SetWindowPos(pPage->m_hWnd, NULL, m_rcPage.left, m_rcPage.top, m_rcPage.right - m_rcPage.left,
                       m_rcPage.bottom - m_rcPage.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

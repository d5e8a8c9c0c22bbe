#include "keyboard_view_dlg.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "key_tables.h"
#include "key_wait.h"
#include "prop_page_step2.h"
#include "reg_file.h"
#include "res/resource.h"

namespace {

const wchar_t kPictureClass[] = L"LutrovaneKeyboard";
// Posted by the hook: the dialog shows a press, or ends the mode, once the
// hook has returned.
const UINT WM_VIEW_PRESS = WM_APP + 1;   // wParam: code seen, lParam: injected
const UINT WM_VIEW_END = WM_APP + 2;

// A low-level hook has no data of its own: the dialog whose hook it is.
CKeyboardViewDlg* g_pHookOwner = NULL;

std::wstring Formatted(UINT nID, const std::wstring& strArg)
{
    std::wstring str = AfxLoadStringW(nID);
    const size_t n = str.find(L"%s");
    return n == std::wstring::npos ? str : str.replace(n, 2, strArg);
}

std::wstring Joined(const std::vector<std::wstring>& parts, const wchar_t* pszSeparator = L", ")
{
    std::wstring str;
    for (const std::wstring& part : parts)
        str += (str.empty() ? L"" : pszSeparator) + part;
    return str;
}

// The real keys' and mapped keys' codes of map bytes; none for bytes that hold no sound map.
std::vector<SKeyPair> PairsOfMap(unsigned char* pMap, CLutrovaneBase& catalogue)
{
    CStringArray names;
    CWordArray realCodes, mapCodes;
    catalogue.GetScancodeMap(pMap, names, realCodes, 1);
    catalogue.GetScancodeMap(pMap, names, mapCodes, 0);
    std::vector<SKeyPair> pairs;
    for (int k = 0; k < realCodes.GetSize() && k < mapCodes.GetSize(); ++k)
        pairs.push_back(SKeyPair{realCodes[k], mapCodes[k]});
    return pairs;
}

ULONGLONG FileTimeOf(const SYSTEMTIME& st)
{
    FILETIME ft = {};
    ::SystemTimeToFileTime(&st, &ft);
    return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// A real key by the keyboard's name for it, else by the catalogue's.
std::wstring RealKeyName(CLutrovaneBase& table, CLutrovaneBase& catalogue, WORD wScancode)
{
    const bool bOwn = table.GetScanCode(table.GetKeyName(wScancode)) == wScancode;
    return Cp949ToWide(GetKeyNameWithCode(bOwn ? table : catalogue, wScancode));
}

void SetText(HWND hDlg, int nID, const std::wstring& str)
{
    ::SetDlgItemTextW(hDlg, nID, str.c_str());
}

}  // namespace

CKeyboardViewDlg::CKeyboardViewDlg(CPropPageStep2* pPage, int nKeyboardType)
    : CDialog(IDD_KEYBOARD_VIEW), m_pPage(pPage), m_nKeyboardType(nKeyboardType),
      m_layout(KeyboardLayout(nKeyboardType)), m_pTable(NewKeyboardTable(nKeyboardType)),
      m_pCatalogue(new CLutrovaneCore), m_nFocus(-1), m_nDpi(96), m_hwndPicture(NULL),
      m_hwndTooltip(NULL), m_hFont(NULL), m_pfnSuper(NULL), m_hHook(NULL), m_bInEffectKnown(false)
{
    if (!m_pTable)
        m_pTable.reset(new CLutrovaneCore);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PictureProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursorW(NULL, IDC_HAND);
    wc.lpszClassName = kPictureClass;
    ::RegisterClassW(&wc);  // fails harmlessly when registered already
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LINK_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
}

CKeyboardViewDlg::~CKeyboardViewDlg()
{
    ReleaseKeyboard();
    if (m_hFont)
        ::DeleteObject(m_hFont);
}

BOOL CKeyboardViewDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Messages the layer's dialog procedure does not pass on: activation,
    // a new DPI and the hook's posts.
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, LONG_PTR(this));
    m_pfnSuper = WNDPROC(::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, LONG_PTR(DialogSubclass)));
    m_hwndPicture = ::GetDlgItem(m_hWnd, IDC_VIEW_PICTURE);
    ::SetWindowLongPtrW(m_hwndPicture, GWLP_USERDATA, LONG_PTR(this));

    m_hwndTooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, m_hWnd,
                                      NULL, AfxGetInstanceHandle(), NULL);
    for (size_t i = 0; i < m_layout.size(); ++i) {
        if (!m_layout[i].wScancode)
            continue;
        // In hex by hand: swprintf links the run-time's wide printf, some 25 KB.
        const unsigned nCode = ((m_layout[i].wScancode & 0xFF) << 8) | (m_layout[i].wScancode >> 8);
        wchar_t szCode[] = L" (0000)";
        for (int k = 0; k < 4; ++k)
            szCode[2 + k] = L"0123456789ABCDEF"[(nCode >> (12 - 4 * k)) & 0xF];
        std::wstring strTip = Cp949ToWide(m_pTable->GetKeyName(m_layout[i].wScancode)) + szCode;
        TOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = m_hwndPicture;
        ti.uId = i;
        ti.lpszText = &strTip[0];
        ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, LPARAM(&ti));
    }

    SetText(m_hWnd, IDC_VIEW_LEGEND, AfxLoadStringW(IDS_VIEW_LEGEND));
    FindMapInEffect();
    m_nDpi = AfxGetWindowDpi(m_hWnd);
    Layout(m_nDpi);
    Refresh();
    return TRUE;
}

void CKeyboardViewDlg::Layout(UINT nDpi)
{
    // The picture's control takes the picture's size; every control below
    // moves with its bottom edge, and those as wide as it grow with it.
    RECT rcPicture;
    ::GetWindowRect(m_hwndPicture, &rcPicture);
    ::MapWindowPoints(NULL, m_hWnd, reinterpret_cast<POINT*>(&rcPicture), 2);
    const SIZE size = PictureSize(m_layout, nDpi);
    const int cx = size.cx + 2 * KeyboardMargin(nDpi), cy = size.cy + 2 * KeyboardMargin(nDpi);
    const int dx = cx - (rcPicture.right - rcPicture.left), dy = cy - (rcPicture.bottom - rcPicture.top);
    for (HWND hwnd = ::GetWindow(m_hWnd, GW_CHILD); hwnd; hwnd = ::GetWindow(hwnd, GW_HWNDNEXT)) {
        if (hwnd == m_hwndPicture)
            continue;
        RECT rc;
        ::GetWindowRect(hwnd, &rc);
        ::MapWindowPoints(NULL, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        const bool bWide = rc.right >= rcPicture.right - 2;
        const bool bRight = ::GetDlgCtrlID(hwnd) == IDCANCEL;
        ::SetWindowPos(hwnd, NULL, rc.left + (bRight ? dx : 0), rc.top + dy,
                       rc.right - rc.left + (bWide && !bRight ? dx : 0), rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SetWindowPos(m_hwndPicture, NULL, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    ::SetWindowPos(m_hWnd, NULL, 0, 0, rcWnd.right - rcWnd.left + dx, rcWnd.bottom - rcWnd.top + dy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateTooltips();
}

void CKeyboardViewDlg::UpdateTooltips()
{
    const int nMargin = KeyboardMargin(m_nDpi);
    for (size_t i = 0; i < m_layout.size(); ++i) {
        TOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.hwnd = m_hwndPicture;
        ti.uId = i;
        ti.rect = KeyRect(m_layout[i], m_nDpi);
        ::OffsetRect(&ti.rect, nMargin, nMargin);
        ::SendMessageW(m_hwndTooltip, TTM_NEWTOOLRECTW, 0, LPARAM(&ti));
    }
}

void CKeyboardViewDlg::OnDpiChanged(UINT nDpi, const RECT& rcSuggested)
{
    // Laid out anew in proportion, as the system does not for a dialog
    // under Wine; the font made for the new DPI.
    const UINT nOld = m_nDpi;
    for (HWND hwnd = ::GetWindow(m_hWnd, GW_CHILD); hwnd; hwnd = ::GetWindow(hwnd, GW_HWNDNEXT)) {
        RECT rc;
        ::GetWindowRect(hwnd, &rc);
        ::MapWindowPoints(NULL, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        ::SetWindowPos(hwnd, NULL, ::MulDiv(rc.left, nDpi, nOld), ::MulDiv(rc.top, nDpi, nOld),
                       ::MulDiv(rc.right - rc.left, nDpi, nOld), ::MulDiv(rc.bottom - rc.top, nDpi, nOld),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LOGFONTW lf = {};
    ::GetObjectW(HGDIOBJ(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    lf.lfHeight = ::MulDiv(lf.lfHeight, nDpi, nOld);
    const HFONT hFont = ::CreateFontIndirectW(&lf);
    for (HWND hwnd = ::GetWindow(m_hWnd, GW_CHILD); hwnd; hwnd = ::GetWindow(hwnd, GW_HWNDNEXT))
        ::SendMessageW(hwnd, WM_SETFONT, WPARAM(hFont), TRUE);
    ::SendMessageW(m_hWnd, WM_SETFONT, WPARAM(hFont), FALSE);
    if (m_hFont)
        ::DeleteObject(m_hFont);
    m_hFont = hFont;
    ::SetWindowPos(m_hWnd, NULL, rcSuggested.left, rcSuggested.top, rcSuggested.right - rcSuggested.left,
                   rcSuggested.bottom - rcSuggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    m_nDpi = nDpi;
    Layout(nDpi);
    ::InvalidateRect(m_hWnd, NULL, TRUE);
}

void CKeyboardViewDlg::Refresh()
{
    CWordArray realKeys, mappedKeys;
    m_pPage->GetListScancodes(realKeys, mappedKeys);
    m_pairs.clear();
    for (int i = 0; i < realKeys.GetSize() && i < mappedKeys.GetSize(); ++i)
        m_pairs.push_back(SKeyPair{realKeys[i], mappedKeys[i]});
    m_view = ViewOfMap(m_layout, m_pairs);

    std::vector<std::wstring> names;
    for (int nRow : m_view.offPicture)
        names.push_back(L"<a>" + Cp949ToWide(GetKeyNameWithCode(*m_pTable, m_pairs[nRow].wReal)) + L"</a>");
    SetText(m_hWnd, IDC_VIEW_OFF_PICTURE, names.empty() ? L"" : Formatted(IDS_VIEW_OFF_PICTURE, Joined(names)));
    names.clear();
    for (WORD wLost : m_view.lostKeys)
        names.push_back(RealKeyName(*m_pTable, *m_pCatalogue, wLost));
    SetText(m_hWnd, IDC_VIEW_LOST_KEYS, names.empty() ? L"" : Formatted(IDS_VIEW_LOST_KEYS, Joined(names)));
    ::InvalidateRect(m_hwndPicture, NULL, FALSE);
}

void CKeyboardViewDlg::ChooseKey(WORD wScancode)
{
    if (!wScancode)
        return;
    // One hook at a time: the edit dialog's key wait has its own.
    if (m_taker.IsActive())
        StopTrying(IDS_VIEW_TRY_ENDED);
    ReleaseKeyboard();
    m_pPage->EditRealKey(wScancode);
    Refresh();
}

BOOL CKeyboardViewDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_VIEW_TRY && HIWORD(wParam) == BN_CLICKED) {
        if (IsDlgButtonChecked(IDC_VIEW_TRY) == BST_CHECKED)
            StartTrying();
        else
            StopTrying(IDS_VIEW_TRY_ENDED);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CKeyboardViewDlg::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (pHdr->idFrom != IDC_VIEW_OFF_PICTURE || (pHdr->code != NM_CLICK && pHdr->code != NM_RETURN))
        return FALSE;
    // Link k names the k-th row whose key the picture lacks.
    const size_t k = size_t(reinterpret_cast<const NMLINK*>(lParam)->item.iLink);
    if (k < m_view.offPicture.size())
        ChooseKey(m_pairs[m_view.offPicture[k]].wReal);
    *pResult = 0;
    return TRUE;
}

void CKeyboardViewDlg::OnCancel()
{
    ReleaseKeyboard();
    CDialog::OnCancel();
}

void CKeyboardViewDlg::FindMapInEffect()
{
    // Windows applies the map it read at its start; the history tells which
    // that was where nothing but this program changed the value since.
    CMapHistory history;
    std::vector<ULONGLONG> times;
    const bool bLoaded = history.Load() == 0;
    for (int i = 0; bLoaded && i < history.GetCount(); ++i) {
        SYSTEMTIME st;
        history.GetTime(i, &st);
        times.push_back(FileTimeOf(st));
    }
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    const ULONGLONG nStart = FileTimeOf(now) - ULONGLONG(::GetTickCount64()) * 10000;
    const int nEffect = bLoaded ? MapInEffect(times, nStart, history.GetCount() >= CMapHistory::MAX_ENTRIES)
                                : MAP_UNKNOWN;
    std::vector<unsigned char> map(1024, 0);
    m_bInEffectKnown = false;
    if (nEffect == MAP_IN_REGISTRY) {
        unsigned long nSize = 1024;
        const unsigned long nRead = CUtils::GetScancodeMapRegistry(map.data(), &nSize);
        m_bInEffectKnown = nRead == 0 || nRead == 1;
        if (nRead != 0)
            std::fill(map.begin(), map.end(), 0);
    } else if (nEffect >= 0) {
        const HANDLE hFile = ::CreateFileW(history.GetPath(nEffect), GENERIC_READ, FILE_SHARE_READ, NULL,
                                           OPEN_EXISTING, 0, NULL);
        std::vector<unsigned char> bytes(64 * 1024);
        DWORD nRead = 0;
        if (hFile != INVALID_HANDLE_VALUE) {
            ::ReadFile(hFile, bytes.data(), DWORD(bytes.size()), &nRead, NULL);
            ::CloseHandle(hFile);
        }
        SRegFileContent content;
        if (nRead && ParseRegFile(bytes.data(), nRead, &content, true).empty() &&
            (content.bDelete || (content.nType == REG_BINARY && content.map.size() <= map.size()))) {
            std::copy(content.map.begin(), content.map.end(), map.begin());
            m_bInEffectKnown = true;
        }
    }
    m_inEffect = m_bInEffectKnown ? PairsOfMap(map.data(), *m_pCatalogue) : std::vector<SKeyPair>();
    std::vector<std::wstring> offNames;
    for (const SKeyPair& pair : m_inEffect) {
        if (!pair.wMapped)
            offNames.push_back(Cp949ToWide(GetKeyNameWithCode(*m_pTable, pair.wReal)));
    }
    SetText(m_hWnd, IDC_VIEW_EFFECT,
            !m_bInEffectKnown    ? AfxLoadStringW(IDS_VIEW_EFFECT_UNKNOWN)
            : m_inEffect.empty() ? AfxLoadStringW(IDS_VIEW_EFFECT_NONE)
                                 : Formatted(IDS_VIEW_EFFECT_MAP, offNames.empty() ? L"-" : Joined(offNames)));
}

void CKeyboardViewDlg::StartTrying()
{
    if (!m_hHook) {
        m_hHook = ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, ::GetModuleHandleW(NULL), 0);
        if (!m_hHook) {
            CheckDlgButton(IDC_VIEW_TRY, BST_UNCHECKED);
            return;
        }
        g_pHookOwner = this;
    }
    // Keys down now are let be: their release must reach Windows.
    const std::vector<UINT> held = CKeyWait::KeysDownNow();
    m_taker.Start(std::vector<DWORD>(held.begin(), held.end()));
    SetText(m_hWnd, IDC_VIEW_STATUS, AfxLoadStringW(IDS_VIEW_TRY_STARTED));
}

void CKeyboardViewDlg::StopTrying(UINT nIDText)
{
    m_taker.Stop();
    CheckDlgButton(IDC_VIEW_TRY, BST_UNCHECKED);
    SetText(m_hWnd, IDC_VIEW_STATUS, AfxLoadStringW(nIDText));
    m_lit = SLit();
    ::InvalidateRect(m_hwndPicture, NULL, FALSE);
    if (!m_taker.NeedsHook())
        ReleaseKeyboard();
}

void CKeyboardViewDlg::ReleaseKeyboard()
{
    if (m_hHook) {
        ::UnhookWindowsHookEx(m_hHook);
        m_hHook = NULL;
        g_pHookOwner = NULL;
    }
    m_taker = CKeyTaker();
}

LRESULT CALLBACK CKeyboardViewDlg::KeyboardHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Runs on the dialog's thread while it retrieves messages; a key kept
    // from Windows reaches no window, the dialog's own keys included.
    if (nCode == HC_ACTION && g_pHookOwner) {
        CKeyboardViewDlg* pDlg = g_pHookOwner;
        const KBDLLHOOKSTRUCT& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const WORD wScancode = ScancodeOfKeyEvent(key.vkCode, key.scanCode, key.flags);
        if (wScancode != 0) {
            const CKeyTaker::EVerdict verdict = pDlg->m_taker.OnKey(wScancode, key.vkCode, !(key.flags & LLKHF_UP));
            if (verdict == CKeyTaker::SHOW)
                pDlg->PostMessage(WM_VIEW_PRESS, wScancode, (key.flags & LLKHF_INJECTED) != 0);
            else if (verdict == CKeyTaker::END)
                pDlg->PostMessage(WM_VIEW_END);
            if (!pDlg->m_taker.NeedsHook())
                pDlg->ReleaseKeyboard();
            if (verdict != CKeyTaker::PASS)
                return 1;
        }
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

void CKeyboardViewDlg::ShowPress(WORD wSeen, bool bInjected)
{
    // Windows reports a key after the map it applies; keys other programs
    // send it does not map.
    std::vector<WORD> keys = m_bInEffectKnown && !bInjected ? PhysicalKeys(wSeen, m_inEffect) : std::vector<WORD>();
    if (keys.empty())
        keys.push_back(wSeen);
    m_lit = SLit();
    std::vector<std::wstring> parts;
    for (WORD wReal : keys) {
        const std::wstring strReal = RealKeyName(*m_pTable, *m_pCatalogue, wReal);
        const int nRow = RowOfKey(m_pairs, wReal);
        m_lit.pressed.push_back(wReal);
        if (nRow < 0) {
            parts.push_back(Formatted(IDS_VIEW_UNCHANGED, strReal));
            continue;
        }
        const WORD wMapped = m_pairs[nRow].wMapped;
        m_lit.becomes.push_back(wMapped);
        parts.push_back(strReal + L" → " +
                        (wMapped ? Cp949ToWide(GetKeyNameWithCode(*m_pCatalogue, wMapped)) : AfxLoadStringW(IDS_KEY_OFF)));
    }
    SetText(m_hWnd, IDC_VIEW_STATUS, Joined(parts, L" / "));
    ::InvalidateRect(m_hwndPicture, NULL, FALSE);
}

LRESULT CALLBACK CKeyboardViewDlg::DialogSubclass(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CKeyboardViewDlg* pDlg = reinterpret_cast<CKeyboardViewDlg*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    const WNDPROC pfnSuper = pDlg->m_pfnSuper;
    switch (message) {
    case WM_ACTIVATE:
        // Keys meant for another window are not ours to take.
        if (LOWORD(wParam) == WA_INACTIVE && pDlg->m_taker.IsActive())
            pDlg->StopTrying(IDS_VIEW_TRY_ENDED);
        break;
    case WM_DPICHANGED:
        pDlg->OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_VIEW_PRESS:
        if (pDlg->m_taker.IsActive())
            pDlg->ShowPress(WORD(wParam), lParam != 0);
        return 0;
    case WM_VIEW_END:
        pDlg->StopTrying(IDS_VIEW_TRY_ENDED);
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, LONG_PTR(pfnSuper));
        break;
    }
    return ::CallWindowProcW(pfnSuper, hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CKeyboardViewDlg::PictureProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CKeyboardViewDlg* pDlg = reinterpret_cast<CKeyboardViewDlg*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pDlg) {
        try {
            return pDlg->OnPictureMessage(message, wParam, lParam);
        } catch (...) {
        }
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

int CKeyboardViewDlg::NextKey(int nFrom, UINT nVk) const
{
    if (nFrom < 0)
        return FindKey(m_layout, m_layout.empty() ? 0 : m_layout[0].wScancode);
    const SKeyPlace& from = m_layout[nFrom];
    const float x0 = from.x + from.cx / 2, y0 = from.y + from.cy / 2;
    int nBest = nFrom;
    float fBest = 1e9f;
    for (size_t i = 0; i < m_layout.size(); ++i) {
        const float dx = m_layout[i].x + m_layout[i].cx / 2 - x0, dy = m_layout[i].y + m_layout[i].cy / 2 - y0;
        // Along the arrow first; a key off to the side counts as farther.
        const float fAlong = nVk == VK_RIGHT ? dx : nVk == VK_LEFT ? -dx : nVk == VK_DOWN ? dy : -dy;
        const float fAcross = nVk == VK_RIGHT || nVk == VK_LEFT ? dy : dx;
        const float fScore = fAlong + 3 * std::abs(fAcross);
        if (m_layout[i].wScancode && fAlong > 0.1f && fScore < fBest) {
            fBest = fScore;
            nBest = int(i);
        }
    }
    return nBest;
}

LRESULT CKeyboardViewDlg::OnPictureMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const int nMargin = KeyboardMargin(m_nDpi);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC hdc = ::BeginPaint(m_hwndPicture, &ps);
        const HBITMAP hBitmap = RenderKeyboard(hdc, m_layout, *m_pTable, *m_pCatalogue, m_view, m_lit,
                                               ::GetFocus() == m_hwndPicture ? m_nFocus : -1, m_nDpi);
        if (hBitmap) {
            const HDC hdcMem = ::CreateCompatibleDC(hdc);
            const HGDIOBJ hOld = ::SelectObject(hdcMem, hBitmap);
            const SIZE size = PictureSize(m_layout, m_nDpi);
            ::BitBlt(hdc, 0, 0, size.cx + 2 * nMargin, size.cy + 2 * nMargin, hdcMem, 0, 0, SRCCOPY);
            ::SelectObject(hdcMem, hOld);
            ::DeleteDC(hdcMem);
            ::DeleteObject(hBitmap);
        }
        ::EndPaint(m_hwndPicture, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        ::SetFocus(m_hwndPicture);
        const int nKey = KeyAt(m_layout, POINT{GET_X_LPARAM(lParam) - nMargin, GET_Y_LPARAM(lParam) - nMargin}, m_nDpi);
        if (nKey >= 0 && m_layout[nKey].wScancode) {
            m_nFocus = nKey;
            ::InvalidateRect(m_hwndPicture, NULL, FALSE);
            ChooseKey(m_layout[nKey].wScancode);
        }
        return 0;
    }
    case WM_GETDLGCODE:
        // The cursor keys move among the keys, Enter maps the one in focus.
        if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
            return DLGC_WANTARROWS | DLGC_WANTMESSAGE;
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && m_nFocus >= 0) {
            ChooseKey(m_layout[m_nFocus].wScancode);
        } else if (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_DOWN) {
            m_nFocus = NextKey(m_nFocus, UINT(wParam));
            ::InvalidateRect(m_hwndPicture, NULL, FALSE);
        }
        return 0;
    case WM_SETFOCUS:
        if (m_nFocus < 0)
            m_nFocus = NextKey(-1, 0);
        ::InvalidateRect(m_hwndPicture, NULL, FALSE);
        return 0;
    case WM_KILLFOCUS:
        ::InvalidateRect(m_hwndPicture, NULL, FALSE);
        return 0;
    }
    return ::DefWindowProcW(m_hwndPicture, message, wParam, lParam);
}

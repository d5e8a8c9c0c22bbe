// Drives the program's real windows from a second thread, as a user would:
// by the windows' texts, buttons, mouse and keys. The program's own code runs
// on the test's thread, which thereby is its user-interface thread.
#pragma once

#include "lutrovane_app.h"
#include "lutrovane_main.h"
#include "prop_page_step2.h"
#include "res/resource.h"

#include <setupapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// How long a state may take to come. Waits end as soon as it is there, so
// only a failing test waits this long; on a busy machine Wine can take
// seconds for a window.
inline constexpr DWORD kPatienceMs = 20000;
inline const std::wstring kStep1Caption = L"Lutrovane v1.0.3 (단계1)";
inline const std::wstring kStep2Caption = L"Lutrovane v1.0.3 (단계2)";
// The wizard buttons of the system's property sheet.
inline constexpr int kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025;
// Top to bottom on page 1; option i is keyboard type index i.
inline constexpr int kOptions[4] = {IDC_KEYBOARD_PC, IDC_KEYBOARD_APPLE_EXT, IDC_KEYBOARD_APPLE_PRO,
                         IDC_KEYBOARD_APPLE_ETC};

inline bool WaitUntil(const std::function<bool()>& done, DWORD ms = kPatienceMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if (GetTickCount() - start >= ms)
            return false;
    }
    return true;
}

inline std::wstring Text(HWND hwnd)
{
    // Reads the title without sending WM_GETTEXT, so a window whose thread is
    // busy (the one-second hold) does not stall us.
    wchar_t buf[512] = L"";
    InternalGetWindowText(hwnd, buf, 512);
    return buf;
}

// The first visible top-level window of this process that match accepts.
inline HWND FindShown(const std::function<bool(HWND)>& match)
{
    for (HWND hwnd = NULL; (hwnd = FindWindowExW(NULL, hwnd, NULL, NULL)) != NULL;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && match(hwnd))
            return hwnd;
    }
    return NULL;
}

inline HWND WaitShown(const std::function<bool(HWND)>& match)
{
    HWND hwnd = NULL;
    WaitUntil([&] { return (hwnd = FindShown(match)) != NULL; });
    return hwnd;
}

inline bool WaitGone(HWND hwnd)
{
    return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); });
}

// Real input, a left click in the middle of the window: a picture control
// that took the click for itself would leave its dialog unclicked.
inline void ClickAt(POINT pt, bool bRight = false);
inline void ClickOn(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    ClickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
}

// Posted, not sent: a click that opens a modal window would otherwise hold
// this thread until that window closed.
// A disabled button ignores the click: wait until a user could press it.
inline void Click(HWND dlg, int id)
{
    HWND button = GetDlgItem(dlg, id);
    if (!WaitUntil([&] { return IsWindowEnabled(button) && IsWindowEnabled(GetAncestor(dlg, GA_ROOT)); })) {
        ADD_FAILURE() << "button " << id << " cannot be pressed";
        return;
    }
    PostMessageW(button, BM_CLICK, 0, 0);
}

// The splash and the About box: a dialog without caption showing a picture.
inline bool IsPicture(HWND hwnd)
{
    wchar_t szClass[16] = L"";
    GetClassNameW(hwnd, szClass, 16);
    HWND picture = GetDlgItem(hwnd, IDC_SPLASH_PICTURE);
    return lstrcmpW(szClass, L"#32770") == 0 && Text(hwnd).empty() && picture &&
           SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
}

inline bool IsWizard(HWND hwnd) { return Text(hwnd) == kStep1Caption || Text(hwnd) == kStep2Caption; }

inline bool IsTopmost(HWND hwnd) { return GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST; }

// A message box of the program: captioned with its name.
inline bool IsMessageBox(HWND hwnd) { return Text(hwnd) == L"Lutrovane"; }

// The text a message box shows (its static control 0xFFFF).
inline std::wstring MessageText(HWND box) { return Text(GetDlgItem(box, 0xFFFF)); }

inline bool IsEditDialog(HWND hwnd) { return Text(hwnd) == L"스캔코드 맵 추가/수정"; }

// Real key presses, to the window that has the keyboard focus.
inline void PressKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// Real mouse clicks at a point of the screen. The pointer is there before the
// button goes down: a move that arrives in between makes the list view take
// the click for the start of a drag.
inline void ClickAt(POINT pt, bool bRight)
{
    // Wine moves the X pointer only when the position it keeps changes, and a
    // Wine server that outlived the last X display keeps the last position:
    // one step aside first makes sure the pointer really goes there.
    SetCursorPos(pt.x + 1, pt.y);
    SetCursorPos(pt.x, pt.y);
    WaitUntil([&] {
        POINT cur;
        return GetCursorPos(&cur) && cur.x == pt.x && cur.y == pt.y;
    }, 1000);
    Sleep(50);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = bRight ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = bRight ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

// The text of an item of a drop-down list.
inline std::wstring ComboText(HWND combo, int nItem)
{
    const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, nItem, 0);
    if (n == CB_ERR)
        return L"";
    std::wstring str(n + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, nItem, LPARAM(&str[0]));
    str.resize(n);
    return str;
}

// The selected item's text, or "(none)".
inline std::wstring ComboSelection(HWND combo)
{
    const LRESULT n = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return n == CB_ERR ? L"(none)" : ComboText(combo, int(n));
}

inline int ComboCount(HWND combo) { return int(SendMessageW(combo, CB_GETCOUNT, 0, 0)); }

// Selects the item with the text, as a user's choice in the list does.
inline bool ComboChoose(HWND combo, const std::wstring& strItem)
{
    const LRESULT n = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(strItem.c_str()));
    return n != CB_ERR && SendMessageW(combo, CB_SETCURSEL, n, 0) == n;
}

// The rows of a mapping list, each as "real | mapped" with the cells' texts.
inline std::vector<std::wstring> Rows(HWND list)
{
    std::vector<std::wstring> rows;
    const int n = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::wstring row;
        for (int col = 0; col < 2; ++col) {
            wchar_t buf[128] = L"";
            LVITEMW item = {};
            item.iSubItem = col;
            item.pszText = buf;
            item.cchTextMax = 128;
            SendMessageW(list, LVM_GETITEMTEXTW, i, LPARAM(&item));
            row += col ? std::wstring(L" | ") + buf : buf;
        }
        rows.push_back(row);
    }
    return rows;
}

// The rows selected in a list, e.g. "1", or "" for none.
inline std::string SelectedRows(HWND list)
{
    std::string str;
    for (int i = -1; (i = int(SendMessageW(list, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;)
        str += (str.empty() ? "" : ",") + std::to_string(i);
    return str;
}

// The point in the middle of a row, in screen coordinates.
inline POINT RowPoint(HWND list, int nItem)
{
    RECT rc = {};
    rc.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETITEMRECT, nItem, LPARAM(&rc));
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(list, &pt);
    return pt;
}

// A point of the list's empty area, below its rows.
inline POINT EmptyPoint(HWND list)
{
    RECT rc;
    GetClientRect(list, &rc);
    POINT pt = {rc.right / 4, rc.bottom - 4};
    ClientToScreen(list, &pt);
    return pt;
}

inline bool IsEnabledItem(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)); }

// Points a module's imports of one function at a replacement while it lives:
// the tests watch, or make fail, a call the program makes into the system,
// without the program's knowing. The replacement reaches the function itself
// through Original(), never through the import it replaced.
class CImportPatch
{
public:
    template <class TFunction>
    CImportPatch(HMODULE hModule, const wchar_t* pszDll, const char* pszFunction, TFunction* pfnReplacement)
        : m_original(reinterpret_cast<ULONG_PTR>(GetProcAddress(GetModuleHandleW(pszDll), pszFunction)))
    {
        const BYTE* pBase = reinterpret_cast<const BYTE*>(hModule);
        const IMAGE_NT_HEADERS* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (const IMAGE_IMPORT_DESCRIPTOR* pImport =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(pBase + dir.VirtualAddress);
             m_original && dir.VirtualAddress && pImport->Name; ++pImport) {
            for (auto* pSlot = reinterpret_cast<ULONG_PTR*>(const_cast<BYTE*>(pBase) + pImport->FirstThunk);
                 *pSlot; ++pSlot) {
                if (*pSlot == m_original) {
                    Write(pSlot, reinterpret_cast<ULONG_PTR>(pfnReplacement));
                    m_slots.push_back(pSlot);
                }
            }
        }
    }
    ~CImportPatch()
    {
        for (ULONG_PTR* pSlot : m_slots)
            Write(pSlot, m_original);
    }
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    bool Patched() const { return !m_slots.empty(); }
    // TFunction is the function's type, as decltype(DrawTextW) gives it.
    template <class TFunction>
    TFunction* Original() const { return reinterpret_cast<TFunction*>(m_original); }

private:
    static void Write(ULONG_PTR* pSlot, ULONG_PTR value)
    {
        DWORD dwOld;
        VirtualProtect(pSlot, sizeof(*pSlot), PAGE_READWRITE, &dwOld);
        *pSlot = value;
        VirtualProtect(pSlot, sizeof(*pSlot), dwOld, &dwOld);
    }

    ULONG_PTR m_original;  // the function's address, as the imports held it
    std::vector<ULONG_PTR*> m_slots;
};

// The restarts the program offers. Under Wine SetupPromptReboot returns at
// once and shows nothing, so the tests count its calls instead; users meet
// the system's own question as ever.
class CRestartOffers
{
public:
    CRestartOffers()
        : m_patch(GetModuleHandleW(L"LutrovaneCore.dll"), L"setupapi.dll", "SetupPromptReboot", &Offer)
    {
        s_nOffers = 0;
        s_hwndOwner = NULL;
    }
    bool Watching() const { return m_patch.Patched(); }
    int Count() const { return s_nOffers; }
    HWND LastOwner() const { return s_hwndOwner; }

private:
    static INT WINAPI Offer(HSPFILEQ, HWND hwndOwner, BOOL)
    {
        s_hwndOwner = hwndOwner;
        ++s_nOffers;
        return 0;
    }

    CImportPatch m_patch;
    static inline std::atomic<int> s_nOffers{0};
    static inline std::atomic<HWND> s_hwndOwner{NULL};
};

// Keeps the prefix's Scancode Map as a test found it, and puts it back.
class CSystemMapKeeper
{
public:
    CSystemMapKeeper() { m_bHad = CUtils::GetScancodeMapRegistry(m_abSaved, &m_nSaved) == 0; }
    ~CSystemMapKeeper()
    {
        if (m_bHad)
            CUtils::SetScancodeMapRegistry(m_abSaved, m_nSaved);
        else
            CUtils::DelScancodeMapRegistry();
    }
    CSystemMapKeeper(const CSystemMapKeeper&) = delete;
    CSystemMapKeeper& operator=(const CSystemMapKeeper&) = delete;

private:
    unsigned char m_abSaved[1024];
    unsigned long m_nSaved = sizeof(m_abSaved);
    bool m_bHad;
};

// Runs the program's code (ui) on the test's thread and the user's steps on a
// second thread. Whatever the steps leave open is cancelled after them, so
// that a failed step ends the run instead of hanging the suite.
class CUserRun
{
public:
    template <class TUi>
    auto RunWith(TUi ui, const std::function<void()>& steps) -> decltype(ui())
    {
        m_bEnded = false;
        std::thread user([&] {
            steps();
            CloseWhatIsLeft();
        });
        const auto result = ui();
        m_bEnded = true;
        user.join();
        return result;
    }
    bool Ended() const { return m_bEnded; }

private:
    // Cancels every window of the process until the run ends (No for the
    // questions, which have no Cancel); a run that will not end ends the
    // process rather than hang the suite.
    void CloseWhatIsLeft()
    {
        for (const DWORD start = GetTickCount(); !m_bEnded; Sleep(200)) {
            if (GetTickCount() - start > 2 * kPatienceMs) {
                std::fprintf(stderr, "The windows did not close on Cancel: giving up.\n");
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            FindShown([](HWND hwnd) {
                PostMessageW(hwnd, WM_COMMAND, IsMessageBox(hwnd) ? IDNO : IDCANCEL, 0);
                return false;
            });
        }
    }

    std::atomic<bool> m_bEnded{false};
};

// One run of the wizard as the program makes it.
class CWizardRun : public CUserRun
{
public:
    BOOL Run(const std::function<void()>& steps)
    {
        return RunWith([] { CLutrovaneApp app; return app.InitInstance(); }, steps);
    }

    HWND WaitWizard() { return m_hwndWizard = WaitShown(IsWizard); }
    // Waits for the splash and the wizard, gets the splash out of the way and
    // returns the wizard once it takes input; NULL if it never does.
    HWND StartUp()
    {
        HWND splash = WaitShown(IsPicture);
        if (!splash || !WaitWizard())
            return NULL;
        // Posted rather than clicked: should the splash have timed out by now,
        // a real click would land on the wizard.
        PostMessageW(splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        const bool bReady =
            WaitGone(splash) && WaitUntil([&] { return IsWindowEnabled(m_hwndWizard); });
        return bReady ? m_hwndWizard : NULL;
    }
    HWND Page() const { return HWND(SendMessageW(m_hwndWizard, PSM_GETCURRENTPAGEHWND, 0, 0)); }
    int KeyboardType() const
    {
        return static_cast<CLutrovaneMain*>(CWnd::FromHandlePermanent(m_hwndWizard))
            ->GetKeyboardType();
    }

    // E.g. "page 2 Lutrovane v1.0.3 (단계2): Back Finish Cancel", with the
    // wizard buttons a user can press.
    std::wstring Where() const
    {
        const LRESULT nPage = SendMessageW(m_hwndWizard, PSM_HWNDTOINDEX, WPARAM(Page()), 0);
        std::wstring str = L"page " + std::to_wstring(nPage) + L" " + Text(m_hwndWizard) + L":";
        const std::pair<int, const wchar_t*> buttons[] = {
            {kBack, L" Back"}, {kNext, L" Next"}, {kFinish, L" Finish"}, {IDCANCEL, L" Cancel"}};
        for (const auto& button : buttons)
            str += CanPress(button.first) ? button.second : L"";
        return str;
    }
    // Waits for page nPage with its caption and wizard buttons.
    bool WaitAt(int nPage)
    {
        const std::wstring strWanted = L"page " + std::to_wstring(nPage) + L" " +
            (nPage ? kStep2Caption + L": Back Finish Cancel" : kStep1Caption + L": Next Cancel");
        return WaitUntil([&] { return Where() == strWanted; });
    }
    // Clicks a wizard button once a user could.
    bool Press(int id)
    {
        if (!WaitUntil([&] { return CanPress(id); }))
            return false;
        Click(m_hwndWizard, id);
        return true;
    }
    bool Go(int id, int nPage) { return Press(id) && WaitAt(nPage); }
    // From page 1: chooses keyboard type nType and goes on to its list page.
    bool GoToList(int nType)
    {
        Click(Page(), kOptions[nType]);
        return WaitUntil([&] { return IsDlgButtonChecked(Page(), kOptions[nType]) == BST_CHECKED; })
            && Go(kNext, nType + 1);
    }
    // From start-up to the list page of keyboard type nType; that page, or
    // NULL when the wizard never got there.
    HWND StartAtList(int nType) { return StartUp() && GoToList(nType) ? Page() : NULL; }
    // Presses Cancel or Finish: true once the modal run has returned by itself.
    bool End(int id) { return Press(id) && WaitUntil([&] { return Ended(); }); }

private:
    bool CanPress(int id) const
    {
        HWND button = GetDlgItem(m_hwndWizard, id);
        return button && IsWindowVisible(button) && IsWindowEnabled(button);
    }

    HWND m_hwndWizard = NULL;
};

// Steps on a mapping list page.

// The page object behind the current page's window.
inline CPropPageStep2* PageObject(HWND page)
{
    return dynamic_cast<CPropPageStep2*>(CWnd::FromHandlePermanent(page));
}

// Waits for a question or notice, answers it with id and returns its text;
// "(none)" when none came.
inline std::wstring Answer(int id, DWORD ms = kPatienceMs)
{
    HWND box = NULL;
    WaitUntil([&] { return (box = FindShown(IsMessageBox)) != NULL; }, ms);
    if (!box)
        return L"(none)";
    const std::wstring strText = MessageText(box);
    HWND owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, id, 0);
    // Clicks meant for the owner are lost until it takes input again, or
    // until the next window the command opens is there.
    WaitUntil([&] {
        return !IsWindow(box) &&
               (!owner || IsWindowEnabled(owner) ||
                FindShown([&](HWND hwnd) { return GetWindow(hwnd, GW_OWNER) == owner; }));
    });
    return strText;
}

// Add, the two keys chosen by name, then "설정" (or "취소").
inline bool AddPair(HWND page, const std::wstring& strReal, const std::wstring& strMapped,
             bool bCancel = false)
{
    Click(page, IDC_ADD_MAP);
    HWND dlg = WaitShown(IsEditDialog);
    if (!dlg || !ComboChoose(GetDlgItem(dlg, IDC_REAL_KEY), strReal) ||
        !ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), strMapped))
        return false;
    Click(dlg, bCancel ? IDC_CANCEL_MAP : IDC_SET_MAP);
    return WaitGone(dlg);
}

inline std::wstring Row(const wchar_t* pszReal, const wchar_t* pszMapped)
{
    return std::wstring(L"◁ ") + pszReal + L" | ▶ " + pszMapped;
}

// The codes the page derives from its rows, e.g. "3a00>1d00 ...".
inline std::string Codes(HWND page)
{
    CWordArray realKeys, mappedKeys;
    PageObject(page)->GetListScancodes(realKeys, mappedKeys);
    std::string str;
    char buf[16];
    for (int i = 0; i < realKeys.GetSize(); ++i) {
        std::snprintf(buf, sizeof(buf), "%s%04x>%04x", i ? " " : "", realKeys[i], mappedKeys[i]);
        str += buf;
    }
    return mappedKeys.GetSize() == realKeys.GetSize() ? str : "arrays differ in length";
}

// Which of Delete, Modify, Save file and Apply can be pressed, e.g. "DM..".
inline std::string RowAndMapCommands(HWND page)
{
    std::string str;
    for (int id : {IDC_DELETE_MAP, IDC_MODIFY_MAP, IDC_SAVE_FILE, IDC_APPLY_MAP})
        str += IsEnabledItem(page, id) ? "DMSA"[str.size()] : '.';
    return str;
}

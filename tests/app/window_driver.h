// The wizard's code run on the test's thread, which thereby is its
// user-interface thread, and its real windows driven from a second thread as
// a user drives them: clicks, keys, and what the windows show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../scratch.h"
#include "lutrovane_app.h"
#include "lutrovane_main.h"
#include "prop_page_step2.h"
#include "res/resource.h"

// Without WM_GETTEXT: a window whose thread is busy does not stall us.
inline std::wstring Text(HWND hwnd, int (WINAPI* get)(HWND, LPWSTR, int) = InternalGetWindowText)
{
    wchar_t buf[512] = L"";
    get(hwnd, buf, 512);
    return buf;
}

inline std::wstring ClassOf(HWND hwnd) { return Text(hwnd, GetClassNameW); }

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
    return WaitUntil([&] { return (hwnd = FindShown(match)) != NULL; }) ? hwnd : NULL;
}

inline bool WaitGone(HWND hwnd, DWORD ms = kPatienceMs)
{
    return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, ms);
}

inline bool IsMessageBox(HWND hwnd) { return Text(hwnd) == L"Lutrovane"; }
inline bool IsEditDialog(HWND hwnd) { return Text(hwnd) == L"스캔코드 맵 추가/수정"; }

// Posted, not sent: a click that opens a modal window would otherwise hold
// this thread. A disabled button ignores the click: wait until a user could press it.
inline void Click(HWND dlg, int id)
{
    HWND button = GetDlgItem(dlg, id);
    if (!WaitUntil([&] { return IsWindowEnabled(button) && IsWindowEnabled(GetAncestor(dlg, GA_ROOT)); }))
        ADD_FAILURE() << "button " << id << " cannot be pressed";
    else
        PostMessageW(button, BM_CLICK, 0, 0);
}

inline void PressKey(WORD vk, bool bShift = false)
{
    INPUT in[4] = {};
    for (int i = 0; i < 4; ++i)
        in[i] = {INPUT_KEYBOARD, {}}, in[i].ki = {i % 3 ? vk : WORD(VK_SHIFT), 0, DWORD(i >= 2 ? KEYEVENTF_KEYUP : 0), 0, 0};
    SendInput(bShift ? 4 : 2, bShift ? in : in + 1, sizeof(INPUT));
}

// A key pressed and let go as the keyboard driver reports it, by make code and E0 prefix; Pause
// (E1 1D 45) comes as VK_PAUSE 45. Windows finds a scan code's virtual key, Wine takes the one given.
inline void PressScancode(WORD wMake, bool bExtended, WORD wVk = 0)
{
    INPUT in[2] = {{INPUT_KEYBOARD, {}}, {INPUT_KEYBOARD, {}}};
    for (int i = 0; i < 2; ++i)
        in[i].ki = {wVk ? wVk : WORD(MapVirtualKeyW(wMake | (bExtended ? 0xE000 : 0), MAPVK_VSC_TO_VK_EX)), wMake,
                    DWORD((wVk ? 0 : KEYEVENTF_SCANCODE) | (bExtended ? KEYEVENTF_EXTENDEDKEY : 0) | (i ? KEYEVENTF_KEYUP : 0)), 0, 0};
    SendInput(2, in, sizeof(INPUT));
}

// A key's make code down or up, as the keyboard driver sends it.
inline void KeyEvent(WORD wMake, bool bUp)
{
    INPUT in = {INPUT_KEYBOARD, {}};
    in.ki = {WORD(MapVirtualKeyW(wMake, MAPVK_VSC_TO_VK)), wMake, DWORD(KEYEVENTF_SCANCODE | (bUp ? KEYEVENTF_KEYUP : 0)), 0, 0};
    SendInput(1, &in, sizeof(INPUT));
}

// Whether a press of B reaches Windows: its key state goes down.
inline bool BReachesWindows()
{
    KeyEvent(0x30, false);
    const bool bDown = WaitUntil([] { return (GetAsyncKeyState('B') & 0x8000) != 0; }, 1000);
    KeyEvent(0x30, true);
    WaitUntil([] { return (GetAsyncKeyState('B') & 0x8000) == 0; }, 1000);
    return bDown;
}

// The edit dialog's button idPress, then the key: true once the dialog took it.
inline bool PressKeyFor(HWND dlg, int idPress, WORD wMake, bool bExtended, WORD wVk = 0)
{
    Click(dlg, idPress);
    const bool bWaiting = WaitUntil([&] { return Text(GetDlgItem(dlg, IDC_KEY_WAIT_TEXT)) == L"설정할 키를 누르세요"; });
    PressScancode(wMake, bExtended, wVk);
    return bWaiting && WaitUntil([&] { return Text(GetDlgItem(dlg, IDC_KEY_WAIT_TEXT)) == L"누른 키를 목록에서 선택했습니다"; });
}

// A real mouse click at a point of the screen, the pointer there first: a
// move that arrives in between makes the list view take the click for a drag.
inline void ClickAt(POINT pt, bool bRight = false)
{
    // Wine moves the X pointer only when the position it keeps changes, and a
    // Wine server that outlived the last X display keeps the last position.
    SetCursorPos(pt.x + 1, pt.y);
    SetCursorPos(pt.x, pt.y);
    POINT cur;
    WaitUntil([&] { return GetCursorPos(&cur) && cur.x == pt.x && cur.y == pt.y; }, 1000);
    // The X server still has to see the move before the button goes down.
    Sleep(50);
    INPUT in[2] = {{INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}};
    in[0].mi.dwFlags = bRight ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = in[0].mi.dwFlags * 2;  // each button's up flag follows its down flag
    SendInput(2, in, sizeof(INPUT));
}

inline POINT Middle(RECT rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

// "(none)" when nothing is selected.
inline std::wstring ComboSelection(HWND combo)
{
    wchar_t buf[128] = L"(none)";
    SendMessageW(combo, CB_GETLBTEXT, SendMessageW(combo, CB_GETCURSEL, 0, 0), LPARAM(buf));
    return buf;
}

// As a user chooses: the dialog hears of it.
inline bool ComboChoose(HWND combo, const std::wstring& strItem)
{
    const LRESULT n = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(strItem.c_str()));
    return n != CB_ERR && SendMessageW(combo, CB_SETCURSEL, n, 0) == n &&
           (SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), LPARAM(combo)), true);
}

// The rows of a mapping list of this process, each as "real | mapped".
inline std::vector<std::wstring> Rows(HWND list)
{
    std::vector<std::wstring> rows(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    wchar_t szReal[128], szMapped[128];
    for (size_t i = 0; i < rows.size(); ++i) {
        ListView_GetItemText(list, int(i), 0, szReal, 128);
        ListView_GetItemText(list, int(i), 1, szMapped, 128);
        rows[i] = szReal + std::wstring(L" | ") + szMapped;
    }
    return rows;
}

inline std::wstring Row(const wchar_t* pszReal, const wchar_t* pszMapped) { return std::wstring(L"◁ ") + pszReal + L" | ▶ " + pszMapped; }

// Waits for a question or notice, answers it with id and returns its text
// (its static 0xFFFF); "(none)" when none came.
inline std::wstring Answer(int id)
{
    HWND box = WaitShown(IsMessageBox);
    if (!box)
        return L"(none)";
    const std::wstring strText = Text(GetDlgItem(box, 0xFFFF));
    HWND owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, id, 0);
    // Clicks meant for the owner are lost until it takes input again, or
    // until the next window the command opens is there.
    WaitUntil([&] {
        return !IsWindow(box) && (!owner || IsWindowEnabled(owner) ||
                                  FindShown([&](HWND hwnd) { return GetWindow(hwnd, GW_OWNER) == owner; }));
    });
    return strText;
}

// Presses a button whose command asks first, answers, returns the question.
inline std::wstring Command(HWND dlg, int id, int nAnswer = IDYES)
{
    Click(dlg, id);
    return Answer(nAnswer);
}

// Add, the two keys chosen by name, swap checked if asked, then Set (or Cancel).
inline bool AddPair(HWND page, const std::wstring& strReal, const std::wstring& strMapped, int idSet = IDC_SET_MAP,
                    bool bSwap = false)
{
    Click(page, IDC_ADD_MAP);
    HWND dlg = WaitShown(IsEditDialog);
    if (!dlg || !ComboChoose(GetDlgItem(dlg, IDC_REAL_KEY), strReal) ||
        !ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), strMapped))
        return false;
    if (bSwap)
        Click(dlg, IDC_SWAP_KEYS);
    Click(dlg, idSet);
    return WaitUntil([&] { return !IsWindow(dlg) && (IsWindowEnabled(GetAncestor(page, GA_ROOT)) || FindShown(IsMessageBox)); });
}

// Types strPath into the common file dialog's name box (a combo box with an
// edit, or an edit) and confirms it; empty: cancels. Saving over a file, the
// dialog asks first with a box of its own: Yes.
inline bool ChooseFile(const std::wstring& strPath)
{
    const auto nameBox = [](HWND dlg) { return GetDlgItem(dlg, 0x47C) ? GetDlgItem(dlg, 0x47C) : GetDlgItem(dlg, 0x480); };
    HWND dlg = WaitShown([&](HWND hwnd) { return !IsMessageBox(hwnd) && nameBox(hwnd); });
    if (!dlg || strPath.empty())
        return dlg && PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0) && WaitGone(dlg);
    SendMessageW(nameBox(dlg), WM_SETTEXT, 0, LPARAM(strPath.c_str()));
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(dlg, IDOK)));
    return WaitUntil([&] {
        if (HWND question = FindShown([](HWND h) { return !IsMessageBox(h) && GetDlgItem(h, IDYES) && GetDlgItem(h, 0xFFFF); }))
            PostMessageW(question, WM_COMMAND, IDYES, 0);
        return !IsWindow(dlg);
    });
}

// The wizard buttons of the system's property sheet.
inline constexpr int kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025;
// Top to bottom on page 1; option i is keyboard type index i.
inline constexpr int kOptions[4] = {IDC_KEYBOARD_PC, IDC_KEYBOARD_APPLE_EXT, IDC_KEYBOARD_APPLE_PRO,
                                    IDC_KEYBOARD_APPLE_ETC};

// The splash and the About box: a dialog without caption showing a picture.
inline bool IsPicture(HWND hwnd)
{
    HWND picture = GetDlgItem(hwnd, IDC_SPLASH_PICTURE);
    return ClassOf(hwnd) == L"#32770" && Text(hwnd).empty() && picture &&
           SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
}

inline bool IsWizard(HWND hwnd) { return Text(hwnd).rfind(L"Lutrovane v1.0.3 (단계", 0) == 0; }

// Runs the program's code (ui) on the test's thread and the user's steps on a
// second thread. Whatever the steps leave open is cancelled after them (No
// for the questions, which have no Cancel), so that a failed step ends the
// run instead of hanging the suite; a run that will not end ends the process.
class CUserRun
{
public:
    template <class TUi>
    auto RunWith(TUi ui, const std::function<void()>& steps) -> decltype(ui())
    {
        m_bEnded = false;
        std::thread user([&] {
            steps();
            for (const DWORD start = GetTickCount(); !m_bEnded; Sleep(200)) {
                if (GetTickCount() - start > 2 * kPatienceMs && std::fputs("The windows did not close on Cancel.\n", stderr) >= 0)
                    TerminateProcess(GetCurrentProcess(), 3);
                FindShown([](HWND hwnd) {
                    PostMessageW(hwnd, WM_COMMAND, IsMessageBox(hwnd) ? IDNO : IDCANCEL, 0);
                    return false;
                });
            }
        });
        const auto result = ui();
        m_bEnded = true;
        user.join();
        return result;
    }
    bool Ended() const { return m_bEnded; }

private:
    std::atomic<bool> m_bEnded{false};
};

// The wizard run as the program runs it, found and walked through its pages.
class CWizardRun : public CUserRun
{
public:
    BOOL Run(const std::function<void()>& steps)
    {
        return RunWith([] { return CLutrovaneApp().InitInstance(); }, steps);
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
        return WaitGone(splash) && WaitUntil([&] { return IsWindowEnabled(m_hwndWizard); }) ? m_hwndWizard : NULL;
    }
    HWND Page() const { return HWND(SendMessageW(m_hwndWizard, PSM_GETCURRENTPAGEHWND, 0, 0)); }

    // Waits for page nPage (0 the keyboard choice, 1 + type a list page)
    // with the caption and wizard buttons it shows.
    bool WaitAt(int nPage)
    {
        const auto CanPress = [&](int id) {
            HWND button = GetDlgItem(m_hwndWizard, id);
            return button && IsWindowVisible(button) && IsWindowEnabled(button);
        };
        return WaitUntil([&] {
            return SendMessageW(m_hwndWizard, PSM_HWNDTOINDEX, WPARAM(Page()), 0) == nPage &&
                   Text(m_hwndWizard) == (nPage ? L"Lutrovane v1.0.3 (단계2)" : L"Lutrovane v1.0.3 (단계1)") &&
                   CanPress(kBack) == (nPage > 0) && CanPress(kNext) == !nPage && CanPress(kFinish) == (nPage > 0);
        });
    }
    bool Go(int id, int nPage)
    {
        Click(m_hwndWizard, id);
        return WaitAt(nPage);
    }
    // From page 1: chooses keyboard type nType and goes on to its list page.
    bool GoToList(int nType)
    {
        Click(Page(), kOptions[nType]);
        return WaitUntil([&] { return IsDlgButtonChecked(Page(), kOptions[nType]) == BST_CHECKED; }) &&
               Go(kNext, nType + 1);
    }

    // Presses Cancel or Finish: true once the modal run has returned by itself.
    bool End(int id)
    {
        Click(m_hwndWizard, id);
        return WaitUntil([&] { return Ended(); });
    }
    // Starts at keyboard nType's list page, takes the steps there and ends with Finish.
    void AtList(int nType, const std::function<void(HWND page, HWND list)>& steps)
    {
        Run([&] {
            ASSERT_TRUE(StartUp() && GoToList(nType));
            HWND page = Page();
            steps(page, GetDlgItem(page, IDC_MAP_LIST));
            if (!testing::Test::HasFatalFailure()) {
                EXPECT_TRUE(End(kFinish));
            }
        });
    }

private:
    HWND m_hwndWizard = NULL;
};

inline CPropPageStep2* PageObject(HWND page) { return dynamic_cast<CPropPageStep2*>(CWnd::FromHandlePermanent(page)); }

// The codes the page writes for its rows, e.g. "3a00>1d00 ...".
inline std::string Codes(HWND page)
{
    CWordArray realKeys, mappedKeys;
    PageObject(page)->GetListScancodes(realKeys, mappedKeys);
    std::string str;
    char buf[16];
    for (int i = 0; i < realKeys.GetSize() && i < mappedKeys.GetSize(); ++i)
        str += std::string(i ? " " : "") + (std::snprintf(buf, sizeof(buf), "%04x>%04x", realKeys[i], mappedKeys[i]), buf);
    return str;
}

// Which of the buttons ids can be pressed, each as its letter or ".": "DMSA"
// for Delete, Modify, Save file and Apply, "LR" for Load and Remove system map.
inline std::string Enabled(HWND page, std::initializer_list<int> ids, const char* pszLetters)
{
    std::string str;
    for (int id : ids)
        str += IsWindowEnabled(GetDlgItem(page, id)) ? pszLetters[str.size()] : '.';
    return str;
}
inline std::string RowAndMapCommands(HWND page) { return Enabled(page, {IDC_DELETE_MAP, IDC_MODIFY_MAP, IDC_SAVE_FILE, IDC_APPLY_MAP}, "DMSA"); }
inline std::string SystemMapButtons(HWND page) { return Enabled(page, {IDC_LOAD_SYSTEM_MAP, IDC_REMOVE_SYSTEM_MAP}, "LR"); }

// The middle of a row, or (nItem -1) a point of the empty area below the
// rows, in screen coordinates.
inline POINT RowPoint(HWND list, int nItem)
{
    RECT rc = {LVIR_LABEL, 0, 0, 0};
    if (nItem < 0 && GetClientRect(list, &rc))
        rc = {0, rc.bottom - 8, rc.right / 2, rc.bottom};
    else
        SendMessageW(list, LVM_GETITEMRECT, nItem, LPARAM(&rc));
    POINT pt = Middle(rc);
    ClientToScreen(list, &pt);
    return pt;
}

// Modify on row nRow (clicked first), the mapped key changed to strMapped
// (NULL: left as the dialog preselects it), Set, and the question answered.
inline void Modify(HWND page, int nRow, const wchar_t* pszMapped, int nAnswer = IDYES)
{
    ClickAt(RowPoint(GetDlgItem(page, IDC_MAP_LIST), nRow));
    Click(page, IDC_MODIFY_MAP);
    HWND dlg = WaitShown(IsEditDialog);
    ASSERT_TRUE(dlg) << "no edit dialog";
    EXPECT_TRUE(!pszMapped || ComboChoose(GetDlgItem(dlg, IDC_MAP_KEY), pszMapped));
    EXPECT_EQ(L"선택하신 매핑 코드를 정말로 수정하시겠습니까?", Command(dlg, IDC_SET_MAP, nAnswer));
}

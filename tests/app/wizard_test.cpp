// The wizard run as the program runs it, and driven from a second thread as a
// user would drive it: by the windows' texts, buttons, mouse and keys.
#include "lutrovane_app.h"
#include "lutrovane_main.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace {

constexpr DWORD kPatienceMs = 5000;
const std::wstring kStep1Caption = L"Lutrovane v1.0.3 (단계1)";
const std::wstring kStep2Caption = L"Lutrovane v1.0.3 (단계2)";
// The wizard buttons of the system's property sheet.
const int kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025;
// Top to bottom on page 1; option i is keyboard type index i.
const int kOptions[4] = {IDC_KEYBOARD_PC, IDC_KEYBOARD_APPLE_EXT, IDC_KEYBOARD_APPLE_PRO,
                         IDC_KEYBOARD_APPLE_ETC};

bool WaitUntil(const std::function<bool()>& done, DWORD ms = kPatienceMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if (GetTickCount() - start >= ms)
            return false;
    }
    return true;
}

std::wstring Text(HWND hwnd)
{
    // Reads the title without sending WM_GETTEXT, so a window whose thread is
    // busy (the one-second hold) does not stall us.
    wchar_t buf[512] = L"";
    InternalGetWindowText(hwnd, buf, 512);
    return buf;
}

// The first visible top-level window of this process that match accepts.
HWND FindShown(const std::function<bool(HWND)>& match)
{
    for (HWND hwnd = NULL; (hwnd = FindWindowExW(NULL, hwnd, NULL, NULL)) != NULL;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && match(hwnd))
            return hwnd;
    }
    return NULL;
}

HWND WaitShown(const std::function<bool(HWND)>& match)
{
    HWND hwnd = NULL;
    WaitUntil([&] { return (hwnd = FindShown(match)) != NULL; });
    return hwnd;
}

bool WaitGone(HWND hwnd)
{
    return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); });
}

// Real input, a left click in the middle of the window: a picture control
// that took the click for itself would leave its dialog unclicked.
void ClickOn(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

// Posted, not sent: a click that opens a modal window would otherwise hold
// this thread until that window closed.
void Click(HWND dlg, int id) { PostMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

// The splash and the About box: a dialog without caption showing a picture.
bool IsPicture(HWND hwnd)
{
    wchar_t szClass[16] = L"";
    GetClassNameW(hwnd, szClass, 16);
    HWND picture = GetDlgItem(hwnd, IDC_SPLASH_PICTURE);
    return lstrcmpW(szClass, L"#32770") == 0 && Text(hwnd).empty() && picture &&
           SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
}

bool IsWizard(HWND hwnd) { return Text(hwnd) == kStep1Caption || Text(hwnd) == kStep2Caption; }

bool IsTopmost(HWND hwnd) { return GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST; }

// One run of the wizard as the program makes it: InitInstance on the test's
// thread, which thereby is the program's user-interface thread, and the
// user's steps on a second thread. Whatever the steps leave open is cancelled
// after them, so that a failed step ends the run instead of hanging the suite.
class CWizardRun
{
public:
    BOOL Run(const std::function<void()>& steps)
    {
        std::thread user([&] {
            steps();
            CloseWhatIsLeft();
        });
        CLutrovaneApp app;
        const BOOL bResult = app.InitInstance();
        m_bEnded = true;
        user.join();
        return bResult;
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
    // Presses Cancel or Finish: true once the modal run has returned by itself.
    bool End(int id) { return Press(id) && WaitUntil([&] { return bool(m_bEnded); }); }

private:
    bool CanPress(int id) const
    {
        HWND button = GetDlgItem(m_hwndWizard, id);
        return button && IsWindowVisible(button) && IsWindowEnabled(button);
    }

    // Cancels every window of the process until the run ends; a run that
    // will not end ends the process rather than hang the suite.
    void CloseWhatIsLeft()
    {
        for (const DWORD start = GetTickCount(); !m_bEnded; Sleep(200)) {
            if (GetTickCount() - start > 2 * kPatienceMs) {
                std::fprintf(stderr, "The wizard did not end on Cancel: giving up.\n");
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            FindShown([](HWND hwnd) { PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0); return false; });
        }
    }

    HWND m_hwndWizard = NULL;
    std::atomic<bool> m_bEnded{false};
};

TEST(StartUp, SplashHoldsTheDisabledWizardUntilClickedAndItsTimerSparesAbout)
{
    CWizardRun run;
    const BOOL bResult = run.Run([&] {
        HWND splash = WaitShown(IsPicture);
        const DWORD splashShown = GetTickCount();
        ASSERT_TRUE(splash) << "no splash";
        EXPECT_FALSE(FindShown(IsWizard)) << "the wizard showed before the splash";
        EXPECT_TRUE(IsTopmost(splash));

        HWND wizard = run.WaitWizard();
        ASSERT_TRUE(wizard) << "no wizard";
        EXPECT_TRUE(IsWindowVisible(splash) && !IsWindowEnabled(wizard))
            << "the wizard takes input under the splash";

        // The splash's timer started before it showed: gone well before three
        // seconds from then, it went by the click.
        ClickOn(splash);
        EXPECT_TRUE(WaitGone(splash));
        EXPECT_LT(GetTickCount() - splashShown, 2900u) << "a click did not close the splash";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); })) << "still disabled";
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == wizard; })) << "not raised";
        EXPECT_TRUE(WaitUntil([&] {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            return GetGUIThreadInfo(GetWindowThreadProcessId(wizard, NULL), &info) &&
                   (info.hwndFocus == wizard || IsChild(wizard, info.hwndFocus));
        })) << "the wizard has no keyboard focus";
        EXPECT_FALSE(IsTopmost(wizard));

        // The About box, opened before the splash's three seconds are over and
        // kept for three more, must outlive both the splash's timer and its own.
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitShown(IsPicture);
        ASSERT_TRUE(about) << "no About box";
        ASSERT_LT(GetTickCount() - splashShown, 3000u) << "too slow to see the splash's timer";
        Sleep(3500);
        EXPECT_TRUE(IsWindowVisible(about)) << "the About box closed by itself";
        ClickOn(about);
        EXPECT_TRUE(WaitGone(about));
        EXPECT_TRUE(run.End(IDCANCEL)) << "Cancel did not end the run";
    });
    EXPECT_FALSE(bResult);
}

TEST(WindowMenu, GreysCloseMasksLowBitsPassesOthersOnAndExpandsTheBrowserPathWhenChosen)
{
    // The build puts fake_browser at "fake-programs\Internet Explorer\iexplore.exe"
    // beside the tests; it leaves the argument of its last start in argument.txt.
    char szPath[MAX_PATH];
    std::string strPrograms(szPath, GetModuleFileNameA(NULL, szPath, MAX_PATH));
    strPrograms.replace(strPrograms.rfind('\\') + 1, std::string::npos, "fake-programs");
    const std::string strArgument = strPrograms + "\\Internet Explorer\\argument.txt";
    const auto browserStartedWith = [&] {
        std::ifstream file(strArgument, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const std::string strSaved(szPath, GetEnvironmentVariableA("ProgramFiles", szPath, MAX_PATH));
    // No browser there: a path expanded at start-up finds none.
    SetEnvironmentVariableA("ProgramFiles", "C:\\lutrovane-no-browser");

    CWizardRun run;
    run.Run([&] {
        HWND wizard = run.StartUp();
        ASSERT_TRUE(wizard);
        EXPECT_EQ(WS_SYSMENU | WS_MINIMIZEBOX,
                  GetWindowLongW(wizard, GWL_STYLE) & (WS_SYSMENU | WS_MINIMIZEBOX));
        const LRESULT icon = SendMessageW(wizard, WM_GETICON, ICON_BIG, 0);
        EXPECT_TRUE(icon && icon == SendMessageW(wizard, WM_GETICON, ICON_SMALL, 0));

        HMENU menu = GetSystemMenu(wizard, FALSE);
        ASSERT_TRUE(menu);
        EXPECT_TRUE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) << "Close not greyed";
        const int n = GetMenuItemCount(menu);
        EXPECT_TRUE(GetMenuState(menu, n - 3, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(UINT(IDM_ABOUTBOX), GetMenuItemID(menu, n - 2));
        EXPECT_EQ(UINT(IDM_HOMEPAGE), GetMenuItemID(menu, n - 1));
        wchar_t szItem[64] = L"";
        GetMenuStringW(menu, IDM_ABOUTBOX, szItem, 64, MF_BYCOMMAND);
        EXPECT_STREQ(L"Lutrovane 정보(&A)...", szItem);
        GetMenuStringW(menu, IDM_HOMEPAGE, szItem, 64, MF_BYCOMMAND);
        EXPECT_STREQ(L"Lutrovane 홈페이지(&H)..", szItem);

        // The low four bits of a command are the system's own, masked away.
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX + 0xF, 0);
        HWND about = WaitShown(IsPicture);
        ASSERT_TRUE(about) << "no About box";
        EXPECT_FALSE(IsWindowEnabled(wizard)) << "the wizard takes input under About";
        ClickOn(about);
        EXPECT_TRUE(WaitGone(about));
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); }));
        for (WPARAM command : {SC_MINIMIZE, SC_RESTORE}) {
            PostMessageW(wizard, WM_SYSCOMMAND, command, 0);
            const bool bIconic = command == SC_MINIMIZE;
            EXPECT_TRUE(WaitUntil([&] { return bool(IsIconic(wizard)) == bIconic; }))
                << "the system's command " << command << " was swallowed";
        }

        SetEnvironmentVariableA("ProgramFiles", strPrograms.c_str());
        for (WPARAM command : {IDM_HOMEPAGE, IDM_HOMEPAGE + 0xF}) {
            SCOPED_TRACE(command);
            DeleteFileA(strArgument.c_str());
            PostMessageW(wizard, WM_SYSCOMMAND, command, 0);
            EXPECT_TRUE(WaitUntil([&] { return !browserStartedWith().empty(); }, 2 * kPatienceMs))
                << "no browser started under ProgramFiles as it is now";
            EXPECT_EQ(LUTROVANE_HOME_PAGE, browserStartedWith());
        }
        EXPECT_TRUE(run.End(IDCANCEL));
    });
    SetEnvironmentVariableA("ProgramFiles", strSaved.c_str());
    DeleteFileA(strArgument.c_str());
}

// The indices of the keyboard options checked on page 1, e.g. "2".
std::string Checked(HWND page1)
{
    std::string str;
    for (int i = 0; i < 4; ++i)
        str += IsDlgButtonChecked(page1, kOptions[i]) == BST_CHECKED ? std::to_string(i) : "";
    return str;
}

TEST(Wizard, NextStoresTheTypeAndShowsItsPageBackKeepsTheChoiceListButtonsAskTheRegistry)
{
    unsigned char saved[1024];
    unsigned long nSaved = sizeof(saved);
    const bool bHadSystemMap = CUtils::GetScancodeMapRegistry(saved, &nSaved) == 0;
    CUtils::DelScancodeMapRegistry();
    unsigned char capsToCtrl[] = {
        0, 0, 0, 0,  0, 0, 0, 0,  // version, flags
        2, 0, 0, 0,               // entries, the terminator included
        0x1D, 0x00, 0x3A, 0x00,   // Control(left) reported for CapsLock
        0, 0, 0, 0,               // terminator
    };

    CWizardRun run;
    run.Run([&] {
        ASSERT_TRUE(run.StartUp());
        HWND page1 = run.Page();
        EXPECT_TRUE(run.WaitAt(0)) << run.Where();
        EXPECT_EQ("0", Checked(page1)) << "at start";
        // The second round comes back to pages already made: each activation
        // asks the registry afresh and leaves the other buttons as they were.
        for (bool bSystemMap : {false, true}) {
            if (bSystemMap) {
                ASSERT_EQ(0u, CUtils::SetScancodeMapRegistry(capsToCtrl, sizeof(capsToCtrl)));
            }
            for (int i = 0; i < 4; ++i) {
                SCOPED_TRACE(std::to_string(i) + (bSystemMap ? " with a system map" : ""));
                // The first round takes Next at once on the option checked at start.
                if (bSystemMap || i > 0) {
                    Click(page1, kOptions[i]);
                    ASSERT_TRUE(WaitUntil([&] { return Checked(page1) == std::to_string(i); }));
                }
                ASSERT_TRUE(run.Go(kNext, i + 1)) << run.Where();
                EXPECT_EQ(i, run.KeyboardType());

                HWND page = run.Page(), list = GetDlgItem(page, IDC_MAP_LIST);
                EXPECT_EQ(0, ListView_GetItemCount(list));
                for (int col = 0; col < 2; ++col) {
                    wchar_t szHeading[32] = L"";
                    LVCOLUMNW column = {};
                    column.mask = LVCF_TEXT;
                    column.pszText = szHeading;
                    column.cchTextMax = 32;
                    ListView_GetColumn(list, col, &column);
                    EXPECT_STREQ(col ? L"매핑 키" : L"실제 키", szHeading);
                }
                const struct { int id; bool bEnabled; } buttons[] = {
                    {IDC_ADD_MAP, true},     {IDC_LOAD_FILE, true},  {IDC_NEW_MAP, true},
                    {IDC_MODIFY_MAP, false}, {IDC_DELETE_MAP, false}, {IDC_SAVE_FILE, false},
                    {IDC_APPLY_MAP, false},  {IDC_LOAD_SYSTEM_MAP, bSystemMap},
                    {IDC_REMOVE_SYSTEM_MAP, bSystemMap}};
                for (const auto& button : buttons) {
                    EXPECT_EQ(button.bEnabled, bool(IsWindowEnabled(GetDlgItem(page, button.id))))
                        << "button " << button.id;
                }

                ASSERT_TRUE(run.Go(kBack, 0)) << run.Where();
                EXPECT_EQ(std::to_string(i), Checked(page1)) << "the choice was not kept";
            }
        }
        ASSERT_TRUE(run.Go(kNext, 4)) << run.Where();
        EXPECT_TRUE(run.End(kFinish)) << "Finish did not end the run";
    });
    // The prefix's Scancode Map as the test found it.
    if (bHadSystemMap)
        CUtils::SetScancodeMapRegistry(saved, nSaved);
    else
        CUtils::DelScancodeMapRegistry();
}

} // namespace

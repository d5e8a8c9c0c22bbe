// The wizard run as the program runs it, and driven from a second thread as a
// user would drive it: by the windows' texts, buttons, mouse and keys.
#include "lutrovane_app.h"
#include "lutrovane_main.h"
#include "res/resource.h"
#include "window_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

using namespace ui;

namespace {

const wchar_t kStep1Caption[] = L"Lutrovane v1.0.3 (단계1)";
const wchar_t kStep2Caption[] = L"Lutrovane v1.0.3 (단계2)";

// The wizard buttons of the system's property sheet.
const int kBack = 0x3023;
const int kNext = 0x3024;
const int kFinish = 0x3025;

// Top to bottom on page 1; option i is keyboard type index i.
const int kOptions[4] = {IDC_KEYBOARD_PC, IDC_KEYBOARD_APPLE_EXT, IDC_KEYBOARD_APPLE_PRO,
                         IDC_KEYBOARD_APPLE_ETC};

// The splash and the About box: a window without caption that shows a picture.
bool IsPicture(HWND hwnd)
{
    HWND picture = GetDlgItem(hwnd, IDC_SPLASH_PICTURE);
    return ClassOf(hwnd) == L"#32770" && Text(hwnd).empty() && picture &&
           (Style(picture) & SS_TYPEMASK) == SS_BITMAP;
}

bool IsWizard(HWND hwnd)
{
    return Text(hwnd) == kStep1Caption || Text(hwnd) == kStep2Caption;
}

// One run of the wizard as the program makes it: InitInstance on the test's
// thread, which thereby is the program's user-interface thread, and the
// user's steps on a second thread. Whatever the steps leave open is closed
// after them, so that a failed step ends the run instead of hanging the suite.
class CWizardRun
{
public:
    BOOL Run(const std::function<void()>& steps)
    {
        m_idUiThread = GetCurrentThreadId();
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
    // waits until the wizard takes input.
    bool StartUp()
    {
        HWND splash = WaitShown(IsPicture);
        if (!splash || !WaitWizard())
            return false;
        // Posted rather than clicked: should the splash have timed out by now,
        // a real click would land on the wizard.
        PostMessageW(splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        return WaitGone(splash) && WaitUntil([&] { return IsWindowEnabled(m_hwndWizard); });
    }

    HWND Wizard() const { return m_hwndWizard; }
    DWORD UiThread() const { return m_idUiThread; }
    HWND Page() const { return HWND(SendMessageW(m_hwndWizard, PSM_GETCURRENTPAGEHWND, 0, 0)); }
    int PageIndex() const
    {
        return int(SendMessageW(m_hwndWizard, PSM_HWNDTOINDEX, WPARAM(Page()), 0));
    }
    bool WaitPage(int nIndex) { return WaitUntil([&] { return PageIndex() == nIndex; }); }
    int KeyboardType() const
    {
        return static_cast<CLutrovaneMain*>(CWnd::FromHandlePermanent(m_hwndWizard))
            ->GetKeyboardType();
    }

    bool CanPress(int id) const
    {
        return IsItemShown(m_hwndWizard, id) && IsItemEnabled(m_hwndWizard, id);
    }
    // The wizard buttons a user can press now, e.g. "Back Finish Cancel".
    std::string Offered() const
    {
        std::string strOffered;
        const std::pair<int, const char*> buttons[] = {
            {kBack, " Back"}, {kNext, " Next"}, {kFinish, " Finish"}, {IDCANCEL, " Cancel"}};
        for (const auto& button : buttons)
            strOffered += CanPress(button.first) ? button.second : "";
        return strOffered.substr(strOffered.empty() ? 0 : 1);
    }
    bool WaitOffered(const std::string& strButtons)
    {
        return WaitUntil([&] { return Offered() == strButtons; });
    }
    // Clicks a wizard button once a user could.
    bool Press(int id)
    {
        if (!WaitUntil([&] { return CanPress(id); }))
            return false;
        Click(m_hwndWizard, id);
        return true;
    }

    // True once the modal run has returned by itself.
    bool Ended() { return WaitUntil([&] { return bool(m_bEnded); }); }

private:
    static BOOL CALLBACK CancelWindow(HWND hwnd, LPARAM)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd))
            PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }

    // Cancels every window of the process until the run ends; a run that
    // will not end ends the process rather than hang the suite.
    void CloseWhatIsLeft()
    {
        const DWORD start = GetTickCount();
        while (!m_bEnded) {
            if (GetTickCount() - start > 2 * kPatienceMs) {
                std::fprintf(stderr, "The wizard did not end on Cancel: giving up.\n");
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            EnumWindows(CancelWindow, 0);
            Sleep(200);
        }
    }

    HWND m_hwndWizard = NULL;
    DWORD m_idUiThread = 0;
    std::atomic<bool> m_bEnded{false};
};

bool OwnsFocus(HWND hwnd, DWORD idThread)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(idThread, &info) &&
           (info.hwndFocus == hwnd || IsChild(hwnd, info.hwndFocus));
}

TEST(StartUp, SplashHoldsTheWizardUntilClickedAndLeavesNoTimerBehind)
{
    CWizardRun run;
    const BOOL bResult = run.Run([&] {
        HWND splash = WaitShown(IsPicture);
        const DWORD splashShown = GetTickCount();
        ASSERT_TRUE(splash) << "no splash";
        EXPECT_FALSE(FindShown(IsWizard)) << "the wizard showed before the splash";
        EXPECT_TRUE(ExStyle(splash) & WS_EX_TOPMOST);
        EXPECT_TRUE(SendDlgItemMessageW(splash, IDC_SPLASH_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0))
            << "the splash shows no picture";

        HWND wizard = run.WaitWizard();
        ASSERT_TRUE(wizard) << "no wizard";
        EXPECT_EQ(kStep1Caption, Text(wizard));
        EXPECT_TRUE(IsWindowVisible(splash));
        EXPECT_FALSE(IsWindowEnabled(wizard)) << "the wizard takes input under the splash";
        EXPECT_FALSE(ExStyle(wizard) & WS_EX_TOPMOST);

        // The splash's timer started before it showed: gone well before three
        // seconds from then, it went by the click.
        ClickOn(splash);
        EXPECT_TRUE(WaitGone(splash));
        EXPECT_LT(GetTickCount() - splashShown, 2900u) << "a click did not close the splash";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); }))
            << "the wizard stayed disabled after the splash";
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == wizard; }))
            << "the wizard was not raised";
        EXPECT_TRUE(WaitUntil([&] { return OwnsFocus(wizard, run.UiThread()); }))
            << "the wizard has no keyboard focus";

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

        ASSERT_TRUE(run.Press(IDCANCEL));
        EXPECT_TRUE(run.Ended()) << "Cancel did not end the run";
    });
    EXPECT_FALSE(bResult);
}

TEST(WindowMenu, OffersAboutAndHomePageGreysCloseAndMasksTheLowBits)
{
    CWizardRun run;
    run.Run([&] {
        ASSERT_TRUE(run.StartUp());
        HWND wizard = run.Wizard();
        EXPECT_EQ(WS_SYSMENU | WS_MINIMIZEBOX, Style(wizard) & (WS_SYSMENU | WS_MINIMIZEBOX));
        const LRESULT icon = SendMessageW(wizard, WM_GETICON, ICON_BIG, 0);
        EXPECT_TRUE(icon) << "no program icon";
        EXPECT_EQ(icon, SendMessageW(wizard, WM_GETICON, ICON_SMALL, 0));

        HMENU menu = GetSystemMenu(wizard, FALSE);
        ASSERT_TRUE(menu);
        const int n = GetMenuItemCount(menu);
        ASSERT_GE(n, 10);
        EXPECT_EQ(UINT(SC_CLOSE), GetMenuItemID(menu, 6));
        EXPECT_TRUE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED)
            << "Close is not greyed";
        EXPECT_TRUE(GetMenuState(menu, n - 3, MF_BYPOSITION) & MF_SEPARATOR);
        wchar_t szItem[64];
        EXPECT_EQ(UINT(IDM_ABOUTBOX), GetMenuItemID(menu, n - 2));
        GetMenuStringW(menu, n - 2, szItem, 64, MF_BYPOSITION);
        EXPECT_STREQ(L"Lutrovane 정보(&A)...", szItem);
        EXPECT_EQ(UINT(IDM_HOMEPAGE), GetMenuItemID(menu, n - 1));
        GetMenuStringW(menu, n - 1, szItem, 64, MF_BYPOSITION);
        EXPECT_STREQ(L"Lutrovane 홈페이지(&H)..", szItem);

        // About again and again, dismissed each way a user may, and reached
        // by any command whose low four bits are masked away.
        const struct { WPARAM command; WORD key; } abouts[] = {
            {IDM_ABOUTBOX, 0}, {IDM_ABOUTBOX + 0x7, VK_RETURN}, {IDM_ABOUTBOX + 0xF, VK_ESCAPE}};
        for (const auto& about : abouts) {
            SCOPED_TRACE(about.command);
            PostMessageW(wizard, WM_SYSCOMMAND, about.command, 0);
            HWND box = WaitShown(IsPicture);
            ASSERT_TRUE(box) << "no About box";
            EXPECT_FALSE(IsWindowEnabled(wizard)) << "the wizard takes input under About";
            if (about.key)
                PressKey(about.key);
            else
                ClickOn(box);
            EXPECT_TRUE(WaitGone(box));
            EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); }));
        }

        // Other commands still reach the system's handling.
        PostMessageW(wizard, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(WaitUntil([&] { return IsIconic(wizard); })) << "did not minimise";
        PostMessageW(wizard, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsIconic(wizard); })) << "did not restore";

        ASSERT_TRUE(run.Press(IDCANCEL));
        EXPECT_TRUE(run.Ended());
    });
}

// "<folder>\Internet Explorer\iexplore.exe": the fake browser, which leaves
// the argument of its last start in argument.txt. Removed with its folders.
class CFakeBrowser
{
public:
    CFakeBrowser()
    {
        wchar_t szPath[MAX_PATH];
        m_strRoot.assign(szPath, GetTempPathW(MAX_PATH, szPath));
        m_strRoot += L"lutrovane-" + std::to_wstring(GetCurrentProcessId());
        std::wstring strFake(szPath, GetModuleFileNameW(NULL, szPath, MAX_PATH));
        strFake.replace(strFake.rfind(L'\\') + 1, std::wstring::npos, L"fake_browser.exe");
        CreateDirectoryW(m_strRoot.c_str(), NULL);
        CreateDirectoryW(Path(L"").c_str(), NULL);
        m_bReady = CopyFileW(strFake.c_str(), Path(L"\\iexplore.exe").c_str(), FALSE);
    }
    ~CFakeBrowser()
    {
        for (const wchar_t* pszFile : {L"\\argument.txt", L"\\iexplore.exe"})
            DeleteFileW(Path(pszFile).c_str());
        RemoveDirectoryW(Path(L"").c_str());
        RemoveDirectoryW(m_strRoot.c_str());
    }

    bool Ready() const { return m_bReady; }
    const wchar_t* ProgramFiles() const { return m_strRoot.c_str(); }
    void Forget() const { DeleteFileW(Path(L"\\argument.txt").c_str()); }
    // Empty while it has not been started since Forget.
    std::string StartedWith() const
    {
        char buf[512];
        DWORD nRead = 0;
        HANDLE file = CreateFileW(Path(L"\\argument.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  NULL, OPEN_EXISTING, 0, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            ReadFile(file, buf, sizeof(buf), &nRead, NULL);
            CloseHandle(file);
        }
        return std::string(buf, nRead);
    }

private:
    std::wstring Path(const wchar_t* pszName) const
    {
        return m_strRoot + L"\\Internet Explorer" + pszName;
    }

    std::wstring m_strRoot;
    bool m_bReady;
};

TEST(WindowMenu, HomePageStartsTheBrowserUnderProgramFilesAsItIsWhenChosen)
{
    CFakeBrowser browser;
    ASSERT_TRUE(browser.Ready()) << "fake_browser.exe is not beside the tests";
    wchar_t szProgramFiles[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"ProgramFiles", szProgramFiles, MAX_PATH);
    // No browser there: a path expanded at start-up finds none.
    SetEnvironmentVariableW(L"ProgramFiles", L"C:\\lutrovane-no-browser");

    CWizardRun run;
    run.Run([&] {
        ASSERT_TRUE(run.StartUp());
        SetEnvironmentVariableW(L"ProgramFiles", browser.ProgramFiles());
        for (WPARAM command : {IDM_HOMEPAGE, IDM_HOMEPAGE + 0xF}) {
            SCOPED_TRACE(command);
            browser.Forget();
            PostMessageW(run.Wizard(), WM_SYSCOMMAND, command, 0);
            EXPECT_TRUE(WaitUntil([&] { return !browser.StartedWith().empty(); }, 2 * kPatienceMs))
                << "no browser started under ProgramFiles as it is now";
            EXPECT_EQ(LUTROVANE_HOME_PAGE, browser.StartedWith());
        }
        ASSERT_TRUE(run.Press(IDCANCEL));
        EXPECT_TRUE(run.Ended());
    });
    SetEnvironmentVariableW(L"ProgramFiles", szProgramFiles);
}

TEST(Wizard, NextLeadsToTheChosenKeyboardsListPageAndBackKeepsTheChoice)
{
    CWizardRun run;
    const BOOL bResult = run.Run([&] {
        ASSERT_TRUE(run.StartUp());
        HWND wizard = run.Wizard();
        EXPECT_EQ(0, run.PageIndex());
        HWND page1 = run.Page();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(i == 0, IsItemChecked(page1, kOptions[i])) << "option " << i << " at start";
        EXPECT_TRUE(run.WaitOffered("Next Cancel")) << run.Offered();

        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            // The first round takes Next at once, on the default option.
            if (i > 0) {
                Click(page1, kOptions[i]);
                EXPECT_TRUE(WaitUntil([&] { return IsItemChecked(page1, kOptions[i]); }));
            }
            ASSERT_TRUE(run.Press(kNext));
            EXPECT_TRUE(run.WaitPage(i + 1)) << "on page " << run.PageIndex();
            EXPECT_EQ(i, run.KeyboardType());
            EXPECT_EQ(kStep2Caption, Text(wizard));
            EXPECT_TRUE(run.WaitOffered("Back Finish Cancel")) << run.Offered();

            ASSERT_TRUE(run.Press(kBack));
            EXPECT_TRUE(run.WaitPage(0)) << "on page " << run.PageIndex();
            EXPECT_EQ(kStep1Caption, Text(wizard));
            for (int j = 0; j < 4; ++j)
                EXPECT_EQ(i == j, IsItemChecked(page1, kOptions[j])) << "option " << j;
            EXPECT_TRUE(run.WaitOffered("Next Cancel")) << run.Offered();
        }

        ASSERT_TRUE(run.Press(kNext));
        EXPECT_TRUE(run.WaitPage(4));
        ASSERT_TRUE(run.Press(kFinish));
        EXPECT_TRUE(run.Ended()) << "Finish did not end the run";
    });
    EXPECT_FALSE(bResult);
}

// Puts the prefix's Scancode Map back as the test found it.
class CSystemMapGuard
{
public:
    CSystemMapGuard() : m_bHad(CUtils::GetScancodeMapRegistry(m_saved, &m_nSaved) == 0) {}
    ~CSystemMapGuard()
    {
        if (m_bHad)
            CUtils::SetScancodeMapRegistry(m_saved, m_nSaved);
        else
            CUtils::DelScancodeMapRegistry();
    }

private:
    unsigned char m_saved[1024] = {};
    unsigned long m_nSaved = sizeof(m_saved);
    bool m_bHad;
};

TEST(ListPage, StartsEmptyAndOffersTheSystemMapExactlyWhenTheRegistryHoldsOne)
{
    CSystemMapGuard guard;
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
        // The second round comes back to pages already made: each activation
        // asks the registry afresh and leaves the other buttons as they were.
        for (bool bSystemMap : {false, true}) {
            if (bSystemMap) {
                ASSERT_EQ(0u, CUtils::SetScancodeMapRegistry(capsToCtrl, sizeof(capsToCtrl)));
            }
            for (int i = 0; i < 4; ++i) {
                SCOPED_TRACE(std::to_string(i) + (bSystemMap ? " with a system map" : ""));
                Click(page1, kOptions[i]);
                ASSERT_TRUE(WaitUntil([&] { return IsItemChecked(page1, kOptions[i]); }));
                ASSERT_TRUE(run.Press(kNext));
                ASSERT_TRUE(run.WaitPage(i + 1));
                HWND page = run.Page();

                HWND list = GetDlgItem(page, IDC_MAP_LIST);
                EXPECT_EQ(0, ListView_GetItemCount(list));
                const wchar_t* headings[] = {L"실제 키", L"매핑 키"};
                for (int col = 0; col < 2; ++col) {
                    wchar_t szHeading[32] = L"";
                    LVCOLUMNW column = {};
                    column.mask = LVCF_TEXT;
                    column.pszText = szHeading;
                    column.cchTextMax = 32;
                    ListView_GetColumn(list, col, &column);
                    EXPECT_STREQ(headings[col], szHeading);
                }

                const struct { int id; bool bEnabled; } buttons[] = {
                    {IDC_ADD_MAP, true},     {IDC_LOAD_FILE, true},  {IDC_NEW_MAP, true},
                    {IDC_MODIFY_MAP, false}, {IDC_DELETE_MAP, false}, {IDC_SAVE_FILE, false},
                    {IDC_APPLY_MAP, false},  {IDC_LOAD_SYSTEM_MAP, bSystemMap},
                    {IDC_REMOVE_SYSTEM_MAP, bSystemMap},
                };
                for (const auto& button : buttons) {
                    EXPECT_EQ(button.bEnabled, IsItemEnabled(page, button.id))
                        << "button " << button.id;
                }

                ASSERT_TRUE(run.Press(kBack));
                ASSERT_TRUE(run.WaitPage(0));
            }
        }
        ASSERT_TRUE(run.Press(IDCANCEL));
        EXPECT_TRUE(run.Ended()) << "Cancel on page 1 did not end the run";
    });
}

} // namespace

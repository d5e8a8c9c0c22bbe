// Start-up, the window menu and the keyboard choice of the running wizard.
#include "window_driver.h"

#include <map>

namespace {

// The program's timers are recorded, not set: the splash closes by its timer only when the test
// fires it, so no step depends on how fast the machine is. E.g. "1001:3000 " for id 1001 at 3000 ms.
std::map<HWND, std::string> g_timers;

UINT_PTR WINAPI HoldTimer(HWND hwnd, UINT_PTR id, UINT nMs, TIMERPROC)
{
    g_timers[hwnd] += std::to_string(id) + ":" + std::to_string(nMs) + " ";
    return id;
}

// A window's style is changed on its own thread only: from another thread a
// read-modify-write of GWL_STYLE can undo a change made meanwhile.
std::atomic<int> g_nForeignStyleChanges{0};
const CImportPatch* g_pStylePatch = NULL;

LONG WINAPI WatchedSetWindowLong(HWND hwnd, int nIndex, LONG nValue)
{
    g_nForeignStyleChanges += nIndex == GWL_STYLE && GetWindowThreadProcessId(hwnd, NULL) != GetCurrentThreadId();
    return g_pStylePatch->Original<decltype(SetWindowLongW)>()(hwnd, nIndex, nValue);
}

// The splash thread runs only once the wizard is disabled: a splash that
// closes at once would have its enabling overtaken by the disabling.
std::atomic<int> g_nEarlyResumes{0};
const CImportPatch* g_pResumePatch = NULL;

BOOL CALLBACK CountEnabledWizard(HWND hwnd, LPARAM)
{
    g_nEarlyResumes += ClassOf(hwnd) == L"#32770" && IsWindowEnabled(hwnd);
    return TRUE;
}

DWORD WINAPI WatchedResumeThread(HANDLE hThread)
{
    EnumThreadWindows(GetCurrentThreadId(), CountEnabledWizard, 0);
    return g_pResumePatch->Original<decltype(ResumeThread)>()(hThread);
}

TEST(StartUp, SplashHoldsTheDisabledWizardUntilItsTimerOrEnterAndAboutSetsNoTimerAndMasksLowBits)
{
    const CImportPatch timers(GetModuleHandleW(NULL), L"user32.dll", "SetTimer", &HoldTimer);
    const CImportPatch styles(GetModuleHandleW(NULL), L"user32.dll", "SetWindowLongW", &WatchedSetWindowLong);
    const CImportPatch resumes(GetModuleHandleW(NULL), L"kernel32.dll", "ResumeThread", &WatchedResumeThread);
    g_pStylePatch = &styles;
    g_pResumePatch = &resumes;
    ASSERT_TRUE(timers.Patched() && styles.Patched() && resumes.Patched());
    // A click closes it in every other test (CWizardRun::StartUp).
    const struct { const char* pszHow; std::function<void(HWND)> close; } ways[] = {
        {"its timer", [](HWND splash) { PostMessageW(splash, WM_TIMER, 1001, 0); }},
        // Under Wine the disabled wizard, not the splash, is in the foreground, and the wizard's own
        // late activation can take it back after the splash got it: Enter again until the splash
        // goes. An Enter that reaches the disabled wizard is lost, never taken for its Next.
        {"Enter", [](HWND splash) {
             WaitUntil([&] {
                 SetForegroundWindow(splash);
                 if (GetForegroundWindow() == splash)
                     PressKey(VK_RETURN);
                 return WaitGone(splash, 1000);
             });
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.pszHow);
        g_timers.clear();
        CWizardRun run;
        run.Run([&] {
            HWND splash = WaitShown(IsPicture), wizard = run.WaitWizard();
            ASSERT_TRUE(splash && wizard) << "no splash or no wizard";
            EXPECT_TRUE(GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_TOPMOST);
            EXPECT_EQ("1001:3000 ", g_timers[splash]) << "not three seconds";
            EXPECT_TRUE(IsWindowVisible(splash) && !IsWindowEnabled(wizard)) << "the wizard takes input under the splash";
            way.close(splash);
            EXPECT_TRUE(WaitGone(splash)) << "the splash stayed on " << way.pszHow;
            // Wine reuses window handles: the About box may get the splash's.
            g_timers.clear();
            EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard) && GetForegroundWindow() == wizard; }))
                << "the wizard is not raised and enabled";
            EXPECT_FALSE(GetWindowLongW(wizard, GWL_EXSTYLE) & WS_EX_TOPMOST);
            // The keys reach it at once: Enter takes Next on page 1.
            PressKey(VK_RETURN);
            EXPECT_TRUE(run.WaitAt(1)) << "Enter on page 1 did not go on";

            // The About box is the splash without its timer, over the disabled
            // wizard; the low four bits of a command are the system's own. Esc closes it.
            PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX + 0xF, 0);
            HWND about = WaitShown(IsPicture);
            ASSERT_TRUE(about) << "no About box";
            EXPECT_EQ("", g_timers[about]) << "the About box would close by itself";
            EXPECT_FALSE(IsWindowEnabled(wizard)) << "the wizard takes input under About";
            ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == about; }));
            PressKey(VK_ESCAPE);
            EXPECT_TRUE(WaitGone(about)) << "Esc did not close About";
            EXPECT_TRUE(run.End(IDCANCEL));
        });
    }
    EXPECT_EQ(0, g_nForeignStyleChanges) << "the splash thread changed the wizard's style";
    EXPECT_EQ(0, g_nEarlyResumes) << "the splash thread ran before the wizard was disabled";
}

TEST(Wizard, NextShowsTheChosenKeyboardsPageBackKeepsTheChoiceEachVisitAsksTheRegistryCloseIsGreyAndTheShellOpensTheHomePage)
{
    SetValue({});
    const wchar_t* const subtitles[] = {L"키보드 종류 : PC용 일반 키보드", L"키보드 종류 : Apple 확장 키보드",
                                        L"키보드 종류 : Apple Pro 키보드", L"키보드 종류 : Apple용 기타 최신 키보드"};
    CWizardRun run;
    run.Run([&] {
        HWND wizard = run.StartUp();
        ASSERT_TRUE(wizard);
        // Only Cancel and Finish end it; the system's own commands go on to the system.
        EXPECT_TRUE(GetMenuState(GetSystemMenu(wizard, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
        for (WPARAM command : {SC_MINIMIZE, SC_RESTORE}) {
            PostMessageW(wizard, WM_SYSCOMMAND, command, 0);
            EXPECT_TRUE(WaitUntil([&] { return bool(IsIconic(wizard)) == (command == SC_MINIMIZE); }))
                << "the system's command " << command << " was swallowed";
        }
        // The browser at %ProgramFiles% as it is at the command, started by the desktop's
        // shell: with the shell's rights, not the wizard's, which may be an administrator's.
        const std::wstring strPrograms = ScratchFolder(L"programs-"), strBrowser = strPrograms + L"Internet Explorer\\";
        wchar_t szSelf[MAX_PATH];
        GetModuleFileNameW(NULL, szSelf, MAX_PATH);
        std::filesystem::create_directories(strBrowser);
        ASSERT_TRUE(std::filesystem::copy_file(std::filesystem::path(szSelf).replace_filename(L"fake_browser.exe"),
                                               strBrowser + L"iexplore.exe"));
        SetEnvironmentVariableW(L"ProgramFiles", strPrograms.substr(0, strPrograms.size() - 1).c_str());
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_HOMEPAGE + 0xF, 0);
        const std::wstring strWanted = L"explorer.exe\n\"" + strBrowser + L"iexplore\" " + Cp949ToWide(LUTROVANE_HOME_PAGE);
        std::wstring strStarted;
        EXPECT_TRUE(WaitUntil([&] {
            const std::string str = ReadText(strBrowser + L"started.txt");
            strStarted.assign(reinterpret_cast<const wchar_t*>(str.data()), str.size() / 2);
            return strStarted.size() >= strWanted.size();
        }));
        EXPECT_EQ(strWanted, strStarted) << "not started by the shell, or not with the address";
        HWND page1 = run.Page();
        // The second round comes back to pages already made.
        for (bool bSystemMap : {false, true}) {
            if (bSystemMap)
                SetValue(MapBytes({}));
            for (int i = 0; i < 4; ++i) {
                SCOPED_TRACE(std::to_string(i) + (bSystemMap ? " with a system map" : ""));
                ASSERT_TRUE(run.GoToList(i));
                const PROPSHEETPAGEW& psp = PageObject(run.Page())->m_psp;
                EXPECT_EQ(subtitles[i], std::wstring(psp.dwFlags & PSP_USEHEADERSUBTITLE ? psp.pszHeaderSubTitle : L"(none)"));
                EXPECT_EQ(bSystemMap ? "LR" : "..", SystemMapButtons(run.Page()));
                ASSERT_TRUE(run.Go(kBack, 0));
                EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page1, kOptions[i])) << "the choice was not kept";
            }
        }
        EXPECT_TRUE(run.End(IDCANCEL));
    });
}

}  // namespace

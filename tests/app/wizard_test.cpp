// The wizard run as the program runs it, and driven from a second thread as a
// user would drive it: by the windows' texts, buttons, mouse and keys.
#include "wizard_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace {

// A splash whose window cannot be created: DialogBoxParam fails at once for
// its template, as for a template that does not load. And a thread resumed
// while the wizard is being made runs to its end before the wizard goes on:
// had the splash thread been free to run before the wizard disabled itself,
// it would now have done so.
class CSplashFails
{
public:
    CSplashFails()
        : m_dialog(GetModuleHandleW(NULL), L"user32.dll", "DialogBoxParamW", &NoSplash),
          m_resume(GetModuleHandleW(NULL), L"kernel32.dll", "ResumeThread", &ResumeToItsEnd)
    {
        s_pThis = this;
    }
    ~CSplashFails() { s_pThis = NULL; }
    bool Patched() const { return m_dialog.Patched() && m_resume.Patched(); }

private:
    static INT_PTR WINAPI NoSplash(HINSTANCE hInstance, LPCWSTR pszTemplate, HWND hwndOwner,
                                   DLGPROC pfnDialog, LPARAM lParam)
    {
        if (pszTemplate == MAKEINTRESOURCEW(IDD_SPLASH)) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return -1;
        }
        return s_pThis->m_dialog.Original<decltype(DialogBoxParamW)>()(hInstance, pszTemplate, hwndOwner,
                                                                        pfnDialog, lParam);
    }

    static BOOL CALLBACK IsDialog(HWND hwnd, LPARAM lParam)
    {
        wchar_t szClass[16] = L"";
        GetClassNameW(hwnd, szClass, 16);
        *reinterpret_cast<bool*>(lParam) |= lstrcmpW(szClass, L"#32770") == 0;
        return TRUE;
    }

    // Serves the messages the resumed thread sends to this thread's windows
    // while it waits for its end.
    static DWORD WINAPI ResumeToItsEnd(HANDLE hThread)
    {
        const DWORD nCount = s_pThis->m_resume.Original<decltype(ResumeThread)>()(hThread);
        bool bWizardBeingMade = false;
        EnumThreadWindows(GetCurrentThreadId(), IsDialog, reinterpret_cast<LPARAM>(&bWizardBeingMade));
        while (bWizardBeingMade
               && MsgWaitForMultipleObjects(1, &hThread, FALSE, kPatienceMs, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        return nCount;
    }

    CImportPatch m_dialog;
    CImportPatch m_resume;
    static inline CSplashFails* s_pThis = NULL;
};

TEST(StartUp, ASplashThatCannotBeCreatedLeavesTheWizardTakingInput)
{
    CSplashFails splashFails;
    ASSERT_TRUE(splashFails.Patched());
    CWizardRun run;
    run.Run([&] {
        HWND wizard = run.WaitWizard();
        ASSERT_TRUE(wizard) << "no wizard";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); })) << "the wizard stays disabled";
        EXPECT_FALSE(FindShown(IsPicture));
        EXPECT_TRUE(run.End(IDCANCEL));
    });
}

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
            // On a control of the page: focus on the frame leaves the keys dead.
            return GetGUIThreadInfo(GetWindowThreadProcessId(wizard, NULL), &info) &&
                   IsChild(run.Page(), info.hwndFocus);
        })) << "the wizard's page has no keyboard focus";
        EXPECT_FALSE(IsTopmost(wizard));

        // The About box, opened before the splash's three seconds are over and
        // kept for three more, must outlive both the splash's timer and its own.
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitShown(IsPicture);
        ASSERT_TRUE(about) << "no About box";
        Sleep(3500);
        EXPECT_TRUE(IsWindowVisible(about)) << "the About box closed by itself";
        ClickOn(about);
        EXPECT_TRUE(WaitGone(about));
        EXPECT_TRUE(run.End(IDCANCEL)) << "Cancel did not end the run";
    });
    EXPECT_FALSE(bResult);
}

TEST(StartUp, SplashClosesByItselfAfterThreeSecondsOrOnEnterAndAboutOnEsc)
{
    CWizardRun run;
    run.Run([&] {
        HWND splash = WaitShown(IsPicture);
        ASSERT_TRUE(splash);
        HWND wizard = run.WaitWizard();
        ASSERT_TRUE(wizard);
        Sleep(1500);
        EXPECT_TRUE(IsWindowVisible(splash) && !IsWindowEnabled(wizard)) << "closed too early";
        EXPECT_TRUE(WaitGone(splash)) << "the splash did not close by itself";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); }));

        // Keys reach the page at once: Esc on About, then Enter takes Next.
        PostMessageW(wizard, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitShown(IsPicture);
        ASSERT_TRUE(about);
        // Keys go to the active window: one pressed before About is active
        // would be lost on a busy machine.
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == about; }));
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitGone(about)) << "Esc did not close About";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard) && GetForegroundWindow() == wizard; }));
        PressKey(VK_RETURN);
        EXPECT_TRUE(run.WaitAt(1)) << "Enter on page 1 did not go on: " << run.Where();
        EXPECT_TRUE(run.End(kFinish));
    });

    CWizardRun runEnter;
    runEnter.Run([&] {
        HWND splash = WaitShown(IsPicture);
        ASSERT_TRUE(splash && runEnter.WaitWizard());
        PressKey(VK_RETURN);
        EXPECT_TRUE(WaitGone(splash)) << "Enter did not close the splash";
        EXPECT_TRUE(runEnter.End(IDCANCEL));
    });
}

TEST(Program, ImportsTheCoreAndAllFourKeyboardModules)
{
    // Loaded as data: the import directory read as the loader would read it.
    wchar_t szPath[MAX_PATH];
    GetModuleFileNameW(NULL, szPath, MAX_PATH);
    std::wstring strProgram(szPath);
    strProgram.replace(strProgram.rfind(L'\\') + 1, std::wstring::npos, L"Lutrovane.exe");
    HMODULE hModule = LoadLibraryExW(strProgram.c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(hModule) << "no Lutrovane.exe beside the tests";
    const BYTE* pBase = reinterpret_cast<const BYTE*>(hModule);
    const IMAGE_NT_HEADERS* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        pBase + reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> imports;
    for (const IMAGE_IMPORT_DESCRIPTOR* p =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(pBase + dir.VirtualAddress);
         dir.VirtualAddress && p->Name; ++p)
        imports.insert(reinterpret_cast<const char*>(pBase + p->Name));
    FreeLibrary(hModule);
    for (const char* pszDll : {"LutrovaneCore.dll", "LutrovanePC.dll", "LutrovaneApplePro.dll",
                               "LutrovaneAppleEtc.dll", "LutrovaneAppleExt.dll"}) {
        EXPECT_EQ(1u, imports.count(pszDll)) << pszDll << " is not imported";
    }
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
        // Each at its own size: the DPI tests look at the sizes.
        EXPECT_TRUE(SendMessageW(wizard, WM_GETICON, ICON_BIG, 0));
        EXPECT_TRUE(SendMessageW(wizard, WM_GETICON, ICON_SMALL, 0));

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

HDC g_hdcWatched = NULL;
std::vector<std::wstring> g_textsDrawn;
const CImportPatch* g_pDrawTextPatch = NULL;

int WINAPI WatchedDrawText(HDC hdc, LPCWSTR pszText, int nCount, LPRECT pRect, UINT uFormat)
{
    if (hdc == g_hdcWatched && !(uFormat & DT_CALCRECT))
        g_textsDrawn.push_back(nCount < 0 ? std::wstring(pszText) : std::wstring(pszText, nCount));
    return g_pDrawTextPatch->Original<decltype(DrawTextW)>()(hdc, pszText, nCount, pRect, uFormat);
}

// The texts the sheet draws in its header for the current page, title first:
// it draws the page into a bitmap of ours, and the common controls' calls of
// DrawText on it are taken down.
std::vector<std::wstring> HeaderTexts(HWND wizard)
{
    HMODULE hCommonControls = NULL;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(wizard, DWLP_DLGPROC)),
                            &hCommonControls))
        return {L"no common controls behind the sheet"};
    const CImportPatch patch(hCommonControls, L"user32.dll", "DrawTextW", &WatchedDrawText);
    g_pDrawTextPatch = &patch;
    RECT rc;
    GetClientRect(wizard, &rc);
    HDC hdcScreen = GetDC(NULL);
    HDC hdc = CreateCompatibleDC(hdcScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hdcScreen, rc.right, rc.bottom);
    HGDIOBJ hOld = SelectObject(hdc, hBitmap);
    g_textsDrawn.clear();
    g_hdcWatched = hdc;
    SendMessageW(wizard, WM_PRINTCLIENT, WPARAM(hdc), PRF_CLIENT);
    g_hdcWatched = NULL;
    g_pDrawTextPatch = NULL;
    SelectObject(hdc, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hdc);
    ReleaseDC(NULL, hdcScreen);
    return g_textsDrawn;
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
    CSystemMapKeeper keeper;
    CUtils::DelScancodeMapRegistry();
    unsigned char capsToCtrl[] = {
        0, 0, 0, 0,  0, 0, 0, 0,  // version, flags
        2, 0, 0, 0,               // entries, the terminator included
        0x1D, 0x00, 0x3A, 0x00,   // Control(left) reported for CapsLock
        0, 0, 0, 0,               // terminator
    };

    CWizardRun run;
    run.Run([&] {
        HWND wizard = run.StartUp();
        ASSERT_TRUE(wizard);
        HWND page1 = run.Page();
        EXPECT_TRUE(run.WaitAt(0)) << run.Where();
        EXPECT_EQ("0", Checked(page1)) << "at start";
        EXPECT_EQ(std::vector<std::wstring>{L"키보드 종류를 선택하세요."}, HeaderTexts(wizard));
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
                // The header the sheet draws for the page: its own keyboard's name.
                const wchar_t* const subtitles[] = {
                    L"키보드 종류 : PC용 일반 키보드", L"키보드 종류 : Apple 확장 키보드",
                    L"키보드 종류 : Apple Pro 키보드", L"키보드 종류 : Apple용 기타 최신 키보드"};
                EXPECT_EQ((std::vector<std::wstring>{L"원하는 키 매핑을 설정하세요.", subtitles[i]}),
                          HeaderTexts(wizard));
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
}

} // namespace

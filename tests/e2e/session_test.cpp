// A session with the real Lutrovane.exe, started and driven from another
// process as a user drives it: the program, its DLLs and the wizard work
// together. What it does is checked where others see it: in the registry.
#include "../window_driver.h"

namespace {

TEST(Session, ChooseAddApplyReloadSaveAndLoadAsAUserWould)
{
    const CValueKeeper keeper;
    SetValue({});
    const std::wstring strFile = ScratchFolder(L"session-") + L"세션 맵.lvd";

    wchar_t szLine[] = L"Lutrovane.exe";  // found beside this program first
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(NULL, szLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    g_dwDrivenProcess = pi.dwProcessId;
    [&] {
        CWizardDriver driver;
        HWND wizard = driver.WaitWizard();
        ASSERT_TRUE(wizard) << "no wizard";
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard) && GetForegroundWindow() == wizard; }))
            << "the splash never let go";
        // The keys reach page 1 at once: Enter takes Next on the PC keyboard.
        PressKey(VK_RETURN);
        ASSERT_TRUE(driver.WaitAt(1)) << "Enter did nothing";
        HWND page = driver.Page();
        const auto rows = [&] { return Rows(GetDlgItem(page, IDC_MAP_LIST)).size(); };
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        ASSERT_TRUE(AddPair(page, L"Control(왼쪽)", L"CapsLock"));
        Click(page, IDC_APPLY_MAP);
        EXPECT_EQ(L"현재 세팅된 스캔코드 맵으로 설정하시겠습니까?", Answer(IDYES));
        // CapsLock and the left Control key swapped.
        EXPECT_TRUE(WaitUntil([&] { return Value() == MapBytes({{0x001D, 0x003A}, {0x003A, 0x001D}}); }))
            << testing::PrintToString(Value());

        const std::pair<int, std::wstring> steps[] = {
            {IDC_NEW_MAP, L""}, {IDC_LOAD_SYSTEM_MAP, L""}, {IDC_SAVE_FILE, strFile}, {IDC_NEW_MAP, L""}, {IDC_LOAD_FILE, strFile}};
        for (const auto& step : steps) {
            Click(page, step.first);
            if (step.first != IDC_SAVE_FILE)
                Answer(IDYES);
            ASSERT_TRUE(step.second.empty() || ChooseFile(step.second));
            EXPECT_TRUE(WaitUntil([&] { return rows() == (step.first == IDC_NEW_MAP ? 0u : 2u); })) << step.first;
        }
        Click(wizard, IDCANCEL);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, kPatienceMs)) << "Cancel did not end the program";
    }();
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace

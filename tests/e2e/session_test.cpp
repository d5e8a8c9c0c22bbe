// A session with the real Lutrovane.exe, started and driven from another
// process as a user drives it: the program, its DLLs and the wizard work
// together. What it does is checked where others see it: in the registry.
#include "../window_driver.h"

#include <prsht.h>

#include <cstdio>

namespace {

// The value as the registry holds it, in hex; "(none)" when there is none.
std::string SystemMap(HKEY hKey)
{
    BYTE ab[1024];
    DWORD cb = sizeof(ab);
    if (RegQueryValueExW(hKey, L"Scancode Map", NULL, NULL, ab, &cb) != ERROR_SUCCESS)
        return "(none)";
    std::string str;
    char sz[3];
    for (DWORD i = 0; i < cb; ++i)
        str += (std::snprintf(sz, sizeof(sz), "%02X", ab[i]), sz);
    return str;
}

TEST(Session, ChooseAddApplyReloadSaveLoadAndRemoveAsAUserWould)
{
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout",
                                           0, KEY_ALL_ACCESS, &hKey));
    BYTE saved[1024];
    DWORD nSaved = sizeof(saved), dwType = 0;
    const bool bHadMap = RegQueryValueExW(hKey, L"Scancode Map", NULL, &dwType, saved, &nSaved) == 0;
    RegDeleteValueW(hKey, L"Scancode Map");
    wchar_t szPath[MAX_PATH];
    GetTempPathW(MAX_PATH, szPath);
    const std::wstring strFile = std::wstring(szPath) + L"세션 맵.lvd";
    DeleteFileW(strFile.c_str());
    // CapsLock and the left Control key swapped.
    const std::string strSwapped = "0000000000000000030000001D003A003A001D0000000000";

    std::wstring strProgram(szPath, GetModuleFileNameW(NULL, szPath, MAX_PATH));
    strProgram.replace(strProgram.rfind(L'\\') + 1, std::wstring::npos, L"Lutrovane.exe");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(strProgram.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    g_dwDrivenProcess = pi.dwProcessId;
    [&] {
        HWND wizard = WaitShown([](HWND hwnd) { return Text(hwnd) == L"Lutrovane v1.0.3 (단계1)"; });
        ASSERT_TRUE(wizard) << "no wizard";
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard) && GetForegroundWindow() == wizard; }))
            << "the splash never let go";
        // The keys reach page 1 at once: Enter takes Next on the PC keyboard.
        PressKey(VK_RETURN);
        ASSERT_TRUE(WaitUntil([&] { return Text(wizard) == L"Lutrovane v1.0.3 (단계2)"; })) << "Enter did nothing";
        HWND page = HWND(SendMessageW(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
        const auto rows = [&] { return Rows(GetDlgItem(page, IDC_MAP_LIST)).size(); };
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        ASSERT_TRUE(AddPair(page, L"Control(왼쪽)", L"CapsLock"));
        Click(page, IDC_APPLY_MAP);
        EXPECT_EQ(L"현재 세팅된 스캔코드 맵으로 설정하시겠습니까?", Answer(IDYES));
        EXPECT_TRUE(WaitUntil([&] { return SystemMap(hKey) == strSwapped; })) << SystemMap(hKey);

        const std::pair<int, std::wstring> steps[] = {
            {IDC_NEW_MAP, L""}, {IDC_LOAD_SYSTEM_MAP, L""}, {IDC_SAVE_FILE, strFile}, {IDC_NEW_MAP, L""}, {IDC_LOAD_FILE, strFile}};
        for (const auto& step : steps) {
            Click(page, step.first);
            if (step.first != IDC_SAVE_FILE)
                Answer(IDYES);
            if (!step.second.empty()) {
                ASSERT_TRUE(ChooseFile(step.second));
            }
            EXPECT_TRUE(WaitUntil([&] { return rows() == (step.first == IDC_NEW_MAP ? 0u : 2u); })) << step.first;
        }
        // Applied again from the file: the same bytes.
        RegDeleteValueW(hKey, L"Scancode Map");
        Click(page, IDC_APPLY_MAP);
        Answer(IDYES);
        EXPECT_TRUE(WaitUntil([&] { return SystemMap(hKey) == strSwapped; })) << SystemMap(hKey);
        Click(page, IDC_REMOVE_SYSTEM_MAP);
        Answer(IDYES);
        EXPECT_TRUE(WaitUntil([&] { return SystemMap(hKey) == "(none)"; })) << SystemMap(hKey);
        Click(wizard, IDCANCEL);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, kPatienceMs)) << "Cancel did not end the program";
    }();
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (bHadMap)
        RegSetValueExW(hKey, L"Scancode Map", 0, dwType, saved, nSaved);
    RegCloseKey(hKey);
    DeleteFileW(strFile.c_str());
}

}  // namespace

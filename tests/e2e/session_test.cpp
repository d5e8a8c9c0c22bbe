// A whole session with the real Lutrovane.exe, driven from another process as
// a user drives it: by window texts, buttons and keys. What the session does
// is checked where others see it: with the system's own reg.exe, and in the
// file it saved.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

const DWORD kPatienceMs = 10000;
const int kNext = 0x3024;
// Controls of the mapping list page and the edit dialog.
const int kApply = 1007, kList = 1008, kAdd = 1009, kLoadFile = 1012, kSaveFile = 1014;
const int kNewMap = 1015, kLoadSystemMap = 1006, kRemoveSystemMap = 1013;
const int kRealKey = 1013, kMapKey = 1015, kSet = 1016;
const wchar_t kKeyboardLayout[] = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

bool WaitUntil(const std::function<bool()>& done, DWORD ms = kPatienceMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(20)) {
        if (GetTickCount() - start >= ms)
            return false;
    }
    return true;
}

std::wstring Text(HWND hwnd)
{
    wchar_t buf[512] = L"";
    GetWindowTextW(hwnd, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[64] = L"";
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

// A program of our own as a user runs it, with the windows it shows.
class CProgram
{
public:
    explicit CProgram(const std::wstring& strPath)
    {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        std::wstring strCommand = L"\"" + strPath + L"\"";
        m_bStarted = CreateProcessW(strPath.c_str(), &strCommand[0], NULL, NULL, FALSE, 0, NULL,
                                    NULL, &si, &m_pi) != FALSE;
    }
    ~CProgram()
    {
        if (!m_bStarted)
            return;
        if (WaitForSingleObject(m_pi.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(m_pi.hProcess, 1);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    bool Started() const { return m_bStarted; }
    bool Ended(DWORD ms) const { return WaitForSingleObject(m_pi.hProcess, ms) == WAIT_OBJECT_0; }

    // The first visible top-level window of the program that match accepts.
    HWND Wait(const std::function<bool(HWND)>& match, DWORD ms = kPatienceMs) const
    {
        HWND found = NULL;
        WaitUntil([&] {
            for (HWND hwnd = NULL; (hwnd = FindWindowExW(NULL, hwnd, NULL, NULL)) != NULL;) {
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                if (pid == m_pi.dwProcessId && IsWindowVisible(hwnd) && match(hwnd))
                    return (found = hwnd) != NULL;
            }
            return false;
        }, ms);
        return found;
    }
    HWND WaitTitled(const std::wstring& strTitle) const
    {
        return Wait([&](HWND hwnd) { return Text(hwnd) == strTitle; });
    }

private:
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
};

void Click(HWND dlg, int id)
{
    HWND button = GetDlgItem(dlg, id);
    WaitUntil([&] { return IsWindowEnabled(button) && IsWindowEnabled(GetAncestor(dlg, GA_ROOT)); });
    PostMessageW(button, BM_CLICK, 0, 0);
}

void PressKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// Answers the program's question with id and returns its text.
std::wstring Answer(const CProgram& program, int id)
{
    HWND box = program.WaitTitled(L"Lutrovane");
    if (!box)
        return L"(none)";
    const std::wstring strText = Text(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, id, 0);
    WaitUntil([&] { return !IsWindow(box); });
    return strText;
}

// Picks the two keys by name in the edit dialog and sets them.
bool AddPair(const CProgram& program, HWND page, const wchar_t* pszReal, const wchar_t* pszMapped)
{
    Click(page, kAdd);
    HWND dlg = program.WaitTitled(L"스캔코드 맵 추가/수정");
    if (!dlg)
        return false;
    const std::pair<int, const wchar_t*> choices[] = {{kRealKey, pszReal}, {kMapKey, pszMapped}};
    for (const auto& choice : choices) {
        if (SendMessageW(GetDlgItem(dlg, choice.first), CB_SELECTSTRING, WPARAM(-1),
                         LPARAM(choice.second)) == CB_ERR)
            return false;
    }
    Click(dlg, kSet);
    return WaitUntil([&] { return !IsWindow(dlg) && IsWindowEnabled(GetAncestor(page, GA_ROOT)); });
}

// Types the path into the program's file dialog and confirms it.
bool ChooseFile(const CProgram& program, const std::wstring& strPath)
{
    HWND dlg = program.Wait([](HWND hwnd) {
        return ClassOf(hwnd) == L"#32770" && Text(hwnd) != L"Lutrovane" &&
               (GetDlgItem(hwnd, 0x47C) || GetDlgItem(hwnd, 0x480));
    });
    if (!dlg)
        return false;
    HWND name = GetDlgItem(dlg, 0x47C) ? GetDlgItem(dlg, 0x47C) : GetDlgItem(dlg, 0x480);
    SendMessageW(name, WM_SETTEXT, 0, LPARAM(strPath.c_str()));
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(dlg, IDOK)));
    return WaitUntil([&] { return !IsWindow(dlg); });
}

int Rows(HWND page) { return int(SendMessageW(GetDlgItem(page, kList), LVM_GETITEMCOUNT, 0, 0)); }

// What the system's reg.exe prints for the value, e.g. "REG_BINARY 0000...",
// or "(none)" when it finds no such value.
std::string RegQuery()
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hRead, hWrite;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return "(no pipe)";
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = hWrite;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring strCommand = std::wstring(L"reg.exe query \"") + kKeyboardLayout + L"\" /v \"Scancode Map\"";
    PROCESS_INFORMATION pi = {};
    const BOOL bStarted = CreateProcessW(NULL, &strCommand[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    CloseHandle(hWrite);
    std::string strOut;
    char buf[512];
    DWORD n;
    while (bStarted && ReadFile(hRead, buf, sizeof(buf), &n, NULL) && n)
        strOut.append(buf, n);
    CloseHandle(hRead);
    if (!bStarted)
        return "(no reg.exe)";
    WaitForSingleObject(pi.hProcess, kPatienceMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const size_t nType = strOut.find("REG_BINARY");
    if (nType == std::string::npos)
        return "(none)";
    std::string str = "REG_BINARY ";
    for (size_t i = nType + 10; i < strOut.size() && strOut[i] != '\r' && strOut[i] != '\n'; ++i) {
        if (strOut[i] != ' ')
            str += strOut[i];
    }
    return str;
}

std::wstring BesideThisProgram(const wchar_t* pszName)
{
    wchar_t szPath[MAX_PATH];
    std::wstring str(szPath, GetModuleFileNameW(NULL, szPath, MAX_PATH));
    return str.replace(str.rfind(L'\\') + 1, std::wstring::npos, pszName);
}

TEST(Session, ChooseAddApplyReloadSaveLoadAndRemoveAsAUserWould)
{
    // The prefix's map as this test found it comes back at the end.
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyboardLayout + 5, 0,
                                           KEY_ALL_ACCESS, &hKey));
    BYTE saved[1024];
    DWORD nSaved = sizeof(saved), dwType = 0;
    const bool bHadMap = RegQueryValueExW(hKey, L"Scancode Map", NULL, &dwType, saved, &nSaved) == 0;
    RegDeleteValueW(hKey, L"Scancode Map");

    wchar_t szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strFile = std::wstring(szTemp) + L"세션 맵.lvd";
    DeleteFileW(strFile.c_str());
    // CapsLock and the left Control key swapped.
    const std::string strSwapped = "REG_BINARY 0000000000000000030000001D003A003A001D0000000000";

    CProgram program(BesideThisProgram(L"Lutrovane.exe"));
    ASSERT_TRUE(program.Started());
    HWND wizard = program.WaitTitled(L"Lutrovane v1.0.3 (단계1)");
    ASSERT_TRUE(wizard) << "no wizard";
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(wizard); })) << "the splash never let go";
    // The keys reach page 1 at once: Enter takes Next on the PC keyboard.
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return Text(wizard) == L"Lutrovane v1.0.3 (단계2)"; }))
        << "Enter did nothing on page 1";
    HWND page = HWND(SendMessageW(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_TRUE(page);

    ASSERT_TRUE(AddPair(program, page, L"CapsLock", L"Control(왼쪽)"));
    ASSERT_TRUE(AddPair(program, page, L"Control(왼쪽)", L"CapsLock"));
    EXPECT_EQ(2, Rows(page));

    Click(page, kApply);
    EXPECT_EQ(L"현재 세팅된 스캔코드 맵으로 설정하시겠습니까?", Answer(program, IDYES));
    EXPECT_TRUE(WaitUntil([&] { return RegQuery() == strSwapped; })) << RegQuery();

    Click(page, kNewMap);
    Answer(program, IDYES);
    EXPECT_TRUE(WaitUntil([&] { return Rows(page) == 0; }));
    Click(page, kLoadSystemMap);
    Answer(program, IDYES);
    EXPECT_TRUE(WaitUntil([&] { return Rows(page) == 2; })) << "the system map did not load";

    Click(page, kSaveFile);
    ASSERT_TRUE(ChooseFile(program, strFile));
    std::vector<unsigned char> file;
    EXPECT_TRUE(WaitUntil([&] {
        std::ifstream in(strFile.c_str(), std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
        return file.size() == 1080 + 8;
    })) << "no map data file of two mappings";

    Click(page, kNewMap);
    Answer(program, IDYES);
    EXPECT_TRUE(WaitUntil([&] { return Rows(page) == 0; }));
    Click(page, kLoadFile);
    EXPECT_EQ(L"모든 매핑 설정을 삭제하고 매핑 데이터를 로드하시겠습니까?", Answer(program, IDYES));
    ASSERT_TRUE(ChooseFile(program, strFile));
    EXPECT_TRUE(WaitUntil([&] { return Rows(page) == 2; })) << "the file did not load";

    // Applied again from the file: the same bytes.
    RegDeleteValueW(hKey, L"Scancode Map");
    Click(page, kApply);
    Answer(program, IDYES);
    EXPECT_TRUE(WaitUntil([&] { return RegQuery() == strSwapped; })) << RegQuery();

    Click(page, kRemoveSystemMap);
    EXPECT_EQ(L"현재 시스템에 설정되어있는 맵 데이터를 제거하시겠습니까?", Answer(program, IDYES));
    EXPECT_TRUE(WaitUntil([&] { return RegQuery() == "(none)"; })) << RegQuery();
    EXPECT_EQ(2, Rows(page)) << "Remove took the rows";

    Click(wizard, IDCANCEL);
    EXPECT_TRUE(program.Ended(kPatienceMs)) << "Cancel did not end the program";

    if (bHadMap)
        RegSetValueExW(hKey, L"Scancode Map", 0, dwType, saved, nSaved);
    RegCloseKey(hKey);
    DeleteFileW(strFile.c_str());
}

}  // namespace

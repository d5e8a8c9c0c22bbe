// The browser of the home page test: writes the name of the program that
// started it and its own command line to started.txt beside itself (UTF-16).
#include <windows.h>
#include <tlhelp32.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD dwParent = 0, nWritten;
    std::wstring strText;
    // The first pass finds this process's parent, the second its name.
    for (DWORD dwFind = GetCurrentProcessId(), nPass = 0; nPass < 2; dwFind = dwParent, ++nPass) {
        for (BOOL b = Process32FirstW(hSnapshot, &entry); b; b = Process32NextW(hSnapshot, &entry)) {
            if (entry.th32ProcessID == dwFind) {
                dwParent = entry.th32ParentProcessID;
                strText = entry.szExeFile;
            }
        }
    }
    strText += L"\n" + std::wstring(GetCommandLineW());
    wchar_t szPath[MAX_PATH];
    const std::wstring strPath(szPath, GetModuleFileNameW(NULL, szPath, MAX_PATH));
    const HANDLE hFile = CreateFileW((strPath.substr(0, strPath.rfind(L'\\') + 1) + L"started.txt").c_str(),
                                     GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    WriteFile(hFile, strText.data(), DWORD(strText.size() * sizeof(wchar_t)), &nWritten, NULL);
    return 0;
}

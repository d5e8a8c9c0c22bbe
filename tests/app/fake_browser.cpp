// Stands in for the web browser of the home page command: writes the name of
// the program that started it and its own command line to started.txt
// beside itself (UTF-16, one line each), then ends.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD dwParent = 0;
    for (BOOL b = Process32FirstW(hSnapshot, &entry); b; b = Process32NextW(hSnapshot, &entry))
        dwParent = entry.th32ProcessID == GetCurrentProcessId() ? entry.th32ParentProcessID : dwParent;
    std::wstring strText = L"(none)";
    for (BOOL b = Process32FirstW(hSnapshot, &entry); b; b = Process32NextW(hSnapshot, &entry))
        strText = entry.th32ProcessID == dwParent ? entry.szExeFile : strText;
    CloseHandle(hSnapshot);
    strText += L"\n" + std::wstring(GetCommandLineW());

    wchar_t szPath[MAX_PATH];
    GetModuleFileNameW(NULL, szPath, MAX_PATH);
    std::wstring strPath = szPath;
    strPath.replace(strPath.rfind(L'\\') + 1, std::wstring::npos, L"started.txt");
    const HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD nWritten;
    WriteFile(hFile, strText.data(), DWORD(strText.size() * sizeof(wchar_t)), &nWritten, NULL);
    CloseHandle(hFile);
    return 0;
}

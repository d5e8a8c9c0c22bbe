// Starts a program and waits for its first visible top-level window.
//   first_window [--settle MS] PROGRAM [ARGUMENT...]
// Prints "<ms from CreateProcess to the window> <working set in KB>" and ends
// the program; the working set is read MS milliseconds after the window
// appeared (default 0). Exit code 0 when a window came within 30 s, else 1.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct SSearch
{
    DWORD dwProcessId;
    HWND hwnd;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam)
{
    SSearch* pSearch = reinterpret_cast<SSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == pSearch->dwProcessId && IsWindowVisible(hwnd)) {
        pSearch->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Quoted as CommandLineToArgvW reads it back; no argument here ends in '\'.
std::wstring Quoted(const wchar_t* psz)
{
    return std::wstring(L"\"") + psz + L"\"";
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int i = 1;
    DWORD dwSettleMs = 0;
    if (argc > 2 && std::wcscmp(argv[1], L"--settle") == 0) {
        dwSettleMs = std::wcstoul(argv[2], NULL, 10);
        i = 3;
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: first_window [--settle MS] PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    std::wstring strCommand;
    for (int k = i; k < argc; ++k)
        strCommand += (k > i ? L" " : L"") + Quoted(argv[k]);

    LARGE_INTEGER freq, start, now;
    QueryPerformanceFrequency(&freq);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(NULL, &strCommand[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        std::fprintf(stderr, "first_window: cannot start the program (error %lu)\n",
                     GetLastError());
        return 1;
    }
    SSearch search = {pi.dwProcessId, NULL};
    double dMs = 0;
    for (;;) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&now);
        dMs = double(now.QuadPart - start.QuadPart) * 1000.0 / double(freq.QuadPart);
        if (search.hwnd || dMs > 30000 || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(1);
    }
    if (search.hwnd && dwSettleMs)
        Sleep(dwSettleMs);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc));
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    if (!search.hwnd) {
        std::fprintf(stderr, "first_window: no window appeared\n");
        return 1;
    }
    std::printf("%.1f %lu\n", dMs, static_cast<unsigned long>(pmc.WorkingSetSize / 1024));
    return 0;
}

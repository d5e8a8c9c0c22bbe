// Times two commands as whole processes, by turns: from CreateProcess to the
// process's end, its output thrown away. The baseline may be several command
// lines, run one after another. In each command line "{}" stands for 1 and 2
// by turns, so that a command can alternate between two files.
//   process_pair FIGURE ROUNDS "OUR COMMAND LINE" "BASELINE COMMAND LINE"...
// Prints "FIGURE OURS_MS BARE_MS RATIO" (medians; the ratio is the median of
// the rounds' ratios). Exit code 1 when a command fails or does not end
// within a minute.
#include "bench_util.h"

#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

HANDLE g_hNul = INVALID_HANDLE_VALUE;
bool g_bFailed = false;

void Run(const wchar_t* pszCommand, int nRun)
{
    std::wstring strCommand = pszCommand;  // CreateProcessW may write into it
    for (size_t i; (i = strCommand.find(L"{}")) != std::wstring::npos;)
        strCommand.replace(i, 2, nRun % 2 ? L"2" : L"1");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = g_hNul;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(NULL, &strCommand[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
        std::fwprintf(stderr, L"process_pair: cannot start %ls (error %lu)\n", pszCommand,
                      GetLastError());
        std::exit(1);
    }
    DWORD dwExit = 1;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (dwExit != 0 && !g_bFailed) {
        std::fwprintf(stderr, L"process_pair: %ls failed with exit code %lu\n", pszCommand,
                      dwExit);
        g_bFailed = true;
    }
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 5) {
        std::fprintf(stderr, "usage: process_pair FIGURE ROUNDS OURS BASELINE...\n");
        return 2;
    }
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    g_hNul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &sa, OPEN_EXISTING, 0, NULL);
    int nOurs = 0, nBare = 0;
    const bench::SPair pair = bench::Interleaved(
        _wtoi(argv[2]), [&] { Run(argv[3], nOurs++); },
        [&] {
            for (int i = 4; i < argc; ++i)
                Run(argv[i], nBare);
            ++nBare;
        });
    if (g_bFailed)
        return 1;
    char szFigure[64];
    WideCharToMultiByte(CP_ACP, 0, argv[1], -1, szFigure, sizeof(szFigure), NULL, NULL);
    bench::PrintPair(szFigure, pair, 1e-3);
    return 0;
}

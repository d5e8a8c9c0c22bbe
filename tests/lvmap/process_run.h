#pragma once

#include "../scratch.h"

#include <functional>

struct SRun { DWORD dwExit; std::string strOut, strErr; };

// Runs a program as a script runs it, its output and errors going to out.txt and err.txt in folder;
// duringRun may read them and act meanwhile. The deadline only turns a hung program into a failure.
// dwOutAccess GENERIC_READ gives it an output that no write reaches, as a full disk would.
inline SRun RunProgram(const std::wstring& folder, std::wstring line, const std::function<void()>& duringRun = [] {},
                       DWORD dwOutAccess = GENERIC_WRITE)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    const std::wstring out = folder + L"out.txt", err = folder + L"err.txt";
    si.hStdOutput = CreateFileW(out.c_str(), dwOutAccess, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    si.hStdError = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION pi = {};
    DWORD dwExit = 0xFFFFFFFF;
    // Under Wine on a loaded machine a start is now and then refused before
    // the program runs at all (seen twice, the reason not kept): one more try,
    // and a refusal that stays is told with its reason.
    BOOL bStarted = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (!bStarted) {
        Sleep(500);
        bStarted = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    }
    const DWORD dwStartError = bStarted ? 0 : GetLastError();
    if (bStarted) {
        duringRun();
        if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        GetExitCodeProcess(pi.hProcess, &dwExit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    SRun run = {dwExit, ReadText(out), ReadText(err)};
    if (dwStartError)
        run.strErr += "not started, error " + std::to_string(dwStartError);
    return run;
}

// Programs run as a script runs them, their standard output and error going to files.
#pragma once

#include "../scratch.h"

#include <functional>

struct SRun { DWORD dwExit = 0xFFFFFFFF; std::string strOut, strErr; };

// Runs a program whose standard output and error go to out.txt and err.txt in
// folder; duringRun may read them and act while it runs. The deadline only
// turns a hung program into a failure.
inline SRun RunProgram(const std::wstring& folder, std::wstring line, const std::function<void()>& duringRun = [] {})
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    const std::wstring out = folder + L"out.txt", err = folder + L"err.txt";
    si.hStdOutput = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    si.hStdError = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION pi = {};
    SRun run;
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        duringRun();
        if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        GetExitCodeProcess(pi.hProcess, &run.dwExit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    run.strOut = ReadText(out);
    run.strErr = ReadText(err);
    return run;
}

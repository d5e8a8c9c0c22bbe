// Programs run as a script runs them, output to files; those files and the Scancode Map values.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

// Empty when the file is missing; a program may be writing it.
inline std::string ReadAll(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

template <class TBytes>
void WriteAll(const std::wstring& path, const TBytes& bytes)
{
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A folder of this process's own below %TEMP%, with a trailing backslash.
inline std::wstring ScratchFolder(const wchar_t* pszName)
{
    const auto folder = std::filesystem::temp_directory_path() / (pszName + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    return folder.wstring() + L"\\";
}

// The Scancode Map value under a key of HKEY_LOCAL_MACHINE: false and empty if none.
inline bool ReadValue(const std::wstring& key, Bytes* pBytes, DWORD* pType = nullptr)
{
    DWORD nSize = 70000;
    pBytes->resize(nSize);
    const bool bFound =
        !RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Scancode Map", RRF_RT_ANY, pType, pBytes->data(), &nSize);
    pBytes->resize(bFound ? nSize : 0);
    return bFound;
}

// Sets the value as binary, creating the key; no bytes leave the key without it.
inline bool StoreValue(const std::wstring& key, const Bytes& bytes)
{
    const DWORD nSize = static_cast<DWORD>(bytes.size());
    return !RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Scancode Map", REG_BINARY, bytes.data(), nSize)
           && (nSize || !RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Scancode Map"));
}

// A program's exit code and the bytes it wrote to standard output and error.
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
    run.strOut = ReadAll(out);
    run.strErr = ReadAll(err);
    return run;
}

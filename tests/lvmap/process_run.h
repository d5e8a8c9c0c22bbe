// Programs run as a script runs them, their output going to files, and the
// files and Scancode Map values they work on.
#pragma once

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

// Empty when the file is missing. _wfopen shares it with a writer.
inline std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    if (FILE* pFile = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pFile)) > 0;)
            bytes.append(buffer, n);
        fclose(pFile);
    }
    return bytes;
}

template <class TBytes>
void WriteAll(const std::wstring& path, const TBytes& bytes)
{
    if (FILE* pFile = _wfopen(path.c_str(), L"wb")) {
        fwrite(bytes.data(), 1, bytes.size(), pFile);
        fclose(pFile);
    }
}

// A folder of this process's own below %TEMP%, with a trailing backslash;
// std::filesystem::remove_all takes it away.
inline std::wstring ScratchFolder(const wchar_t* pszName)
{
    const auto folder = std::filesystem::temp_directory_path() / (pszName + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    return folder.wstring() + L"\\";
}

// The Scancode Map value under a key of HKEY_LOCAL_MACHINE: false, and
// *pBytes empty, when there is none.
inline bool ReadValue(const std::wstring& key, Bytes* pBytes, DWORD* pType = nullptr)
{
    DWORD nSize = 70000;
    pBytes->resize(nSize);
    const bool bFound = RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Scancode Map", RRF_RT_ANY, pType,
                                     pBytes->data(), &nSize) == ERROR_SUCCESS;
    pBytes->resize(bFound ? nSize : 0);
    return bFound;
}

// Creates the key and sets the value as binary; no bytes delete the value.
inline bool StoreValue(const std::wstring& key, const Bytes& bytes)
{
    HKEY hKey;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr))
        return false;
    if (bytes.empty())
        RegDeleteValueW(hKey, L"Scancode Map");
    else
        RegSetValueExW(hKey, L"Scancode Map", 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(hKey);
    return true;
}

struct SRun
{
    DWORD dwExit = 0xFFFFFFFF;
    std::string strOut;  // the bytes written, UTF-8 for lvmap
    std::string strErr;
};

// Runs a program whose standard output and error go to out.txt and err.txt in
// folder; duringRun may read them and act while it runs. The deadline only
// turns a hung program into a failure.
inline SRun RunProgram(const std::wstring& folder, std::wstring line, const std::function<void()>& duringRun = {})
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = CreateFileW((folder + L"out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, 0);
    si.hStdError = CreateFileW((folder + L"err.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, 0);
    PROCESS_INFORMATION pi = {};
    SRun run;
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        if (duringRun)
            duringRun();
        if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        GetExitCodeProcess(pi.hProcess, &run.dwExit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    run.strOut = ReadAll(folder + L"out.txt");
    run.strErr = ReadAll(folder + L"err.txt");
    return run;
}

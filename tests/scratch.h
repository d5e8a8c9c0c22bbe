// What other programs see of the code under test: files in a folder of the
// test's own and the Scancode Map value, read and written without the code
// under test, and waits for the states these reach; and calls it makes into
// the system, watched or made to fail.
#pragma once

#include <windows.h>

#include "map_bytes.h"

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

// How long a state may take to come. Waits end as soon as it is there, so
// only a failing test waits this long; on a busy machine Wine can take
// seconds for a window or a program.
inline constexpr DWORD kPatienceMs = 20000;

inline bool WaitUntil(const std::function<bool()>& done, DWORD ms = kPatienceMs)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if (GetTickCount() - start >= ms)
            return false;
    }
    return true;
}

// A folder of this process's own below %TEMP%, emptied, with a trailing backslash.
inline std::wstring ScratchFolder(const wchar_t* pszName)
{
    const auto folder = std::filesystem::temp_directory_path() / (pszName + std::to_wstring(GetCurrentProcessId()));
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    return folder.wstring() + L"\\";
}

inline long FileCount(const std::wstring& strFolder)
{
    return long(std::distance(std::filesystem::directory_iterator(strFolder), std::filesystem::directory_iterator()));
}

// A file's bytes; none when it is missing. Read sharing delete: a program that
// puts a file in place by a rename would fail on a reader without it.
inline Bytes ReadAll(const std::wstring& strPath)
{
    Bytes bytes;
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    DWORD nRead = 0;
    if (hFile != INVALID_HANDLE_VALUE) {
        bytes.resize(GetFileSize(hFile, NULL));
        ReadFile(hFile, bytes.data(), DWORD(bytes.size()), &nRead, NULL);
        CloseHandle(hFile);
    }
    bytes.resize(nRead);
    return bytes;
}

inline std::string ReadText(const std::wstring& strPath)
{
    const Bytes bytes = ReadAll(strPath);
    return std::string(bytes.begin(), bytes.end());
}

template <class TBytes>
void WriteAll(const std::wstring& strPath, const TBytes& bytes)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD nWritten;
    WriteFile(hFile, bytes.data(), DWORD(bytes.size()), &nWritten, NULL);
    CloseHandle(hFile);
}

// The Scancode Map value under a key of HKEY_LOCAL_MACHINE, and its type;
// none: no bytes and REG_NONE.
inline Bytes Value(DWORD* pType = NULL, const std::wstring& strKey = kLayoutKey)
{
    Bytes value(70000);  // more than any map, or any value a test sets
    DWORD nSize = DWORD(value.size()), dwType = REG_NONE;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, strKey.c_str(), L"Scancode Map", RRF_RT_ANY, &dwType, value.data(), &nSize)) {
        nSize = 0;
        dwType = REG_NONE;
    }
    value.resize(nSize);
    if (pType)
        *pType = dwType;
    return value;
}

// Sets the value as another program would, making the key if it is gone; no
// bytes as REG_BINARY remove the value.
inline bool SetValue(const Bytes& value, DWORD dwType = REG_BINARY, const std::wstring& strKey = kLayoutKey)
{
    if (value.empty() && dwType == REG_BINARY) {
        HKEY hKey;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) == 0)
            RegCloseKey(hKey);
        const LSTATUS status = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, strKey.c_str(), L"Scancode Map");
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, strKey.c_str(), L"Scancode Map", dwType, value.data(),
                           DWORD(value.size())) == ERROR_SUCCESS;
}

// Points a module's imports of one function at a replacement while it lives:
// the tests watch, or make fail, a call the program makes into the system.
// The replacement reaches the function itself through Original().
class CImportPatch
{
public:
    template <class TFunction>
    CImportPatch(HMODULE hModule, const wchar_t* pszDll, const char* pszFunction, TFunction* pfnReplacement)
        : m_original(ULONG_PTR(GetProcAddress(GetModuleHandleW(pszDll), pszFunction)))
    {
        BYTE* pBase = reinterpret_cast<BYTE*>(hModule);
        const auto* pHeaders = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + PIMAGE_DOS_HEADER(pBase)->e_lfanew);
        const DWORD dwImports = pHeaders->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (auto* pImport = PIMAGE_IMPORT_DESCRIPTOR(pBase + dwImports); m_original && dwImports && pImport->Name; ++pImport) {
            for (auto* pSlot = reinterpret_cast<ULONG_PTR*>(pBase + pImport->FirstThunk); *pSlot; ++pSlot) {
                if (*pSlot == m_original)
                    m_slots.push_back(Write(pSlot, ULONG_PTR(pfnReplacement)));
            }
        }
    }
    ~CImportPatch()
    {
        for (ULONG_PTR* pSlot : m_slots)
            Write(pSlot, m_original);
    }
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    bool Patched() const { return !m_slots.empty(); }
    template <class TFunction>
    TFunction* Original() const { return reinterpret_cast<TFunction*>(m_original); }

private:
    static ULONG_PTR* Write(ULONG_PTR* pSlot, ULONG_PTR value)
    {
        DWORD dwOld;
        VirtualProtect(pSlot, sizeof(*pSlot), PAGE_READWRITE, &dwOld);
        *pSlot = value;
        VirtualProtect(pSlot, sizeof(*pSlot), dwOld, &dwOld);
        return pSlot;
    }

    ULONG_PTR m_original;
    std::vector<ULONG_PTR*> m_slots;
};

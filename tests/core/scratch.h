// A fixture that gives each test a folder of its own under %TEMP%, made its
// ProgramData, and the keyboard layout key without a Scancode Map value; the
// test's files, value and ProgramData go again at its end.
#pragma once

#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

class Scratch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t sz[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, sz);
        m_folder = std::wstring(sz) + L"lvtest-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), nullptr);
        sz[0] = L'\0';
        GetEnvironmentVariableW(L"ProgramData", sz, MAX_PATH);
        m_oldProgramData = sz;
        SetEnvironmentVariableW(L"ProgramData", m_folder.c_str());
        SetValue(REG_NONE, {});
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(L"ProgramData", m_oldProgramData.c_str());
        SetValue(REG_NONE, {});
        DeleteTree(m_folder);
    }

    // Sets the value as another program would, the key made where it is
    // missing; REG_NONE without bytes removes the value.
    static void SetValue(DWORD dwType, const Bytes& value)
    {
        HKEY hKey;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
        RegDeleteValueW(hKey, L"Scancode Map");
        if (dwType != REG_NONE || !value.empty())
            RegSetValueExW(hKey, L"Scancode Map", 0, dwType, value.data(), DWORD(value.size()));
        RegCloseKey(hKey);
    }

    // The value's bytes and type as an outside reader finds them; none: REG_NONE.
    static Bytes Value(DWORD* pType = nullptr)
    {
        Bytes value(4096);
        DWORD nSize = DWORD(value.size()), dwType = REG_NONE;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kLayoutKey, L"Scancode Map", RRF_RT_ANY, &dwType,
                         value.data(), &nSize) != ERROR_SUCCESS)
            nSize = 0;
        if (pType)
            *pType = dwType;
        value.resize(nSize);
        return value;
    }

    std::wstring Path(const std::wstring& strName) const { return m_folder + L"\\" + strName; }
    // The same path as code page 949 text: the folder's path is ASCII.
    CString Path(const char* pszName) const
    {
        return CString((std::string(m_folder.begin(), m_folder.end()) + "\\" + pszName).c_str());
    }

    static void Write(const std::wstring& strPath, const Bytes& bytes)
    {
        HANDLE h = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n;
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }

    static Bytes Read(const std::wstring& strPath)
    {
        HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        Bytes bytes(h == INVALID_HANDLE_VALUE ? 0 : GetFileSize(h, nullptr));
        DWORD n = 0;
        ReadFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
        CloseHandle(h);
        bytes.resize(n);
        return bytes;
    }

    // The names in a folder, but "." and "..".
    static std::vector<std::wstring> Names(const std::wstring& strFolder)
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW fd;
        HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &fd);
        for (BOOL b = hFind != INVALID_HANDLE_VALUE; b; b = FindNextFileW(hFind, &fd)) {
            if (fd.cFileName[0] != L'.')
                names.push_back(fd.cFileName);
        }
        FindClose(hFind);
        return names;
    }

    static void DeleteTree(const std::wstring& strPath)
    {
        for (const std::wstring& strName : Names(strPath))
            DeleteTree(strPath + L"\\" + strName);
        SetFileAttributesW(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(strPath.c_str()))
            RemoveDirectoryW(strPath.c_str());
    }

    std::wstring m_folder;
    std::wstring m_oldProgramData;
};

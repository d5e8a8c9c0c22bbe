// Gives each test a folder of its own under %TEMP%, made its ProgramData, and
// the keyboard layout key without a Scancode Map value; the folder and any
// value go at its end.
#pragma once

#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

class Scratch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = (fs::temp_directory_path() / ("lvtest-" + std::to_string(GetCurrentProcessId()))).wstring();
        fs::create_directory(m_folder);
        SetEnvironmentVariableW(L"ProgramData", m_folder.c_str());
        SetValue(REG_NONE, {});
    }

    void TearDown() override
    {
        SetValue(REG_NONE, {});
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_folder))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
        fs::remove_all(m_folder);
    }

    // Sets the value as another program would, the key made where a test took
    // it away; REG_NONE without bytes removes the value.
    static void SetValue(DWORD dwType, const Bytes& value)
    {
        HKEY hKey;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
        RegDeleteValueW(hKey, L"Scancode Map");
        if (dwType != REG_NONE || !value.empty())
            RegSetValueExW(hKey, L"Scancode Map", 0, dwType, value.data(), DWORD(value.size()));
        RegCloseKey(hKey);
    }

    // The value's bytes as an outside reader finds them, and their type; none: REG_NONE.
    static Bytes Value(DWORD* pType = nullptr)
    {
        Bytes value(4096);
        DWORD nSize = DWORD(value.size()), dwType = REG_NONE;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kLayoutKey, L"Scancode Map", RRF_RT_ANY, &dwType, value.data(),
                         &nSize) != ERROR_SUCCESS)
            nSize = 0;
        if (pType)
            *pType = dwType;
        value.resize(nSize);
        return value;
    }

    std::wstring Path(const std::wstring& strName) const { return m_folder + L"\\" + strName; }
    // The same path as code page 949 text: the folder's path is ASCII.
    CString Path(const char* pszName) const { return CString(fs::path(Path(L"")).string().append(pszName).c_str()); }

    static void Write(const std::wstring& strPath, const Bytes& bytes)
    {
        std::ofstream(fs::path(strPath), std::ios::binary).write((const char*)bytes.data(), bytes.size());
    }

    static Bytes Read(const std::wstring& strPath)
    {
        std::ifstream file(fs::path(strPath), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    static std::vector<std::wstring> Names(const std::wstring& strFolder)
    {
        std::vector<std::wstring> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(strFolder))
            names.push_back(entry.path().filename().wstring());
        return names;
    }

    std::wstring m_folder;
};

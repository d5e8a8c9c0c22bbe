// Gives each test a scratch folder as its ProgramData, and the keyboard layout
// key without a Scancode Map value; the folder and any value go at its end.
#pragma once

#include "lutrovane_core.h"

#include "../scratch.h"

#include <gtest/gtest.h>

#include <iterator>

namespace fs = std::filesystem;

class ProgramData : public testing::Test
{
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"ProgramData", m_folder.c_str());
        SetValue({});
    }

    void TearDown() override
    {
        SetValue({});
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_folder))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
        fs::remove_all(m_folder);
    }

    // As code page 949 text for the core: the folder's path is ASCII.
    CString Path(const char* pszName) const { return CString((fs::path(m_folder).string() + pszName).c_str()); }

    static long Count(const std::wstring& strFolder)
    {
        return long(std::distance(fs::directory_iterator(strFolder), fs::directory_iterator()));
    }

    const std::wstring m_folder = ScratchFolder(L"lvtest-");
};

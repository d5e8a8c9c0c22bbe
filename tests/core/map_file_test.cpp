#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Each test works in a folder of its own. Its path is ASCII, so its code page
// 949 form is the same characters; file names are given in both forms.
class MapFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t szTemp[MAX_PATH];
        GetTempPathW(MAX_PATH, szTemp);
        m_folder = std::wstring(szTemp) + L"lvtest-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(m_folder.c_str(), nullptr);
    }

    void TearDown() override
    {
        for (const std::wstring& name : Files())
            DeleteFileW((m_folder + name).c_str());
        RemoveDirectoryW(m_folder.c_str());
    }

    CString Path(const char* pszName) const
    {
        return CString((std::string(m_folder.begin(), m_folder.end()) + pszName).c_str());
    }

    void Write(const wchar_t* pszName, const Bytes& bytes)
    {
        HANDLE h = CreateFileW((m_folder + pszName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }

    Bytes Read(const wchar_t* pszName)
    {
        HANDLE h = CreateFileW((m_folder + pszName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        Bytes bytes(8192);
        DWORD n = 0;
        ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
        bytes.resize(n);
        return bytes;
    }

    std::vector<std::wstring> Files()
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW fd;
        HANDLE hFind = FindFirstFileW((m_folder + L"*").c_str(), &fd);
        for (BOOL b = hFind != INVALID_HANDLE_VALUE; b; b = FindNextFileW(hFind, &fd)) {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(fd.cFileName);
        }
        FindClose(hFind);
        return names;
    }

    unsigned long Load(const char* pszName, Bytes* pMap = nullptr)
    {
        unsigned char abBuffer[1024] = {};
        unsigned long nSize = 77;
        const unsigned long nResult = CUtils::LoadLutrovaneData(Path(pszName), abBuffer, &nSize);
        if (nResult != 0) {
            EXPECT_EQ(77u, nSize) << "size changed on failure";
        } else if (pMap) {
            pMap->assign(abBuffer, abBuffer + nSize);
        }
        return nResult;
    }

    std::wstring m_folder;
};

}  // namespace

TEST_F(MapFile, SavedMapsLoadBackUnderAnyName)
{
    Bytes map = kCapsToControl;
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("caps.lvd"), map.data(), 20));
    EXPECT_EQ(MapDataFile(20), Read(L"caps.lvd"));
    Bytes loaded;
    ASSERT_EQ(0u, Load("caps.lvd", &loaded));
    EXPECT_EQ(kCapsToControl, loaded);

    // The empty list: 1080 bytes on disk, 16 map bytes back.
    Bytes empty(16, 0);
    empty[8] = 1;
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("empty.lvd"), empty.data(), 16));
    EXPECT_EQ(1080u, Read(L"empty.lvd").size());
    ASSERT_EQ(0u, Load("empty.lvd", &loaded));
    EXPECT_EQ(empty, loaded);

    // Korean names, whatever the process's own code page.
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("내 키 맵.lvd"), map.data(), 20));
    EXPECT_EQ(MapDataFile(20), Read(L"내 키 맵.lvd"));
    EXPECT_EQ(0u, Load("내 키 맵.lvd"));

    EXPECT_EQ(3u, Files().size());  // nothing left beside them
}

// What the bytes mean is ParseLutrovaneData's (map_file_format_test.cpp):
// here, that the reader hands it the file, and no more of it than a map uses.
TEST_F(MapFile, LoadPassesTheFileToTheParserAndReadsNoMoreThanAMap)
{
    Bytes bytes = MapDataFile(1500);
    Write(L"long.lvd", bytes);
    Bytes loaded;
    ASSERT_EQ(0u, Load("long.lvd", &loaded));
    EXPECT_EQ(Bytes(bytes.begin() + 1064, bytes.begin() + 2088), loaded);

    bytes[0] = 'l';
    Write(L"bad.lvd", bytes);
    EXPECT_EQ(2u, Load("bad.lvd"));
    Write(L"bad.lvd", MapDataFile(0));
    EXPECT_EQ(3u, Load("bad.lvd")) << "no map bytes";
    EXPECT_EQ(2u, Load("missing.lvd"));
    EXPECT_EQ(1u, CUtils::LoadLutrovaneData(Path("missing.lvd"), nullptr, nullptr));
}

TEST_F(MapFile, SaveReplacesAWholeFileOrNothing)
{
    Bytes map = kCapsToControl;
    Write(L"map.lvd", Bytes(5000, 0xAB));
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("map.lvd"), map.data(), 20));
    EXPECT_EQ(MapDataFile(20), Read(L"map.lvd"));

    // Another program holds the file open without sharing: the save fails,
    // says so, and the old file stays whole.
    HANDLE hBusy = CreateFileW((m_folder + L"map.lvd").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hBusy);
    map[12] = 0x38;
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("map.lvd"), map.data(), 20));
    EXPECT_EQ(2u, Load("map.lvd"));
    CloseHandle(hBusy);
    EXPECT_EQ(MapDataFile(20), Read(L"map.lvd"));

    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("no such folder\\map.lvd"), map.data(), 20));
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("null.lvd"), nullptr, 20));
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("long.lvd"), map.data(), 1025));
    EXPECT_EQ(std::vector<std::wstring>{L"map.lvd"}, Files());

    // A read-only file stays, though a move under Wine would replace it; a
    // file named like a temporary file beside the target is someone else's.
    Write(L"kept.lvd", {'k'});
    Write(L"kept.reg", {'k'});
    Write(L"map.reg.lvmap-new", {'x'});
    for (const wchar_t* pszName : {L"kept.lvd", L"kept.reg"})
        SetFileAttributesW((m_folder + pszName).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(2u, CUtils::SaveLutrovaneData(Path("kept.lvd"), map.data(), 20));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(2u, CUtils::SaveRegFile((m_folder + L"kept.reg").c_str(), false, map.data(), 20));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, CUtils::SaveRegFile((m_folder + L"map.reg").c_str(), true, nullptr, 0));
    for (const wchar_t* pszName : {L"kept.lvd", L"kept.reg"}) {
        EXPECT_EQ(Bytes{'k'}, Read(pszName));
        SetFileAttributesW((m_folder + pszName).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(Bytes{'x'}, Read(L"map.reg.lvmap-new"));
    EXPECT_EQ(5u, Files().size()) << "a temporary file was left";
}

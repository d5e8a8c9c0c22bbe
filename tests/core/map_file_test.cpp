#include "lutrovane_core.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSignature[] = "Lutrovane v1.0 Scancode Map Data Format";

const std::vector<unsigned char> kCapsToControl = {
    0, 0, 0, 0, 0, 0, 0, 0,  // version, flags
    2, 0, 0, 0,              // entry count
    0x1D, 0x00, 0x3A, 0x00,  // left Control for CapsLock
    0, 0, 0, 0,              // null entry
};

// Each test works in a folder of its own under the Wine prefix's temp folder.
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
        WIN32_FIND_DATAW fd;
        HANDLE hFind = FindFirstFileW((m_folder + L"*").c_str(), &fd);
        if (hFind != INVALID_HANDLE_VALUE) {
            do
                DeleteFileW((m_folder + fd.cFileName).c_str());
            while (FindNextFileW(hFind, &fd));
            FindClose(hFind);
        }
        RemoveDirectoryW(m_folder.c_str());
    }

    // The folder is ASCII, so its code page 949 form is the same characters.
    CString Path(const char* pszName) const
    {
        std::string path(m_folder.begin(), m_folder.end());
        return CString((path + pszName).c_str());
    }

    std::wstring WidePath(const wchar_t* pszName) const { return m_folder + pszName; }

    void Write(const char* pszName, const std::vector<unsigned char>& bytes)
    {
        std::string path(m_folder.begin(), m_folder.end());
        HANDLE h = CreateFileA((path + pszName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD n;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }

    std::vector<unsigned char> Read(const std::wstring& path)
    {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return {};
        std::vector<unsigned char> bytes(8192);
        DWORD n = 0;
        ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
        bytes.resize(n);
        return bytes;
    }

    int FileCount()
    {
        int n = 0;
        WIN32_FIND_DATAW fd;
        HANDLE hFind = FindFirstFileW((m_folder + L"*").c_str(), &fd);
        if (hFind != INVALID_HANDLE_VALUE) {
            do
                n += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
            while (FindNextFileW(hFind, &fd));
            FindClose(hFind);
        }
        return n;
    }

    std::wstring m_folder;
};

// A map data file as a good writer lays it out, with map bytes of the given length.
std::vector<unsigned char> MapDataFile(size_t nMapBytes)
{
    std::vector<unsigned char> bytes(kSignature, kSignature + 39);
    bytes.push_back(0x1A);
    bytes.insert(bytes.end(), 1024, 0xFF);
    for (size_t i = 0; i < nMapBytes; ++i)
        bytes.push_back(static_cast<unsigned char>(i < kCapsToControl.size() ? kCapsToControl[i] : i));
    return bytes;
}

}  // namespace

TEST_F(MapFile, SavedMapLoadsBackWithItsLength)
{
    std::vector<unsigned char> data = kCapsToControl;
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("caps.lvd"), data.data(), 20));
    EXPECT_EQ(MapDataFile(20), Read(WidePath(L"caps.lvd")));

    unsigned char abBuffer[1024] = {};
    unsigned long nSize = 0;
    ASSERT_EQ(0u, CUtils::LoadLutrovaneData(Path("caps.lvd"), abBuffer, &nSize));
    EXPECT_EQ(20u, nSize);
    EXPECT_EQ(0, std::memcmp(abBuffer, kCapsToControl.data(), 20));
    EXPECT_EQ(1, FileCount());  // nothing left beside it
}

TEST_F(MapFile, EmptyListMakesA1080ByteFileThatDecodesToNothing)
{
    CWordArray none;
    unsigned char abMap[1024] = {};
    CUtils::MakeRegistryData(none, none, abMap);
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("empty.lvd"), abMap, 16));
    EXPECT_EQ(1080u, Read(WidePath(L"empty.lvd")).size());

    unsigned char abBuffer[1024] = {};
    unsigned long nSize = 0;
    ASSERT_EQ(0u, CUtils::LoadLutrovaneData(Path("empty.lvd"), abBuffer, &nSize));
    EXPECT_EQ(16u, nSize);
    CLutrovaneBase table;
    CStringArray names;
    CWordArray codes;
    table.GetScancodeMap(abBuffer, names, codes, 1);
    EXPECT_EQ(0, codes.GetSize());
}

TEST_F(MapFile, KoreanFileNamesWorkWhateverTheProcessCodePage)
{
    std::vector<unsigned char> data = kCapsToControl;
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("내 키 맵.lvd"), data.data(), 20));
    EXPECT_EQ(MapDataFile(20), Read(WidePath(L"내 키 맵.lvd")));

    unsigned char abBuffer[1024] = {};
    unsigned long nSize = 0;
    EXPECT_EQ(0u, CUtils::LoadLutrovaneData(Path("내 키 맵.lvd"), abBuffer, &nSize));
    EXPECT_EQ(20u, nSize);
}

TEST_F(MapFile, ShortOrForeignFilesAreRefused)
{
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        unsigned long nResult;
    };
    std::vector<unsigned char> cutShort = MapDataFile(0);
    cutShort.pop_back();
    std::vector<Case> cases = {
        {"empty file", {}, 2},
        {"39 bytes of signature", std::vector<unsigned char>(kSignature, kSignature + 39), 2},
        {"reserved block cut short", cutShort, 2},
        {"header and reserved block, no map bytes", MapDataFile(0), 3},
    };
    for (size_t i = 0; i < 39; ++i) {
        std::vector<unsigned char> bytes = MapDataFile(20);
        bytes[i] = static_cast<unsigned char>(bytes[i] ^ (std::isalpha(bytes[i]) ? 0x20 : 0x01));
        cases.push_back({"signature changed in one byte, letter case included", bytes, 2});
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what + (" at case " + std::to_string(i)));
        Write("bad.lvd", cases[i].bytes);
        unsigned char abBuffer[1024];
        unsigned long nSize = 77;
        EXPECT_EQ(cases[i].nResult, CUtils::LoadLutrovaneData(Path("bad.lvd"), abBuffer, &nSize));
        EXPECT_EQ(77u, nSize);
    }

    unsigned char abBuffer[1024];
    unsigned long nSize = 77;
    EXPECT_EQ(2u, CUtils::LoadLutrovaneData(Path("missing.lvd"), abBuffer, &nSize));
    EXPECT_EQ(1u, CUtils::LoadLutrovaneData(Path("missing.lvd"), abBuffer, nullptr));
}

TEST_F(MapFile, UnexaminedBytesAndOverlongMapsStillLoad)
{
    std::vector<unsigned char> bytes = MapDataFile(1500);
    bytes[39] = 0x00;
    bytes[40] = 0x00;
    bytes[1063] = 0x12;
    Write("odd.lvd", bytes);

    unsigned char abBuffer[1024];
    unsigned long nSize = 0;
    ASSERT_EQ(0u, CUtils::LoadLutrovaneData(Path("odd.lvd"), abBuffer, &nSize));
    EXPECT_EQ(1024u, nSize);
    EXPECT_EQ(0, std::memcmp(abBuffer, bytes.data() + 1064, 1024));
}

TEST_F(MapFile, SaveReplacesAnExistingFileWhole)
{
    Write("map.lvd", std::vector<unsigned char>(5000, 0xAB));
    std::vector<unsigned char> data = kCapsToControl;
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("map.lvd"), data.data(), 20));
    EXPECT_EQ(MapDataFile(20), Read(WidePath(L"map.lvd")));
    EXPECT_EQ(1, FileCount());
}

TEST_F(MapFile, FailedSaveIsReportedAndLeavesTheOldFile)
{
    std::vector<unsigned char> data = kCapsToControl;
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("no such folder\\map.lvd"), data.data(), 20));
    EXPECT_EQ(0, FileCount());

    // Another program holds the file open without sharing.
    Write("busy.lvd", MapDataFile(20));
    HANDLE hBusy = CreateFileW(WidePath(L"busy.lvd").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hBusy);
    data[12] = 0x38;
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("busy.lvd"), data.data(), 20));
    unsigned char abBuffer[1024];
    unsigned long nSize = 0;
    EXPECT_EQ(2u, CUtils::LoadLutrovaneData(Path("busy.lvd"), abBuffer, &nSize));
    CloseHandle(hBusy);
    EXPECT_EQ(MapDataFile(20), Read(WidePath(L"busy.lvd")));
    EXPECT_EQ(1, FileCount());

    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("null.lvd"), nullptr, 20));
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("long.lvd"), data.data(), 1025));
    EXPECT_EQ(1, FileCount());
}

#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

// The registry file the history keeps for a value; an empty one stands for no map.
Bytes RegFile(const Bytes& value)
{
    Bytes file(CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), nullptr, 0));
    CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), file.data(),
                            ULONG(file.size()));
    return file;
}

Bytes ReadBytes(const std::wstring& strPath)
{
    HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Bytes bytes(h == INVALID_HANDLE_VALUE ? 0 : GetFileSize(h, nullptr));
    DWORD n = 0;
    if (!bytes.empty())
        ReadFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
    bytes.resize(n);
    return bytes;
}

// N mappings, each a distinct key onto CapsLock.
Bytes MapOf(size_t nMappings)
{
    Bytes map(12, 0);
    map[8] = static_cast<unsigned char>(nMappings + 1);
    for (size_t k = 0; k < nMappings; ++k)
        map.insert(map.end(), {0x3A, 0x00, static_cast<unsigned char>(k + 1), 0x00});
    map.insert(map.end(), 4, 0);
    return map;
}

// Each test has a ProgramData of its own, the key, and no value.
class MapHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t szTemp[MAX_PATH];
        GetTempPathW(MAX_PATH, szTemp);
        m_root = std::wstring(szTemp) + L"lvhistory-" + std::to_wstring(GetCurrentProcessId());
        m_history = m_root + L"\\Lutrovane\\history";
        CreateDirectoryW(m_root.c_str(), nullptr);
        wchar_t szOld[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"ProgramData", szOld, MAX_PATH);
        m_oldProgramData = szOld;
        SetEnvironmentVariableW(L"ProgramData", m_root.c_str());
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
        RegDeleteValueW(hKey, L"Scancode Map");
        RegCloseKey(hKey);
    }

    void TearDown() override
    {
        WIN32_FIND_DATAW fd;
        HANDLE hFind = FindFirstFileW((m_history + L"\\*").c_str(), &fd);
        for (BOOL b = hFind != INVALID_HANDLE_VALUE; b; b = FindNextFileW(hFind, &fd))
            DeleteFileW((m_history + L"\\" + fd.cFileName).c_str());
        FindClose(hFind);
        DeleteFileW(m_history.c_str());
        RemoveDirectoryW(m_history.c_str());
        RemoveDirectoryW((m_root + L"\\Lutrovane").c_str());
        RemoveDirectoryW(m_root.c_str());
        SetEnvironmentVariableW(L"ProgramData", m_oldProgramData.c_str());
        CUtils::DelScancodeMapRegistry();
    }

    unsigned long Change(const Bytes& map)
    {
        CMapHistory history;
        return history.ChangeSystemMap(map.data(), ULONG(map.size()));
    }

    // The kept files' bytes, newest first.
    std::vector<Bytes> Kept()
    {
        CMapHistory history;
        EXPECT_EQ(0u, history.Load());
        std::vector<Bytes> files;
        for (int i = 0; i < history.GetCount(); ++i)
            files.push_back(ReadBytes(history.GetPath(i)));
        return files;
    }

    Bytes SystemMap()
    {
        unsigned char abMap[1024];
        unsigned long nSize = sizeof(abMap);
        return CUtils::GetScancodeMapRegistry(abMap, &nSize) == 0 ? Bytes(abMap, abMap + nSize) : Bytes();
    }

    std::wstring m_root;     // what ProgramData names
    std::wstring m_history;  // the history folder below it
    std::wstring m_oldProgramData;
};

}  // namespace

TEST_F(MapHistory, EachChangeKeepsWhatItReplacedNewestFirst)
{
    const Bytes kOther = MapOf(3);
    const struct {
        const char* what;
        bool bRemove;
        const Bytes* pMap;
        unsigned long nResult;
        std::vector<Bytes> kept;  // the values kept, newest first; empty: no map
    } steps[] = {
        {"remove where there is none: nothing to keep", true, nullptr, 1, {}},
        {"apply over none keeps that there was none", false, &kCapsToControl, 0, {{}}},
        {"apply over a map keeps it", false, &kOther, 0, {kCapsToControl, {}}},
        {"apply of the same map keeps it", false, &kOther, 0, {kOther, kCapsToControl, {}}},
        {"the same value as the newest is not kept twice", true, nullptr, 0,
         {kOther, kCapsToControl, {}}},
        {"apply over none after a remove", false, &kCapsToControl, 0, {{}, kOther, kCapsToControl, {}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        CMapHistory history;
        EXPECT_EQ(step.nResult, step.bRemove ? history.ChangeSystemMap(nullptr, 0)
                                             : history.ChangeSystemMap(step.pMap->data(),
                                                                       ULONG(step.pMap->size())));
        EXPECT_EQ(step.bRemove ? Bytes() : *step.pMap, SystemMap());
        std::vector<Bytes> expected;
        for (const Bytes& value : step.kept)
            expected.push_back(RegFile(value));
        EXPECT_EQ(expected, Kept());
    }

    // A value no map buffer holds, of another type, is kept whole all the same.
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_ALL_ACCESS, &hKey));
    const Bytes kLong(1500, 0x5A);
    RegSetValueExW(hKey, L"Scancode Map", 0, REG_NONE, kLong.data(), DWORD(kLong.size()));
    RegCloseKey(hKey);
    EXPECT_EQ(0u, Change(kCapsToControl));
    EXPECT_EQ(RegFile(kLong), Kept().front());
}

TEST_F(MapHistory, ChangesPastFiftyDropTheOldestAndNoOtherFile)
{
    CreateDirectoryW((m_root + L"\\Lutrovane").c_str(), nullptr);
    CreateDirectoryW(m_history.c_str(), nullptr);
    const std::vector<std::wstring> others = {L"notes.txt", L"20000101T000000Z.reg.bak",
                                              L"20000101T000000Z_01.reg", L"20000101T000000.reg"};
    for (const std::wstring& name : others) {
        HANDLE h = CreateFileW((m_history + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, 0, nullptr);
        CloseHandle(h);
    }
    // Changes within one second are told apart and kept in their order, also
    // once the oldest of that second has gone.
    for (size_t i = 0; i <= CMapHistory::MAX_ENTRIES + 1; ++i) {
        ASSERT_EQ(0u, Change(MapOf(i)));
        if (i == CMapHistory::MAX_ENTRIES - 1) {
            EXPECT_EQ(size_t(CMapHistory::MAX_ENTRIES), Kept().size());
            EXPECT_EQ(RegFile(Bytes()), Kept().back());
        }
    }
    const std::vector<Bytes> kept = Kept();
    ASSERT_EQ(size_t(CMapHistory::MAX_ENTRIES), kept.size());
    EXPECT_EQ(RegFile(MapOf(CMapHistory::MAX_ENTRIES)), kept.front());
    EXPECT_EQ(RegFile(MapOf(1)), kept.back()) << "the oldest should have gone";
    for (const std::wstring& name : others)
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((m_history + L"\\" + name).c_str()));
}

TEST_F(MapHistory, ChangeThatCannotBeKeptDoesNotHappen)
{
    ASSERT_EQ(0u, CUtils::SetScancodeMapRegistry(const_cast<unsigned char*>(kCapsToControl.data()), 20));
    // A file where the history folder belongs: nothing can be written there.
    CreateDirectoryW((m_root + L"\\Lutrovane").c_str(), nullptr);
    CloseHandle(CreateFileW(m_history.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const Bytes kOther = MapOf(2);
    CMapHistory history;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(4u, history.ChangeSystemMap(kOther.data(), ULONG(kOther.size())));
    EXPECT_NE(DWORD(ERROR_SUCCESS), GetLastError()) << "no reason given";
    EXPECT_EQ(4u, history.ChangeSystemMap(nullptr, 0));
    EXPECT_EQ(kCapsToControl, SystemMap());
    DeleteFileW(m_history.c_str());

    // Without the key (as without the rights to open it) nothing is kept either.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_EQ(2u, history.ChangeSystemMap(kOther.data(), ULONG(kOther.size())));
    EXPECT_TRUE(Kept().empty());
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
    RegCloseKey(hKey);

    // A process started without ProgramData keeps its history where Windows keeps that folder.
    SetEnvironmentVariableW(L"ProgramData", nullptr);
    EXPECT_EQ(std::wstring(L"C:\\ProgramData\\Lutrovane\\history"), CMapHistory().GetFolder());
}

#include "program_data.h"

namespace {

// That a file is written whole under any name or not at all, and read back;
// what its bytes mean is ParseLutrovaneData's. A failed load keeps the size.
class MapFile : public ProgramData
{
protected:
    unsigned long Load(const char* pszName, Bytes* pMap = nullptr)
    {
        Bytes buffer(1024);
        unsigned long nSize = 77;
        const unsigned long nResult = CUtils::LoadLutrovaneData(Path(pszName), buffer.data(), &nSize);
        EXPECT_TRUE(nResult == 0 || nSize == 77) << "size changed on failure";
        if (pMap)
            pMap->assign(buffer.begin(), buffer.begin() + (nResult ? 0 : nSize));
        return nResult;
    }
};

}  // namespace

TEST_F(MapFile, SavedMapsLoadBackUnderAnyName)
{
    Bytes map = kCapsToControl, loaded;
    for (const char* pszName : {"caps.lvd", "내 키 맵.lvd"}) {
        SCOPED_TRACE(pszName);
        ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path(pszName), map.data(), 20));
        ASSERT_EQ(0u, Load(pszName, &loaded));
        EXPECT_EQ(kCapsToControl, loaded);
    }
    // Korean names, whatever the process's own code page.
    EXPECT_EQ(MapDataFile(kCapsToControl), ReadAll(m_folder + L"내 키 맵.lvd"));
    EXPECT_EQ(2u, Load("missing.lvd"));
    EXPECT_EQ(1u, CUtils::LoadLutrovaneData(Path("missing.lvd"), nullptr, nullptr));
}

TEST_F(MapFile, SaveReplacesAWholeFileOrNothing)
{
    const std::wstring strMap = m_folder + L"map.lvd";
    Bytes map = kCapsToControl;
    WriteAll(strMap, Bytes(5000, 0xAB));
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("map.lvd"), map.data(), 20));
    EXPECT_EQ(MapDataFile(kCapsToControl), ReadAll(strMap));

    // Another program is writing the file: the save fails and says so, the old
    // file stays whole, and a load does not read it half-written.
    HANDLE hBusy = CreateFileW(strMap.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hBusy);
    map[12] = 0x38;
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("map.lvd"), map.data(), 20));
    EXPECT_EQ(2u, Load("map.lvd"));
    CloseHandle(hBusy);
    EXPECT_EQ(MapDataFile(kCapsToControl), ReadAll(strMap));

    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("no such folder\\map.lvd"), map.data(), 20));
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("null.lvd"), nullptr, 20));
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("long.lvd"), Bytes(1025).data(), 1025));
    EXPECT_EQ(1, Count(m_folder));

    // A read-only file stays, though a move under Wine would replace it; a
    // file named like a temporary file beside the target is someone else's.
    for (const wchar_t* pszName : {L"kept.lvd", L"kept.reg", L"map.reg.lvmap-new"}) {
        WriteAll(m_folder + pszName, std::string("k"));
        SetFileAttributesW((m_folder + pszName).c_str(), pszName[0] == L'k' ? FILE_ATTRIBUTE_READONLY : 0);
    }
    EXPECT_EQ(2u, CUtils::SaveLutrovaneData(Path("kept.lvd"), map.data(), 20));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(2u, CUtils::SaveRegFile((m_folder + L"kept.reg").c_str(), false, map.data(), 20));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, CUtils::SaveRegFile((m_folder + L"map.reg").c_str(), true, nullptr, 0));
    for (const wchar_t* pszName : {L"kept.lvd", L"kept.reg", L"map.reg.lvmap-new"})
        EXPECT_EQ("k", ReadText(m_folder + pszName));
    EXPECT_EQ(5, Count(m_folder)) << "a temporary file was left";
}

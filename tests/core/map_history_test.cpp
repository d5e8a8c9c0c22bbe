#include "program_data.h"

namespace {

// The registry file the history keeps for a value; an empty one stands for no map.
Bytes RegFile(const Bytes& value)
{
    Bytes file(CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), nullptr, 0));
    CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), file.data(), ULONG(file.size()));
    return file;
}

class MapHistory : public ProgramData
{
protected:
    // Applies the map, or with null removes it.
    static unsigned long Change(const Bytes* pMap)
    {
        return CMapHistory().ChangeSystemMap(pMap ? pMap->data() : nullptr, pMap ? ULONG(pMap->size()) : 0);
    }

    // The kept files' bytes, newest first.
    static std::vector<Bytes> Kept()
    {
        CMapHistory history;
        EXPECT_EQ(0u, history.Load());
        std::vector<Bytes> files;
        for (int i = 0; i < history.GetCount(); ++i)
            files.push_back(ReadAll(history.GetPath(i)));
        return files;
    }

    std::wstring Folder() const { return m_folder + L"Lutrovane\\history"; }
};

}  // namespace

TEST_F(MapHistory, EachChangeKeepsWhatItReplacedNewestFirst)
{
    const Bytes kOther = MapOf(3);
    // The map to apply (null: remove), the result, and the values kept, newest first (empty: no map).
    const struct { const char* what; const Bytes* pMap; unsigned long nResult; std::vector<Bytes> kept; } steps[] = {
        {"remove where there is none: nothing to keep", nullptr, 1, {}},
        {"apply over none keeps that there was none", &kCapsToControl, 0, {{}}},
        {"apply over a map keeps it", &kOther, 0, {kCapsToControl, {}}},
        {"apply of the same map keeps it", &kOther, 0, {kOther, kCapsToControl, {}}},
        {"the same value as the newest is not kept twice", nullptr, 0, {kOther, kCapsToControl, {}}},
        {"apply over none after a remove", &kCapsToControl, 0, {{}, kOther, kCapsToControl, {}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(step.nResult, Change(step.pMap));
        EXPECT_EQ(step.pMap ? *step.pMap : Bytes(), Value());
        std::vector<Bytes> expected;
        for (const Bytes& value : step.kept)
            expected.push_back(RegFile(value));
        EXPECT_EQ(expected, Kept());
    }
    // A value no map buffer holds, of another type, is kept whole all the same.
    SetValue(Bytes(1500, 0x5A), REG_NONE);
    EXPECT_EQ(0u, Change(&kCapsToControl));
    EXPECT_EQ(RegFile(Bytes(1500, 0x5A)), Kept().front());
}

// Changes within one second are told apart and kept in their order, also once
// the oldest of that second has gone. Files named almost like entries are not
// entries: never listed, never deleted.
TEST_F(MapHistory, ChangesPastFiftyDropTheOldestAndNoOtherFile)
{
    fs::create_directories(Folder());
    for (const wchar_t* pszName : {L"notes.txt", L"20000101T000000Z.reg.bak", L"20000101T000000Z_02.reg",
                                   L"20000101_morning.reg"})
        WriteAll(Folder() + L"\\" + pszName, std::string());
    for (size_t i = 0; i <= CMapHistory::MAX_ENTRIES + 1; ++i) {
        const Bytes map = MapOf(i);
        ASSERT_EQ(0u, Change(&map));
    }
    const std::vector<Bytes> kept = Kept();
    ASSERT_EQ(size_t(CMapHistory::MAX_ENTRIES), kept.size());
    EXPECT_EQ(RegFile(MapOf(CMapHistory::MAX_ENTRIES)), kept.front());
    EXPECT_EQ(RegFile(MapOf(1)), kept.back()) << "the oldest should have gone";
    EXPECT_EQ(CMapHistory::MAX_ENTRIES + 4, Count(Folder())) << "another file deleted";
}

TEST_F(MapHistory, ChangeThatCannotBeKeptDoesNotHappen)
{
    SetValue(kCapsToControl);
    // A file where the history folder belongs: nothing can be written there.
    fs::create_directory(m_folder + L"Lutrovane");
    WriteAll(Folder(), std::string());
    const Bytes kOther = MapOf(2);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(4u, Change(&kOther));
    EXPECT_NE(DWORD(ERROR_SUCCESS), GetLastError()) << "no reason given";
    EXPECT_EQ(4u, Change(nullptr));
    EXPECT_EQ(kCapsToControl, Value());
    fs::remove(Folder());

    // Without the key (as without the rights to open it) nothing is kept either.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_EQ(2u, Change(&kOther));
    EXPECT_TRUE(Kept().empty());

    // A process started without ProgramData, or with it empty, keeps its
    // history where Windows keeps that folder.
    for (const wchar_t* pszValue : {static_cast<const wchar_t*>(nullptr), L""}) {
        SetEnvironmentVariableW(L"ProgramData", pszValue);
        EXPECT_EQ(std::wstring(L"C:\\ProgramData\\Lutrovane\\history"), CMapHistory().GetFolder());
    }
}

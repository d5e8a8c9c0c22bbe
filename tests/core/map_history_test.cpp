#include "scratch.h"

namespace {

// The registry file the history keeps for a value; an empty one stands for no map.
Bytes RegFile(const Bytes& value)
{
    Bytes file(CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), nullptr, 0));
    CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), file.data(), ULONG(file.size()));
    return file;
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

class MapHistory : public Scratch
{
protected:
    // Applies the map, or with null removes it.
    unsigned long Change(const Bytes* pMap)
    {
        CMapHistory history;
        return history.ChangeSystemMap(pMap ? pMap->data() : nullptr, pMap ? ULONG(pMap->size()) : 0);
    }

    // The kept files' bytes, newest first.
    std::vector<Bytes> Kept()
    {
        CMapHistory history;
        EXPECT_EQ(0u, history.Load());
        std::vector<Bytes> files;
        for (int i = 0; i < history.GetCount(); ++i)
            files.push_back(Read(history.GetPath(i)));
        return files;
    }

    std::wstring HistoryFolder() const { return m_folder + L"\\Lutrovane\\history"; }
};

}  // namespace

TEST_F(MapHistory, EachChangeKeepsWhatItReplacedNewestFirst)
{
    const Bytes kOther = MapOf(3);
    const struct {
        const char* what;
        const Bytes* pMap;  // null: remove
        unsigned long nResult;
        std::vector<Bytes> kept;  // the values kept, newest first; empty: no map
    } steps[] = {
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
    const Bytes kLong(1500, 0x5A);
    SetValue(REG_NONE, kLong);
    EXPECT_EQ(0u, Change(&kCapsToControl));
    EXPECT_EQ(RegFile(kLong), Kept().front());
}

TEST_F(MapHistory, ChangesPastFiftyDropTheOldestAndNoOtherFile)
{
    CreateDirectoryW((m_folder + L"\\Lutrovane").c_str(), nullptr);
    CreateDirectoryW(HistoryFolder().c_str(), nullptr);
    const std::vector<std::wstring> others = {L"notes.txt", L"20000101T000000Z.reg.bak",
                                              L"20000101T000000Z_01.reg", L"20000101T000000.reg"};
    for (const std::wstring& name : others)
        Write(HistoryFolder() + L"\\" + name, {});
    // Changes within one second are told apart and kept in their order, also
    // once the oldest of that second has gone.
    for (size_t i = 0; i <= CMapHistory::MAX_ENTRIES + 1; ++i) {
        const Bytes map = MapOf(i);
        ASSERT_EQ(0u, Change(&map));
    }
    const std::vector<Bytes> kept = Kept();
    ASSERT_EQ(size_t(CMapHistory::MAX_ENTRIES), kept.size());
    EXPECT_EQ(RegFile(MapOf(CMapHistory::MAX_ENTRIES)), kept.front());
    EXPECT_EQ(RegFile(MapOf(1)), kept.back()) << "the oldest should have gone";
    for (const std::wstring& name : others)
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((HistoryFolder() + L"\\" + name).c_str()));
}

TEST_F(MapHistory, ChangeThatCannotBeKeptDoesNotHappen)
{
    SetValue(REG_BINARY, kCapsToControl);
    // A file where the history folder belongs: nothing can be written there.
    CreateDirectoryW((m_folder + L"\\Lutrovane").c_str(), nullptr);
    Write(HistoryFolder(), {});
    const Bytes kOther = MapOf(2);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(4u, Change(&kOther));
    EXPECT_NE(DWORD(ERROR_SUCCESS), GetLastError()) << "no reason given";
    EXPECT_EQ(4u, Change(nullptr));
    EXPECT_EQ(kCapsToControl, Value());
    DeleteFileW(HistoryFolder().c_str());

    // Without the key (as without the rights to open it) nothing is kept either.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_EQ(2u, Change(&kOther));
    EXPECT_TRUE(Kept().empty());

    // A process started without ProgramData keeps its history where Windows keeps that folder.
    SetEnvironmentVariableW(L"ProgramData", nullptr);
    EXPECT_EQ(std::wstring(L"C:\\ProgramData\\Lutrovane\\history"), CMapHistory().GetFolder());
}

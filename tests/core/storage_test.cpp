#include "lutrovane_core.h"

#include "history_security.h"
#include "../scratch.h"

#include <sddl.h>

#include <ctime>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// Gives each test a scratch folder as its ProgramData, and the keyboard layout
// key without a Scancode Map value; the folder and any value go at its end.
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

    const std::wstring m_folder = ScratchFolder(L"lvtest-");
};
typedef ProgramData MapStore;
typedef ProgramData MapFile;
typedef ProgramData MapHistory;

// GetCurrentScancodeMap's result and the names read; on failure the arrays
// must stay as they were.
unsigned long ReadCurrent(CStringArray& names)
{
    CWordArray codes;
    names.SetSize(1);
    const unsigned long nResult = CLutrovaneCore().GetCurrentScancodeMap(names, codes, 1);
    EXPECT_TRUE(nResult == 0 || names.GetSize() == 1) << "arrays touched although nothing was read";
    return nResult;
}

// LoadLutrovaneData's result and map; what the bytes mean is ParseLutrovaneData's.
// A failed load keeps the size.
unsigned long Load(const CString& strPath, const Bytes& map = {})
{
    Bytes buffer(1024);
    unsigned long nSize = 77;
    const unsigned long nResult = CUtils::LoadLutrovaneData(strPath, buffer.data(), &nSize);
    EXPECT_TRUE(nResult == 0 || nSize == 77) << "size changed on failure";
    EXPECT_EQ(map, Bytes(buffer.begin(), buffer.begin() + (nResult ? 0 : nSize)));
    return nResult;
}

CMapHistory::EChange Change(const Bytes& map)
{
    return CMapHistory().ChangeSystemMap(map.empty() ? nullptr : map.data(), ULONG(map.size()));
}

// The kept files' bytes, newest first.
std::vector<Bytes> Kept()
{
    CMapHistory history;
    EXPECT_EQ(0u, history.Load());
    std::vector<Bytes> files;
    for (int i = 0; i < history.GetCount(); ++i)
        files.push_back(ReadAll(history.GetPath(i)));
    return files;
}

// The registry file the history keeps for a value; an empty one stands for no map.
Bytes RegFile(const Bytes& value, DWORD dwType = REG_BINARY)
{
    Bytes file(CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), nullptr, 0, dwType));
    CUtils::MakeRegFileData(value.empty(), value.data(), ULONG(value.size()), file.data(), ULONG(file.size()), dwType);
    return file;
}

// An entry's name for the time nSeconds after the first call, in UTC.
std::wstring Stamp(time_t nSeconds)
{
    static const time_t start = time(nullptr);
    const time_t when = start + nSeconds;
    wchar_t sz[20];
    wcsftime(sz, 20, L"%Y%m%dT%H%M%SZ", gmtime(&when));
    return sz;
}

}  // namespace

TEST_F(MapStore, ValueThatDoesNotFitReadOrWriteKeepingItsTypeOrMissingKeyMade)
{
    // An empty REG_BINARY value is no value to SetValue: the empty one here is REG_NONE.
    const struct { const char* what; DWORD dwType; size_t nLength; int nHave; } cases[] = {
        {"no value", REG_BINARY, 0, 0},       {"empty value", REG_NONE, 0, 0},
        {"1024 bytes", REG_BINARY, 1024, 1},  {"1025 bytes", REG_BINARY, 1025, 0},
        {"another type", REG_DWORD, 4, 1},
    };
    CStringArray names;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetValue(Bytes(c.nLength, 2), c.dwType);
        EXPECT_EQ(c.nHave, CUtils::HaveCurrentScancode());
        EXPECT_EQ(c.nHave ? 0u : 1u, ReadCurrent(names));
    }
    EXPECT_EQ(0u, CUtils::SetScancodeMapRegistry(Bytes(kCapsToControl).data(), 20));
    DWORD dwType;
    EXPECT_EQ(kCapsToControl, Value(&dwType));
    EXPECT_EQ(DWORD(REG_BINARY), dwType);
    EXPECT_EQ(0u, ReadCurrent(names));
    ASSERT_EQ(1, names.GetSize());
    EXPECT_STREQ("CapsLock", names[0]);
    // A value longer than the caller's capacity reads as nothing, zeros.
    Bytes buffer(16, 0x55);
    unsigned long nSize = 16;
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(buffer.data(), &nSize));
    EXPECT_EQ(0u, nSize);
    EXPECT_EQ(Bytes(16, 0), buffer);

    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry());
    EXPECT_TRUE(Value().empty());
    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry()) << "no value to delete is no failure";
    // Without the key every call says so, and none makes it.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_EQ(0, CUtils::HaveCurrentScancode());
    nSize = 16;
    EXPECT_EQ(2u, CUtils::GetScancodeMapRegistry(buffer.data(), &nSize));
    EXPECT_EQ(2u, CUtils::SetScancodeMapRegistry(buffer.data(), 16));
    EXPECT_EQ(2u, CUtils::DelScancodeMapRegistry());
    EXPECT_EQ(2u, ReadCurrent(names));
    EXPECT_EQ(CMapHistory::NOT_WRITTEN, Change(kCapsToControl)) << "history kept without a key to change";
    EXPECT_TRUE(Kept().empty());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey)) << "key made";
}

// Korean names, whatever the process's own code page.
TEST_F(MapFile, SaveReplacesAWholeFileOrNothing)
{
    const std::wstring strMap = m_folder + L"내 키 맵.lvd";
    Bytes map = kCapsToControl;
    WriteAll(strMap, Bytes(5000, 0xAB));
    ASSERT_EQ(0u, CUtils::SaveLutrovaneData(Path("내 키 맵.lvd"), map.data(), 20));
    EXPECT_EQ(MapDataFile(kCapsToControl), ReadAll(strMap));
    EXPECT_EQ(0u, Load(Path("내 키 맵.lvd"), kCapsToControl));

    // Another program is writing the file: the save fails and says so, the old
    // file stays whole, and a load does not read it half-written.
    HANDLE hBusy = CreateFileW(strMap.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hBusy);
    map[12] = 0x38;
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("내 키 맵.lvd"), map.data(), 20));
    EXPECT_EQ(2u, Load(Path("내 키 맵.lvd")));
    CloseHandle(hBusy);
    EXPECT_EQ(MapDataFile(kCapsToControl), ReadAll(strMap));

    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("no such folder\\map.lvd"), map.data(), 20));
    EXPECT_NE(0u, CUtils::SaveLutrovaneData(Path("long.lvd"), Bytes(1025).data(), 1025));
    EXPECT_EQ(1, FileCount(m_folder));

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
    EXPECT_EQ(5, FileCount(m_folder)) << "a temporary file was left";
}

// Each change keeps what it replaced, newest first; removing where there is
// no map, or applying the map in place, changes and keeps nothing.
TEST_F(MapHistory, EachChangeKeepsWhatItReplacedNewestFirst)
{
    const Bytes kOther = MapOf(3);
    const CMapHistory::EChange kDone = CMapHistory::CHANGED, kNone = CMapHistory::UNCHANGED;
    const std::pair<Bytes, CMapHistory::EChange> steps[] = {
        {{}, kNone}, {kCapsToControl, kDone}, {kOther, kDone}, {kOther, kNone}, {{}, kDone}, {kCapsToControl, kDone}};
    for (const auto& step : steps)
        EXPECT_EQ(step.second, Change(step.first)) << testing::PrintToString(step.first);
    EXPECT_EQ(kCapsToControl, Value());
    const std::vector<Bytes> kept = {RegFile({}), RegFile(kOther), RegFile(kCapsToControl), RegFile({})};
    EXPECT_EQ(kept, Kept());
    // Removed from outside: the newest kept value is the one in place, so undo
    // takes the one before, and it is not kept twice.
    SetValue({});
    CMapHistory history;
    ASSERT_EQ(0u, history.Load());
    EXPECT_EQ(1, history.FindUndo());
    EXPECT_EQ(CMapHistory::CHANGED, Change(kOther));
    EXPECT_EQ(kept, Kept());
}

// An ACE of a type the SDDL parser here does not know: header, mask, for an
// object ACE its flags (0: no GUIDs follow), then the SID.
Bytes RawAce(BYTE nType, ACCESS_MASK mask, const wchar_t* pszSid)
{
    PSID pSid = nullptr;
    ConvertStringSidToSidW(pszSid, &pSid);
    const bool bObject = nType == ACCESS_ALLOWED_OBJECT_ACE_TYPE;
    Bytes ace(8 + (bObject ? 4 : 0));
    ace.insert(ace.end(), static_cast<BYTE*>(pSid), static_cast<BYTE*>(pSid) + GetLengthSid(pSid));
    LocalFree(pSid);
    ace[0] = nType;
    ace[2] = BYTE(ace.size());
    memcpy(&ace[4], &mask, 4);
    return ace;
}

// Only administrators and the system may write what undo, restore, history and
// the pruning act on. Wine keeps no file security: the decision is checked over
// descriptors built here, and the folders' descriptor as the core builds it.
TEST_F(MapHistory, FoldersOrEntriesOthersCanWriteAreNotTrusted)
{
    const EHistoryTrust kNot = HISTORY_NOT_OURS, kOurs = HISTORY_OURS, kAdopt = HISTORY_ADOPT;
    // The running administrator is S-1-5-21-1-2-3-500.
    const struct { const char* what; const wchar_t* sddl; bool bFolder; EHistoryTrust trust; Bytes ace; } cases[] = {
        {"ours", L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)", true, kOurs, {}},
        {"owned by a user", L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;BA)", true, kNot, {}},
        {"users may write", L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FRFW;;;BU)", false, kNot, {}},
        {"everyone may add files", L"O:SYD:P(A;;FA;;;SY)(A;CI;0x2;;;WD)", true, kNot, {}},
        {"authenticated users may delete", L"O:BAD:(A;;FRSD;;;AU)", false, kNot, {}},
        {"users may change its security", L"O:BAD:(A;;WD;;;BU)", false, kNot, {}},
        {"a folder that inherits", L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", true, kNot, {}},
        {"a file that inherits", L"O:BAD:(A;ID;FA;;;BA)(A;ID;FRFX;;;BU)", false, kOurs, {}},
        {"no DACL: all allowed", L"O:BA", false, kNot, {}},
        {"a denial grants nothing", L"O:SYD:P(D;;FA;;;BU)(A;;FA;;;SY)", true, kOurs, {}},
        // An earlier version's entry: its owner's own processes, elevated or not, could change it.
        {"an earlier entry of the running administrator", L"O:S-1-5-21-1-2-3-500D:(A;ID;FA;;;BA)(A;ID;FRFX;;;BU)", false, kAdopt, {}},
        {"a folder of the running administrator", L"O:S-1-5-21-1-2-3-500D:P(A;OICI;FA;;;BA)", true, kNot, {}},
        {"another administrator's entry", L"O:S-1-5-21-1-2-3-501D:(A;ID;FA;;;BA)", false, kNot, {}},
        {"the running administrator's account may write", L"O:BAD:(A;;FA;;;S-1-5-21-1-2-3-500)", false, kNot, {}},
        // Entries of other types, which a reading as plain ACEs would misread.
        {"a callback entry for administrators", L"O:BAD:P(A;;FA;;;SY)", true, kNot,
         RawAce(ACCESS_ALLOWED_CALLBACK_ACE_TYPE, FILE_ALL_ACCESS, L"S-1-5-32-544")},
        {"an object entry letting users read", L"O:BAD:(A;;FA;;;SY)", false, kNot,
         RawAce(ACCESS_ALLOWED_OBJECT_ACE_TYPE, FILE_GENERIC_READ, L"S-1-5-32-545")},
    };
    PSID pAdministrator = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-500", &pAdministrator));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PSECURITY_DESCRIPTOR pSecurity = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &pSecurity, nullptr));
        PSID pOwner;
        PACL pDacl;
        BOOL bPresent, bDefaulted;
        GetSecurityDescriptorOwner(pSecurity, &pOwner, &bDefaulted);
        GetSecurityDescriptorDacl(pSecurity, &bPresent, &pDacl, &bDefaulted);
        Bytes acl;
        if (!c.ace.empty()) {
            acl.assign(pDacl->AclSize + c.ace.size(), 0);
            memcpy(acl.data(), pDacl, pDacl->AclSize);
            pDacl = reinterpret_cast<PACL>(acl.data());
            pDacl->AclSize = WORD(acl.size());
            ASSERT_TRUE(AddAce(pDacl, ACL_REVISION_DS, MAXDWORD, const_cast<BYTE*>(c.ace.data()), DWORD(c.ace.size())));
        }
        const bool bProtected = wcsstr(c.sddl, L"D:P") != nullptr;
        EXPECT_EQ(c.trust, JudgeHistorySecurity(pOwner, pDacl, bProtected, c.bFolder, pAdministrator));
        LocalFree(pSecurity);
    }
    LocalFree(pAdministrator);

    // What the folders are made with, read back as text.
    PSECURITY_DESCRIPTOR pSecurity = NewHistorySecurity();
    ASSERT_TRUE(pSecurity);
    wchar_t* pszText = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(
        pSecurity, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &pszText, nullptr);
    EXPECT_STREQ(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", pszText);
    LocalFree(pszText);
    LocalFree(pSecurity);
}

// Files named ahead of the clock are not listed, taken back or pruned; names
// taken, by a folder or up to "_999999", make the next name, never a failure
// or one that no listing reads.
TEST_F(MapHistory, NamesAheadOfTheClockOrTakenMakeNoEntryAndStopNoChange)
{
    const std::wstring strFolder = m_folder + L"Lutrovane\\history\\", strSoon = Stamp(600);
    const struct { const wchar_t *planted, *folder; std::wstring kept; } cases[] = {
        {L"_999999", L"", Stamp(601) + L".reg"},
        {L"", L"_2", strSoon + L"_3.reg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kept.c_str());
        fs::remove_all(m_folder + L"Lutrovane");
        fs::create_directories(strFolder);
        for (int i = 1; i <= CMapHistory::MAX_ENTRIES; ++i)
            WriteAll(strFolder + Stamp(7200) + (i > 1 ? L"_" + std::to_wstring(i) : L"") + L".reg", RegFile({}));
        WriteAll(strFolder + strSoon + c.planted + L".reg", RegFile(MapOf(1)));
        if (*c.folder)
            fs::create_directory(strFolder + strSoon + c.folder + L".reg");
        SetValue(MapOf(2));
        ASSERT_EQ(CMapHistory::CHANGED, Change(MapOf(3)));
        EXPECT_EQ(std::vector<Bytes>({RegFile(MapOf(2)), RegFile(MapOf(1))}), Kept());
        EXPECT_EQ(RegFile(MapOf(2)), ReadAll(strFolder + c.kept));
        EXPECT_EQ(CMapHistory::MAX_ENTRIES + 2 + (*c.folder ? 1 : 0), FileCount(strFolder));
    }
}

// Changes within one second are kept in their order, also once the oldest of
// that second has gone. Files named almost like entries are never listed or deleted.
TEST_F(MapHistory, ChangesPastFiftyDropTheOldestAndNoOtherFile)
{
    const std::wstring strFolder = m_folder + L"Lutrovane\\history\\";
    fs::create_directories(strFolder);
    for (const wchar_t* pszName : {L"notes.txt", L"20000101T000000Z.reg.bak", L"20000101T000000Z_02.reg",
                                   L"20000101_morning.reg"})
        WriteAll(strFolder + pszName, std::string());
    for (size_t i = 0; i <= CMapHistory::MAX_ENTRIES + 1; ++i)
        ASSERT_EQ(CMapHistory::CHANGED, Change(MapOf(i)));
    const std::vector<Bytes> kept = Kept();
    ASSERT_EQ(size_t(CMapHistory::MAX_ENTRIES), kept.size());
    EXPECT_EQ(RegFile(MapOf(CMapHistory::MAX_ENTRIES)), kept.front());
    EXPECT_EQ(RegFile(MapOf(1)), kept.back()) << "the oldest should have gone";
    EXPECT_EQ(CMapHistory::MAX_ENTRIES + 4, FileCount(strFolder)) << "another file deleted";
}

// The registry refuses a change after the history kept what it replaces, as
// Windows refuses a user without the right: the core's imports in this process.
static LSTATUS WINAPI RefuseSet(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }
static LSTATUS WINAPI RefuseDelete(HKEY, LPCWSTR) { return ERROR_ACCESS_DENIED; }

TEST_F(MapHistory, ChangeIsKeptAndMadeBothOrNeither)
{
    SetValue(kCapsToControl);
    {
        const HMODULE hCore = GetModuleHandleW(L"LutrovaneCore.dll");
        const CImportPatch set(hCore, L"advapi32.dll", "RegSetValueExW", &RefuseSet);
        const CImportPatch remove(hCore, L"advapi32.dll", "RegDeleteValueW", &RefuseDelete);
        ASSERT_TRUE(set.Patched() && remove.Patched());
        for (const Bytes& map : {MapOf(2), Bytes()}) {
            EXPECT_EQ(CMapHistory::NOT_WRITTEN, Change(map));
            EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
        }
        EXPECT_TRUE(Kept().empty()) << "a change that did not happen was kept";
    }
    // Ordinary users may make files in ProgramData. One in a history folder's
    // place is moved aside whole and the change goes on; held open by its
    // maker it cannot be moved, and nothing changes.
    for (const wchar_t* pszPlanted : {L"Lutrovane", L"Lutrovane\\history"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(pszPlanted)));
        const std::wstring strPlanted = m_folder + pszPlanted;
        fs::remove_all(m_folder + L"Lutrovane");
        fs::create_directories(fs::path(strPlanted).parent_path());
        WriteAll(strPlanted, std::string("planted"));
        const HANDLE hHeld = CreateFileW(strPlanted.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
        CMapHistory held;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CMapHistory::NOT_KEPT, held.ChangeSystemMap(nullptr, 0));
        EXPECT_NE(DWORD(ERROR_SUCCESS), GetLastError()) << "no reason given";
        EXPECT_EQ(strPlanted, held.GetInTheWay());
        EXPECT_TRUE(!*held.GetMovedAside() && *held.GetInTheWayOwner()) << "who can remove it is not said";
        CloseHandle(hHeld);
        EXPECT_EQ(kCapsToControl, Value());

        CMapHistory history;
        EXPECT_EQ(CMapHistory::CHANGED, history.ChangeSystemMap(nullptr, 0));
        EXPECT_EQ("planted", ReadText(history.GetMovedAside()));
        EXPECT_EQ(std::vector<Bytes>({RegFile(kCapsToControl)}), Kept());
        SetValue(kCapsToControl);
    }
    // A relative ProgramData would put the history on whatever drive is current.
    for (const wchar_t* pszValue : {L"ProgramData", L"\\ProgramData", L"D:ProgramData"}) {
        SetEnvironmentVariableW(L"ProgramData", pszValue);
        EXPECT_EQ(CMapHistory::NOT_KEPT, Change(MapOf(2)));
        EXPECT_EQ(DWORD(ERROR_BAD_PATHNAME), GetLastError());
    }
    EXPECT_EQ(kCapsToControl, Value());

    // A process started without ProgramData, or with it empty, keeps its
    // history where Windows keeps that folder.
    for (const wchar_t* pszValue : {static_cast<const wchar_t*>(nullptr), L""}) {
        SetEnvironmentVariableW(L"ProgramData", pszValue);
        EXPECT_EQ(std::wstring(L"C:\\ProgramData\\Lutrovane\\history"), CMapHistory().GetFolder());
    }
}

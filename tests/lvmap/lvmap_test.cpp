// lvmap.exe run as a process, as scripts run it: exit codes, what it prints
// into files, what reg.exe then finds in the registry, and detect fed with
// key presses injected into the session.
#include "reg_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kLayoutKeyForReg[] = L"\"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout\"";

// Maps: version and flags, entry count, then mapped key and real key per entry.
const Bytes kThreeMappings = {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0,
                              0x1D, 0x00, 0x3A, 0x00,  // 003A CapsLock -> 001D left Control
                              0x38, 0xE0, 0x5B, 0xE0,  // E05B left Windows -> E038 right Alt
                              0x00, 0x00, 0x59, 0x00,  // 0059 (no table's) -> 0000, the key off
                              0, 0, 0, 0};
const Bytes kCapsToControl = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x1D, 0x00, 0x3A, 0x00, 0, 0, 0, 0};
const Bytes kNoMap;
const char kRestart[] = " The change takes effect when Windows restarts.\r\n";

struct SRun
{
    DWORD dwExit = 0xFFFFFFFF;
    std::string strOut;  // the bytes written, UTF-8 for lvmap
    std::string strErr;
};

std::string ReadAll(const std::wstring& path)
{
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    std::string bytes(hFile == INVALID_HANDLE_VALUE ? 0 : GetFileSize(hFile, nullptr) + 1, '\0');
    DWORD nRead = 0;
    if (!bytes.empty())
        ReadFile(hFile, &bytes[0], static_cast<DWORD>(bytes.size()), &nRead, nullptr);
    CloseHandle(hFile);
    bytes.resize(nRead);
    return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes)
{
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD nWritten;
    WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr);
    CloseHandle(hFile);
}

std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string RegFile(const Bytes& map, bool bDelete = false)
{
    SRegFileContent content;
    content.map = map;
    content.bDelete = bDelete;
    return AsString(MakeRegFile(content));
}

// A map data file as the wizard saves one: signature, 0x1A, 1024 x 0xFF, map.
std::string Lvd(const Bytes& map)
{
    return std::string("Lutrovane v1.0 Scancode Map Data Format\x1A") + std::string(1024, '\xFF')
           + AsString(map);
}

// The value as reg.exe shows it: hex digits in capitals, nothing for no value.
std::string ForReg(const Bytes& map)
{
    std::string s;
    char sz[3];
    for (unsigned char b : map) {
        snprintf(sz, sizeof(sz), "%02X", b);
        s += sz;
    }
    return s;
}

// Polls for a state, not for a time: the deadline is only there so that a
// hung program fails the test instead of the run, and is generous for a
// machine under load.
bool WaitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 3000 && !done(); ++i)
        Sleep(20);
    return done();
}

// A started program whose standard output and error go to files, as when a
// script redirects them.
class CChild
{
public:
    CChild(const std::wstring& folder, const std::wstring& commandLine)
        : m_outPath(folder + L"out.txt"), m_errPath(folder + L"err.txt")
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = CreateFileW(m_outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                    CREATE_ALWAYS, 0, nullptr);
        si.hStdError = CreateFileW(m_errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                   CREATE_ALWAYS, 0, nullptr);
        std::wstring line = commandLine;
        m_bStarted = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                    &si, &m_pi) != FALSE;
        CloseHandle(si.hStdOutput);
        CloseHandle(si.hStdError);
    }

    ~CChild()
    {
        if (m_bStarted && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_pi.hProcess, 99);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }

    bool Started() const { return m_bStarted; }
    std::string Out() const { return ReadAll(m_outPath); }
    std::string Err() const { return ReadAll(m_errPath); }

    SRun Wait()
    {
        SRun run;
        if (m_bStarted && WaitForSingleObject(m_pi.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_pi.hProcess, &run.dwExit);
        run.strOut = Out();
        run.strErr = Err();
        return run;
    }

private:
    std::wstring m_outPath;
    std::wstring m_errPath;
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
};

// One lvmap run and what must come of it.
struct SStep
{
    std::wstring args;
    DWORD dwExit;
    const char* out;       // the whole standard output; null: not checked
    const char* err;       // a part of the standard error, "" for none; null: not checked
    const Bytes* pStored;  // the value afterwards; null: not checked
};

// Each test starts with the key and without the value, in a folder of its own.
class Lvmap : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t szPath[MAX_PATH];
        GetModuleFileNameW(nullptr, szPath, MAX_PATH);
        m_lvmap = szPath;
        m_lvmap = m_lvmap.substr(0, m_lvmap.find_last_of(L'\\') + 1) + L"lvmap.exe";
        GetTempPathW(MAX_PATH, szPath);
        m_folder = std::wstring(szPath) + L"lvmap-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(m_folder.c_str(), nullptr);
        // lvmap keeps its history below the folder, which the test empties.
        SetEnvironmentVariableW(L"ProgramData", m_folder.c_str());
        m_history = m_folder + L"Lutrovane\\history\\";
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
        RegDeleteValueW(hKey, L"Scancode Map");
        RegCloseKey(hKey);
    }

    void TearDown() override
    {
        SetUp();
        for (const std::wstring& folder : {m_history, m_folder}) {
            WIN32_FIND_DATAW fd;
            HANDLE hFind = FindFirstFileW((folder + L"*").c_str(), &fd);
            for (BOOL b = hFind != INVALID_HANDLE_VALUE; b; b = FindNextFileW(hFind, &fd))
                DeleteFileW((folder + fd.cFileName).c_str());
            FindClose(hFind);
            RemoveDirectoryW(folder.c_str());
            RemoveDirectoryW((m_folder + L"Lutrovane").c_str());
        }
    }

    SRun RunLine(const std::wstring& commandLine)
    {
        CChild child(m_folder, commandLine);
        EXPECT_TRUE(child.Started());
        return child.Wait();
    }
    SRun Run(const std::wstring& args) { return RunLine(L"\"" + m_lvmap + L"\" " + args); }
    // reg.exe of the prefix reads what lvmap wrote.
    SRun Reg(const std::wstring& args) { return RunLine(L"reg.exe " + args); }

    void Steps(const std::vector<SStep>& steps)
    {
        for (const SStep& step : steps) {
            SCOPED_TRACE(std::string(step.args.begin(), step.args.end()));
            const SRun run = Run(step.args);
            EXPECT_EQ(step.dwExit, run.dwExit) << run.strErr;
            if (step.out) {
                EXPECT_EQ(step.out, run.strOut);
            }
            if (step.err) {
                EXPECT_TRUE(*step.err ? run.strErr.find(step.err) != std::string::npos : run.strErr.empty())
                    << run.strErr;
            }
            if (step.pStored) {
                EXPECT_EQ(ForReg(*step.pStored), StoredForReg());
            }
        }
    }

    std::wstring File(const wchar_t* pszName) const { return m_folder + pszName; }
    std::wstring Quoted(const wchar_t* pszName) const { return L"\"" + File(pszName) + L"\""; }
    bool Exists(const wchar_t* pszName) const
    {
        return GetFileAttributesW(File(pszName).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    void Store(const Bytes& map)
    {
        HKEY hKey;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_ALL_ACCESS, &hKey);
        RegSetValueExW(hKey, L"Scancode Map", 0, REG_BINARY, map.data(), static_cast<DWORD>(map.size()));
        RegCloseKey(hKey);
    }

    // The value as reg.exe shows it, hex digits only; empty when there is none.
    std::string StoredForReg()
    {
        const SRun run = Reg(L"query " + std::wstring(kLayoutKeyForReg) + L" /v \"Scancode Map\"");
        const size_t nAt = run.strOut.find("REG_BINARY");
        if (run.dwExit != 0 || nAt == std::string::npos)
            return std::string();
        const size_t nStart = run.strOut.find_first_not_of(' ', nAt + 10);
        return run.strOut.substr(nStart, run.strOut.find_first_of("\r\n", nStart) - nStart);
    }

    std::wstring m_lvmap;
    std::wstring m_folder;   // the test's files and the outputs of the programs run
    std::wstring m_history;  // where lvmap keeps the maps it replaces
};

}  // namespace

TEST_F(Lvmap, WrongUsageExitsWithOneAndChangesNothing)
{
    Store(kThreeMappings);
    WriteAll(File(L"in.lvd"), "old");
    Steps({
        {L"", 1, "", "no command", nullptr},
        {L"show " + Quoted(L"in.lvd"), 1, "", "show takes no file", nullptr},
        {L"show --keyboard qwerty", 1, "", "unknown keyboard qwerty", nullptr},
        {L"keys --timeout 5", 1, "", "unknown option --timeout", nullptr},
        {L"detect --timeout 0", 1, "", "--timeout takes a number", nullptr},
        {L"apply " + Quoted(L"map.txt"), 1, "", "the name must end in .lvd", nullptr},
        {L"convert " + Quoted(L"in.lvd"), 1, "", "convert takes two files", nullptr},
        {L"remove --force", 1, "", "unknown option --force", &kThreeMappings},
    });
    EXPECT_EQ("old", ReadAll(File(L"in.lvd")));
    EXPECT_NE(std::string::npos, Run(L"--help").strOut.find("  3  an input file")) << "exit codes not documented";
}

TEST_F(Lvmap, ShowAndKeysNameKeysInUtf8WhenRedirected)
{
    Steps({{L"show", 0, "No map\r\n", "", nullptr}});
    Store(Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    Steps({{L"show", 0, "No mappings: the map is empty\r\n", "", nullptr}});
    // Real keys by the chosen keyboard's table, mapped keys by the catalogue.
    Store(kThreeMappings);
    Steps({
        {L"show", 0,
         u8"003A CapsLock -> 001D Control(왼쪽)\r\nE05B 윈도우키(왼쪽) -> E038 Alt(오른쪽)/한글전환\r\n"
         u8"0059 알수 없음 -> 0000 알수 없음\r\n", "", nullptr},
        {L"show --keyboard=apple-pro", 0,
         u8"003A CapsLock -> 001D Control(왼쪽)\r\nE05B 사과키(왼쪽) -> E038 Alt(오른쪽)/한글전환\r\n"
         u8"0059 알수 없음 -> 0000 알수 없음\r\n", "", nullptr},
    });
    // A map Windows would not take is still shown, with a warning.
    Bytes bad = kThreeMappings;
    bad[8] = 3;
    Store(bad);
    Steps({{L"show", 0, nullptr, "warning: the system's map is not sound", nullptr}});

    const SRun run = Run(L"keys");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ(0u, run.strOut.find("001E A\r\n0030 B\r\n"));
    EXPECT_NE(std::string::npos, run.strOut.find(u8"\r\nE038 Alt(오른쪽)/한글전환\r\n"));
}

TEST_F(Lvmap, AppliedFilesReachTheRegistryAsReadByRegExe)
{
    WriteAll(File(L"editor.reg"), RegFile(kThreeMappings));
    WriteAll(File(L"hand.reg"),
             "REGEDIT4\r\n\r\n; CapsLock to Control and so on\r\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout]\r\n"
             "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,04,00,00,00,1d,00,3a,00,\\\r\n"
             "  38,E0,5B,E0, 00,00,59,00, 00,00,00,00\r\n");
    WriteAll(File(L"map.lvd"), Lvd(kThreeMappings));
    WriteAll(File(L"delete.reg"), RegFile(kNoMap, true));
    const std::string strSet = std::string("Scancode Map set: 3 mappings.") + kRestart;
    const std::string strRemoved = std::string("Scancode Map removed.") + kRestart;
    for (const wchar_t* pszName : {L"editor.reg", L"hand.reg", L"map.lvd"}) {
        Steps({{L"apply " + Quoted(pszName), 0, strSet.c_str(), "", &kThreeMappings},
               {L"apply " + Quoted(L"delete.reg"), 0, strRemoved.c_str(), "", &kNoMap}});
    }
    Steps({{L"remove", 0, "No map was set; nothing to remove.\r\n", "", &kNoMap}});
}

TEST_F(Lvmap, UnsoundFilesAreRefusedWithNothingWritten)
{
    const struct {
        const wchar_t* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        {L"count.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout]\r\n"
                       "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,03,00,00,00,1d,00,3a,00,00,00,00,00\r\n",
         "the entry count says 3"},
        {L"text.lvd", "Scancode Map: CapsLock -> Control", "not a Lutrovane map data file"},
        {L"empty.lvd", Lvd(Bytes()), "the file ends before its map"},
        {L"count.lvd", Lvd(Bytes{0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0}), "the entry count says 5"},
        {L"long.lvd", Lvd(Bytes(1028, 0)), "the map is more than 1024 bytes"},
    };
    Store(kThreeMappings);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        WriteAll(File(c.name), c.bytes);
        WriteAll(File(L"out.reg"), "old");
        WriteAll(File(L"out.lvd"), "old");
        Steps({{L"apply " + Quoted(c.name), 3, "", c.error, &kThreeMappings},
               {L"convert " + Quoted(c.name) + L" " + Quoted(L"out.reg"), 3, "", c.error, nullptr},
               {L"convert " + Quoted(c.name) + L" " + Quoted(L"out.lvd"), 3, "", c.error, nullptr}});
        EXPECT_EQ("old", ReadAll(File(L"out.reg")));
        EXPECT_EQ("old", ReadAll(File(L"out.lvd")));
    }
    // A removal has no map data file form; a file that is not there is a
    // file failure, not an invalid file.
    WriteAll(File(L"delete.reg"), RegFile(kNoMap, true));
    Steps({{L"convert " + Quoted(L"delete.reg") + L" " + Quoted(L"out.lvd"), 3, "", nullptr, nullptr},
           {L"apply " + Quoted(L"missing.reg"), 2, "", "missing.reg: ", &kThreeMappings}});
    EXPECT_EQ("old", ReadAll(File(L"out.lvd")));
}

TEST_F(Lvmap, ExportedAndConvertedFilesRoundTripByteForByte)
{
    Steps({{L"export " + Quoted(L"none.reg"), 4, "",
            "lvmap: there is no map to export: the system holds no Scancode Map value\r\n", nullptr}});
    EXPECT_FALSE(Exists(L"none.reg")) << "no map exported as if there were one";

    Store(kThreeMappings);
    Steps({{L"export " + Quoted(L"system.reg"), 0, nullptr, "", nullptr},
           {L"export " + Quoted(L"system.lvd"), 0, nullptr, "", nullptr},
           {L"convert " + Quoted(L"system.lvd") + L" " + Quoted(L"again.reg"), 0, nullptr, "", nullptr},
           {L"convert " + Quoted(L"again.reg") + L" " + Quoted(L"again.lvd"), 0, nullptr, "", nullptr}});
    // reg.exe's export of the key is the same file, but for the key's empty
    // default value, which Windows has and lvmap leaves out.
    EXPECT_EQ(0u, Reg(L"export " + std::wstring(kLayoutKeyForReg) + L" " + Quoted(L"reg.reg") + L" /y").dwExit);
    std::string strRegExport = ReadAll(File(L"reg.reg"));
    const std::string strDefault("@\0=\0\"\0\"\0\r\0\n\0", 12);
    if (strRegExport.find(strDefault) != std::string::npos)
        strRegExport.erase(strRegExport.find(strDefault), strDefault.size());
    EXPECT_EQ(strRegExport, ReadAll(File(L"system.reg")));
    const std::string strLvd = ReadAll(File(L"system.lvd"));
    EXPECT_EQ(Lvd(kThreeMappings), strLvd);
    EXPECT_EQ(ReadAll(File(L"system.reg")), ReadAll(File(L"again.reg")));
    EXPECT_EQ(strLvd, ReadAll(File(L"again.lvd")));

    // An export replaces an older file; the system's map comes back from it.
    Steps({{L"remove", 0, nullptr, "", &kNoMap}, {L"apply " + Quoted(L"again.reg"), 0, nullptr, "", &kThreeMappings}});
    Bytes bad = kThreeMappings;
    bad.resize(24);  // no null entry
    Store(bad);
    Steps({{L"export " + Quoted(L"system.lvd"), 3, "", "not sound", nullptr}});
    EXPECT_EQ(strLvd, ReadAll(File(L"system.lvd")));
}

// The core reads at most 1024 bytes and says the same of a longer value as of
// none: lvmap must not take such a value for no map.
TEST_F(Lvmap, AValueLongerThanAnyMapIsNoSoundMapAndRemoveRemovesIt)
{
    Bytes longMap = kThreeMappings;
    longMap.resize(1028, 0);
    Store(longMap);
    const char kTooLong[] = "the map is 1028 bytes, more than 1024";
    const std::string strRemoved = std::string("Scancode Map removed.") + kRestart;
    Steps({{L"show", 3, "", kTooLong, nullptr},
           {L"export " + Quoted(L"long.reg"), 3, "", kTooLong, nullptr},
           {L"remove", 0, strRemoved.c_str(), "", &kNoMap}});
    EXPECT_FALSE(Exists(L"long.reg"));
}

TEST_F(Lvmap, UndoAndRestorePutBackWhatEachChangeReplaced)
{
    WriteAll(File(L"three.reg"), RegFile(kThreeMappings));
    WriteAll(File(L"caps.lvd"), Lvd(kCapsToControl));
    Steps({
        {L"undo", 2, "", "nothing to undo", &kNoMap},
        {L"apply " + Quoted(L"three.reg"), 0, nullptr, "", &kThreeMappings},
        {L"undo", 0, nullptr, "", &kNoMap},  // there was no map before
        {L"apply " + Quoted(L"caps.lvd"), 0, nullptr, "", &kCapsToControl},
        // Kept by now, newest first: no map, three (replaced by undo), no map.
        {L"restore 2", 0, nullptr, "", &kThreeMappings},
        {L"undo", 0, nullptr, "", &kCapsToControl},
        {L"restore 9", 2, "", "no kept map number 9", &kCapsToControl},
    });

    const SRun run = Run(L"history");
    EXPECT_EQ(0u, run.dwExit);
    const size_t nFirst = run.strOut.find("\r\n 1  ");
    EXPECT_NE(std::string::npos, nFirst) << run.strOut;
    EXPECT_EQ(nFirst + 25, run.strOut.find(u8"  3 mappings: CapsLock -> Control(왼쪽), 윈도우키(왼쪽) -> "
                                           u8"Alt(오른쪽)/한글전환, 알수 없음 -> 알수 없음\r\n 2  "))
        << "number, time to the second, count, first mappings";
    EXPECT_NE(std::string::npos, run.strOut.find(u8"  1 mapping: CapsLock -> Control(왼쪽)\r\n 3  "));
    EXPECT_NE(std::string::npos, run.strOut.find("  no map\r\n 4  "));
    EXPECT_NE(std::string::npos, run.strOut.find("\r\n 5  ")) << "five changes, five kept";

    // A kept file is what the registry editor takes back by itself, and what
    // restore takes by its name.
    CMapHistory history;
    ASSERT_EQ(0u, history.Load());
    const std::wstring kept = history.GetPath(0);
    Run(L"remove");
    EXPECT_EQ(0u, RunLine(L"regedit.exe /S \"" + kept + L"\"").dwExit);
    EXPECT_EQ(ForReg(kThreeMappings), StoredForReg());
    Steps({{L"restore \"" + std::wstring(history.GetPath(1)) + L"\"", 0, nullptr, "", &kCapsToControl}});
}

TEST_F(Lvmap, MapsAfterWhichNobodyCouldSignInAreRefusedUnlessForced)
{
    // Both Control keys off, and both Enter keys made A.
    const Bytes kLockOut = {0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0,
                            0x00, 0x00, 0x1D, 0x00,  // 001D left Control -> off
                            0x00, 0x00, 0x1D, 0xE0,  // E01D right Control -> off
                            0x1E, 0x00, 0x1C, 0x00,  // 001C Enter -> 001E A
                            0x1E, 0x00, 0x1C, 0xE0,  // E01C keypad Enter -> 001E A
                            0, 0, 0, 0};
    WriteAll(File(L"lock.lvd"), Lvd(kLockOut));
    WriteAll(File(L"caps.lvd"), Lvd(kCapsToControl));
    Store(kThreeMappings);
    Steps({
        {L"apply " + Quoted(L"lock.lvd"), 3, "",
         u8"001D Control(왼쪽), E01D Control(오른쪽)/한자변환, 001C Enter, E01C 키패드 Enter", &kThreeMappings},
        {L"undo", 2, "", "nothing to undo", nullptr},  // a refused change is not kept
        {L"apply --force " + Quoted(L"lock.lvd"), 0, nullptr, "warning", &kLockOut},
        {L"apply " + Quoted(L"caps.lvd"), 0, nullptr, "", &kCapsToControl},
        // Putting back a map is guarded as applying one.
        {L"undo", 3, "", "Ctrl+Alt+Del", &kCapsToControl},
        {L"undo --force", 0, nullptr, "warning", &kLockOut},
    });
}

TEST_F(Lvmap, MissingKeyIsReportedWithTheSystemsReason)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    WriteAll(File(L"map.lvd"), Lvd(kThreeMappings));
    const struct {
        std::wstring args;
        const char* error;
    } cases[] = {
        {L"show", "lvmap: cannot read HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout: "},
        {L"apply " + Quoted(L"map.lvd"), "lvmap: cannot write Scancode Map under HKEY_LOCAL_MACHINE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.args.begin(), c.args.end()));
        const SRun run = Run(c.args);
        EXPECT_EQ(2u, run.dwExit);
        EXPECT_EQ(0u, run.strErr.find(c.error)) << run.strErr;
        EXPECT_GT(run.strErr.size(), strlen(c.error) + 4) << "no reason given";
    }
    HKEY hKey;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_READ, &hKey))
        << "the key was created";
}

TEST_F(Lvmap, DetectNamesInjectedKeysUntilEscapeTwice)
{
    CChild child(m_folder, L"\"" + m_lvmap + L"\" detect --timeout 60");
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(WaitFor([&] { return child.Err().find("Press keys") != std::string::npos; })) << child.Err();

    // Each key as Windows reports it to the hook: NumLock and the right Shift
    // key come flagged extended, with no E0 prefix in the map's code.
    const struct {
        WORD wMake;
        bool bExtended;
        const char* line;
    } keys[] = {
        {0x1E, false, u8"001E  A  (catalogue: A)"},
        {0x38, true, u8"E038  Alt(오른쪽)/한글전환  (catalogue: Alt(오른쪽)/한글전환)"},
        {0x36, true, u8"0036  Shift(오른쪽)  (catalogue: Shift(오른쪽))"},
        {0x45, true, u8"0045  NumLock  (catalogue: NumLock)"},
        {0x59, false, u8"0059  알수 없음  (catalogue: 알수 없음)"},
        {0x01, false, u8"0001  ESC  (catalogue: ESC)"},
        {0x1E, false, u8"001E  A  (catalogue: A)"},  // Esc must come twice in a row
        {0x01, false, u8"0001  ESC  (catalogue: ESC)"},
        {0x01, false, u8"0001  ESC  (catalogue: ESC)"},
    };
    std::string strWanted;
    for (const auto& key : keys) {
        strWanted += std::string(key.line) + "\r\n";
        INPUT inputs[2] = {};
        for (int i = 0; i < 2; ++i) {
            inputs[i].type = INPUT_KEYBOARD;
            inputs[i].ki.wScan = key.wMake;
            inputs[i].ki.dwFlags = KEYEVENTF_SCANCODE | (key.bExtended ? KEYEVENTF_EXTENDEDKEY : 0)
                                   | (i ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, inputs, sizeof(INPUT));
        // One line per key: wait for it before the next key comes.
        ASSERT_TRUE(WaitFor([&] { return child.Out().size() >= strWanted.size(); })) << child.Out();
    }
    const SRun run = child.Wait();
    EXPECT_EQ(0u, run.dwExit) << "detect did not end on Esc twice";
    EXPECT_EQ(strWanted, run.strOut);
}

TEST_F(Lvmap, DetectEndsAfterItsTimeWithoutKeys)
{
    CChild child(m_folder, L"\"" + m_lvmap + L"\" detect --timeout 1");
    ASSERT_TRUE(child.Started());
    const SRun run = child.Wait();
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("", run.strOut);
}

// lvmap.exe run as a process, as scripts run it: exit codes, what it prints
// into files, what reg.exe then finds in the registry, and detect fed with
// key presses injected into the session.
#include "reg_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kLayoutKeyForReg[] = L"\"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout\"";

// Three mappings, the null entry and the header: 28 bytes, folded in a .reg.
const Bytes kThreeMappings = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // version, flags
    0x04, 0x00, 0x00, 0x00,                          // entry count
    0x1D, 0x00, 0x3A, 0x00,                          // 003A CapsLock -> 001D left Control
    0x38, 0xE0, 0x5B, 0xE0,                          // E05B left Windows -> E038 right Alt
    0x00, 0x00, 0x59, 0x00,                          // 0059 (no table's) -> 0000, the key off
    0x00, 0x00, 0x00, 0x00,                          // null entry
};
const char kThreeMappingsForReg[] = "0000000000000000040000001D003A0038E05BE00000590000000000";
const Bytes kCapsToControl = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // version, flags
    0x02, 0x00, 0x00, 0x00,                          // entry count
    0x1D, 0x00, 0x3A, 0x00,                          // 003A CapsLock -> 001D left Control
    0x00, 0x00, 0x00, 0x00,                          // null entry
};
const char kCapsToControlForReg[] = "0000000000000000020000001D003A0000000000";

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

// A map data file as the wizard saves one: signature, 0x1A, 1024 x 0xFF, map.
std::string Lvd(const Bytes& map)
{
    return std::string("Lutrovane v1.0 Scancode Map Data Format\x1A") + std::string(1024, '\xFF')
           + AsString(map);
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

    SRun Wait(DWORD dwTimeoutMs)
    {
        SRun run;
        if (m_bStarted && WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_pi.hProcess, &run.dwExit);
        run.strOut = ReadAll(m_outPath);
        run.strErr = ReadAll(m_errPath);
        return run;
    }

private:
    std::wstring m_outPath;
    std::wstring m_errPath;
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
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
        return child.Wait(60000);
    }
    SRun Run(const std::wstring& args) { return RunLine(L"\"" + m_lvmap + L"\" " + args); }
    // reg.exe of the prefix reads what lvmap wrote.
    SRun Reg(const std::wstring& args) { return RunLine(L"reg.exe " + args); }

    std::wstring File(const wchar_t* pszName) const { return m_folder + pszName; }
    std::wstring Quoted(const wchar_t* pszName) const { return L"\"" + File(pszName) + L"\""; }

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
    const struct {
        std::wstring args;
        const char* error;
    } cases[] = {
        {L"", "no command"},
        {L"show " + Quoted(L"in.lvd"), "show takes no file"},
        {L"show --keyboard qwerty", "unknown keyboard qwerty"},
        {L"keys --timeout 5", "unknown option --timeout"},
        {L"detect --timeout 0", "--timeout takes a number"},
        {L"apply " + Quoted(L"map.txt"), "the name must end in .lvd"},
        {L"convert " + Quoted(L"in.lvd"), "convert takes two files"},
        {L"remove --force", "unknown option --force"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.args.begin(), c.args.end()));
        const SRun run = Run(c.args);
        EXPECT_EQ(1u, run.dwExit);
        EXPECT_NE(std::string::npos, run.strErr.find(c.error)) << run.strErr;
        EXPECT_EQ("", run.strOut);
    }
    EXPECT_EQ(kThreeMappingsForReg, StoredForReg());
    EXPECT_EQ("old", ReadAll(File(L"in.lvd")));

    SRun run = Run(L"--help");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_NE(std::string::npos, run.strOut.find("  3  an input file")) << "exit codes not documented";
}

TEST_F(Lvmap, ShowAndKeysNameKeysInUtf8WhenRedirected)
{
    SRun run = Run(L"show");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("No map\r\n", run.strOut);

    Store(Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    run = Run(L"show");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("No mappings: the map is empty\r\n", run.strOut);

    // Real keys by the chosen keyboard's table, mapped keys by the catalogue.
    Store(kThreeMappings);
    run = Run(L"show");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ(u8"003A CapsLock -> 001D Control(왼쪽)\r\n"
              u8"E05B 윈도우키(왼쪽) -> E038 Alt(오른쪽)/한글전환\r\n"
              u8"0059 알수 없음 -> 0000 알수 없음\r\n",
              run.strOut);
    EXPECT_EQ("", run.strErr);
    run = Run(L"show --keyboard=apple-pro");
    EXPECT_EQ(u8"003A CapsLock -> 001D Control(왼쪽)\r\n"
              u8"E05B 사과키(왼쪽) -> E038 Alt(오른쪽)/한글전환\r\n"
              u8"0059 알수 없음 -> 0000 알수 없음\r\n",
              run.strOut);

    // A map Windows would not take is still shown, with a warning.
    Bytes bad = kThreeMappings;
    bad[8] = 3;
    Store(bad);
    run = Run(L"show");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_NE(std::string::npos, run.strErr.find("warning: the system's map is not sound")) << run.strErr;

    run = Run(L"keys");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ(0u, run.strOut.find("001E A\r\n0030 B\r\n"));
    EXPECT_NE(std::string::npos, run.strOut.find(u8"\r\nE038 Alt(오른쪽)/한글전환\r\n"));
}

TEST_F(Lvmap, AppliedFilesReachTheRegistryAsReadByRegExe)
{
    SRegFileContent content;
    content.map = kThreeMappings;
    WriteAll(File(L"editor.reg"), AsString(MakeRegFile(content)));
    WriteAll(File(L"hand.reg"),
             "REGEDIT4\r\n\r\n; CapsLock to Control and so on\r\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout]\r\n"
             "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,04,00,00,00,1d,00,3a,00,\\\r\n"
             "  38,E0,5B,E0, 00,00,59,00, 00,00,00,00\r\n");
    WriteAll(File(L"map.lvd"), Lvd(kThreeMappings));
    for (const wchar_t* pszName : {L"editor.reg", L"hand.reg", L"map.lvd"}) {
        SCOPED_TRACE(std::string(pszName, pszName + wcslen(pszName)));
        const SRun run = Run(L"apply " + Quoted(pszName));
        EXPECT_EQ(0u, run.dwExit) << run.strErr;
        EXPECT_EQ("Scancode Map set: 3 mappings. The change takes effect when Windows restarts.\r\n",
                  run.strOut);
        EXPECT_EQ(kThreeMappingsForReg, StoredForReg());
        Run(L"remove");
    }

    Store(kThreeMappings);
    content.bDelete = true;
    WriteAll(File(L"delete.reg"), AsString(MakeRegFile(content)));
    SRun run = Run(L"apply " + Quoted(L"delete.reg"));
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("Scancode Map removed. The change takes effect when Windows restarts.\r\n", run.strOut);
    EXPECT_EQ("", StoredForReg());

    run = Run(L"remove");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("No map was set; nothing to remove.\r\n", run.strOut);
}

TEST_F(Lvmap, UnsoundFilesAreRefusedWithNothingWritten)
{
    const std::string strHead =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout]\r\n"
        "\"Scancode Map\"=hex:";
    const struct {
        const wchar_t* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        {L"count.reg", strHead + "00,00,00,00,00,00,00,00,03,00,00,00,1d,00,3a,00,00,00,00,00\r\n",
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

        SRun run = Run(L"apply " + Quoted(c.name));
        EXPECT_EQ(3u, run.dwExit);
        EXPECT_NE(std::string::npos, run.strErr.find(c.error)) << run.strErr;
        EXPECT_EQ("", run.strOut);
        EXPECT_EQ(kThreeMappingsForReg, StoredForReg());
        for (const wchar_t* pszOut : {L"out.reg", L"out.lvd"}) {
            run = Run(L"convert " + Quoted(c.name) + L" " + Quoted(pszOut));
            EXPECT_EQ(3u, run.dwExit);
            EXPECT_EQ("old", ReadAll(File(pszOut)));
        }
    }

    // A removal has no map data file form.
    SRegFileContent removal;
    removal.bDelete = true;
    WriteAll(File(L"delete.reg"), AsString(MakeRegFile(removal)));
    SRun run = Run(L"convert " + Quoted(L"delete.reg") + L" " + Quoted(L"out.lvd"));
    EXPECT_EQ(3u, run.dwExit);
    EXPECT_EQ("old", ReadAll(File(L"out.lvd")));

    // A file that is not there is a file failure, not an invalid file.
    run = Run(L"apply " + Quoted(L"missing.reg"));
    EXPECT_EQ(2u, run.dwExit);
    EXPECT_NE(std::string::npos, run.strErr.find("missing.reg: ")) << run.strErr;
    EXPECT_EQ(kThreeMappingsForReg, StoredForReg());
}

TEST_F(Lvmap, ExportedAndConvertedFilesRoundTripByteForByte)
{
    SRun run = Run(L"export " + Quoted(L"none.reg"));
    EXPECT_EQ(4u, run.dwExit) << "no map exported as if there were one";
    EXPECT_EQ("lvmap: there is no map to export: the system holds no Scancode Map value\r\n", run.strErr);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(File(L"none.reg").c_str()));

    Store(kThreeMappings);
    run = Run(L"export " + Quoted(L"system.reg"));
    EXPECT_EQ(0u, run.dwExit) << run.strErr;
    // reg.exe's export of the key is the same file, but for the key's empty
    // default value, which Windows has and lvmap leaves out.
    EXPECT_EQ(0u, Reg(L"export " + std::wstring(kLayoutKeyForReg) + L" " + Quoted(L"reg.reg") + L" /y").dwExit);
    std::string strRegExport = ReadAll(File(L"reg.reg"));
    const std::string strDefault("@\0=\0\"\0\"\0\r\0\n\0", 12);
    if (strRegExport.find(strDefault) != std::string::npos)
        strRegExport.erase(strRegExport.find(strDefault), strDefault.size());
    EXPECT_EQ(strRegExport, ReadAll(File(L"system.reg")));

    EXPECT_EQ(0u, Run(L"export " + Quoted(L"system.lvd")).dwExit);
    const std::string strLvd = ReadAll(File(L"system.lvd"));
    EXPECT_EQ(1080u + 4 * 3, strLvd.size());
    EXPECT_EQ(0u, Run(L"convert " + Quoted(L"system.lvd") + L" " + Quoted(L"again.reg")).dwExit);
    EXPECT_EQ(ReadAll(File(L"system.reg")), ReadAll(File(L"again.reg")));
    EXPECT_EQ(0u, Run(L"convert " + Quoted(L"again.reg") + L" " + Quoted(L"again.lvd")).dwExit);
    EXPECT_EQ(strLvd, ReadAll(File(L"again.lvd")));

    // An export replaces an older file; the system's map comes back from it.
    Run(L"remove");
    EXPECT_EQ(0u, Run(L"apply " + Quoted(L"again.reg")).dwExit);
    EXPECT_EQ(kThreeMappingsForReg, StoredForReg());

    Bytes bad = kThreeMappings;
    bad.resize(24);  // no null entry
    Store(bad);
    run = Run(L"export " + Quoted(L"system.lvd"));
    EXPECT_EQ(3u, run.dwExit);
    EXPECT_EQ(strLvd, ReadAll(File(L"system.lvd")));
}

// The core reads at most 1024 bytes and says the same of a longer value as of
// none: lvmap must not take such a value for no map.
TEST_F(Lvmap, AValueLongerThanAnyMapIsNoSoundMapAndRemoveRemovesIt)
{
    Bytes longMap = kThreeMappings;
    longMap.resize(1028, 0);
    Store(longMap);
    SRun run = Run(L"show");
    EXPECT_EQ(3u, run.dwExit);
    EXPECT_EQ("", run.strOut);
    EXPECT_NE(std::string::npos, run.strErr.find("the map is 1028 bytes, more than 1024")) << run.strErr;

    run = Run(L"export " + Quoted(L"long.reg"));
    EXPECT_EQ(3u, run.dwExit);
    EXPECT_NE(std::string::npos, run.strErr.find("the map is 1028 bytes, more than 1024")) << run.strErr;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(File(L"long.reg").c_str()));

    run = Run(L"remove");
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("Scancode Map removed. The change takes effect when Windows restarts.\r\n", run.strOut);
    EXPECT_EQ("", StoredForReg());
}

TEST_F(Lvmap, UndoAndRestorePutBackWhatEachChangeReplaced)
{
    SRun run = Run(L"undo");
    EXPECT_EQ(2u, run.dwExit);
    EXPECT_NE(std::string::npos, run.strErr.find("nothing to undo")) << run.strErr;

    SRegFileContent content;
    content.map = kThreeMappings;
    WriteAll(File(L"three.reg"), AsString(MakeRegFile(content)));
    WriteAll(File(L"caps.lvd"), Lvd(kCapsToControl));
    const struct {
        std::wstring args;
        const char* stored;  // the value after it, "" for none
    } steps[] = {
        {L"apply " + Quoted(L"three.reg"), kThreeMappingsForReg},
        {L"undo", ""},  // there was no map before
        {L"apply " + Quoted(L"caps.lvd"), kCapsToControlForReg},
        // Kept by now, newest first: no map, three (replaced by undo), no map.
        {L"restore 2", kThreeMappingsForReg},
        {L"undo", kCapsToControlForReg},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.args.begin(), step.args.end()));
        run = Run(step.args);
        EXPECT_EQ(0u, run.dwExit) << run.strErr;
        EXPECT_EQ(step.stored, StoredForReg());
    }

    run = Run(L"history");
    EXPECT_EQ(0u, run.dwExit);
    const size_t nFirst = run.strOut.find("\r\n 1  ");
    EXPECT_NE(std::string::npos, nFirst) << run.strOut;
    EXPECT_EQ(nFirst + 25, run.strOut.find(u8"  3 mappings: CapsLock -> Control(왼쪽), 윈도우키(왼쪽) -> "
                                           u8"Alt(오른쪽)/한글전환, 알수 없음 -> 알수 없음\r\n 2  "))
        << "number, time to the second, count, first mappings";
    EXPECT_NE(std::string::npos, run.strOut.find(u8"  1 mapping: CapsLock -> Control(왼쪽)\r\n 3  "));
    EXPECT_NE(std::string::npos, run.strOut.find("  no map\r\n 4  "));
    EXPECT_NE(std::string::npos, run.strOut.find("\r\n 5  ")) << "five changes, five kept";

    // A kept file is what the registry editor takes back by itself.
    CMapHistory history;
    ASSERT_EQ(0u, history.Load());
    Run(L"remove");
    EXPECT_EQ(0u, RunLine(L"regedit.exe /S \"" + std::wstring(history.GetPath(0)) + L"\"").dwExit);
    EXPECT_EQ(kThreeMappingsForReg, StoredForReg());

    run = Run(L"restore 9");
    EXPECT_EQ(2u, run.dwExit);
    EXPECT_NE(std::string::npos, run.strErr.find("no kept map number 9")) << run.strErr;
}

TEST_F(Lvmap, MapsAfterWhichNobodyCouldSignInAreRefusedUnlessForced)
{
    // Both Control keys off, and both Enter keys made A.
    const Bytes kLockOut = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // version, flags
        0x05, 0x00, 0x00, 0x00,                          // entry count
        0x00, 0x00, 0x1D, 0x00,                          // 001D left Control -> off
        0x00, 0x00, 0x1D, 0xE0,                          // E01D right Control -> off
        0x1E, 0x00, 0x1C, 0x00,                          // 001C Enter -> 001E A
        0x1E, 0x00, 0x1C, 0xE0,                          // E01C keypad Enter -> 001E A
        0x00, 0x00, 0x00, 0x00,                          // null entry
    };
    const char kLockOutForReg[] = "00000000000000000500000000001D0000001DE01E001C001E001CE000000000";
    WriteAll(File(L"lock.lvd"), Lvd(kLockOut));
    WriteAll(File(L"caps.lvd"), Lvd(kCapsToControl));
    Store(kThreeMappings);

    SRun run = Run(L"apply " + Quoted(L"lock.lvd"));
    EXPECT_EQ(3u, run.dwExit);
    EXPECT_NE(std::string::npos,
              run.strErr.find(u8"001D Control(왼쪽), E01D Control(오른쪽)/한자변환, 001C Enter, "
                              u8"E01C 키패드 Enter"))
        << run.strErr;
    EXPECT_NE(std::string::npos, run.strErr.find("Ctrl+Alt+Del")) << run.strErr;
    EXPECT_EQ(kThreeMappingsForReg, StoredForReg());
    EXPECT_EQ(2u, Run(L"undo").dwExit) << "a refused change was kept";

    EXPECT_EQ(0u, Run(L"apply --force " + Quoted(L"lock.lvd")).dwExit);
    EXPECT_EQ(kLockOutForReg, StoredForReg());
    EXPECT_EQ(0u, Run(L"apply " + Quoted(L"caps.lvd")).dwExit);
    // Putting back a map is guarded as applying one.
    EXPECT_EQ(3u, Run(L"undo").dwExit);
    EXPECT_EQ(kCapsToControlForReg, StoredForReg());
    EXPECT_EQ(0u, Run(L"undo --force").dwExit);
    EXPECT_EQ(kLockOutForReg, StoredForReg());
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

namespace {

void Press(WORD wMake, bool bExtended)
{
    INPUT inputs[2] = {};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wScan = wMake;
        inputs[i].ki.dwFlags = KEYEVENTF_SCANCODE | (bExtended ? KEYEVENTF_EXTENDEDKEY : 0)
                               | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, inputs, sizeof(INPUT));
}

}  // namespace

TEST_F(Lvmap, DetectNamesInjectedKeysUntilEscapeTwice)
{
    CChild child(m_folder, L"\"" + m_lvmap + L"\" detect --timeout 20");
    ASSERT_TRUE(child.Started());
    for (int i = 0; i < 200 && child.Err().find("Press keys") == std::string::npos; ++i)
        Sleep(50);
    ASSERT_NE(std::string::npos, child.Err().find("Press keys")) << child.Err();

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
        Press(key.wMake, key.bExtended);
        // One line per key: wait for it before the next key comes.
        for (int i = 0; i < 100 && child.Out().size() < strWanted.size(); ++i)
            Sleep(50);
    }
    const SRun run = child.Wait(10000);
    EXPECT_EQ(0u, run.dwExit) << "detect did not end on Esc twice";
    EXPECT_EQ(strWanted, run.strOut);
}

TEST_F(Lvmap, DetectEndsAfterItsTimeWithoutKeys)
{
    CChild child(m_folder, L"\"" + m_lvmap + L"\" detect --timeout 1");
    ASSERT_TRUE(child.Started());
    const SRun run = child.Wait(15000);
    EXPECT_EQ(0u, run.dwExit);
    EXPECT_EQ("", run.strOut);
}

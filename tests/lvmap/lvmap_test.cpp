// Programs run as scripts run them: lvmap.exe (exit codes, what it prints into files, the value it
// leaves in the registry; detect fed with keys injected into the session), and the registry editor
// importing the files lvmap's reader reads.
#include "../window_driver.h"
#include "reg_file.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct SRun { DWORD dwExit; std::string strOut, strErr; };

// Runs a program as a script runs it, its output and errors going to out.txt and err.txt in folder;
// duringRun may read them and act meanwhile. The deadline only turns a hung program into a failure.
SRun RunProgram(const std::wstring& folder, std::wstring line, const std::function<void()>& duringRun = [] {})
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    const std::wstring out = folder + L"out.txt", err = folder + L"err.txt";
    si.hStdOutput = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    si.hStdError = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION pi = {};
    DWORD dwExit = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        duringRun();
        if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        GetExitCodeProcess(pi.hProcess, &dwExit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    return {dwExit, ReadText(out), ReadText(err)};
}

// CapsLock -> left Control, left Windows -> right Alt, 0059 (no table's) -> 0000, the key off.
const Bytes kThree = MapBytes({{0x001D, 0x003A}, {0xE038, 0xE05B}, {0x0000, 0x0059}});
const Bytes kNone;

// An lvmap run and its outcome: how stdout begins, part of stderr ("" for none), the value; null: unchecked.
struct SStep { std::wstring args; DWORD dwExit; const char *out, *err; const Bytes* pStored; };

// Each test starts without the value, in a folder of its own that holds lvmap's history and
// the map files below. CreateProcess finds lvmap.exe beside the test first.
class Lvmap : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetEnvironmentVariableW(L"ProgramData", m_folder.c_str()) && SetValue(kNone));
        WriteAll(File(L"three.reg"), MakeRegFile({false, kThree}));
        WriteAll(File(L"three.lvd"), MapDataFile(kThree));
        WriteAll(File(L"caps.lvd"), MapDataFile(kCapsToControl));
        WriteAll(File(L"delete.reg"), MakeRegFile({true, kNone}));
    }

    ~Lvmap() override { std::filesystem::remove_all(m_folder); }

    // {name} in args stands for that file of the test's folder, quoted.
    SRun Run(std::wstring args)
    {
        for (size_t n = args.find(L'{'); n != std::wstring::npos; n = args.find(L'{', n))
            args.replace(n, 1, L"\"" + m_folder).replace(args.find(L'}', n), 1, L"\"");
        return RunProgram(m_folder, L"lvmap.exe " + args);
    }

    void Steps(const std::vector<SStep>& steps)
    {
        for (const SStep& step : steps) {
            SCOPED_TRACE(std::string(step.args.begin(), step.args.end()));
            const SRun run = Run(step.args);
            EXPECT_EQ(step.dwExit, run.dwExit) << run.strErr;
            EXPECT_TRUE(!step.out || (*step.out ? run.strOut.find(step.out) == 0 : run.strOut.empty())) << run.strOut;
            EXPECT_TRUE(!step.err || (*step.err ? run.strErr.find(step.err) != std::string::npos : run.strErr.empty()))
                << run.strErr;
            EXPECT_TRUE(!step.pStored || *step.pStored == Value()) << testing::PrintToString(Value());
        }
    }

    void Steps(const Bytes& value, const std::vector<SStep>& steps) { SetValue(value); Steps(steps); }
    std::wstring File(const std::wstring& name) const { return m_folder + name; }

    CValueKeeper m_keeper;
    const std::wstring m_folder = ScratchFolder(L"lvmap-test-");  // the files and the programs' output
};

}  // namespace

TEST_F(Lvmap, WrongUsageExitsWithOneAndChangesNothing)
{
    for (const wchar_t* pszArgs : {L"", L"show {caps.lvd}", L"show --keyboard qwerty", L"keys --timeout 5",
                                   L"detect --timeout 0", L"apply {map.txt}", L"convert {caps.lvd}",
                                   L"apply {caps.lvd} {caps.lvd}", L"remove --force"})
        Steps(kThree, {{pszArgs, 1, "", "lvmap: ", &kThree}});
}

TEST_F(Lvmap, ShowNamesRealKeysByTheKeyboardInUtf8WhenRedirected)
{
    Steps({{L"show", 0, "No map\r\n", "", nullptr}});
    Steps(MapOf(0), {{L"show", 0, "No mappings", "", nullptr}});
    // Real keys by the chosen keyboard's table, mapped keys by the catalogue.
    Steps(kThree, {{L"show", 0,
                    u8"003A CapsLock -> 001D Control(왼쪽)\r\nE05B 윈도우키(왼쪽) -> E038 Alt(오른쪽)/한글전환\r\n"
                    u8"0059 알수 없음 -> 0000 알수 없음\r\n", "", nullptr},
                   {L"show --keyboard=apple-pro", 0, u8"003A CapsLock -> 001D Control(왼쪽)\r\nE05B 사과키", "", nullptr},
                   {L"keys", 0, "001E A\r\n", "", nullptr}});
    // A map Windows would not take is still shown, with a warning.
    Steps(Bytes(kThree.begin(), kThree.end() - 4), {{L"show", 0, "003A CapsLock", "warning", nullptr}});
}

TEST_F(Lvmap, ApplyTakesEachFileFormAndRemovalsAndWritesNothingUnsound)
{
    Steps({{L"apply {three.REG}", 0, "Scancode Map set: 3 mappings.", "", &kThree},
           {L"apply {delete.reg}", 0, "Scancode Map removed.", "", &kNone},
           {L"apply {three.lvd}", 0, "Scancode Map set: 3 mappings.", "", &kThree},
           {L"remove", 0, "Scancode Map removed.", "", &kNone},
           {L"remove", 0, "No map was set", "", &kNone}});

    // Refused (3), nothing written, caps.lvd kept; a missing file (no bytes) fails (2); a removal has no .lvd form.
    const Bytes badCount = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x1D, 0x00, 0x3A, 0x00, 0, 0, 0, 0};
    Bytes signature = MapDataFile(kThree);
    signature[0] = 'l';
    Bytes longMap(1028, 0);  // a sound map's 1024 bytes, and 4
    longMap[8] = 253;
    const std::pair<const wchar_t*, Bytes> cases[] = {
        {L"count.reg", MakeRegFile({false, badCount})}, {L"count.lvd", MapDataFile(badCount)},
        {L"signature.lvd", signature}, {L"empty.lvd", MapDataFile(kNone)}, {L"missing.reg", {}},
        {L"missing.lvd", {}}, {L"long.lvd", MapDataFile(longMap)}};
    for (const auto& c : cases) {
        if (!c.second.empty())
            WriteAll(File(c.first), c.second);
        const std::wstring in = L" {" + std::wstring(c.first) + L"}";
        const DWORD dwExit = c.second.empty() ? 2 : 3;
        Steps(kThree, {{L"apply" + in, dwExit, "", nullptr, &kThree},
                       {L"convert" + in + L" {caps.lvd}", dwExit, "", nullptr, nullptr}});
    }
    Steps({{L"convert {delete.reg} {caps.lvd}", 3, "", nullptr, nullptr}});
    EXPECT_EQ(MapDataFile(kCapsToControl), ReadAll(File(L"caps.lvd")));
}

TEST_F(Lvmap, ExportsRoundTripAndNoMapOrAnUnsoundOneIsNeverExported)
{
    // Export and convert write through one writer: one of each covers both forms.
    Steps(kThree, {{L"export {system.reg}", 0, nullptr, "", nullptr},
                   {L"convert {system.reg} {system.lvd}", 0, nullptr, "", nullptr}});
    // No value without its null entry, nor one longer than any map (which the
    // core reads as none), is exported; remove takes the long one away too.
    Steps(Bytes(kThree.begin(), kThree.end() - 4), {{L"export {system.lvd}", 3, "", nullptr, nullptr}});
    Steps(Bytes(1028, 0), {{L"show", 3, "", "1028 bytes", nullptr},
                           {L"export {system.lvd}", 3, "", nullptr, nullptr},
                           {L"remove", 0, nullptr, "", &kNone},
                           {L"export {system.reg}", 4, "", nullptr, nullptr}});
    EXPECT_EQ(MakeRegFile({false, kThree}), ReadAll(File(L"system.reg")));
    EXPECT_EQ(MapDataFile(kThree), ReadAll(File(L"system.lvd")));
}

TEST_F(Lvmap, UndoAndRestorePutBackWhatEachChangeReplaced)
{
    Steps({{L"undo", 2, "", nullptr, &kNone},
           {L"apply {three.reg}", 0, nullptr, "", &kThree},
           {L"undo", 0, nullptr, "", &kNone},  // there was no map before
           {L"apply {caps.lvd}", 0, nullptr, "", &kCapsToControl},
           // Kept by now, newest first: no map, three (replaced by undo), no map.
           {L"restore 2", 0, nullptr, "", &kThree},
           {L"undo", 0, nullptr, "", &kCapsToControl},
           {L"restore 6", 2, "", nullptr, &kCapsToControl}});

    // Number, time to the second, count and the first mappings by name.
    const std::string strHistory = Run(L"history").strOut;
    EXPECT_EQ(strHistory.find("\r\n 1  ") + 25, strHistory.find(u8"  3 mappings: CapsLock -> Control(왼쪽), 윈도우키(왼쪽) -> "
                                                            u8"Alt(오른쪽)/한글전환, 알수 없음 -> 알수 없음\r\n 2  "));
    for (const char* pszKept : {u8"  1 mapping: CapsLock -> Control(왼쪽)\r\n 3  ", "  no map\r\n 4  ", "\r\n 5  "})
        EXPECT_NE(std::string::npos, strHistory.find(pszKept)) << pszKept;
    Steps({{L"restore {three.reg}", 0, nullptr, "", &kThree}});  // a file by its name, as a kept one
}

TEST_F(Lvmap, MapsAfterWhichNobodyCouldSignInAreRefusedUnlessForced)
{
    // Both Control keys off, both Enter keys made A.
    const Bytes kLockOut = MapBytes({{0x0000, 0x001D}, {0x0000, 0xE01D}, {0x001E, 0x001C}, {0x001E, 0xE01C}});
    WriteAll(File(L"lock.lvd"), MapDataFile(kLockOut));
    Steps(kThree, {{L"apply {lock.lvd}", 3, "", u8"001D Control(왼쪽), E01D Control(오른쪽)/한자변환, 001C Enter, E01C",
                    &kThree},
                   {L"apply --force {lock.lvd}", 0, nullptr, "warning", &kLockOut},
                   {L"apply {caps.lvd}", 0, nullptr, "", &kCapsToControl},
                   // Putting back a map is guarded as applying one.
                   {L"undo", 3, "", nullptr, &kCapsToControl},
                   {L"undo --force", 0, nullptr, "warning", &kLockOut}});
}

TEST_F(Lvmap, AMissingKeyIsReportedWithTheSystemsReasonAndNotCreated)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    // Exit 2, and "lvmap: cannot read (write) ...Keyboard Layout: " with the reason.
    for (const SRun& run : {Run(L"show"), Run(L"apply {three.lvd}")})
        EXPECT_TRUE(run.dwExit == 2 && run.strErr.find("Layout: ") + 12 < run.strErr.size()) << run.strErr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
}

TEST_F(Lvmap, DetectNamesInjectedKeysOnceEachUntilEscapeTwiceOrItsTime)
{
    // The hook sees NumLock and the right Shift key flagged extended, with no E0
    // in their codes. A key held down, repeating, is shown once; Esc twice in a row ends.
    const struct { WORD wMake; bool bExtended; const char *code, *name; } keys[] = {
        {0x1E, false, "001E", "A"}, {0x38, true, "E038", u8"Alt(오른쪽)/한글전환"}, {0x36, true, "0036", u8"Shift(오른쪽)"},
        {0x45, true, "0045", "NumLock"}, {0x59, false, "0059", u8"알수 없음"}, {0x01, false, "0001", "ESC"},
        {0x1E, false, "001E", "A"}, {0x01, false, "0001", "ESC"}, {0x01, false, "0001", "ESC"}};
    std::string strWanted;
    const SRun run = RunProgram(m_folder, L"lvmap.exe detect --timeout 60", [&] {
        WaitUntil([&] { return ReadText(File(L"err.txt")).find("Press keys") != std::string::npos; });
        for (const auto& key : keys) {
            strWanted += std::string(key.code) + "  " + key.name + "  (catalogue: " + key.name + ")\r\n";
            for (DWORD dwUp : {0, 0, KEYEVENTF_KEYUP}) {  // pressed, held down, let go
                INPUT input = {INPUT_KEYBOARD, {}};
                input.ki.wScan = key.wMake;
                input.ki.dwFlags = KEYEVENTF_SCANCODE | (key.bExtended ? KEYEVENTF_EXTENDEDKEY : 0) | dwUp;
                SendInput(1, &input, sizeof(input));
            }
            WaitUntil([&] { return ReadAll(File(L"out.txt")).size() >= strWanted.size(); });  // its line first
        }
    });
    EXPECT_EQ(0u, run.dwExit) << "detect did not end on Esc twice";
    EXPECT_EQ(strWanted, run.strOut);
    Steps({{L"detect --timeout 1", 0, "", nullptr, nullptr}});
}

namespace {

// lvmap's reader against the registry editor: regedit /S imports each file of a corpus into a
// scratch key of its own, ParseRegFile reads it; both must reach the same value, or both refuse.
const wchar_t kScratchKey[] = L"SOFTWARE\\Lutrovane regedit test\\";
const char kScratchPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Lutrovane regedit test\\";
const Bytes kUntouched = {0xAA};  // set before the import: still there, the editor set nothing

// In short: '|' is CRLF; {R} a REGEDIT4 header and our key's line, {S} the value's
// name and '=', {X} both and "hex:", {V} the value, {F} it folded; {K} our key, {k}
// in small letters, {O} another; {M} the map (CapsLock to the left Control key),
// {H} and {T} its halves, {P} and {Q} it around the byte 1d. "U:" files are UTF-16;
// "W:" ones Wine's editor alone imports (it reads numbers with wcstoul): no map
// means signs, "0x" or blanks there, and lvmap refuses them.
const char* const kCorpus[] = {
    // Line ends of every kind, also mixed; comments and blank lines in folded data.
    "REGEDIT4|; c||[{K}]|{S}hex:{H}\\|; c||  {T}|", "REGEDIT4\n\r; c\n\r\n\r[{K}]\n\r{S}hex:{H}\\\n\r\n\r  {T}\n\r",
    "REGEDIT4\n; c\n\n[{K}]\n{S}hex:{H}\\\n; c\n\n  {T}\n", "REGEDIT4\r; c\r\r[{K}]\r{S}hex:{H}\\\r; c\r\r  {T}\r",
    "REGEDIT4\n[{K}]\r{S}hex:{H}\\\r\n\n  {T}\r", "{X}{M}", "{X}{H}\\|; c||  ; c|\t|  {T}|", "{X}{H}\\ ; c|  {T} ; c|",
    // The first line.
    "U:Windows Registry Editor Version 5.00||[{K}]|{V}", "Windows Registry Editor Version 5.00|[{K}]|{V}", "U:{R}{V}",
    "\xEF\xBB\xBF{R}{V}", "REGEDIT40|[{K}]|{V}", "REGEDIT4;|[{K}]|{V}", "REGEDIT|[{K}]|{V}", "regedit4|[{K}]|{V}",
    "|[{K}]|{V}", "; map|{R}{V}", "|{R}{V}", "windows registry editor version 5.00|[{K}]|{V}",
    "Windows Registry Editor Version 5.000|[{K}]|{V}",
    // Letter case of names and data; the data's type; digits per byte.
    "REGEDIT4|[{k}]|\"scancode map\"=hex:{M}|", "{R}\"SCANCODE MAP\"=hex:{M}|", "{X}{P}1D{Q}|", "{R}{S}HEX:{M}|",
    "{R}{S}HEX(3):{M}|", "{R}{S}hex(3):{M}|", "{R}{S}hex(03):{M}|", "{R}{S}hex(7):{M}|", "{R}{S}hex(0):{M}|",
    "{R}{S}hex():{M}|", "{R}{S}hex(3){M}|", "{R}{S}hex:(3){M}|", "{R}{S}dword:{M}|", "{R}{V}{S}dword:00000001|",
    "{R}{V}{S}hex():{M}|", "{R}{S}hex(0x3):{M}|", "W:{R}{S}hex( 3):{M}|", "{X}{P}01d{Q}|", "{X}{P}11d{Q}|",
    "{X}{P}1d0{Q}|", "W:{X}{P}0x1d{Q}|", "W:{X}{P}+1d{Q}|", "{X}{P}1 d{Q}|", "{X}{P}1d.{Q}|",
    "W:{X}-0,00,00,00,00,00,00,00,{T}|", "{X}0,0,0,0,0,0,0,0,2,0,0,0,1d,0,3a,0,0,0,0,0|", "{X}00,,{M}|", "{X}{M},|",
    "{X}000,000,000,000,000,000,000,000,002,000,000,000,01d,000,03a,000,000,000,000,000|",
    // What breaks folded data.
    "{X}{M};c|", "{X}{H}\\|# c|  {T}|", "{X}{H}\\ x|  {T}|", "{X}{H}|  {T}|", "{X}{M},\\|", "{X}{M},\\|; c|",
    "{X}00,00,00,00,00,00,00,00\\|  ,{T}|", "{X}{P}1d\\|  00,3a,00,00,00,00,00|", "{X}{H}\\|\"Other\"=hex:01|{V}",
    "{X}{H}\\|[{K}\\sub]|{V}", "REGEDIT4|[{O}]|\"X\"=hex:01,\\|[{K}]|{V}", "{R}\"X\"=hex(7):41,00,\\|; c|  00,00|{V}",
    // Repeated keys and values: the last one the editor reads counts.
    "{X}00,00,00,00,00,00,00,00,01,00,00,00,00,00,00,00|{V}", "{R}{V}{S}-|", "{R}{S}-|{V}", "{R}{S}- ; gone|",
    "{R}{V}{S}- x|", "{R}{V}{S}hex:00,zz|", "{R}{V}{S}\"text\"|", "{X}zz|{V}", "{R}{V}\"Scancode Map\" hex:00|",
    "{X}01|[{O}]|[{K}]|{V}", "{R}{V}[{O}]|{S}hex:01|", "REGEDIT4|[{K}\\sub]|{V}", "REGEDIT4|{V}",
    "{R}@=hex:01|\"Other\"=dword:00000001|{F}\"Layout File\"=\"KBDKOR.DLL\"|", "{R}\"Scancode\\ Map\"=hex:{M}|",
    "{R}\"Scancode\\0 Map\"=hex:{M}|", "{R}\"Scancode Map=hex:{M}|",
    // Other keys' odd lines: a key line the editor cannot read leaves the key before it open.
    "{R}{V}[ {O}]|{S}hex:01|", "REGEDIT4|[ {O}]|\"X\"=hex:01|[{K}]|{V}", "{R}[{O}|{V}", "{R}[]|{V}",
    "{R}{V}[-{O}]|{S}hex:01|", "{R}text|= x|\"|@|{V}", "REGEDIT4|[{K}] ; ours|{V}", "REGEDIT4|[{K}]x|{V}",
    "REGEDIT4|[HKLM\\SOFTWARE\\Lutrovane regedit test]|{V}",
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t n = text.find(from); n != std::string::npos; n = text.find(from, n + to.size()))
        text.replace(n, from.size(), to);
    return text;
}

// The file's bytes, with strKey for our key.
Bytes FileBytes(std::string text, const std::string& strKey)
{
    const bool bUtf16 = text.compare(0, 2, "U:") == 0;
    if (bUtf16 || text.compare(0, 2, "W:") == 0)
        text.erase(0, 2);
    std::string strLower = strKey;
    CharLowerBuffA(&strLower[0], static_cast<DWORD>(strLower.size()));
    const std::pair<const char*, std::string> kShort[] = {
        {"{X}", "{R}{S}hex:"}, {"{R}", "REGEDIT4|[{K}]|"}, {"{V}", "{S}hex:{M}|"}, {"{F}", "{S}hex:{H}\\|  {T}|"},
        {"{S}", "\"Scancode Map\"="}, {"{M}", "{H}{T}"}, {"{P}", "{H}02,00,00,00,"}, {"{T}", "02,00,00,00,1d{Q}"},
        {"{H}", "00,00,00,00,00,00,00,00,"}, {"{Q}", ",00,3a,00,00,00,00,00"}, {"|", "\r\n"},
        {"{O}", kScratchPath + std::string("other")}, {"{K}", strKey}, {"{k}", strLower}};
    for (const auto& s : kShort)
        text = Replace(text, s.first, s.second);
    const std::u16string wide = u"\xFEFF" + std::u16string(text.begin(), text.end());
    const auto* pWide = reinterpret_cast<const unsigned char*>(wide.data());
    return bUtf16 ? Bytes(pWide, pWide + 2 * wide.size()) : Bytes(text.begin(), text.end());
}

}  // namespace

TEST(RegFile, ReadsWhatTheRegistryEditorImports)
{
    std::vector<std::string> corpus(std::begin(kCorpus), std::end(kCorpus));
    // And a blank or a tab at each '~' of these in turn, the others left out.
    for (const std::string base : {"~REGEDIT4~|~[~{K}~]~|~\"Scancode Map~\"~=~hex~:~{M}~|", "{R}{S}hex(3~):{M}|",
                                   "{X}00~,~00,00,00,00,00,00,00,{T}|", "{X}{H}~\\~|~{T}|", "{X}{H}\\|~|  {T}|",
                                   "{R}{S}~-~|"}) {
        for (size_t n = base.find('~'); n != std::string::npos; n = base.find('~', n + 1)) {
            const std::string place = Replace(base.substr(0, n), "~", "") + "~" + Replace(base.substr(n + 1), "~", "");
            corpus.insert(corpus.end(), {Replace(place, "~", " "), Replace(place, "~", "\t")});
        }
    }
    const std::wstring folder = ScratchFolder(L"regedit-test-");
    std::wstring line = L"regedit.exe /S";
    for (size_t i = 0; i < corpus.size(); ++i) {
        ASSERT_TRUE(SetValue(kUntouched, REG_BINARY, kScratchKey + std::to_wstring(i)));
        WriteAll(folder + std::to_wstring(i) + L".reg", FileBytes(corpus[i], kScratchPath + std::to_string(i)));
        line += L" \"" + folder + std::to_wstring(i) + L".reg\"";
    }
    ASSERT_EQ(0u, RunProgram(folder, line).dwExit);

    for (size_t i = 0; i < corpus.size(); ++i) {
        SCOPED_TRACE(testing::Message() << i << ": " << corpus[i]);
        DWORD dwType;
        const Bytes editor = Value(&dwType, kScratchKey + std::to_wstring(i));
        // Bytes that are no sound map, or of another type, lvmap refuses.
        const bool bRefused = corpus[i].compare(0, 2, "W:") == 0 || editor == kUntouched || dwType != REG_BINARY
                              || !CheckMapBytes(editor.data(), editor.size()).empty();
        const Bytes file = FileBytes(corpus[i], kKeyboardLayoutKeyPath);
        SRegFileContent got;
        const std::string strError = ParseRegFile(file.data(), file.size(), &got);
        EXPECT_EQ(editor.empty() && dwType == REG_NONE ? "removed"
                  : bRefused ? "refused" : testing::PrintToString(editor),
                  strError.size() ? "refused" : got.bDelete ? "removed" : testing::PrintToString(got.map)) << strError;
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratchKey);
    std::filesystem::remove_all(folder);
}

// lvmap.exe run as scripts run it: exit codes, what it prints into files, the
// value it leaves in the registry; detect fed with keys injected into the session.
#include "process_run.h"
#include "reg_file.h"

#include <gtest/gtest.h>

namespace {

// CapsLock -> left Control, left Windows -> right Alt, 0059 (no table's) -> 0000, the key off.
const Bytes kThree = MapBytes({{0x001D, 0x003A}, {0xE038, 0xE05B}, {0x0000, 0x0059}});
const Bytes kNone;

// An lvmap run and its outcome: how stdout begins, part of stderr ("" for none), the value; null: unchecked.
struct SStep { std::wstring args; DWORD dwExit; const char *out, *err; const Bytes* pStored; };

// Each test starts and ends without the value, in a folder of its own that holds lvmap's history and
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

    ~Lvmap() override
    {
        SetValue(kNone);
        std::filesystem::remove_all(m_folder);
    }

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

    const std::wstring m_folder = ScratchFolder(L"lvmap-test-");  // the files and the programs' output
};

}  // namespace

TEST_F(Lvmap, WrongUsageExitsWithOneAndChangesNothing)
{
    for (const wchar_t* pszArgs : {L"", L"show {caps.lvd}", L"show --keyboard qwerty", L"keys --timeout 5",
                                   L"detect --timeout 0", L"apply {map.txt}", L"convert {caps.lvd}",
                                   L"apply {caps.lvd} {caps.lvd}", L"remove --force", L"make {caps.txt} A=B",
                                   L"verify CapsLock", L"make A=B", L"make {caps.skl} A=B",
                                   L"convert {caps.lvd} {caps.json}"})
        Steps(kThree, {{pszArgs, 1, "", "lvmap: ", &kThree}});
}

TEST_F(Lvmap, ShowNamesRealKeysByTheKeyboardInUtf8WhenRedirected)
{
    Steps({{L"show", 0, "No map\r\n", "", nullptr}});
    Steps(MapOf(0), {{L"show", 0, "No mappings", "", nullptr}});
    // Real keys by the PC keyboard's table unless another is named, mapped keys by the catalogue.
    Steps(kThree, {{L"show", 0,
                    u8"003A CapsLock -> 001D Control(왼쪽)\r\nE05B 윈도우키(왼쪽) -> E038 Alt(오른쪽)/한글전환\r\n"
                    u8"0059 알수 없음 -> 0000 off\r\n", "", nullptr},
                   {L"keys", 0, "001E A\r\n", "", nullptr}});
    // Each keyboard's module is loaded when a command first uses its table.
    for (const wchar_t* pszKeys : {L"keys --keyboard apple-ext", L"keys --keyboard apple-pro", L"keys --keyboard apple-etc"})
        Steps({{pszKeys, 0, "001E A\r\n", "", nullptr}});
    // A map Windows would not take is still shown, with a warning; so is one whose
    // real key Windows takes one entry for, not known which.
    Steps(Bytes(kThree.begin(), kThree.end() - 4), {{L"show", 0, "003A CapsLock", "warning", nullptr}});
    Steps(MapBytes({{0x001D, 0x003A}, {0x003A, 0x003A}}),
          {{L"show", 0, "003A CapsLock", "003A CapsLock is named", nullptr}});
    // Output that no write reaches, as on a full disk, is no list of the map.
    const SRun run = RunProgram(m_folder, L"lvmap.exe show", [] {}, GENERIC_READ);
    EXPECT_TRUE(run.dwExit == 2 && run.strErr.find("output could not be written") != std::string::npos) << run.strErr;
}

TEST_F(Lvmap, ApplyTakesEachFileFormAndRemovalsAndNothingUnsoundIsWrittenOrExported)
{
    Steps({{L"apply {three.REG}", 0, "Scancode Map set: 3 mappings.", "", &kThree},
           {L"apply {delete.reg}", 0, "Scancode Map removed.", "", &kNone},
           {L"apply {three.lvd}", 0, "Scancode Map set: 3 mappings.", "", &kThree},
           {L"remove", 0, "Scancode Map removed.", "", &kNone},
           {L"remove", 0, "No map was set", "", &kNone}});

    // Refused (3), nothing written, caps.lvd kept; a missing file (no bytes) fails (2); a removal has no .lvd form.
    // Which bytes are unsound is the parsers'; here, each way lvmap comes to a refusal.
    const Bytes badCount = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x1D, 0x00, 0x3A, 0x00, 0, 0, 0, 0};
    Bytes signature = MapDataFile(kThree), longMap = MapOf(252);
    signature[0] = 'l';
    longMap.resize(1028);  // sound in its first 1024 bytes, all that the core reads
    const std::pair<const wchar_t*, Bytes> cases[] = {
        {L"count.reg", MakeRegFile({false, badCount})}, {L"count.lvd", MapDataFile(badCount)},
        {L"signature.lvd", signature}, {L"empty.lvd", MapDataFile(kNone)}, {L"long.lvd", MapDataFile(longMap)},
        {L"missing.reg", {}}, {L"missing.lvd", {}}};
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

    // Export and convert write through one writer: one of each covers both forms.
    Steps(kThree, {{L"export {system.reg}", 0, nullptr, "", nullptr},
                   {L"convert {system.reg} {system.lvd}", 0, nullptr, "", nullptr}});
    // No value without its null entry, nor one the core reads as none (too long), is exported.
    Steps(Bytes(kThree.begin(), kThree.end() - 4), {{L"export {system.lvd}", 3, "", nullptr, nullptr}});
    Steps(Bytes(1028, 0), {{L"show", 3, "", "1028 bytes", nullptr},
                           {L"export {system.lvd}", 3, "", nullptr, nullptr},
                           {L"remove", 0, nullptr, "", &kNone},
                           {L"export {system.reg}", 4, "", nullptr, nullptr}});
    EXPECT_EQ(MakeRegFile({false, kThree}), ReadAll(File(L"system.reg")));
    EXPECT_EQ(MapDataFile(kThree), ReadAll(File(L"system.lvd")));
}

TEST_F(Lvmap, OtherToolsFilesApplyWhatAMapHoldsAndNameTheRest)
{
    // Key remaps go through this layout's scan codes: CapsLock (VK 20) to left Ctrl (162); a shortcut is left out.
    const std::string strHead = "{\"remapKeys\":{\"inProcess\":[";
    const std::string strShortcut = "{\"originalKeys\":\"91\",\"newRemapKeys\":\"17;67\"}]}}";
    const std::string strCaps = strHead + "{\"originalKeys\":\"20\",\"newRemapKeys\":\"162\"}," + strShortcut;
    const std::string strNone = strHead + strShortcut;
    WriteAll(File(L"three.skl"), kThree);
    WriteAll(File(L"caps.json"), Bytes(strCaps.begin(), strCaps.end()));
    WriteAll(File(L"none.json"), Bytes(strNone.begin(), strNone.end()));
    Steps({{L"apply {three.skl}", 0, "Scancode Map set: 3 mappings.", "", &kThree},
           {L"apply {caps.json}", 0, "Scancode Map set: 1 mapping.", "left out: ", &kCapsToControl},
           {L"verify {caps.json}", 0, nullptr, "-> Ctrl+C", nullptr},
           {L"apply {none.json}", 3, "", "remaps no key to a key", &kCapsToControl}});
}

TEST_F(Lvmap, UndoAndRestorePutBackWhatEachChangeReplaced)
{
    // Nothing there to put back is told apart from a failure.
    Steps({{L"undo", 4, "", nullptr, &kNone},
           {L"apply {three.reg}", 0, nullptr, "", &kThree},
           {L"undo", 0, nullptr, "", &kNone},  // there was no map before
           {L"apply {caps.lvd}", 0, nullptr, "", &kCapsToControl},
           // Kept by now, newest first: no map, three (replaced by undo), no map.
           {L"restore 2", 0, nullptr, "", &kThree},
           {L"undo", 0, nullptr, "", &kCapsToControl},
           {L"restore 6", 4, "", nullptr, &kCapsToControl}});

    // Number, time to the second, count and the first mappings by name.
    const std::string strHistory = Run(L"history").strOut;
    EXPECT_EQ(strHistory.find("\r\n 1  ") + 25, strHistory.find(u8"  3 mappings: CapsLock -> Control(왼쪽), 윈도우키(왼쪽) -> "
                                                            u8"Alt(오른쪽)/한글전환, 알수 없음 -> off\r\n 2  "));
    for (const char* pszKept : {u8"  1 mapping: CapsLock -> Control(왼쪽)\r\n 3  ", "  no map\r\n 4  ", "\r\n 5  "})
        EXPECT_NE(std::string::npos, strHistory.find(pszKept)) << pszKept;
    Steps({{L"restore 5", 0, nullptr, "", &kNone},  // the oldest that history lists
           {L"restore {three.reg}", 0, nullptr, "", &kThree},  // a file by its name, as a kept one
           // A start-up script applying its map again keeps nothing, and undo changes something.
           {L"apply {caps.lvd}", 0, nullptr, "", &kCapsToControl},
           {L"apply {caps.lvd}", 0, "The system holds this map already", "", &kCapsToControl},
           {L"undo", 0, nullptr, "", &kThree}});

    // What the system held goes back as it was: its length and type too.
    const Bytes kLong(1500, 0x5A);
    SetValue(kLong, REG_NONE);
    Steps({{L"apply {caps.lvd}", 0, nullptr, "", &kCapsToControl},
           {L"undo", 0, "Scancode Map set: 1500 bytes of type 0", "", &kLong}});
    DWORD dwType;
    Value(&dwType);
    EXPECT_EQ(DWORD(REG_NONE), dwType);
    EXPECT_NE(std::string::npos, Run(L"history").strOut.find("  1500 bytes of type 0, no map\r\n"));
}

// Any user may make a file where the history's folder belongs: each change
// moves it aside, says so, and goes on.
TEST_F(Lvmap, AFileInTheHistorysPlaceIsMovedAsideAndChangesGoOn)
{
    for (const SStep& step : {SStep{L"apply {three.reg}", 0, nullptr, "moved aside", &kThree},
                              SStep{L"remove", 0, nullptr, "moved aside", &kNone},
                              SStep{L"undo", 4, "", "moved aside", &kNone}}) {
        std::filesystem::remove_all(File(L"Lutrovane"));
        WriteAll(File(L"Lutrovane"), std::string("planted"));
        Steps({step});
        EXPECT_TRUE(std::filesystem::is_directory(File(L"Lutrovane")) == (step.dwExit == 0));
    }
}

// Two changes at once: the second waits for the lock the first holds, then
// refuses and writes nothing, so that no replaced map goes unkept.
TEST_F(Lvmap, AChangeWaitsForTheLockAnotherHoldsThenRefusesWritingNothing)
{
    Steps({{L"apply {three.reg}", 0, nullptr, "", &kThree}});
    const HANDLE hLock = CreateFileW(File(L"Lutrovane\\history\\lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    const DWORD nStart = GetTickCount();
    Steps({{L"apply {caps.lvd}", 2, "", "history\\lock for 10 seconds", &kThree}});
    EXPECT_GE(GetTickCount() - nStart, 9500u) << "did not wait";
    CloseHandle(hLock);
    EXPECT_EQ(1, FileCount(File(L"Lutrovane\\history"))) << "kept although nothing changed";
}

TEST_F(Lvmap, MapsAfterWhichNobodyCouldSignInAreRefusedUnlessForced)
{
    // Both Control keys off, both Enter keys made A.
    const Bytes kLockOut = MapBytes({{0x0000, 0x001D}, {0x0000, 0xE01D}, {0x001E, 0x001C}, {0x001E, 0xE01C}});
    WriteAll(File(L"lock.lvd"), MapDataFile(kLockOut));
    Steps(kThree, {{L"apply {lock.lvd}", 3, "", u8"001D Control(왼쪽), E01D Control(오른쪽)/한자변환, 001C Enter, E01C",
                    &kThree},
                   {L"apply 001D=off E01D=off", 3, "", u8"001D Control(왼쪽), E01D", &kThree},
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
    for (const SRun& run : {Run(L"show"), Run(L"apply {three.lvd}"), Run(L"undo")})
        EXPECT_TRUE(run.dwExit == 2 && run.strErr.find("Layout: ") < run.strErr.size() - 12) << run.strErr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
}

TEST_F(Lvmap, DetectNamesInjectedKeysOnceEachUntilEscapeTwiceOrItsTime)
{
    // The hook sees NumLock and the right Shift key flagged extended, with no E0
    // in their codes. A key held down, repeating, is shown once; Esc twice in a row ends.
    const struct { WORD wMake; bool bExtended; const char *code, *name; } keys[] = {
        {0x1E, false, "001E", "A"}, {0x38, true, "E038", u8"Alt(오른쪽)/한글전환"}, {0x36, true, "0036", u8"Shift(오른쪽)"},
        {0x45, true, "0045", "NumLock"}, {0x59, false, "0059", u8"알수 없음 (0059)"}, {0x01, false, "0001", "ESC"},
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

TEST_F(Lvmap, PairsAndUnnamedCodesGiveTheWizardsBytesByEveryRoadAndVerifyNamesWhatDiffers)
{
    // Names in any case, a Korean one with a space handed over as Windows does (UTF-16), a code,
    // off, and "=" as a key's name: the wizard's list CapsLock, 키패드 Enter, 윈도우키(왼쪽), =.
    const std::wstring pairs = L"capslock=Control(왼쪽) \"키패드 Enter\"=0x001C E05B=off ===";
    const Bytes kPaired = MapBytes({{0x001D, 0x003A}, {0x001C, 0xE01C}, {0x0000, 0xE05B}, {0x000D, 0x000D}});
    Steps({{L"make {pairs.reg} " + pairs, 0, "Made ", "", &kNone},
           {L"make {pairs.lvd} " + pairs, 0, nullptr, "", &kNone},
           {L"verify {pairs.reg}", 4, "No map", "", &kNone},
           {L"verify {delete.reg}", 0, nullptr, "", &kNone},
           {L"apply {pairs.lvd}", 0, nullptr, "", &kPaired},
           {L"verify {delete.reg}", 5, nullptr, "", &kPaired},
           {L"remove", 0, nullptr, "", &kNone},
           {L"apply " + pairs, 0, nullptr, "", &kPaired},
           {L"verify {pairs.reg}", 0, "The system's map is the same: 4 mappings", "", &kPaired},
           // Real keys by the chosen keyboard's table, mapped keys by the PC keyboard's or that one's.
           {L"verify --keyboard apple-pro 사과키(왼쪽)=off CapsLock=0x001D \"키패드 Enter=Enter/Return\" ===", 0,
            nullptr, "", &kPaired},
           {L"verify E05B=E05C CapsLock=Control(왼쪽) 0x000D=0x000D \"키패드 enter\"=Enter", 5,
            u8"The system's map differs:\r\ndifferent  E05B 윈도우키(왼쪽) -> E05C 윈도우키(오른쪽), the system's -> 0000",
            "", &kPaired}});

    // Order and null entries inside do not matter, but for a real key named twice Windows takes one of its
    // entries; a map Windows may ignore, or a value of another type, is not the one asked for.
    Steps(MapBytes({{0x0000, 0xE05B}, {0, 0}, {0x001D, 0x003A}, {0x001C, 0xE01C}, {0x000D, 0x000D}}),
          {{L"verify {pairs.reg}", 0, nullptr, "", nullptr}, {L"verify E05B=off", 5, nullptr, "", nullptr}});
    WriteAll(File(L"twice.reg"), MakeRegFile({false, MapBytes({{0x001D, 0x003A}, {0x0000, 0x003A}})}));
    Steps(MapBytes({{0x0000, 0x003A}, {0x001D, 0x003A}}),
          {{L"verify {twice.reg}", 5, u8"The system's map differs:\r\norder      003A CapsLock -> 001D Control(왼쪽) then "
                                      u8"0000 off, the system's -> 0000 off then 001D", "", nullptr}});
    Bytes flagged = kPaired;
    flagged[4] = 1;
    Steps(flagged, {{L"verify {pairs.reg}", 5, "The system's map differs: it is not sound", "", &flagged}});
    SetValue(kPaired, REG_NONE);
    Steps({{L"verify {pairs.reg}", 5, "The system's map differs: it is not sound, and Windows may ignore it: the value "
                                      "is of type 0", "", nullptr}});

    // A swap A~B is A=B B=A by every road.
    const Bytes kSwapped = MapBytes({{0x001D, 0x003A}, {0x003A, 0x001D}, {0xE038, 0xE05B}, {0xE05B, 0xE038}});
    Steps(kNone, {{L"make {swap.lvd} CapsLock~Control(왼쪽) E05B~E038", 0, "Made ", "", &kNone},
                  {L"apply {swap.lvd}", 0, nullptr, "", &kSwapped},
                  {L"remove", 0, nullptr, "", &kNone},
                  {L"apply CapsLock~Control(왼쪽) \"윈도우키(왼쪽) ~ E038\"", 0, nullptr, "", &kSwapped},
                  {L"verify capslock~001D E05B=E038 E038=E05B", 0, nullptr, "", &kSwapped},
                  {L"verify --keyboard apple-pro CapsLock~Control(왼쪽) 사과키(왼쪽)~E038", 0, nullptr, "", &kSwapped}});

    // Codes no table names applied, shown and verified; make reads pairs as apply does.
    const Bytes kOdd = MapBytes({{0x001D, 0x0073}, {0x0000, 0xE06A}});
    Steps(kNone, {{L"apply 0073=001D E06A=off", 0, nullptr, "", &kOdd},
                  {L"show --keyboard=apple-pro", 0, u8"0073 알수 없음 -> 001D Control(왼쪽)\r\nE06A 알수 없음", "",
                   &kOdd},
                  {L"verify 0x0073=0x001D e06a=0000", 0, nullptr, "", &kOdd},
                  {L"verify 0073=001D", 5, "The system's map differs:\r\nextra      E06A ", "", &kOdd}});
}

TEST_F(Lvmap, WrongPairsAreEachToldByPlaceAndNothingIsWritten)
{
    std::wstring many;  // 253 real keys
    for (int k = 1; k <= 253; ++k)
        many += L" " + std::to_wstring(1000 + k) + L"=off";
    const std::pair<std::wstring, const char*> cases[] = {
        {L"A=B Capslok=A", "pair 2, Capslok=A: no real key is named Capslok; closest: CapsLock"},
        {L"E05B=ofx", "closest: off"},
        {L"3A=off", "a code is four hex digits: 003A"},
        {L"CapsLock=A capslock=B", "pair 2, capslock=B: the real key 003A CapsLock is given again, first in pair 1"},
        {L"0x0000=A", "the real key 0000 is no key"},
        {L"A=B C", "pair 2, C: not a pair"},
        {L"A~B CapsLock~b", "pair 2, CapsLock~b: the real key 0030 B is given again, first in pair 1"},
        {L"CapsLock~off", "no real key is named off"},
        {many, "253 mappings, more than the 252"}};
    for (const auto& c : cases)
        Steps(kThree, {{L"make {bad.reg} " + c.first, 3, "", c.second, &kThree},
                       {L"apply " + c.first, 3, "", c.second, &kThree},
                       {L"verify " + c.first, 3, "", c.second, &kThree}});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(File(L"bad.reg").c_str()));
}

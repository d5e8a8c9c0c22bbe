// The list page's commands that exchange the map with the system and with
// map data files: questions, the file dialog, notices, and the bytes that
// reach the registry and the files.
#include "window_driver.h"

#include "reg_file.h"

#include <setupapi.h>

#include <cstring>

namespace {

// Under Wine SetupPromptReboot returns at once and shows nothing: the tests
// count the restarts offered instead, and the window they were offered over.
std::atomic<int> g_nRestartOffers{0};
std::atomic<HWND> g_hwndRestartOwner{NULL};

INT WINAPI OfferRestart(HSPFILEQ, HWND hwndOwner, BOOL)
{
    g_hwndRestartOwner = hwndOwner;
    ++g_nRestartOffers;
    return 0;
}

// The core finds SetupPromptReboot when it offers a restart.
FARPROC WINAPI FindWithRestartOffer(HMODULE hModule, LPCSTR pszName)
{
    if (!IS_INTRESOURCE(pszName) && std::strcmp(pszName, "SetupPromptReboot") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&OfferRestart));
    return GetProcAddress(hModule, pszName);
}

// Each test starts without a value, its history in an empty folder, and the
// restarts offered counted.
class Commands : public testing::Test
{
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"ProgramData", ScratchFolder(L"history-").c_str());
        m_strHistory = CMapHistory().GetFolder();
        std::filesystem::create_directories(m_strHistory);
        SetValue({});
        g_nRestartOffers = 0;
        ASSERT_TRUE(m_restarts.Patched());
    }

    int Kept() const { return int(FileCount(m_strHistory)); }

    const CImportPatch m_restarts{GetModuleHandleW(L"LutrovaneCore.dll"), L"kernel32.dll", "GetProcAddress",
                                  &FindWithRestartOffer};
    std::wstring m_strHistory;
};

TEST_F(Commands, ApplyWritesTheRowsAndLoadSystemMapAndRemoveWorkOnTheRegistry)
{
    CWizardRun().AtList(0, [&](HWND page, HWND list) {
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));
        EXPECT_EQ(L"현재 세팅된 스캔코드 맵으로 설정하시겠습니까?", Command(page, IDC_APPLY_MAP, IDNO));
        SendMessageW(page, WM_NULL, 0, 0);
        EXPECT_EQ(Bytes(), Value()) << "No wrote the map";
        // A file any user may make where the history's folder belongs is moved aside, said, and Apply goes on.
        std::filesystem::remove_all(m_strHistory);
        WriteAll(m_strHistory, std::string("in the way"));
        Command(page, IDC_APPLY_MAP);
        EXPECT_NE(std::wstring::npos, Answer(IDOK).find(m_strHistory + L".refused-"));
        EXPECT_TRUE(WaitUntil([&] { return Value() == MapBytes({{0x001D, 0x003A}}); }));
        EXPECT_TRUE(WaitUntil([&] { return SystemMapButtons(page) == "LR" && g_nRestartOffers == 1; }))
            << "buttons off or no restart offered: " << SystemMapButtons(page);
        EXPECT_EQ(page, g_hwndRestartOwner);
        EXPECT_EQ(1, Kept()) << "no record of no map";
        // Applied again, the map in place (which the history does not keep again) is no failure.
        Command(page, IDC_APPLY_MAP);
        EXPECT_TRUE(WaitUntil([&] { return g_nRestartOffers == 2; })) << "reported as failed";

        // Remove keeps the rows for a new Apply; the buttons stay off while no map is there.
        EXPECT_EQ(L"현재 시스템에 설정되어있는 맵 데이터를 제거하시겠습니까?", Command(page, IDC_REMOVE_SYSTEM_MAP));
        EXPECT_TRUE(WaitUntil([&] { return SystemMapButtons(page) == ".." && g_nRestartOffers == 3; }))
            << "buttons on or no restart offered: " << SystemMapButtons(page);
        EXPECT_EQ(Bytes(), Value());
        EXPECT_EQ(2, Kept()) << "the map removed was not kept";
        EXPECT_EQ(1u, Rows(list).size());

        // An empty list writes the map of no entries, which loads as none. A
        // list emptied by a load that chose no file still offers Apply.
        Command(page, IDC_LOAD_FILE);
        ASSERT_TRUE(ChooseFile(L""));
        EXPECT_TRUE(Rows(list).empty());
        EXPECT_EQ("..SA", RowAndMapCommands(page));
        Command(page, IDC_APPLY_MAP);
        EXPECT_TRUE(WaitUntil([&] { return Value() == MapBytes({}); }));
        Command(page, IDC_LOAD_SYSTEM_MAP);
        EXPECT_EQ(L"현재 설정된 매핑 데이터가 없습니다 !!", Answer(IDOK));
        EXPECT_TRUE(Rows(list).empty());

        // Another program removes the map while the page shows it: nothing to remove, nothing to restart for.
        SetValue({});
        Command(page, IDC_REMOVE_SYSTEM_MAP);
        EXPECT_EQ(L"현재 설정된 매핑 데이터가 없습니다 !!", Answer(IDOK));
        EXPECT_EQ(4, g_nRestartOffers) << "a restart offered for a removal that never happened";
        EXPECT_EQ("..", SystemMapButtons(page));
    });
}

// Each failure is reported and changes nothing: a failed apply or removal leaves both system-map
// buttons as they were, off or on, and offers no restart; one the history could not take says where.
TEST_F(Commands, FailedAppliesRemovesSavesAndLoadsAreReportedAndChangeNothing)
{
    const std::wstring strFiles = ScratchFolder(L"save-fails-");
    WriteAll(strFiles + L"other.lvd", std::string(2000, 'x'));
    WriteAll(strFiles + L"cut.skl", Bytes(kCapsToControl.begin(), kCapsToControl.end() - 4));
    WriteAll(strFiles + L"cut.json", std::string("{\"remapKeys\":"));
    // A folder whose name code page 949 cannot spell (Thai).
    const std::wstring strForeign = strFiles + L"ไทย\\";
    CreateDirectoryW(strForeign.c_str(), NULL);
    CWizardRun run;
    run.AtList(0, [&](HWND page, HWND list) {
        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        for (int id : {IDC_APPLY_MAP, IDC_REMOVE_SYSTEM_MAP}) {
            SCOPED_TRACE(id);
            const Bytes before = Value();
            const std::string strButtons = SystemMapButtons(page);
            // A file where the history's folder belongs, held open by its maker:
            // it cannot be moved aside, so the map it would replace cannot be
            // kept, and nothing is changed.
            std::filesystem::remove_all(m_strHistory);
            WriteAll(m_strHistory, std::string("in the way"));
            const HANDLE hHeld = CreateFileW(m_strHistory.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
            const std::wstring strNotice = Command(page, id) == L"(none)" ? L"" : Answer(IDOK);
            CloseHandle(hHeld);
            EXPECT_NE(std::wstring::npos, strNotice.find(L"기록으로 남기지 못해")) << strNotice.size();
            EXPECT_NE(std::wstring::npos, strNotice.find(m_strHistory + L" (")) << "the object in the way is not named";
            EXPECT_EQ(before, Value());
            DeleteFileW(m_strHistory.c_str());

            // Without the key (as without the rights to open it) nothing can be written.
            ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
            Command(page, id);
            EXPECT_NE(std::wstring::npos, Answer(IDOK).find(id == IDC_APPLY_MAP ? L"설정하지 못했습니다" : L"제거하지 못했습니다"));
            EXPECT_EQ(strButtons, SystemMapButtons(page)) << "buttons changed as if it had worked";
            ASSERT_TRUE(SetValue(id == IDC_APPLY_MAP ? MapBytes({{0x0030, 0x001E}}) : Bytes()));
            EXPECT_EQ(0, g_nRestartOffers) << "a restart offered for a change that failed";
            if (id == IDC_APPLY_MAP) {
                ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(0));
            }
        }
        const struct { int id; std::wstring strPath; const wchar_t* pszNotice; } cases[] = {
            {IDC_SAVE_FILE, strFiles + L"missing\\map.lvd", L"저장하지 못했습니다"},
            {IDC_SAVE_FILE, strForeign + L"map.lvd", L"코드 페이지"},
            {IDC_LOAD_FILE, strFiles + L"other.lvd", L"유효하지 않은 잘못된 데이터 파일입니다"},
            {IDC_LOAD_FILE, strFiles + L"cut.skl", L"entry count says 2"},
            {IDC_LOAD_FILE, strFiles + L"cut.json", L"line 1: "},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(&c - cases);
            Click(page, c.id);
            if (c.id == IDC_LOAD_FILE)
                Answer(IDYES);
            ASSERT_TRUE(ChooseFile(c.strPath));
            const std::wstring strNotice = Answer(IDOK);
            EXPECT_NE(std::wstring::npos, strNotice.find(c.pszNotice)) << strNotice.size();
        }
        EXPECT_FALSE(std::filesystem::exists(strFiles + L"missing"));
        EXPECT_FALSE(std::filesystem::exists(strForeign + L"map.lvd"));
        EXPECT_TRUE(Rows(list).empty());
    });
    SetValue({});
}

TEST_F(Commands, MapsKeepTheirCodesThroughLoadsApplySaveAddAndModifyAndThoseLeavingNoKeyToSignInWithAskFirstWithNoAsTheDefault)
{
    const std::wstring strFile = ScratchFolder(L"foreign-") + L"내 맵.lvd";  // a Korean name, as code page 949 holds it
    // pszLost: the keys the sign-in question names, for maps applied only on Yes.
    const struct { const char* pszCase; Bytes map; const wchar_t* pszLost = NULL; } maps[] = {
        {"both Control keys off", MapBytes({{0x0000, 0x001D}, {0x0000, 0xE01D}}), L"Control(왼쪽), Control(오른쪽)/한자변환"},
        {"every Enter off", MapBytes({{0x0000, 0x001C}, {0x0000, 0xE01C}}), L"Enter, 키패드 Enter"},
        {"a key turned off", MapBytes({{0x0000, 0x003A}})},
        {"two keys swapped", MapBytes({{0x001D, 0x003A}, {0x003A, 0x001D}})},
        // The catalogue names 0x5D and 0x64 "F13" alike; by name 0x64 would become 0x5D.
        {"a name two codes share", MapBytes({{0x0064, 0x003A}, {0x005D, 0x001D}})},
        {"an all-zero entry inside the count", MapBytes({{0x0000, 0x0000}, {0x0030, 0x001E}})},
        {"codes no table names", MapBytes({{0x001E, 0x007F}, {0xE07F, 0x0030}})},
    };
    SetValue(maps[0].map);  // Load system map is on from the start
    CWizardRun().AtList(0, [&](HWND page, HWND list) {
        for (const auto& m : maps) {
            SCOPED_TRACE(m.pszCase);
            SetValue(m.map);
            Command(page, IDC_LOAD_SYSTEM_MAP);
            ASSERT_TRUE(WaitUntil([&] { return int(Rows(list).size()) == m.map[8] - 1; }));
            // A key mapped to 0000 reads as turned off.
            EXPECT_EQ(!m.map[12] && !m.map[13], Rows(list)[0].find(L"▶ (사용 안 함)") != std::wstring::npos);
            SetValue({});
            Command(page, IDC_APPLY_MAP);
            if (m.pszLost) {
                HWND box = WaitShown(IsMessageBox);
                ASSERT_TRUE(box);
                EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK)
                    << "Enter would take Yes";
                const std::wstring strQuestion = Answer(IDNO);
                EXPECT_NE(std::wstring::npos, strQuestion.find(m.pszLost)) << strQuestion.size();
                // Returns once the command has ended: nothing was written by then.
                SendMessageW(page, WM_NULL, 0, 0);
                EXPECT_EQ(Bytes(), Value());
                continue;
            }
            EXPECT_TRUE(WaitUntil([&] { return Value() == m.map; })) << "apply changed it";
            Click(page, IDC_SAVE_FILE);
            ASSERT_TRUE(ChooseFile(strFile));
            // Read once the save has ended: a read overlapping the rename that
            // puts the file in place would make the save fail.
            SendMessageW(page, WM_NULL, 0, 0);
            EXPECT_EQ(MapDataFile(m.map), ReadAll(strFile)) << "save changed it";
            const std::string strCodes = Codes(page);
            const std::vector<std::wstring> rows = Rows(list);
            Command(page, IDC_LOAD_FILE);
            ASSERT_TRUE(ChooseFile(strFile));
            SendMessageW(page, WM_NULL, 0, 0);
            EXPECT_EQ(strCodes, Codes(page)) << "load changed it";
            EXPECT_EQ(rows, Rows(list));
        }
        // Keys no table names, pressed (0073, a Japanese key, acts as Pause; E11D
        // is Pause), added to the loaded rows and modified unchanged.
        Click(page, IDC_ADD_MAP);
        HWND dlg = WaitShown(IsEditDialog);
        ASSERT_TRUE(dlg && PressKeyFor(dlg, IDC_PRESS_REAL_KEY, 0x73, false) &&
                    PressKeyFor(dlg, IDC_PRESS_MAP_KEY, 0x45, false, VK_PAUSE));
        Click(dlg, IDC_SET_MAP);
        ASSERT_TRUE(WaitUntil([&] { return Rows(list).size() == 3; }));
        EXPECT_EQ(Row(L"알수 없음 (0073)", L"알수 없음 (E11D)"), Rows(list)[2]);
        Modify(page, 2, NULL);
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"(사용 안 함)"));
        Command(page, IDC_APPLY_MAP);
        EXPECT_TRUE(WaitUntil([&] { return Value() == MapBytes({{0x001E, 0x007F}, {0xE07F, 0x0030}, {0xE11D, 0x0073}, {0x0000, 0x003A}}); }));
    });
}

TEST_F(Commands, LoadingNamesRealKeysByTheKeyboardShownAfterBackTooAndStopsAtTheListsLimitAsAddDoes)
{
    // A map made for the PC keyboard: its context key is no key of the Apple Extended keyboard,
    // and E11D no key of the catalogue.
    const Bytes pcMap = MapBytes({{0x001D, 0x003A}, {0xE038, 0xE05D}, {0x0000, 0x0030}, {0xE11D, 0x001E}});
    SetValue(pcMap);
    CWizardRun run;
    run.AtList(1, [&](HWND page, HWND list) {
        Command(page, IDC_LOAD_SYSTEM_MAP);
        const std::vector<std::wstring> rows = {Row(L"CapsLock", L"Control(왼쪽)"), Row(L"알수 없음 (E05D)", L"Alt(오른쪽)/한글전환"),
                                                Row(L"B", L"(사용 안 함)"), Row(L"A", L"알수 없음 (E11D)")};
        EXPECT_TRUE(WaitUntil([&] { return Rows(list) == rows; })) << Rows(list).size();

        // A count byte of 255 announces 254 entries: the buffer holds 253 (the last
        // all zero), the list 252.
        Bytes map = MapOf(252);
        map[8] = 255;
        SetValue(map);
        Command(page, IDC_LOAD_SYSTEM_MAP);
        EXPECT_NE(std::wstring::npos, Answer(IDOK).find(L"252"));
        EXPECT_EQ(252u, Rows(list).size());
        EXPECT_NE(std::wstring::npos, Command(page, IDC_ADD_MAP, IDOK).find(L"252"));
        EXPECT_FALSE(FindShown(IsEditDialog)) << "Add opened the dialog on a full list";

        // The PC keyboard's page, passed through on the way to this one, names the keys by its own table.
        SetValue(pcMap);
        ASSERT_TRUE(run.Go(kBack, 0) && run.GoToList(0));
        Command(run.Page(), IDC_LOAD_SYSTEM_MAP);
        const std::vector<std::wstring> pcRows = {rows[0], Row(L"컨텍스트키", L"Alt(오른쪽)/한글전환"), rows[2], rows[3]};
        EXPECT_TRUE(WaitUntil([&] { return Rows(GetDlgItem(run.Page(), IDC_MAP_LIST)) == pcRows; }));

        // Other tools' maps through Load file: a registry file gives the rows lvmap shows for it; a
        // Keyboard Manager file its key remap, with its shortcut named as left out in one message.
        const std::wstring strFolder = ScratchFolder(L"import-");
        WriteAll(strFolder + L"pc.reg", MakeRegFile({false, pcMap}));
        WriteAll(strFolder + L"default.json", std::string("{\"remapKeys\":{\"inProcess\":[{\"originalKeys\":\"20\","
                                                          "\"newRemapKeys\":\"162\"},{\"originalKeys\":\"91\","
                                                          "\"newRemapKeys\":\"17;67\"}]}}"));
        const std::vector<std::wstring> capsRow = {rows[0]};
        for (const auto& file : {std::make_pair(L"pc.reg", pcRows), std::make_pair(L"default.json", capsRow)}) {
            SCOPED_TRACE(file.first);
            Click(run.Page(), IDC_LOAD_FILE);
            Answer(IDYES);
            ASSERT_TRUE(ChooseFile(strFolder + file.first));
            if (file.second == capsRow) {
                // Wine on Xvfb gives the Windows key no E0 prefix: its name is left unchecked.
                EXPECT_NE(std::wstring::npos, Answer(IDOK).find(L" -> Ctrl+C: "));
            }
            EXPECT_TRUE(WaitUntil([&] { return Rows(GetDlgItem(run.Page(), IDC_MAP_LIST)) == file.second; }));
        }
    });
}

}  // namespace

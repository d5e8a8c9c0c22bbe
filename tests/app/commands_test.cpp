// The list page's commands that exchange the map with the system and with
// map data files, driven through the running wizard: questions, the file
// dialog, notices, and the bytes that reach the registry and the files.
#include "wizard_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

typedef std::vector<unsigned char> Bytes;

const std::wstring kNoSystemMap = L"현재 설정된 매핑 데이터가 없습니다 !!";
const std::wstring kInvalidFile = L"유효하지 않은 잘못된 데이터 파일입니다 !!";
const wchar_t kKeyboardLayout[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

// Map bytes with the given entries, each {mapped key, real key} in the
// registry's form (prefix in the high byte, so 0xE038 is the right Alt key).
Bytes MapBytes(std::initializer_list<std::pair<WORD, WORD>> entries, int nCount = -1)
{
    Bytes map(12, 0);
    map[8] = static_cast<unsigned char>(nCount >= 0 ? nCount : int(entries.size()) + 1);
    for (const auto& entry : entries) {
        for (WORD w : {entry.first, entry.second}) {
            map.push_back(LOBYTE(w));
            map.push_back(HIBYTE(w));
        }
    }
    map.insert(map.end(), 4, 0);
    return map;
}

Bytes SystemMap()
{
    unsigned char buffer[1024];
    unsigned long nSize = sizeof(buffer);
    if (CUtils::GetScancodeMapRegistry(buffer, &nSize) != 0)
        return Bytes();
    return Bytes(buffer, buffer + nSize);
}

void SetSystemMap(Bytes map)
{
    ASSERT_EQ(0u, CUtils::SetScancodeMapRegistry(map.data(), static_cast<unsigned long>(map.size())));
}

Bytes FileBytes(const std::wstring& strPath)
{
    std::ifstream file(strPath.c_str(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// A map data file's map bytes: what follows its 40-byte header and the
// 1024-byte reserved block.
Bytes FileMap(const std::wstring& strPath)
{
    const Bytes file = FileBytes(strPath);
    return file.size() > 1064 ? Bytes(file.begin() + 1064, file.end()) : Bytes();
}

// A folder of its own under the prefix's temporary folder, emptied.
std::wstring TestFolder(const wchar_t* pszName)
{
    wchar_t szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strFolder = std::wstring(szTemp) + L"lutrovane-" + pszName;
    CreateDirectoryW(strFolder.c_str(), NULL);
    WIN32_FIND_DATAW find;
    HANDLE h = FindFirstFileW((strFolder + L"\\*").c_str(), &find);
    for (BOOL b = h != INVALID_HANDLE_VALUE; b; b = FindNextFileW(h, &find)) {
        const std::wstring strFile = strFolder + L"\\" + find.cFileName;
        SetFileAttributesW(strFile.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(strFile.c_str());
    }
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    return strFolder;
}

// The common file dialog: anything shown that is none of the program's own.
bool IsFileDialog(HWND hwnd)
{
    return !IsWizard(hwnd) && !IsMessageBox(hwnd) && !IsEditDialog(hwnd) && !IsPicture(hwnd) &&
           GetDlgItem(hwnd, IDOK) != NULL;
}

// The file dialog's own question before it replaces a file.
bool IsReplaceQuestion(HWND hwnd)
{
    return !IsMessageBox(hwnd) && GetDlgItem(hwnd, IDYES) && GetDlgItem(hwnd, 0xFFFF);
}

// Types strPath as the file name and confirms it (empty: cancels).
bool ChooseFile(const std::wstring& strPath)
{
    HWND dlg = WaitShown(IsFileDialog);
    if (!dlg)
        return false;
    if (strPath.empty()) {
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    } else {
        // The file name box: a combo box with an edit (Explorer style), or an edit.
        HWND name = GetDlgItem(dlg, 0x47C);
        if (!name)
            name = GetDlgItem(dlg, 0x480);
        SendMessageW(name, WM_SETTEXT, 0, LPARAM(strPath.c_str()));
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(dlg, IDOK)));
        // Saving over a file, the dialog asks first: Yes.
        HWND question = NULL;
        WaitUntil([&] { return (question = FindShown(IsReplaceQuestion)) != NULL || !IsWindow(dlg); },
                  1000);
        if (question)
            PostMessageW(question, WM_COMMAND, IDYES, 0);
    }
    return WaitGone(dlg);
}

// Apply, Remove system map and Load system map each ask first; these answer Yes.
std::wstring Command(HWND page, int id, int nAnswer = IDYES)
{
    Click(page, id);
    return Answer(nAnswer);
}

bool SystemMapButtons(HWND page)
{
    return IsEnabledItem(page, IDC_LOAD_SYSTEM_MAP) && IsEnabledItem(page, IDC_REMOVE_SYSTEM_MAP);
}

TEST(Commands, ApplyWritesTheRowsAndLoadSystemMapAndRemoveWorkOnTheRegistry)
{
    CSystemMapKeeper keeper;
    CUtils::DelScancodeMapRegistry();
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        EXPECT_FALSE(SystemMapButtons(page));
        ASSERT_TRUE(AddPair(page, L"CapsLock", L"Control(왼쪽)"));

        EXPECT_EQ(L"현재 세팅된 스캔코드 맵으로 설정하시겠습니까?", Command(page, IDC_APPLY_MAP, IDNO));
        EXPECT_EQ(Bytes(), SystemMap()) << "No wrote the map";
        Command(page, IDC_APPLY_MAP);
        EXPECT_TRUE(WaitUntil([&] { return SystemMap() == MapBytes({{0x001D, 0x003A}}); }));
        EXPECT_TRUE(WaitUntil([&] { return SystemMapButtons(page); }));

        Command(page, IDC_NEW_MAP);
        EXPECT_EQ(L"모든 매핑 데이터를 삭제하고 현재 시스템에 설정된 매핑 데이터를 분석하여 로드하시겠습니까?",
                  Command(page, IDC_LOAD_SYSTEM_MAP));
        EXPECT_TRUE(WaitUntil([&] {
            return Rows(list) == std::vector<std::wstring>{Row(L"CapsLock", L"Control(왼쪽)")};
        }));
        EXPECT_EQ("..SA", RowAndMapCommands(page));

        // Remove keeps the rows for a new Apply; the buttons stay off while no map is there.
        EXPECT_EQ(L"현재 시스템에 설정되어있는 맵 데이터를 제거하시겠습니까?",
                  Command(page, IDC_REMOVE_SYSTEM_MAP));
        // Both go off, one after the other: wait for the second too.
        EXPECT_TRUE(WaitUntil([&] {
            return !IsEnabledItem(page, IDC_LOAD_SYSTEM_MAP) &&
                   !IsEnabledItem(page, IDC_REMOVE_SYSTEM_MAP);
        }));
        EXPECT_EQ(Bytes(), SystemMap());
        EXPECT_EQ(1u, Rows(list).size());
        ASSERT_TRUE(run.Go(kBack, 0));
        ASSERT_TRUE(run.GoToList(0));
        EXPECT_FALSE(SystemMapButtons(page));

        // An empty list writes the map of no entries, which loads as none. A
        // list emptied by a load that chose no file still offers Apply.
        Command(page, IDC_LOAD_FILE);
        ASSERT_TRUE(ChooseFile(L""));
        ASSERT_TRUE(Rows(list).empty());
        Command(page, IDC_APPLY_MAP);
        EXPECT_TRUE(WaitUntil([&] { return SystemMap() == MapBytes({}); }));
        Command(page, IDC_LOAD_SYSTEM_MAP);
        EXPECT_EQ(kNoSystemMap, Answer(IDOK));
        EXPECT_TRUE(Rows(list).empty());
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(Commands, FailedAppliesAndRemovesAreReportedAndChangeNoButton)
{
    CSystemMapKeeper keeper;
    SetSystemMap(MapBytes({{0x001D, 0x003A}}));
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        ASSERT_TRUE(SystemMapButtons(page));

        // Without the key (as without the rights to open it) nothing can be written.
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyboardLayout, 0, KEY_READ, &hKey));
        RegCloseKey(hKey);
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKeyboardLayout));
        Command(page, IDC_APPLY_MAP);
        EXPECT_NE(std::wstring::npos, Answer(IDOK).find(L"설정하지 못했습니다"));
        Command(page, IDC_REMOVE_SYSTEM_MAP);
        EXPECT_NE(std::wstring::npos, Answer(IDOK).find(L"제거하지 못했습니다"));
        EXPECT_TRUE(SystemMapButtons(page)) << "buttons changed as if it had worked";
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyboardLayout, 0, NULL, 0,
                                                 KEY_ALL_ACCESS, NULL, &hKey, NULL));
        RegCloseKey(hKey);
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(Commands, SaveThenLoadFileReproducesTheRowsAndRefusesWhatIsNoMapFile)
{
    const std::wstring strFolder = TestFolder(L"files");
    const std::wstring strMap = strFolder + L"\\두 키.lvd", strEmpty = strFolder + L"\\empty.lvd";
    const std::wstring strOther = strFolder + L"\\other.lvd";
    std::ofstream(strOther.c_str(), std::ios::binary) << std::string(2000, 'x');
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(2);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        ASSERT_TRUE(AddPair(page, L"F13", L"PrintScreen"));
        ASSERT_TRUE(AddPair(page, L"Enter/Return", L"Enter"));
        const std::vector<std::wstring> rows = Rows(list);

        Click(page, IDC_SAVE_FILE);
        ASSERT_TRUE(ChooseFile(strMap));
        EXPECT_TRUE(WaitUntil([&] { return FileBytes(strMap).size() == 1080 + 8; }));
        EXPECT_EQ(MapBytes({{0xE037, 0x005D}, {0x001C, 0x001C}}), FileMap(strMap));

        // Cancelled in the file dialog: the list was cleared first and stays so.
        EXPECT_EQ(L"모든 매핑 설정을 삭제하고 매핑 데이터를 로드하시겠습니까?",
                  Command(page, IDC_LOAD_FILE));
        ASSERT_TRUE(ChooseFile(L""));
        EXPECT_TRUE(Rows(list).empty());
        EXPECT_EQ("..SA", RowAndMapCommands(page)) << "Save file and Apply keep their states";

        Command(page, IDC_LOAD_FILE);
        ASSERT_TRUE(ChooseFile(strMap));
        EXPECT_TRUE(WaitUntil([&] { return Rows(list) == rows; }));

        Command(page, IDC_LOAD_FILE);
        ASSERT_TRUE(ChooseFile(strOther));
        EXPECT_EQ(kInvalidFile, Answer(IDOK));
        EXPECT_TRUE(Rows(list).empty());

        // An empty list saves the file of no entries, which loads without a word.
        Click(page, IDC_SAVE_FILE);
        ASSERT_TRUE(ChooseFile(strEmpty));
        EXPECT_TRUE(WaitUntil([&] { return FileBytes(strEmpty).size() == 1080; }));
        Command(page, IDC_LOAD_FILE);
        ASSERT_TRUE(ChooseFile(strEmpty));
        EXPECT_EQ(L"(none)", Answer(IDOK, 1000));
        EXPECT_TRUE(Rows(list).empty());
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(Commands, FailedSavesAreReportedAndLeaveEveryFileAsItWas)
{
    const std::wstring strFolder = TestFolder(L"save-fails");
    const std::wstring strReadOnly = strFolder + L"\\read-only.lvd";
    std::ofstream(strReadOnly.c_str(), std::ios::binary) << "kept";
    SetFileAttributesW(strReadOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    // A folder whose name code page 949 cannot spell (Thai).
    const std::wstring strForeign = strFolder + L"\\ไทย";
    CreateDirectoryW(strForeign.c_str(), NULL);
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        for (const std::wstring& strPath : {strReadOnly, strFolder + L"\\missing\\map.lvd"}) {
            SCOPED_TRACE(std::string(strPath.begin(), strPath.end()));
            Click(page, IDC_SAVE_FILE);
            ASSERT_TRUE(ChooseFile(strPath));
            const std::wstring strNotice = Answer(IDOK);
            EXPECT_NE(std::wstring::npos, strNotice.find(L"저장하지 못했습니다")) << strNotice.size();
        }
        EXPECT_EQ(Bytes({'k', 'e', 'p', 't'}), FileBytes(strReadOnly));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((strFolder + L"\\missing").c_str()));

        Click(page, IDC_SAVE_FILE);
        ASSERT_TRUE(ChooseFile(strForeign + L"\\map.lvd"));
        EXPECT_NE(std::wstring::npos, Answer(IDOK).find(L"코드 페이지"));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((strForeign + L"\\map.lvd").c_str()));
        EXPECT_TRUE(run.End(kFinish));
    });
    SetFileAttributesW(strReadOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Commands, MapsOtherToolsWroteSurviveALoadFollowedByApplyOrSaveByteForByte)
{
    CSystemMapKeeper keeper;
    const std::wstring strFolder = TestFolder(L"foreign");
    const struct
    {
        const char* pszCase;
        Bytes map;
    } maps[] = {
        {"a key turned off", MapBytes({{0x0000, 0x003A}})},
        {"two keys swapped", MapBytes({{0x001D, 0x003A}, {0x003A, 0x001D}})},
        {"a code no table names", MapBytes({{0x001E, 0x007F}, {0xE07F, 0x0030}})},
        // The catalogue names 0x5D and 0x64 "F13" alike; by name 0x64 would become 0x5D.
        {"a name two codes share", MapBytes({{0x0064, 0x003A}, {0x005D, 0x001D}})},
        {"an all-zero entry inside the count", MapBytes({{0x0000, 0x0000}, {0x0030, 0x001E}})},
    };
    SetSystemMap(maps[0].map);
    CWizardRun run;
    run.Run([&] {
        HWND page = run.StartAtList(0);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        for (const auto& m : maps) {
            SCOPED_TRACE(m.pszCase);
            SetSystemMap(m.map);
            Command(page, IDC_LOAD_SYSTEM_MAP);
            ASSERT_TRUE(WaitUntil([&] { return int(Rows(list).size()) == m.map[8] - 1; }));
            CUtils::DelScancodeMapRegistry();
            Command(page, IDC_APPLY_MAP);
            EXPECT_TRUE(WaitUntil([&] { return SystemMap() == m.map; })) << "apply changed it";
            const std::wstring strFile = strFolder + L"\\map.lvd";
            Click(page, IDC_SAVE_FILE);
            ASSERT_TRUE(ChooseFile(strFile));
            EXPECT_TRUE(WaitUntil([&] { return FileMap(strFile) == m.map; })) << "save changed it";
        }

        // A row added to a loaded map leaves the loaded rows as they were.
        ASSERT_TRUE(AddPair(page, L"A", L"B"));
        Command(page, IDC_APPLY_MAP);
        EXPECT_TRUE(WaitUntil([&] {
            return SystemMap() ==
                   MapBytes({{0x0000, 0x0000}, {0x0030, 0x001E}, {0x0030, 0x001E}});
        }));
        EXPECT_TRUE(run.End(kFinish));
    });
}

TEST(Commands, LoadingNamesRealKeysByTheCurrentKeyboardAndStopsAtTheListsLimit)
{
    CSystemMapKeeper keeper;
    CWizardRun run;
    run.Run([&] {
        // A map made for the PC keyboard, loaded on the Apple Extended keyboard's
        // page: its context key is no key of that keyboard.
        SetSystemMap(MapBytes({{0x001D, 0x003A}, {0xE038, 0xE05D}}));
        HWND page = run.StartAtList(1);
        ASSERT_TRUE(page) << run.Where();
        HWND list = GetDlgItem(page, IDC_MAP_LIST);
        Command(page, IDC_LOAD_SYSTEM_MAP);
        const std::vector<std::wstring> rows = {Row(L"CapsLock", L"Control(왼쪽)"),
                                                Row(L"알수 없음", L"Alt(오른쪽)/한글전환")};
        EXPECT_TRUE(WaitUntil([&] { return Rows(list) == rows; })) << Rows(list).size();

        // A count byte of 255 announces 254 entries: the buffer holds 253, the list 252.
        Bytes map = MapBytes({});
        map.resize(1024, 0);
        for (size_t i = 12; i + 4 <= map.size(); i += 4) {
            map[i] = 0x1E;
            map[i + 2] = 0x30;
        }
        map[8] = 255;
        SetSystemMap(map);
        Command(page, IDC_LOAD_SYSTEM_MAP);
        const std::wstring strNotice = Answer(IDOK);
        EXPECT_NE(std::wstring::npos, strNotice.find(L"252"));
        EXPECT_EQ(252u, Rows(list).size());
        EXPECT_TRUE(run.End(kFinish));
    });
}

}  // namespace

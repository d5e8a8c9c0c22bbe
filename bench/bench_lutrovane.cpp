// Lutrovane's side of the benchmark: the program's own code paths, timed in
// one process by turns with bare Win32 calls that do the same work as
// safely. Usage: bench_lutrovane DIR [ROUNDS [DIALOGS]]
// Apply and Load system map ROUNDS times each (default 201), and so the part
// of Load that is not the registry call (load_names_us); the map edit dialog
// against a bare dialog of the same controls filling its two lists with the
// same 224 names, DIALOGS times each (default 31). "FIGURE OURS BARE RATIO"
// lines. Leaves in DIR map1.reg and map2.reg, the two maps Apply alternates,
// as registry files, and the last of them in the registry.
#include "bench_resource.h"
#include "bench_util.h"

#include "key_tables.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"
#include "map_edit_dlg.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kPairs = 252;

// The mapping list's rows on the PC keyboard's page, each as the page keeps
// it: its real key's and mapped key's codes in one item (low and high word).
typedef std::vector<DWORD> SRows;

// Two maps that differ in every entry, so that Apply changes the map each time.
void MakeRows(SRows& rows, int nShift)
{
    CLutrovanePC pc;
    const int nReal = int(pc.GetSizeOfFromMap());
    const int nAll = int(pc.GetSizeOfMap());
    for (int k = 0; k < kPairs; ++k)
        rows.push_back(MAKELONG(pc.GetScancodeByIndex(k % nReal),
                                pc.GetScancodeByIndex((k * 5 + 1 + nShift) % nAll)));
}

// Apply on the page after its questions: every row's codes into the two
// arrays and the map bytes (MakeBytes), then the change through the history,
// which keeps the value it replaces. The restart request is left out.
bool MakeBytes(const SRows& rows, unsigned char* pBuffer)
{
    CWordArray real, mapped;
    real.SetSize(int(rows.size()));
    mapped.SetSize(int(rows.size()));
    for (int k = 0; k < int(rows.size()); ++k) {
        real.SetAtGrow(k, LOWORD(rows[k]));
        mapped.SetAtGrow(k, HIWORD(rows[k]));
    }
    ZeroMemory(pBuffer, 1024);
    return CUtils::MakeRegistryData(real, mapped, pBuffer) == 0;
}

unsigned long Apply(const SRows& rows, unsigned char* pBuffer)
{
    if (!MakeBytes(rows, pBuffer))
        return 1;
    CMapHistory history;
    return history.ChangeSystemMap(pBuffer, 16 + 4 * kPairs);
}

// Load system map on the PC keyboard's page: the system's map read once and
// decoded twice (Decode), real keys with the keyboard's table, mapped keys
// with the catalogue, both kept by the page.
bool Decode(CPageKeyTables& tables, unsigned char* pMap)
{
    CStringArray realNames, mappedNames;
    CWordArray realCodes, mappedCodes;
    tables.DecodeMap(0, pMap, realNames, realCodes, mappedNames, mappedCodes);
    return realNames.GetSize() == kPairs && mappedNames.GetSize() == kPairs;
}

unsigned long LoadSystemMap(CPageKeyTables& tables)
{
    std::vector<unsigned char> buffer(1024, 0);
    unsigned long nSize = static_cast<unsigned long>(buffer.size());
    const unsigned long nResult = CUtils::GetScancodeMapRegistry(buffer.data(), &nSize);
    return nResult == 0 && Decode(tables, buffer.data()) ? 0 : 1;
}

// The baselines. A change as safe as Apply's with nothing but Win32 calls: the
// old value read, written to a new file and flushed, the new value written.
// Into a value of its own beside the map, so that Apply always finds the map
// it did not write last.
bool BareChange(const std::string& strFolder, const BYTE* pMap, DWORD nLength)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      &hKey) != ERROR_SUCCESS)
        return false;
    BYTE abOld[1024];
    DWORD nType = 0, nOld = sizeof(abOld);
    LONG nResult = RegQueryValueExA(hKey, "Bare Map", NULL, &nType, abOld, &nOld);
    if (nResult == ERROR_FILE_NOT_FOUND)
        nOld = 0;
    else if (nResult != ERROR_SUCCESS)
        nOld = DWORD(-1);
    // Named by the moment, as process ids come again from run to run.
    const std::string strPath =
        strFolder + "bare" + std::to_string(static_cast<long long>(bench::NowUs())) + ".bin";
    const HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD nWritten = 0;
    bool bKept = nOld != DWORD(-1) && hFile != INVALID_HANDLE_VALUE
                 && ::WriteFile(hFile, abOld, nOld, &nWritten, NULL) && nWritten == nOld
                 && FlushFileBuffers(hFile);
    if (hFile != INVALID_HANDLE_VALUE)
        bKept &= CloseHandle(hFile) != 0;
    if (bKept)
        nResult = RegSetValueExA(hKey, "Bare Map", 0, REG_BINARY, pMap, nLength);
    RegCloseKey(hKey);
    return bKept && nResult == ERROR_SUCCESS;
}

bool BareRead(BYTE* pMap, DWORD nCapacity)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD nType = 0, nSize = nCapacity;
    const LONG nResult = RegQueryValueExA(hKey, LUTROVANE_MAP_VALUE, NULL, &nType, pMap, &nSize);
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS && nSize == nCapacity;
}

// The bare edit dialog: the real keys of the PC table, then all its keys.
std::vector<std::wstring> g_bareNames;
int g_nBareRealKeys = 0;

INT_PTR CALLBACK BareEditProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM)
{
    switch (nMsg) {
    case WM_INITDIALOG:
        for (int i = 0; i < int(g_bareNames.size()); ++i) {
            SendDlgItemMessageW(hwnd, i < g_nBareRealKeys ? IDC_BARE_REAL_KEY : IDC_BARE_MAP_KEY,
                                CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_bareNames[i].c_str()));
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void MakeBareNames()
{
    CLutrovanePC pc;
    g_nBareRealKeys = int(pc.GetSizeOfFromMap());
    for (int i = 0; i < g_nBareRealKeys + int(pc.GetSizeOfMap()); ++i) {
        const int nRow = i < g_nBareRealKeys ? i : i - g_nBareRealKeys;
        g_bareNames.push_back(Cp949ToWide(pc.GetKeyNameByIndex(nRow)));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: bench_lutrovane DIR [ROUNDS [DIALOGS]]\n");
        return 2;
    }
    const std::string strDir = std::string(argv[1]) + "\\";
    const int nRounds = argc > 2 ? std::atoi(argv[2]) : 201;
    const int nDialogs = argc > 3 ? std::atoi(argv[3]) : 31;

    SRows rows[2];
    MakeRows(rows[0], 0);
    MakeRows(rows[1], 1);
    CPageKeyTables tables;
    unsigned char abMap[1024], abRead[1024];
    // Untimed Applies fill the history to what it keeps, as a user's fills
    // over time; every timed one then keeps an entry and prunes the oldest.
    // The first may find its map in place (1), left by the last run.
    bool bFailed = false;
    int nApply = 0;
    for (int i = 0; i <= CMapHistory::MAX_ENTRIES; ++i)
        bFailed |= Apply(rows[nApply++ & 1], abMap) > 1;
    const bench::SPair apply = bench::Interleaved(
        nRounds, [&] { bFailed |= Apply(rows[nApply++ & 1], abMap) != 0; },
        [&] { bFailed |= !BareChange(strDir, abMap, 16 + 4 * kPairs); });
    const bench::SPair load = bench::Interleaved(
        nRounds, [&] { bFailed |= LoadSystemMap(tables) != 0; },
        [&] { bFailed |= !BareRead(abRead, sizeof(abRead)); });
    // Where Load's difference goes: its work besides the registry call,
    // against the same bare call.
    const bench::SPair loadNames = bench::Interleaved(
        nRounds, [&] { bFailed |= !Decode(tables, abRead); },
        [&] { bFailed |= !BareRead(abRead, sizeof(abRead)); });
    for (int m = 0; m < 2; ++m) {
        wchar_t wszPath[MAX_PATH];
        const std::string strPath = strDir + "map" + std::to_string(m + 1) + ".reg";
        bFailed |= !MakeBytes(rows[m], abMap)
                   || !MultiByteToWideChar(CP_ACP, 0, strPath.c_str(), -1, wszPath, MAX_PATH)
                   || CUtils::SaveRegFile(wszPath, false, abMap, 16 + 4 * kPairs) != 0;
    }
    if (bFailed) {
        std::fprintf(stderr, "bench_lutrovane: the registry or %s failed\n", argv[1]);
        return 1;
    }
    bench::PrintPair("apply_us", apply);
    bench::PrintPair("load_system_map_us", load);
    bench::PrintPair("load_names_us", loadNames);
    MakeBareNames();
    bench::PrintPair("edit_dialog_open_ms", bench::DialogsByTurns(nDialogs, [] {
        CMapEditDlg dlg;
        dlg.SetKeyboardType(0, FALSE);
        dlg.DoModal();
    }, [] {
        DialogBoxParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_BARE_EDIT), NULL, BareEditProc, 0);
    }), 1e-3);
    return 0;
}

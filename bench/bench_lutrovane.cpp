// Lutrovane's side of the benchmark: the program's own code paths, timed in
// one process. Usage: bench_lutrovane DIR [ROUNDS [DIALOGS]]
// Apply and Load system map are timed by turns with the bare registry calls
// that do the same work, ROUNDS times each (default 201), and so is the part
// of each that is not the registry call (apply_names_us, load_names_us):
// "FIGURE OURS BARE RATIO" lines. Then the edit dialog is opened DIALOGS times (default 31):
// "edit_dialog_open_ms OURS". Leaves in DIR keys.txt, the 224 names of the
// edit dialog's two lists (code page 949, one a line), for its baseline, and
// the 252-entry map in the registry.
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

void MakeRows(SRows& rows)
{
    CLutrovanePC pc;
    const int nReal = int(pc.GetSizeOfFromMap());
    const int nAll = int(pc.GetSizeOfMap());
    for (int k = 0; k < kPairs; ++k)
        rows.push_back(MAKELONG(pc.GetScancodeByIndex(k % nReal), pc.GetScancodeByIndex((k * 5 + 1) % nAll)));
}

// Apply on the page: every row's codes into the two arrays and the map bytes
// (MakeBytes), the bytes into the registry. The restart request is left out.
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
    return CUtils::SetScancodeMapRegistry(pBuffer, 16 + 4 * kPairs);
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

// The baselines: the same map written and read back with nothing but the
// registry calls.
bool BareWrite(const BYTE* pMap, DWORD nLength)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    const LONG nResult = RegSetValueExA(hKey, LUTROVANE_MAP_VALUE, 0, REG_BINARY, pMap, nLength);
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS;
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

bool WriteFile(const std::string& strPath, const void* pData, size_t nSize)
{
    FILE* f = std::fopen(strPath.c_str(), "wb");
    if (!f)
        return false;
    const bool bOk = std::fwrite(pData, 1, nSize, f) == nSize;
    return std::fclose(f) == 0 && bOk;
}

bool WriteKeys(const std::string& strPath)
{
    CLutrovanePC pc;
    std::string strKeys;
    for (int i = 0; i < int(pc.GetSizeOfFromMap()); ++i)
        strKeys += std::string(pc.GetKeyNameByIndex(i)) + "\n";
    for (int i = 0; i < int(pc.GetSizeOfMap()); ++i)
        strKeys += std::string(pc.GetKeyNameByIndex(i)) + "\n";
    return WriteFile(strPath, strKeys.data(), strKeys.size());
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

    SRows rows;
    MakeRows(rows);
    CPageKeyTables tables;
    unsigned char abMap[1024], abRead[1024];
    // The first, untimed Apply makes the bytes that the bare write writes.
    bool bFailed = Apply(rows, abMap) != 0;
    const bench::SPair apply = bench::Interleaved(
        nRounds, [&] { bFailed |= Apply(rows, abMap) != 0; },
        [&] { bFailed |= !BareWrite(abMap, sizeof(abMap)); });
    const bench::SPair load = bench::Interleaved(
        nRounds, [&] { bFailed |= LoadSystemMap(tables) != 0; },
        [&] { bFailed |= !BareRead(abRead, sizeof(abRead)); });
    // Where the difference goes: each command's work besides the registry
    // call, against the same bare call.
    const bench::SPair applyNames = bench::Interleaved(
        nRounds, [&] { bFailed |= !MakeBytes(rows, abMap); },
        [&] { bFailed |= !BareWrite(abMap, sizeof(abMap)); });
    const bench::SPair loadNames = bench::Interleaved(
        nRounds, [&] { bFailed |= !Decode(tables, abRead); },
        [&] { bFailed |= !BareRead(abRead, sizeof(abRead)); });
    if (bFailed || !WriteKeys(strDir + "keys.txt")) {
        std::fprintf(stderr, "bench_lutrovane: the registry or %s failed\n", argv[1]);
        return 1;
    }
    bench::PrintPair("apply_us", apply);
    bench::PrintPair("load_system_map_us", load);
    bench::PrintPair("apply_names_us", applyNames);
    bench::PrintPair("load_names_us", loadNames);
    std::printf("edit_dialog_open_ms %.2f\n", bench::DialogOpenMs(nDialogs, [] {
                    CMapEditDlg dlg;
                    dlg.SetKeyboardType(0, FALSE);
                    dlg.DoModal();
                }));
    return 0;
}

// Lutrovane's side of the benchmark: the program's own code paths, timed in
// one process. Usage: bench_lutrovane DIR
// Prints "figure value" lines and leaves in DIR what the baselines need to do
// the same work: keys.txt (the 224 names of the edit dialog's two lists, code
// page 949, one a line) and map.bin (the 252-entry map that Apply writes).
#include "bench_util.h"

#include "key_tables.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"
#include "map_edit_dlg.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kPairs = 252;
constexpr int kRegistryRuns = 201;
constexpr int kDialogRuns = 31;

// The mapping list's rows, as the list page shows them: "◁ name" and "▶ name".
struct SRows
{
    CStringArray real;
    CStringArray mapped;
};

void MakeRows(SRows& rows)
{
    CLutrovanePC pc;
    const int nReal = int(pc.GetSizeOfFromMap());
    const int nAll = int(pc.GetSizeOfMap());
    for (int k = 0; k < kPairs; ++k) {
        CString str;
        str.Format("◁ %s", pc.GetKeyNameByIndex(k % nReal));
        rows.real.Add(str);
        str.Format("▶ %s", pc.GetKeyNameByIndex((k * 5 + 1) % nAll));
        rows.mapped.Add(str);
    }
}

// Apply on the PC keyboard's page: every row back to its code by name through
// the catalogue, the codes into map bytes, the bytes into the registry. The
// restart request is left out. The page keeps its key tables: the first,
// untimed run builds them.
unsigned long Apply(CPageKeyTables& tables, SRows& rows, unsigned char* pBuffer)
{
    CLutrovaneBase* pRealKeys = tables.GetRealKeyResolver(0);
    CLutrovaneBase& catalogue = tables.GetCatalogue();
    CWordArray real, mapped;
    real.SetSize(rows.real.GetSize());
    mapped.SetSize(rows.real.GetSize());
    for (int k = 0; k < rows.real.GetSize(); ++k) {
        // The name after the cell's glyph and blank, as the page takes it.
        real.SetAtGrow(k, pRealKeys->FindScanCode(rows.real[k] + 3));
        mapped.SetAtGrow(k, catalogue.FindScanCode(rows.mapped[k] + 3));
    }
    ZeroMemory(pBuffer, 1024);
    if (CUtils::MakeRegistryData(real, mapped, pBuffer) != 0)
        return 1;
    const unsigned long nLength = 16 + 4 * unsigned(real.GetSize());
    return CUtils::SetScancodeMapRegistry(pBuffer, nLength);
}

// Load system map on the PC keyboard's page: the system's map read once and
// decoded twice, real keys with the keyboard's table, mapped keys with the
// catalogue, both kept by the page.
unsigned long LoadSystemMap(CPageKeyTables& tables)
{
    std::vector<unsigned char> buffer(1024, 0);
    unsigned long nSize = static_cast<unsigned long>(buffer.size());
    CStringArray realNames, mappedNames;
    CWordArray realCodes, mappedCodes;
    const unsigned long nResult = CUtils::GetScancodeMapRegistry(buffer.data(), &nSize);
    if (nResult == 0)
        tables.DecodeMap(0, buffer.data(), realNames, realCodes, mappedNames, mappedCodes);
    return nResult == 0 && realNames.GetSize() == kPairs && mappedNames.GetSize() == kPairs ? 0
                                                                                             : 1;
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_lutrovane DIR\n");
        return 2;
    }
    const std::string strDir = std::string(argv[1]) + "\\";

    SRows rows;
    MakeRows(rows);
    CPageKeyTables tables;
    unsigned char abMap[1024];
    bool bFailed = false;
    const double dApply = bench::MedianUs(kRegistryRuns, [&] { bFailed |= Apply(tables, rows, abMap) != 0; });
    const double dLoad = bench::MedianUs(kRegistryRuns, [&] { bFailed |= LoadSystemMap(tables) != 0; });
    if (bFailed || !WriteFile(strDir + "map.bin", abMap, sizeof(abMap)) ||
        !WriteKeys(strDir + "keys.txt")) {
        std::fprintf(stderr, "bench_lutrovane: the registry or %s failed\n", argv[1]);
        return 1;
    }
    std::printf("apply_us %.1f\n", dApply);
    std::printf("load_system_map_us %.1f\n", dLoad);
    std::printf("edit_dialog_open_ms %.2f\n", bench::DialogOpenMs(kDialogRuns, [] {
                    CMapEditDlg dlg;
                    dlg.SetKeyboardType(0, FALSE);
                    dlg.DoModal();
                }));
    return 0;
}

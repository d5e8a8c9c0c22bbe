// Baseline of opening the map edit dialog: a bare dialog of the same layout
// whose two drop-down lists get the same 224 names, opened RUNS times (default
// 31). Usage: bare_edit_dialog DIR [RUNS] (DIR/keys.txt from bench_lutrovane:
// the real-key list's names, then the mapped-key list's).
#include "bench_util.h"
#include "bench_resource.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRealKeys = 103;

std::vector<std::wstring> g_names;

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM)
{
    switch (nMsg) {
    case WM_INITDIALOG:
        for (size_t i = 0; i < g_names.size(); ++i) {
            SendDlgItemMessageW(hwnd, i < kRealKeys ? IDC_BARE_REAL_KEY : IDC_BARE_MAP_KEY,
                                CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_names[i].c_str()));
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

}  // namespace

int main(int argc, char** argv)
{
    const bool bUsage = argc == 2 || argc == 3;
    std::ifstream keys(bUsage ? std::string(argv[1]) + "\\keys.txt" : std::string());
    for (std::string strLine; std::getline(keys, strLine);) {
        wchar_t wsz[64] = L"";
        MultiByteToWideChar(949, 0, strLine.c_str(), -1, wsz, 64);
        g_names.push_back(wsz);
    }
    if (g_names.size() <= kRealKeys) {
        std::fprintf(stderr, "usage: bare_edit_dialog DIR [RUNS], with DIR\\keys.txt\n");
        return 2;
    }
    const HINSTANCE hInstance = GetModuleHandleW(NULL);
    const int nRuns = argc == 3 ? std::atoi(argv[2]) : 31;
    std::printf("edit_dialog_open_ms %.2f\n", bench::DialogOpenMs(nRuns, [&] {
                    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_BARE_EDIT), NULL,
                                    DialogProc, 0);
                }));
    return 0;
}

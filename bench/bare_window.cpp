// Baseline of start-up and working set: a program that shows one dialog and
// nothing else.
#include <windows.h>

#include "bench_resource.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM)
{
    if (nMsg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
    return nMsg == WM_INITDIALOG;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return int(DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_BARE_WINDOW), NULL, DialogProc, 0));
}

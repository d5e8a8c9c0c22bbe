#include "window_driver.h"

namespace ui {

bool WaitUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(10);
    }
}

std::wstring Text(HWND hwnd)
{
    // InternalGetWindowText reads the title without sending WM_GETTEXT, so a
    // window whose thread is busy (the one-second hold) does not stall us.
    wchar_t buf[512] = L"";
    InternalGetWindowText(hwnd, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[256] = L"";
    GetClassNameW(hwnd, buf, 256);
    return buf;
}

LONG Style(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE); }
LONG ExStyle(HWND hwnd) { return GetWindowLongW(hwnd, GWL_EXSTYLE); }

namespace {
struct SSearch
{
    const std::function<bool(HWND)>* pMatch;
    HWND hwndFound;
};

BOOL CALLBACK MatchShown(HWND hwnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<SSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd) || !(*pSearch->pMatch)(hwnd))
        return TRUE;
    pSearch->hwndFound = hwnd;
    return FALSE;
}
} // namespace

HWND FindShown(const std::function<bool(HWND)>& match)
{
    SSearch search = {&match, NULL};
    EnumWindows(MatchShown, reinterpret_cast<LPARAM>(&search));
    return search.hwndFound;
}

HWND WaitShown(const std::function<bool(HWND)>& match)
{
    HWND hwnd = NULL;
    WaitUntil([&] { return (hwnd = FindShown(match)) != NULL; });
    return hwnd;
}

bool WaitGone(HWND hwnd)
{
    return WaitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); });
}

bool IsItemEnabled(HWND dlg, int id)
{
    HWND item = GetDlgItem(dlg, id);
    return item && IsWindowEnabled(item);
}

bool IsItemShown(HWND dlg, int id)
{
    HWND item = GetDlgItem(dlg, id);
    return item && IsWindowVisible(item);
}

bool IsItemChecked(HWND dlg, int id)
{
    return SendDlgItemMessageW(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND dlg, int id)
{
    PostMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
}

void ClickOn(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

void PressKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

} // namespace ui

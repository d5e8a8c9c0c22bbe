#include "commands.h"

#include "console.h"
#include "system_library.h"

#include <set>

namespace {

// Only detect watches the keyboard: user32 is loaded here, not imported, as
// loading it sets up the window system for the whole process, which doubled
// the run of every other command under Wine.
struct SUser32
{
    decltype(&::SetWindowsHookExW) SetWindowsHookExW;
    decltype(&::UnhookWindowsHookEx) UnhookWindowsHookEx;
    decltype(&::CallNextHookEx) CallNextHookEx;
    decltype(&::PostThreadMessageW) PostThreadMessageW;
    decltype(&::PeekMessageW) PeekMessageW;
    decltype(&::DispatchMessageW) DispatchMessageW;
    decltype(&::MsgWaitForMultipleObjects) MsgWaitForMultipleObjects;

    // False, with the system's error in GetLastError, without all of them.
    bool Load()
    {
        const HMODULE hModule = LoadSystemLibrary(L"user32.dll");
        return Find(hModule, SetWindowsHookExW, "SetWindowsHookExW")
               && Find(hModule, UnhookWindowsHookEx, "UnhookWindowsHookEx")
               && Find(hModule, CallNextHookEx, "CallNextHookEx")
               && Find(hModule, PostThreadMessageW, "PostThreadMessageW")
               && Find(hModule, PeekMessageW, "PeekMessageW")
               && Find(hModule, DispatchMessageW, "DispatchMessageW")
               && Find(hModule, MsgWaitForMultipleObjects, "MsgWaitForMultipleObjects");
    }

private:
    template <class TFunction>
    static bool Find(HMODULE hModule, TFunction*& pfn, const char* pszName)
    {
        pfn = SystemFunction<TFunction>(hModule, pszName);
        return pfn != nullptr;
    }
};

SUser32 g_user32;

const UINT WM_LVMAP_KEY = WM_APP + 1;  // wParam: the scan code of a key press
const unsigned short kEscape = 0x0100;

DWORD g_dwThreadId;

// Runs on this thread while it retrieves messages; it only hands the key on,
// since a slow hook holds up every keyboard of the session.
LRESULT CALLBACK KeyboardHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION) {
        const KBDLLHOOKSTRUCT& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const unsigned short wScancode = ScancodeOfKeyEvent(key.vkCode, key.scanCode, key.flags);
        if (wScancode != 0) {
            const bool bDown = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
            g_user32.PostThreadMessageW(g_dwThreadId, WM_LVMAP_KEY, wScancode, bDown);
        }
    }
    return g_user32.CallNextHookEx(nullptr, nCode, wParam, lParam);
}

}  // namespace

int DetectCommand(int nKeyboard, unsigned long nTimeoutSeconds)
{
    std::unique_ptr<CLutrovaneBase> table = NewKeyboardTable(nKeyboard);
    CLutrovaneCore catalogue;

    MSG msg;
    if (!g_user32.Load()) {
        WriteErr(L"lvmap: cannot watch the keyboard: " + SystemMessage(GetLastError()) + L"\r\n");
        return kExitFailure;
    }
    g_user32.PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
    g_dwThreadId = GetCurrentThreadId();
    HHOOK hHook = g_user32.SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
    if (!hHook) {
        WriteErr(L"lvmap: cannot watch the keyboard: " + SystemMessage(GetLastError()) + L"\r\n");
        return kExitFailure;
    }
    WriteErr(L"Press keys to see their codes. Esc twice ends, as do " + Decimal(nTimeoutSeconds)
             + L" s without a key.\r\n");

    const ULONGLONG nTimeout = static_cast<ULONGLONG>(nTimeoutSeconds) * 1000;
    ULONGLONG nLastKey = GetTickCount64();
    std::set<unsigned short> keysDown;  // a key held down repeats: shown once
    int nEscapes = 0;
    while (nEscapes < 2) {
        const ULONGLONG nNow = GetTickCount64();
        if (nNow - nLastKey >= nTimeout)
            break;
        g_user32.MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(nTimeout - (nNow - nLastKey)),
                                  QS_ALLINPUT);
        while (nEscapes < 2 && g_user32.PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_LVMAP_KEY) {
                g_user32.DispatchMessageW(&msg);
                continue;
            }
            const unsigned short wScancode = static_cast<unsigned short>(msg.wParam);
            nLastKey = GetTickCount64();
            if (!msg.lParam) {
                keysDown.erase(wScancode);
                continue;
            }
            if (!keysDown.insert(wScancode).second)
                continue;
            nEscapes = wScancode == kEscape ? nEscapes + 1 : 0;
            WriteOut(CodeText(wScancode) + L"  " + FromCp949(GetKeyNameWithCode(*table, wScancode))
                     + L"  (catalogue: " + FromCp949(GetKeyNameWithCode(catalogue, wScancode)) + L")\r\n");
        }
    }
    g_user32.UnhookWindowsHookEx(hHook);
    // What was typed meanwhile went to the console too; it is not meant for
    // the shell that reads it next.
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    return kExitDone;
}

#include "commands.h"

#include "console.h"

#include <set>

namespace {

const UINT WM_LVMAP_KEY = WM_APP + 1;  // wParam: the scan code of a key press
const unsigned short kEscape = 0x0100;

DWORD g_dwThreadId;

// The scan code a Scancode Map names the key by, from what the hook sees.
unsigned short ScancodeOf(const KBDLLHOOKSTRUCT& key)
{
    const unsigned char bMake = static_cast<unsigned char>(key.scanCode);
    // Pause comes as 45 without the flag, and the map names it E11D.
    if (key.vkCode == VK_PAUSE)
        return 0x1DE1;
    // The hook flags NumLock (45) and the right Shift key (36) extended,
    // although neither sends an E0 prefix and the map names them 0045 and
    // 0036; no key's code is E045 or E036.
    const bool bPrefix = (key.flags & LLKHF_EXTENDED) && bMake != 0x45 && bMake != 0x36;
    return static_cast<unsigned short>(bMake << 8 | (bPrefix ? 0xE0 : 0x00));
}

// Runs on this thread while it retrieves messages; it only hands the key on,
// since a slow hook holds up every keyboard of the session.
LRESULT CALLBACK KeyboardHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION) {
        const KBDLLHOOKSTRUCT& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        // VK_PACKET carries a character, not a key; scan code 0 is no key.
        if (key.vkCode != VK_PACKET && (key.scanCode & 0xFF) != 0) {
            const bool bDown = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
            PostThreadMessageW(g_dwThreadId, WM_LVMAP_KEY, ScancodeOf(key), bDown);
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

}  // namespace

int DetectCommand(int nKeyboard, unsigned long nTimeoutSeconds)
{
    std::unique_ptr<CLutrovaneBase> table = NewKeyboardTable(nKeyboard);
    CLutrovaneCore catalogue;

    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
    g_dwThreadId = GetCurrentThreadId();
    HHOOK hHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
    if (!hHook) {
        WriteErr(L"lvmap: cannot watch the keyboard: " + SystemMessage(GetLastError()) + L"\r\n");
        return kExitFailure;
    }
    WriteErr(L"Press keys to see their codes. Esc twice ends, as do " + std::to_wstring(nTimeoutSeconds)
             + L" s without a key.\r\n");

    const ULONGLONG nTimeout = static_cast<ULONGLONG>(nTimeoutSeconds) * 1000;
    ULONGLONG nLastKey = GetTickCount64();
    std::set<unsigned short> keysDown;  // a key held down repeats: shown once
    int nEscapes = 0;
    while (nEscapes < 2) {
        const ULONGLONG nNow = GetTickCount64();
        if (nNow - nLastKey >= nTimeout)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(nTimeout - (nNow - nLastKey)),
                                  QS_ALLINPUT);
        while (nEscapes < 2 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_LVMAP_KEY) {
                DispatchMessageW(&msg);
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
            WriteOut(CodeText(wScancode) + L"  " + FromCp949(table->GetKeyName(wScancode))
                     + L"  (catalogue: " + FromCp949(catalogue.GetKeyName(wScancode)) + L")\r\n");
        }
    }
    UnhookWindowsHookEx(hHook);
    // What was typed meanwhile went to the console too; it is not meant for
    // the shell that reads it next.
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    return kExitDone;
}

// The keyboards as they lie on the desk, one key a line: code, x, y, width,
// height in key units, and the legend where the key's name would mislead.
// Blocks shared by several keyboards are written once.
#include "keyboard_layouts.h"

#include <cmath>
#include <cwchar>

#include "afx/afx.h"

namespace {

struct SBlock
{
    const SKeyPlace* pKeys;
    int nCount;
};
#define BLOCK(keys) {(keys), int(sizeof(keys) / sizeof((keys)[0]))}

// Esc and F1 to F12 in their groups of four: the PC, Apple Pro and Extended keyboards.
const SKeyPlace kFunctionRow[] = {
    {0x0100, 0, 0, 1, 1, "Esc"},
    {0x3B00, 2, 0, 1, 1, NULL},
    {0x3C00, 3, 0, 1, 1, NULL},
    {0x3D00, 4, 0, 1, 1, NULL},
    {0x3E00, 5, 0, 1, 1, NULL},
    {0x3F00, 6.5, 0, 1, 1, NULL},
    {0x4000, 7.5, 0, 1, 1, NULL},
    {0x4100, 8.5, 0, 1, 1, NULL},
    {0x4200, 9.5, 0, 1, 1, NULL},
    {0x4300, 11, 0, 1, 1, NULL},
    {0x4400, 12, 0, 1, 1, NULL},
    {0x5700, 13, 0, 1, 1, NULL},
    {0x5800, 14, 0, 1, 1, NULL},
};

// The typing keys from ` to /, the same on every keyboard here.
const SKeyPlace kTypingKeys[] = {
    {0x2900, 0, 1.5, 1, 1, NULL},
    {0x0200, 1, 1.5, 1, 1, NULL},
    {0x0300, 2, 1.5, 1, 1, NULL},
    {0x0400, 3, 1.5, 1, 1, NULL},
    {0x0500, 4, 1.5, 1, 1, NULL},
    {0x0600, 5, 1.5, 1, 1, NULL},
    {0x0700, 6, 1.5, 1, 1, NULL},
    {0x0800, 7, 1.5, 1, 1, NULL},
    {0x0900, 8, 1.5, 1, 1, NULL},
    {0x0A00, 9, 1.5, 1, 1, NULL},
    {0x0B00, 10, 1.5, 1, 1, NULL},
    {0x0C00, 11, 1.5, 1, 1, NULL},
    {0x0D00, 12, 1.5, 1, 1, NULL},
    {0x0E00, 13, 1.5, 2, 1, "Backspace"},

    {0x0F00, 0, 2.5, 1.5, 1, NULL},
    {0x1000, 1.5, 2.5, 1, 1, NULL},
    {0x1100, 2.5, 2.5, 1, 1, NULL},
    {0x1200, 3.5, 2.5, 1, 1, NULL},
    {0x1300, 4.5, 2.5, 1, 1, NULL},
    {0x1400, 5.5, 2.5, 1, 1, NULL},
    {0x1500, 6.5, 2.5, 1, 1, NULL},
    {0x1600, 7.5, 2.5, 1, 1, NULL},
    {0x1700, 8.5, 2.5, 1, 1, NULL},
    {0x1800, 9.5, 2.5, 1, 1, NULL},
    {0x1900, 10.5, 2.5, 1, 1, NULL},
    {0x1A00, 11.5, 2.5, 1, 1, NULL},
    {0x1B00, 12.5, 2.5, 1, 1, NULL},
    {0x2B00, 13.5, 2.5, 1.5, 1, NULL},

    {0x3A00, 0, 3.5, 1.75, 1, "Caps"},
    {0x1E00, 1.75, 3.5, 1, 1, NULL},
    {0x1F00, 2.75, 3.5, 1, 1, NULL},
    {0x2000, 3.75, 3.5, 1, 1, NULL},
    {0x2100, 4.75, 3.5, 1, 1, NULL},
    {0x2200, 5.75, 3.5, 1, 1, NULL},
    {0x2300, 6.75, 3.5, 1, 1, NULL},
    {0x2400, 7.75, 3.5, 1, 1, NULL},
    {0x2500, 8.75, 3.5, 1, 1, NULL},
    {0x2600, 9.75, 3.5, 1, 1, NULL},
    {0x2700, 10.75, 3.5, 1, 1, NULL},
    {0x2800, 11.75, 3.5, 1, 1, NULL},
    {0x1C00, 12.75, 3.5, 2.25, 1, "Enter"},

    {0x2C00, 2.25, 4.5, 1, 1, NULL},
    {0x2D00, 3.25, 4.5, 1, 1, NULL},
    {0x2E00, 4.25, 4.5, 1, 1, NULL},
    {0x2F00, 5.25, 4.5, 1, 1, NULL},
    {0x3000, 6.25, 4.5, 1, 1, NULL},
    {0x3100, 7.25, 4.5, 1, 1, NULL},
    {0x3200, 8.25, 4.5, 1, 1, NULL},
    {0x3300, 9.25, 4.5, 1, 1, NULL},
    {0x3400, 10.25, 4.5, 1, 1, NULL},
    {0x3500, 11.25, 4.5, 1, 1, NULL},
};

// Home and End with their neighbours above the arrows; the key where Insert
// is on a PC is the Apple keyboards' help key, and fn on the aluminium one.
const SKeyPlace kInsertKey[] = {
    {0x52E0, 15.25, 1.5, 1, 1, NULL},
};
const SKeyPlace kEditingKeys[] = {
    {0x47E0, 16.25, 1.5, 1, 1, NULL},
    {0x49E0, 17.25, 1.5, 1, 1, "PgUp"},
    {0x53E0, 15.25, 2.5, 1, 1, NULL},
    {0x4FE0, 16.25, 2.5, 1, 1, NULL},
    {0x51E0, 17.25, 2.5, 1, 1, "PgDn"},
    {0x48E0, 16.25, 4.5, 1, 1, NULL},
    {0x4BE0, 15.25, 5.5, 1, 1, NULL},
    {0x50E0, 16.25, 5.5, 1, 1, NULL},
    {0x4DE0, 17.25, 5.5, 1, 1, NULL},
};

// The keypad's digits, its point and Enter, where every keyboard here has them.
const SKeyPlace kKeypadDigits[] = {
    {0x4700, 18.5, 2.5, 1, 1, NULL},
    {0x4800, 19.5, 2.5, 1, 1, NULL},
    {0x4900, 20.5, 2.5, 1, 1, NULL},
    {0x4B00, 18.5, 3.5, 1, 1, NULL},
    {0x4C00, 19.5, 3.5, 1, 1, NULL},
    {0x4D00, 20.5, 3.5, 1, 1, NULL},
    {0x4F00, 18.5, 4.5, 1, 1, NULL},
    {0x5000, 19.5, 4.5, 1, 1, NULL},
    {0x5100, 20.5, 4.5, 1, 1, NULL},
    {0x1CE0, 21.5, 4.5, 1, 2, "Enter"},
    {0x5200, 18.5, 5.5, 2, 1, NULL},
    {0x5300, 20.5, 5.5, 1, 1, NULL},
};

// The Korean PC keyboard: 한/영 and 한자 on the right Alt and Ctrl keys.
const SKeyPlace kPcKeys[] = {
    {0x37E0, 15.25, 0, 1, 1, "PrtSc"},
    {0x4600, 16.25, 0, 1, 1, "ScrLk"},
    {0, 17.25, 0, 1, 1, "Pause"},
    {0x2A00, 0, 4.5, 2.25, 1, NULL},
    {0x3600, 12.25, 4.5, 2.75, 1, NULL},
    {0x1D00, 0, 5.5, 1.25, 1, "Ctrl"},
    {0x5BE0, 1.25, 5.5, 1.25, 1, "Win"},
    {0x3800, 2.5, 5.5, 1.25, 1, NULL},
    {0x3900, 3.75, 5.5, 6.25, 1, NULL},
    {0x38E0, 10, 5.5, 1.25, 1, "한/영"},
    {0x5CE0, 11.25, 5.5, 1.25, 1, "Win"},
    {0x5DE0, 12.5, 5.5, 1.25, 1, "메뉴"},
    {0x1DE0, 13.75, 5.5, 1.25, 1, "한자"},
    {0x4500, 18.5, 1.5, 1, 1, "Num"},
    {0x35E0, 19.5, 1.5, 1, 1, NULL},
    {0x3700, 20.5, 1.5, 1, 1, NULL},
    {0x4A00, 21.5, 1.5, 1, 1, NULL},
    {0x4E00, 21.5, 2.5, 1, 2, NULL},
};

// The Apple keypad: clear where NumLock is, = beside it, - and + one key each.
const SKeyPlace kAppleKeypadTop[] = {
    {0x4500, 18.5, 1.5, 1, 1, "clear"},
    {0, 19.5, 1.5, 1, 1, "="},
    {0x35E0, 20.5, 1.5, 1, 1, NULL},
    {0x3700, 21.5, 1.5, 1, 1, NULL},
    {0x4A00, 21.5, 2.5, 1, 1, NULL},
    {0x4E00, 21.5, 3.5, 1, 1, NULL},
};

// The Apple Pro Keyboard: F13 to F15 over the editing keys, the volume and
// eject keys over the keypad, command keys beside the space bar.
const SKeyPlace kAppleProKeys[] = {
    {0x5D00, 15.25, 0, 1, 1, NULL},
    {0x5E00, 16.25, 0, 1, 1, NULL},
    {0x5F00, 17.25, 0, 1, 1, NULL},
    {0, 18.5, 0, 1, 1, "음소거"},
    {0, 19.5, 0, 1, 1, "소리-"},
    {0, 20.5, 0, 1, 1, "소리+"},
    {0, 21.5, 0, 1, 1, "꺼내기"},
    {0x2A00, 0, 4.5, 2.25, 1, NULL},
    {0x3600, 12.25, 4.5, 2.75, 1, NULL},
    {0x1D00, 0, 5.5, 1.5, 1, NULL},
    {0x3800, 1.5, 5.5, 1.25, 1, "option"},
    {0x5BE0, 2.75, 5.5, 1.5, 1, "command"},
    {0x3900, 4.25, 5.5, 6.5, 1, NULL},
    {0x5CE0, 10.75, 5.5, 1.5, 1, "command"},
    {0x38E0, 12.25, 5.5, 1.25, 1, "option"},
    {0x1DE0, 13.5, 5.5, 1.5, 1, NULL},
};

// The aluminium keyboard with keypad: a flat row of F1 to F12 and eject,
// F13 to F19 over the editing keys and the keypad, fn where Insert would be.
const SKeyPlace kAppleAluminiumKeys[] = {
    {0x0100, 0, 0, 1, 1, "esc"},
    {0x3B00, 1.25, 0, 1, 1, NULL},
    {0x3C00, 2.25, 0, 1, 1, NULL},
    {0x3D00, 3.25, 0, 1, 1, NULL},
    {0x3E00, 4.25, 0, 1, 1, NULL},
    {0x3F00, 5.5, 0, 1, 1, NULL},
    {0x4000, 6.5, 0, 1, 1, NULL},
    {0x4100, 7.5, 0, 1, 1, NULL},
    {0x4200, 8.5, 0, 1, 1, NULL},
    {0x4300, 9.75, 0, 1, 1, NULL},
    {0x4400, 10.75, 0, 1, 1, NULL},
    {0x5700, 11.75, 0, 1, 1, NULL},
    {0x5800, 12.75, 0, 1, 1, NULL},
    {0, 14, 0, 1, 1, "꺼내기"},
    {0x6400, 15.25, 0, 1, 1, NULL},
    {0x6500, 16.25, 0, 1, 1, NULL},
    {0x6600, 17.25, 0, 1, 1, NULL},
    {0, 18.5, 0, 1, 1, "F16"},
    {0, 19.5, 0, 1, 1, "F17"},
    {0, 20.5, 0, 1, 1, "F18"},
    {0, 21.5, 0, 1, 1, "F19"},
    {0, 15.25, 1.5, 1, 1, "fn"},
    {0x2A00, 0, 4.5, 2.25, 1, NULL},
    {0x3600, 12.25, 4.5, 2.75, 1, NULL},
    {0x1D00, 0, 5.5, 1.5, 1, NULL},
    {0x3800, 1.5, 5.5, 1.25, 1, "option"},
    {0x5BE0, 2.75, 5.5, 1.5, 1, "command"},
    {0x3900, 4.25, 5.5, 6.5, 1, NULL},
    {0x5CE0, 10.75, 5.5, 1.5, 1, "command"},
    {0x38E0, 12.25, 5.5, 1.25, 1, "option"},
    {0x1DE0, 13.5, 5.5, 1.5, 1, NULL},
};

// The Apple Extended Keyboard II: F13 and F14 send PrintScreen and
// ScrollLock, each right modifier sends its left twin's code; the power key
// sits over the keypad.
const SKeyPlace kAppleExtendedKeys[] = {
    {0x37E0, 15.25, 0, 1, 1, "F13"},
    {0x4600, 16.25, 0, 1, 1, "F14"},
    {0, 17.25, 0, 1, 1, "F15"},
    {0, 21.5, 0, 1, 1, "전원"},
    {0x2A00, 0, 4.5, 2.25, 1, NULL},
    {0x2A00, 12.25, 4.5, 2.75, 1, NULL},
    {0x1D00, 0, 5.5, 1.5, 1, NULL},
    {0x3800, 1.5, 5.5, 1.25, 1, "option"},
    {0x5BE0, 2.75, 5.5, 1.5, 1, "command"},
    {0x3900, 4.25, 5.5, 6.5, 1, NULL},
    {0x5BE0, 10.75, 5.5, 1.5, 1, "command"},
    {0x3800, 12.25, 5.5, 1.25, 1, "option"},
    {0x1D00, 13.5, 5.5, 1.5, 1, NULL},
};

std::vector<SKeyPlace> Join(std::initializer_list<SBlock> blocks)
{
    std::vector<SKeyPlace> keys;
    for (const SBlock& block : blocks)
        keys.insert(keys.end(), block.pKeys, block.pKeys + block.nCount);
    return keys;
}

// Quarter key units, which every place above is a whole number of.
int Quarters(float f)
{
    return int(std::lround(f * 4));
}

int QuartersToPx(int nQuarters, UINT nDpi)
{
    return ::MulDiv(nQuarters, kKeyUnitPx * int(nDpi), 4 * 96);
}

// Made as the program loads, not in function-local statics: those would link
// the run-time's thread-safe initialisation, some 30 KB.
const std::vector<SKeyPlace> g_layouts[] = {
    Join({BLOCK(kFunctionRow), BLOCK(kTypingKeys), BLOCK(kInsertKey), BLOCK(kEditingKeys),
          BLOCK(kPcKeys), BLOCK(kKeypadDigits)}),
    Join({BLOCK(kFunctionRow), BLOCK(kTypingKeys), BLOCK(kInsertKey), BLOCK(kEditingKeys),
          BLOCK(kAppleExtendedKeys), BLOCK(kAppleKeypadTop), BLOCK(kKeypadDigits)}),
    Join({BLOCK(kFunctionRow), BLOCK(kTypingKeys), BLOCK(kInsertKey), BLOCK(kEditingKeys),
          BLOCK(kAppleProKeys), BLOCK(kAppleKeypadTop), BLOCK(kKeypadDigits)}),
    Join({BLOCK(kTypingKeys), BLOCK(kEditingKeys), BLOCK(kAppleAluminiumKeys),
          BLOCK(kAppleKeypadTop), BLOCK(kKeypadDigits)}),
};
const std::vector<SKeyPlace> g_noLayout;

}  // namespace

const std::vector<SKeyPlace>& KeyboardLayout(int nType)
{
    return nType >= 0 && nType < 4 ? g_layouts[nType] : g_noLayout;
}

RECT KeyRect(const SKeyPlace& key, UINT nDpi)
{
    const int x = Quarters(key.x), y = Quarters(key.y);
    return RECT{QuartersToPx(x, nDpi), QuartersToPx(y, nDpi), QuartersToPx(x + Quarters(key.cx), nDpi),
                QuartersToPx(y + Quarters(key.cy), nDpi)};
}

SIZE PictureSize(const std::vector<SKeyPlace>& layout, UINT nDpi)
{
    SIZE size = {0, 0};
    for (const SKeyPlace& key : layout) {
        const RECT rc = KeyRect(key, nDpi);
        size.cx = rc.right > size.cx ? rc.right : size.cx;
        size.cy = rc.bottom > size.cy ? rc.bottom : size.cy;
    }
    return size;
}

int KeyAt(const std::vector<SKeyPlace>& layout, POINT pt, UINT nDpi)
{
    for (size_t i = 0; i < layout.size(); ++i) {
        const RECT rc = KeyRect(layout[i], nDpi);
        if (::PtInRect(&rc, pt))
            return int(i);
    }
    return -1;
}

int FindKey(const std::vector<SKeyPlace>& layout, unsigned short wScancode)
{
    for (size_t i = 0; wScancode && i < layout.size(); ++i) {
        if (layout[i].wScancode == wScancode)
            return int(i);
    }
    return -1;
}

std::wstring KeyLegend(const SKeyPlace& key, const wchar_t* pszTableName)
{
    if (key.pszLegend)
        return Cp949ToWide(key.pszLegend);
    std::wstring str = pszTableName ? pszTableName : L"";
    for (const wchar_t* pszPart : {L"키패드 ", L"(왼쪽&오른쪽)", L"(왼쪽)", L"(오른쪽)"}) {
        const size_t n = str.find(pszPart);
        if (n != std::wstring::npos)
            str.erase(n, wcslen(pszPart));
    }
    return str;
}

// Where each key of the four keyboards lies, as a photo of each shows it,
// and the geometry over those places: key units to pixels, the key under a
// point. No window here.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One key, in key units (the width of a letter key) from the keyboard's top
// left corner. Code 0: a key the keyboard's table lacks (fn, eject), drawn
// greyed under its legend; it does nothing.
struct SKeyPlace
{
    unsigned short wScancode;
    float x, y, cx, cy;
    const char* pszLegend;  // printed on the key; NULL: the table's name, shortened
};

// The places of keyboard type nType (0 to 3), in reading order; empty for
// another index. A key that sends the same code as another (the Extended
// keyboard's right modifiers) has a place of its own.
const std::vector<SKeyPlace>& KeyboardLayout(int nType);

// A key unit at 96 DPI, in pixels.
const int kKeyUnitPx = 26;

// The key's rectangle at nDpi, in pixels from the picture's corner; the
// gap between neighbours is the caller's to leave.
RECT KeyRect(const SKeyPlace& key, UINT nDpi);
// The whole picture's size at nDpi.
SIZE PictureSize(const std::vector<SKeyPlace>& layout, UINT nDpi);
// The index of the key under pt (picture pixels at nDpi), or -1.
int KeyAt(const std::vector<SKeyPlace>& layout, POINT pt, UINT nDpi);
// The first place of a code, or -1; code 0 finds none.
int FindKey(const std::vector<SKeyPlace>& layout, unsigned short wScancode);
// The label a key carries: its legend, else the table's name without what
// its place says already ("키패드 ", the side of a modifier).
std::wstring KeyLegend(const SKeyPlace& key, const wchar_t* pszTableName);

// Acts on the program's windows as a user would, from a thread of its own,
// while the program's user-interface thread runs the wizard modally.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

// How long any window or state is waited for before a step fails.
constexpr DWORD kPatienceMs = 5000;

// Polls every 10 ms; false when ms pass first.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = kPatienceMs);

std::wstring Text(HWND hwnd);
std::wstring ClassOf(HWND hwnd);
LONG Style(HWND hwnd);
LONG ExStyle(HWND hwnd);

// A visible top-level window of this process that match accepts; NULL if none.
HWND FindShown(const std::function<bool(HWND)>& match);
HWND WaitShown(const std::function<bool(HWND)>& match);
// Waits until hwnd is hidden or destroyed.
bool WaitGone(HWND hwnd);

bool IsItemEnabled(HWND dlg, int id);
bool IsItemShown(HWND dlg, int id);
bool IsItemChecked(HWND dlg, int id);

// Posted, not sent: a click that opens a modal window would otherwise hold
// this thread until that window closed.
void Click(HWND dlg, int id);
// Real input: a left click in the middle of the window; a key pressed and
// released on whatever window is active.
void ClickOn(HWND hwnd);
void PressKey(WORD vk);

} // namespace ui

// Timing shared by the benchmark's programs: a stopwatch, medians, and the
// moment a modal dialog is up.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

inline double NowUs()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1e6 / double(freq.QuadPart);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs op nRuns times and returns the median of its durations in
// microseconds; one untimed run first warms caches and loads code.
template <class Op>
double MedianUs(int nRuns, Op op)
{
    op();
    std::vector<double> durations;
    for (int i = 0; i < nRuns; ++i) {
        const double start = NowUs();
        op();
        durations.push_back(NowUs() - start);
    }
    return Median(durations);
}

// Opening a modal dialog, from the call that runs it to the moment its window
// is shown (WM_INITDIALOG done, the lists filled); the dialog is then
// cancelled. runModal runs the dialog on this thread.
namespace detail {
inline double& ShownAtUs()
{
    static double d = 0;
    return d;
}
inline LRESULT CALLBACK WatchShow(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* p = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (nCode == HC_ACTION && p->message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(p->lParam)->flags & SWP_SHOWWINDOW) &&
        !(GetWindowLongW(p->hwnd, GWL_STYLE) & WS_CHILD) && ShownAtUs() == 0) {
        ShownAtUs() = NowUs();
        PostMessageW(p->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}
}  // namespace detail

template <class RunModal>
double DialogOpenMs(int nRuns, RunModal runModal)
{
    HHOOK hHook = SetWindowsHookExW(WH_CALLWNDPROCRET, detail::WatchShow, NULL,
                                    GetCurrentThreadId());
    std::vector<double> durations;
    for (int i = 0; i <= nRuns; ++i) {
        detail::ShownAtUs() = 0;
        const double start = NowUs();
        runModal();
        if (detail::ShownAtUs() == 0) {
            std::fprintf(stderr, "bench: the dialog never showed\n");
            std::exit(1);
        }
        if (i > 0)  // the first opening warms up
            durations.push_back((detail::ShownAtUs() - start) / 1000);
    }
    UnhookWindowsHookEx(hHook);
    return Median(durations);
}

}  // namespace bench

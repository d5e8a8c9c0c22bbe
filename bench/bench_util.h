// Timing shared by the benchmark's programs: a stopwatch, medians, a figure
// timed by turns with its baseline, and modal dialogs opened by turns.
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

// One figure timed against its baseline, both in microseconds.
struct SPair
{
    double dOurs;   // median of our durations
    double dBare;   // median of the baseline's
    double dRatio;  // median of the rounds' ratios, ours / baseline
};

// Runs ours and the baseline by turns, nRounds times each after one untimed
// run of both (caches, code loaded). Their order swaps every round, so that
// neither always follows the other. Calls to the same system service vary
// severalfold from one moment to the next under Wine, and the two are timed
// in the same moment: the median of the rounds' ratios holds still where the
// ratio of the two medians does not.
template <class Ours, class Bare>
SPair Interleaved(int nRounds, Ours ours, Bare bare)
{
    ours();
    bare();
    std::vector<double> vOurs, vBare, vRatio;
    for (int i = 0; i < nRounds; ++i) {
        double d[2];
        for (int k = 0; k < 2; ++k) {
            const bool bOurs = (i + k) % 2 == 0;
            const double start = NowUs();
            if (bOurs)
                ours();
            else
                bare();
            d[bOurs ? 0 : 1] = NowUs() - start;
        }
        vOurs.push_back(d[0]);
        vBare.push_back(d[1]);
        vRatio.push_back(d[0] / d[1]);
    }
    SPair pair = {Median(vOurs), Median(vBare), Median(vRatio)};
    return pair;
}

// One line "FIGURE OURS BARE RATIO", the durations times dScale (1e-3: ms).
inline void PrintPair(const char* pszFigure, const SPair& pair, double dScale = 1)
{
    std::printf("%s %.2f %.2f %.3f\n", pszFigure, pair.dOurs * dScale, pair.dBare * dScale,
                pair.dRatio);
}

// Opening a modal dialog, from the call that runs it to the moment its window
// is activated (WM_INITDIALOG done, the lists filled, the window about to
// show); the dialog is then cancelled. runModal runs the dialog on this
// thread. A CBT hook runs on a few events only: a hook on every message, as
// this one was, timed its own calls as well, which under Wine each go to the
// server and back, and so counted the dialog's messages more than its time.
namespace detail {
inline double& ShownAtUs()
{
    static double d = 0;
    return d;
}
inline LRESULT CALLBACK WatchShow(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE && ShownAtUs() == 0) {
        ShownAtUs() = NowUs();
        PostMessageW(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}
}  // namespace detail

template <class RunModal>
double DialogOpenUs(RunModal runModal)
{
    HHOOK hHook = SetWindowsHookExW(WH_CBT, detail::WatchShow, NULL,
                                    GetCurrentThreadId());
    detail::ShownAtUs() = 0;
    const double start = NowUs();
    runModal();
    UnhookWindowsHookEx(hHook);
    if (detail::ShownAtUs() == 0) {
        std::fprintf(stderr, "bench: the dialog never showed\n");
        std::exit(1);
    }
    return detail::ShownAtUs() - start;
}

// Our dialog and the baseline's opened by turns, as Interleaved runs calls.
template <class Ours, class Bare>
SPair DialogsByTurns(int nRounds, Ours ours, Bare bare)
{
    std::vector<double> vOurs, vBare, vRatio;
    for (int i = -1; i < nRounds; ++i) {  // the first round warms up
        double dOurs, dBare;
        if (i % 2 == 0) {
            dOurs = DialogOpenUs(ours);
            dBare = DialogOpenUs(bare);
        } else {
            dBare = DialogOpenUs(bare);
            dOurs = DialogOpenUs(ours);
        }
        if (i < 0)
            continue;
        vOurs.push_back(dOurs);
        vBare.push_back(dBare);
        vRatio.push_back(dOurs / dBare);
    }
    SPair pair = {Median(vOurs), Median(vBare), Median(vRatio)};
    return pair;
}

}  // namespace bench

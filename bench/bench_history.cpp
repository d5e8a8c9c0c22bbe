// Where Apply's change through the history goes: ROUNDS changes (default
// 201) between two 252-entry maps, so that each keeps an entry, in a history
// held at its 50, with the core's sources compiled in and their spans timed.
// Usage: bench_history [ROUNDS]
// Prints "history_PART_us MEAN" per change for each part and for the whole
// change (history_change_us); what the parts leave is the registry's.
#include "bench_util.h"

#include "lutrovane_core.h"
#include "timed_span.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int nRounds = argc > 1 ? std::atoi(argv[1]) : 201;
    unsigned char abMaps[2][1024] = {};
    for (int m = 0; m < 2; ++m) {
        CWordArray real, mapped;
        for (int k = 0; k < 252; ++k) {
            real.SetAtGrow(k, WORD(k + 1));
            mapped.SetAtGrow(k, WORD(k + 2 + m));
        }
        CUtils::MakeRegistryData(real, mapped, abMaps[m]);
    }
    const unsigned long nLength = 16 + 4 * 252;
    bool bFailed = false;
    double dTotalUs = 0;
    for (int i = -CMapHistory::MAX_ENTRIES; i < nRounds; ++i) {
        if (i == 0)
            ZeroMemory(g_anSpanTicks, sizeof(g_anSpanTicks));
        const double start = bench::NowUs();
        CMapHistory history;
        // The first may find its map in place, left by the last run.
        const unsigned long nResult = history.ChangeSystemMap(abMaps[i & 1], nLength);
        bFailed |= i < 0 ? nResult > 1 : nResult != 0;
        if (i >= 0)
            dTotalUs += bench::NowUs() - start;
    }
    if (bFailed || nRounds < 1) {
        std::fprintf(stderr, "bench_history: a change failed or kept nothing\n");
        return 1;
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    static const char* const apszParts[SPAN_COUNT] = {"listing", "security", "kept_file",
                                                       "pruning", "lock"};
    for (int s = 0; s < SPAN_COUNT; ++s)
        std::printf("history_%s_us %.1f\n", apszParts[s],
                    double(g_anSpanTicks[s]) * 1e6 / double(freq.QuadPart) / nRounds);
    std::printf("history_change_us %.1f\n", dTotalUs / nRounds);
    return 0;
}

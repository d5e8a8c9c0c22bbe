// Where the history's time goes, for the benchmark: TIMED_SPAN(SPAN_X) adds
// the time to the end of its scope to SPAN_X's total, less the spans timed
// inside it. Nothing at all unless LUTROVANE_TIMED_SPANS is defined, which
// only the benchmark's own build of the core does.
#pragma once

#ifdef LUTROVANE_TIMED_SPANS
#include <windows.h>

enum ESpan { SPAN_LISTING, SPAN_SECURITY, SPAN_KEPT_FILE, SPAN_PRUNING, SPAN_LOCK, SPAN_COUNT };

// Totals in QueryPerformanceCounter ticks; one thread only.
inline LONGLONG g_anSpanTicks[SPAN_COUNT];

class CTimedSpan
{
public:
    explicit CTimedSpan(ESpan span) : m_span(span), m_pOuter(Inner())
    {
        Inner() = this;
        m_nStart = Now();
    }
    ~CTimedSpan()
    {
        const LONGLONG nTicks = Now() - m_nStart;
        g_anSpanTicks[m_span] += nTicks;
        if (m_pOuter)
            g_anSpanTicks[m_pOuter->m_span] -= nTicks;
        Inner() = m_pOuter;
    }
    CTimedSpan(const CTimedSpan&) = delete;
    CTimedSpan& operator=(const CTimedSpan&) = delete;

private:
    static CTimedSpan*& Inner()
    {
        static CTimedSpan* p = nullptr;
        return p;
    }
    static LONGLONG Now()
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
    ESpan m_span;
    CTimedSpan* m_pOuter;
    LONGLONG m_nStart;
};

#define TIMED_SPAN_NAME2(line) timedSpan##line
#define TIMED_SPAN_NAME(line) TIMED_SPAN_NAME2(line)
#define TIMED_SPAN(span) CTimedSpan TIMED_SPAN_NAME(__LINE__)(span)
#else
#define TIMED_SPAN(span) ((void)0)
#endif

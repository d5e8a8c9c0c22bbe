#include "afx/afx.h"

#include <process.h>

namespace {

thread_local CWinThread* t_pCurrentThread = NULL;

}  // namespace

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::ThreadEntry(void* pThread)
{
    t_pCurrentThread = static_cast<CWinThread*>(pThread);
    UINT nExitCode = 0;
    try {
        nExitCode = t_pCurrentThread->m_pfnThreadProc(t_pCurrentThread->m_pThreadParams);
    } catch (...) {
        nExitCode = UINT(-1);
    }
    delete t_pCurrentThread;
    t_pCurrentThread = NULL;
    return nExitCode;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    // Started suspended so that the object is complete before the thread can
    // run, and end, and delete it. _beginthreadex, not CreateThread: the
    // thread uses the C run-time.
    const uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, CWinThread::ThreadEntry,
                                       pThread, CREATE_SUSPENDED, NULL);
    if (!h) {
        delete pThread;
        return NULL;
    }
    pThread->m_hThread = reinterpret_cast<HANDLE>(h);
    ::SetThreadPriority(pThread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ::ResumeThread(pThread->m_hThread);
    return pThread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete)
{
    if (bDelete) {
        delete t_pCurrentThread;
        t_pCurrentThread = NULL;
    }
    _endthreadex(nExitCode);
}

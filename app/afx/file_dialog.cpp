#include "afx/afx.h"

#include "system_library.h"

#include <commdlg.h>

namespace {

// Room for the longest path the system takes.
const DWORD kMaxPath = 32768;

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt, const char* pszFileName,
                         DWORD dwFlags, const char* pszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_dwFlags(dwFlags), m_pParentWnd(pParentWnd),
      m_strDefExt(Cp949ToWide(pszDefExt)), m_strFilter(Cp949ToWide(pszFilter)),
      m_szFile(kMaxPath, L'\0')
{
    for (wchar_t& ch : m_strFilter) {
        if (ch == L'|')
            ch = L'\0';
    }
    const std::wstring strFile = Cp949ToWide(pszFileName);
    if (strFile.size() < kMaxPath)
        std::copy(strFile.begin(), strFile.end(), m_szFile.begin());
}

INT_PTR CFileDialog::DoModal()
{
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
    ofn.lpstrFilter = m_strFilter.empty() ? NULL : m_strFilter.c_str();
    ofn.lpstrFile = m_szFile.data();
    ofn.nMaxFile = kMaxPath;
    ofn.lpstrDefExt = m_strDefExt.empty() ? NULL : m_strDefExt.c_str();
    ofn.Flags = m_dwFlags;
    // comdlg32 when first asked for, not at start: with winspool and compstui
    // it brings, it costs the start time and memory that only a file dialog needs.
    const auto pfnGetFileName = SystemFunction<decltype(GetOpenFileNameW)>(
        LoadSystemLibrary(L"comdlg32.dll"), m_bOpenFileDialog ? "GetOpenFileNameW" : "GetSaveFileNameW");
    return pfnGetFileName && pfnGetFileName(&ofn) ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const
{
    const wchar_t* pszPath = m_szFile.data();
    BOOL bLost = FALSE;
    const int n = ::WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, pszPath, -1, NULL, 0, NULL,
                                        &bLost);
    if (n <= 1 || bLost)
        return CString();
    return WideToCp949(pszPath);
}

// Windows' own DLLs that only some commands need, loaded when they do: user32
// sets up the window system for the whole process as it loads (under Wine
// that doubles a short command's run), and shell32 and setupapi bring user32
// in.
#pragma once

#include <windows.h>

#include <cwchar>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// From the system folder only, never a DLL of the same name planted beside
// the program or in the current folder. Windows 7 without KB2533623 refuses
// LOAD_LIBRARY_SEARCH_SYSTEM32 with ERROR_INVALID_PARAMETER: there the full
// path does the same, and LOAD_WITH_ALTERED_SEARCH_PATH looks for the DLL's
// own imports in the system folder first too. Kept loaded, as a statically
// linked DLL would be; loading it again only counts one more reference.
inline HMODULE LoadSystemLibrary(const wchar_t* pszName)
{
    const HMODULE hModule = LoadLibraryExW(pszName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (hModule || GetLastError() != ERROR_INVALID_PARAMETER)
        return hModule;
    wchar_t szPath[MAX_PATH];
    const UINT nChars = GetSystemDirectoryW(szPath, MAX_PATH);
    const size_t nName = std::wcslen(pszName) + 1;  // with its null
    if (nChars == 0 || nChars + 1 + nName > MAX_PATH)
        return nullptr;
    szPath[nChars] = L'\\';
    std::wmemcpy(szPath + nChars + 1, pszName, nName);
    return LoadLibraryExW(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A function of a DLL that LoadSystemLibrary loaded; null when not found.
template <class TFunction>
TFunction* SystemFunction(HMODULE hModule, const char* pszName)
{
    // Through void*: GCC's -Wcast-function-type warns on a cast between
    // function pointer types.
    const FARPROC pfn = hModule ? GetProcAddress(hModule, pszName) : nullptr;
    return reinterpret_cast<TFunction*>(reinterpret_cast<void*>(pfn));
}

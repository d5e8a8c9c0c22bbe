#include "console.h"

#include <windows.h>

#include <vector>

namespace {

const UINT kCodePage949 = 949;

DWORD g_dwOutError = ERROR_SUCCESS;

// FALSE when the text did not all go out.
BOOL Write(DWORD nStdHandle, const std::wstring& text)
{
    HANDLE hOut = GetStdHandle(nStdHandle);
    if (hOut == nullptr || hOut == INVALID_HANDLE_VALUE || text.empty())
        return TRUE;
    DWORD dwMode;
    DWORD nWritten = 0;
    // GetConsoleMode fails on anything but a console: a file, a pipe, NUL.
    if (GetConsoleMode(hOut, &dwMode))
        return WriteConsoleW(hOut, text.data(), static_cast<DWORD>(text.size()), &nWritten, nullptr)
               && nWritten == text.size();
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0)
        return TRUE;
    std::vector<char> utf8(nBytes);
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), nBytes,
                        nullptr, nullptr);
    // A full disk fails the write, or writes less.
    if (!WriteFile(hOut, utf8.data(), static_cast<DWORD>(utf8.size()), &nWritten, nullptr))
        return FALSE;
    if (nWritten != utf8.size())
        SetLastError(ERROR_DISK_FULL);
    return nWritten == utf8.size();
}

}  // namespace

void WriteOut(const std::wstring& text)
{
    if (!Write(STD_OUTPUT_HANDLE, text) && g_dwOutError == ERROR_SUCCESS)
        g_dwOutError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
}

unsigned long OutputError()
{
    return g_dwOutError;
}

void WriteErr(const std::wstring& text)
{
    Write(STD_ERROR_HANDLE, text);
}

std::wstring FromCp949(const char* psz)
{
    const int nChars = MultiByteToWideChar(kCodePage949, 0, psz, -1, nullptr, 0);
    if (nChars <= 1)
        return std::wstring();
    std::wstring text(nChars, L'\0');
    MultiByteToWideChar(kCodePage949, 0, psz, -1, &text[0], nChars);
    text.resize(nChars - 1);
    return text;
}

bool ToCp949(const std::wstring& text, std::string* pText)
{
    BOOL bLost = FALSE;
    const int nBytes = WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, text.c_str(), -1,
                                           nullptr, 0, nullptr, &bLost);
    if (nBytes <= 0 || bLost)
        return false;
    std::vector<char> bytes(nBytes);
    WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, bytes.data(), nBytes,
                        nullptr, &bLost);
    pText->assign(bytes.data());
    return !bLost;
}

std::wstring FromAscii(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring SystemMessage(unsigned long dwError)
{
    wchar_t* pszMessage = nullptr;
    const DWORD nChars = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, dwError, 0, reinterpret_cast<wchar_t*>(&pszMessage), 0, nullptr);
    std::wstring text = nChars ? std::wstring(pszMessage, nChars) : std::wstring();
    LocalFree(pszMessage);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '
                             || text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        text = L"error " + Decimal(dwError);
    return text;
}

std::wstring Decimal(unsigned long n, size_t nWidth, wchar_t chFill)
{
    std::wstring str;
    do {
        str.insert(str.begin(), wchar_t(L'0' + n % 10));
        n /= 10;
    } while (n);
    if (str.size() < nWidth)
        str.insert(0, nWidth - str.size(), chFill);
    return str;
}

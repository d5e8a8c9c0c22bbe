// Text out of lvmap: through WriteConsoleW on a console, so that Korean key
// names show on any Windows language; UTF-8 into files and pipes.
#pragma once

#include <string>

void WriteOut(const std::wstring& text);
void WriteErr(const std::wstring& text);
// The error of the first WriteOut that did not all go out; 0 while all did.
unsigned long OutputError();

// Key names and the core's other texts are code page 949.
std::wstring FromCp949(const char* psz);
// The text in code page 949; false when 949 cannot spell all of it. No best
// fit: a near letter would name another key, or open another file.
bool ToCp949(const std::wstring& text, std::string* pText);
// Messages of the byte-handling code are ASCII.
std::wstring FromAscii(const std::string& text);
// The system's text for a Win32 error code, without its line end.
std::wstring SystemMessage(unsigned long dwError);
// n in decimal, filled to nWidth places in front with chFill. Instead of
// std::to_wstring and swprintf, which link the run-time's wide printf (25 KB).
std::wstring Decimal(unsigned long n, size_t nWidth = 1, wchar_t chFill = L'0');

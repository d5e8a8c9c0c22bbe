// Files that are put in place only whole: map data files, registry files and
// the entries of the map's history.
#pragma once

#include <windows.h>

// Writes the bytes to a file of its own beside pszPath, flushes it to the
// disk and moves it onto pszPath, so that neither a failure nor a power loss
// leaves a cut file behind. With bReplace an existing file gives way, unless
// it is read-only; without, an existing file (or folder) stays and the call
// fails with ERROR_ALREADY_EXISTS. pOwner, when given, owns the file. FALSE
// with the reason in GetLastError.
BOOL WriteWholeFile(const wchar_t* pszPath, const unsigned char* pData, DWORD nLength,
                    BOOL bReplace, PSID pOwner = nullptr);

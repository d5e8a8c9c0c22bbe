#include "lutrovane_core.h"

#include "map_file_format.h"
#include "whole_file.h"

#include <aclapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const UINT kCodePage949 = 949;

// Paths are code page 949 text, whatever the system's own code page is.
std::vector<wchar_t> WidePath(const CString& strPath)
{
    const int nChars = MultiByteToWideChar(kCodePage949, 0, strPath, -1, nullptr, 0);
    std::vector<wchar_t> path(nChars > 0 ? nChars : 1, L'\0');
    if (nChars > 0)
        MultiByteToWideChar(kCodePage949, 0, strPath, -1, path.data(), nChars);
    return path;
}

bool WriteAll(HANDLE hFile, const void* pData, DWORD nLength)
{
    DWORD nWritten = 0;
    return WriteFile(hFile, pData, nLength, &nWritten, nullptr) && nWritten == nLength;
}

// The folder part of a path, for a file of our own beside it.
// SetSecurityInfo gives its error back instead of setting it: set, and returned.
DWORD SetLastErrorOf(DWORD dwError)
{
    SetLastError(dwError);
    return dwError;
}

std::wstring FolderOf(const wchar_t* pszPath)
{
    const std::wstring path(pszPath);
    const size_t nEnd = path.find_last_of(L"\\/:");
    return nEnd == std::wstring::npos ? std::wstring(L".") : path.substr(0, nEnd + 1);
}

}  // namespace

BOOL WriteWholeFile(const wchar_t* pszPath, const unsigned char* pData, DWORD nLength,
                    BOOL bReplace, PSID pOwner)
{
    // The file is put in place by a rename, which Wine lets through over a
    // read-only file: a file its owner protected is refused, as on Windows.
    const DWORD dwAttributes = GetFileAttributesW(pszPath);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES) {
        if (!bReplace) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    if (!*pszPath) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    // GetTempFileName creates the file it names, so the name is ours alone:
    // a fixed name beside the target could be someone else's file.
    wchar_t szTemp[MAX_PATH];
    if (!GetTempFileNameW(FolderOf(pszPath).c_str(), L"lvt", 0, szTemp))
        return FALSE;
    HANDLE hFile = CreateFileW(szTemp, GENERIC_WRITE | (pOwner ? WRITE_OWNER : 0), 0, nullptr,
                               TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Flushed before the rename: a power loss must not leave the rename done
    // and the data not, an empty file in the place of a whole one.
    BOOL bDone = hFile != INVALID_HANDLE_VALUE
                 && (!pOwner || !SetLastErrorOf(SetSecurityInfo(hFile, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                                                pOwner, nullptr, nullptr, nullptr)))
                 && WriteAll(hFile, pData, nLength)
                 && FlushFileBuffers(hFile);
    DWORD dwError = bDone ? ERROR_SUCCESS : GetLastError();
    if (hFile != INVALID_HANDLE_VALUE && !CloseHandle(hFile) && bDone) {
        bDone = FALSE;
        dwError = GetLastError();
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a file that came
    // meanwhile: nothing is ever overwritten.
    if (bDone && !MoveFileExW(szTemp, pszPath,
                              (bReplace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH)) {
        bDone = FALSE;
        dwError = GetLastError();
    }
    if (!bDone) {
        DeleteFileW(szTemp);
        SetLastError(dwError ? dwError : ERROR_WRITE_FAULT);
    }
    return bDone;
}

unsigned long CUtils::SaveLutrovaneData(CString strPath, unsigned char* pData, unsigned long nLength)
{
    if (!pData || nLength > kMapFileMapBufferSize)
        return 1;
    std::vector<unsigned char> file(kMapFileMapOffset + nLength, 0xFF);
    std::memcpy(file.data(), kMapFileSignature, kMapFileSignatureLength);
    file[kMapFileSignatureLength] = 0x1A;
    std::memcpy(file.data() + kMapFileMapOffset, pData, nLength);
    return WriteWholeFile(WidePath(strPath).data(), file.data(), DWORD(file.size()), TRUE) ? 0 : 2;
}

unsigned long CUtils::SaveRegFile(const wchar_t* pszPath, bool bRemove, const unsigned char* pData,
                                  unsigned long nLength)
{
    if (!pszPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 2;
    }
    std::vector<unsigned char> file(MakeRegFileData(bRemove, pData, nLength, nullptr, 0));
    MakeRegFileData(bRemove, pData, nLength, file.data(), DWORD(file.size()));
    return WriteWholeFile(pszPath, file.data(), DWORD(file.size()), TRUE) ? 0 : 2;
}

unsigned long CUtils::LoadLutrovaneData(CString strPath, unsigned char* pBuffer, unsigned long* pSize)
{
    if (!pSize || !pBuffer)
        return 1;

    HANDLE hFile = CreateFileW(WidePath(strPath).data(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 2;

    // As much of the file as a map can use; a read that fails ends the file
    // where it stands.
    unsigned char abFile[kMapFileMapOffset + kMapFileMapBufferSize];
    DWORD nLength = 0;
    DWORD nRead;
    while (nLength < sizeof(abFile)
           && ReadFile(hFile, abFile + nLength, sizeof(abFile) - nLength, &nRead, nullptr)
           && nRead > 0)
        nLength += nRead;
    CloseHandle(hFile);
    return ParseLutrovaneData(abFile, nLength, pBuffer, pSize);
}

#include "lutrovane_core.h"

#include <cstring>
#include <vector>

namespace {

// Header (40 bytes): the signature, no terminating zero, then 0x1A. Then a
// reserved block of 1024 bytes 0xFF, then the map bytes.
const char kSignature[] = "Lutrovane v1.0 Scancode Map Data Format";
const DWORD kSignatureLength = sizeof(kSignature) - 1;  // 39
const DWORD kHeaderSize = kSignatureLength + 1;
const DWORD kReservedSize = 1024;
const DWORD kMapBufferSize = 1024;
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

bool ReadExactly(HANDLE hFile, void* pBuffer, DWORD nLength, DWORD* pRead)
{
    *pRead = 0;
    return ReadFile(hFile, pBuffer, nLength, pRead, nullptr) != FALSE;
}

// The folder part of a path, for a temporary file beside it.
std::vector<wchar_t> FolderOf(const std::vector<wchar_t>& path)
{
    std::vector<wchar_t> folder(path);
    size_t nEnd = 0;
    for (size_t i = 0; i < folder.size() && folder[i]; ++i) {
        if (folder[i] == L'\\' || folder[i] == L'/' || folder[i] == L':')
            nEnd = i + 1;
    }
    if (nEnd == 0)
        return std::vector<wchar_t>{L'.', L'\0'};
    folder.resize(nEnd);
    folder.push_back(L'\0');
    return folder;
}

}  // namespace

unsigned long CUtils::SaveLutrovaneData(CString strPath, unsigned char* pData, unsigned long nLength)
{
    if (!pData || nLength > kMapBufferSize)
        return 1;

    // The file is written beside its target and put in its place only when it
    // is whole, so a failed save never leaves a truncated file behind.
    const std::vector<wchar_t> path = WidePath(strPath);
    // The file is put in place by a rename, which Wine lets through over a
    // read-only file: a file its owner protected is refused, as on Windows.
    const DWORD dwAttributes = GetFileAttributesW(path.data());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES
        && (dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return 2;
    const std::vector<wchar_t> folder = FolderOf(path);
    wchar_t szTemp[MAX_PATH];
    if (path[0] == L'\0' || !GetTempFileNameW(folder.data(), L"lvd", 0, szTemp))
        return 2;

    HANDLE hFile = CreateFileW(szTemp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DeleteFileW(szTemp);
        return 2;
    }
    unsigned char abHeader[kHeaderSize];
    std::memcpy(abHeader, kSignature, kSignatureLength);
    abHeader[kSignatureLength] = 0x1A;
    unsigned char abReserved[kReservedSize];
    std::memset(abReserved, 0xFF, sizeof(abReserved));

    bool bWritten = WriteAll(hFile, abHeader, sizeof(abHeader))
                    && WriteAll(hFile, abReserved, sizeof(abReserved))
                    && WriteAll(hFile, pData, nLength);
    bWritten = CloseHandle(hFile) && bWritten;
    if (!bWritten
        || !MoveFileExW(szTemp, path.data(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(szTemp);
        return 2;
    }
    return 0;
}

unsigned long CUtils::LoadLutrovaneData(CString strPath, unsigned char* pBuffer, unsigned long* pSize)
{
    if (!pSize || !pBuffer)
        return 1;

    HANDLE hFile = CreateFileW(WidePath(strPath).data(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 2;

    unsigned long nResult = 0;
    unsigned char abHeader[kHeaderSize];
    unsigned char abReserved[kReservedSize];
    DWORD nRead;
    // The byte after the signature and the reserved block are not examined.
    if (!ReadExactly(hFile, abHeader, sizeof(abHeader), &nRead) || nRead != sizeof(abHeader)
        || std::memcmp(abHeader, kSignature, kSignatureLength) != 0) {
        nResult = 2;
    } else if (!ReadExactly(hFile, abReserved, sizeof(abReserved), &nRead)
               || nRead != sizeof(abReserved)) {
        nResult = 2;
    } else if (!ReadExactly(hFile, pBuffer, kMapBufferSize, &nRead) || nRead == 0) {
        nResult = 3;
    } else {
        *pSize = nRead;
    }
    CloseHandle(hFile);
    return nResult;
}

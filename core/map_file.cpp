#include "lutrovane_core.h"

#include "map_file_format.h"

#include <cstring>
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
    if (!pData || nLength > kMapFileMapBufferSize)
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
    unsigned char abHeader[kMapFileHeaderSize];
    std::memcpy(abHeader, kMapFileSignature, kMapFileSignatureLength);
    abHeader[kMapFileSignatureLength] = 0x1A;
    unsigned char abReserved[kMapFileReservedSize];
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

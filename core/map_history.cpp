#include "lutrovane_core.h"

#include "whole_file.h"

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kLayoutKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kScancodeMapValue[] = L"Scancode Map";
const wchar_t kHistoryBelowProgramData[] = L"\\Lutrovane\\history";
const wchar_t kExtension[] = L".reg";
const size_t kStampLength = 16;  // 20240501T134507Z

typedef std::vector<unsigned char> Bytes;

// A kept file, by what its name says: "20240501T134507Z.reg", or with "_N"
// before the extension for the Nth change within that second.
struct SEntry
{
    std::wstring strName;
    std::wstring strStamp;
    unsigned long nNumber;
};

// The number the nCount digits from nFirst on spell; -1 when they are not all digits.
long Digits(const std::wstring& str, size_t nFirst, size_t nCount)
{
    long n = 0;
    for (size_t i = nFirst; i < nFirst + nCount; ++i) {
        if (i >= str.size() || str[i] < L'0' || str[i] > L'9')
            return -1;
        n = n * 10 + (str[i] - L'0');
    }
    return n;
}

// Any other file in the folder is no entry of ours: never listed, never deleted.
bool ParseEntryName(const std::wstring& strName, SEntry* pEntry)
{
    const size_t nExtensionLength = sizeof(kExtension) / sizeof(wchar_t) - 1;
    if (strName.size() < kStampLength + nExtensionLength)
        return false;
    const size_t nExtension = strName.size() - nExtensionLength;
    if (lstrcmpiW(strName.c_str() + nExtension, kExtension) != 0 || Digits(strName, 0, 8) < 0
        || strName[8] != L'T' || Digits(strName, 9, 6) < 0 || strName[15] != L'Z')
        return false;
    long nNumber = 1;
    if (nExtension != kStampLength) {
        // "_2" to "_999999", without leading zeros: one name per number.
        const size_t nDigits = nExtension - kStampLength - 1;
        if (strName[kStampLength] != L'_' || nDigits == 0 || nDigits > 6
            || strName[kStampLength + 1] == L'0')
            return false;
        nNumber = Digits(strName, kStampLength + 1, nDigits);
        if (nNumber < 2)
            return false;
    }
    pEntry->strName = strName;
    pEntry->strStamp = strName.substr(0, kStampLength);
    pEntry->nNumber = static_cast<unsigned long>(nNumber);
    return true;
}

std::wstring EntryName(const std::wstring& strStamp, unsigned long nNumber)
{
    return strStamp + (nNumber > 1 ? L"_" + std::to_wstring(nNumber) : std::wstring()) + kExtension;
}

std::wstring StampOf(const SYSTEMTIME& st)
{
    wchar_t sz[32];
    std::swprintf(sz, 32, L"%04u%02u%02uT%02u%02u%02uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return sz;
}

// The entries in the folder, newest first. 0, or the error that stopped the listing.
DWORD ListEntries(const std::wstring& strFolder, std::vector<SEntry>* pEntries)
{
    pEntries->clear();
    WIN32_FIND_DATAW find;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &find);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? 0 : dwError;
    }
    do {
        SEntry entry;
        if (!(find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && ParseEntryName(find.cFileName, &entry))
            pEntries->push_back(entry);
    } while (FindNextFileW(hFind, &find));
    FindClose(hFind);
    std::sort(pEntries->begin(), pEntries->end(), [](const SEntry& a, const SEntry& b) {
        return a.strStamp != b.strStamp ? a.strStamp > b.strStamp : a.nNumber > b.nNumber;
    });
    return 0;
}

// The file's bytes, or nothing when it does not read.
Bytes ReadFileBytes(const std::wstring& strPath)
{
    Bytes bytes;
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD nSize = GetFileSize(hFile, nullptr);
    DWORD nRead = 0;
    // No kept file comes near; a larger one is no copy of ours.
    if (nSize != INVALID_FILE_SIZE && nSize <= 1024 * 1024) {
        bytes.resize(nSize);
        if (!ReadFile(hFile, bytes.data(), nSize, &nRead, nullptr))
            nRead = 0;
        bytes.resize(nRead);
    }
    CloseHandle(hFile);
    return bytes;
}

// Makes the folder and the one above it as needed.
DWORD MakeFolder(const std::wstring& strFolder)
{
    const std::wstring strParent = strFolder.substr(0, strFolder.find_last_of(L'\\'));
    for (const std::wstring& str : {strParent, strFolder}) {
        if (!CreateDirectoryW(str.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return GetLastError();
    }
    return 0;
}

// Keeps the registry file as the newest entry, unless the newest holds the
// same bytes already. *pKept: the path written, empty when none was.
DWORD KeepEntry(const std::wstring& strFolder, const Bytes& file, std::wstring* pKept)
{
    pKept->clear();
    DWORD dwError = MakeFolder(strFolder);
    std::vector<SEntry> entries;
    if (!dwError)
        dwError = ListEntries(strFolder, &entries);
    if (dwError)
        return dwError;
    if (!entries.empty() && ReadFileBytes(strFolder + L"\\" + entries[0].strName) == file)
        return 0;

    // The new entry must come after the newest, also within one second and
    // also when the clock was put back: it is what undo takes.
    SYSTEMTIME st;
    GetSystemTime(&st);
    std::wstring strStamp = StampOf(st);
    unsigned long nNumber = 1;
    if (!entries.empty() && strStamp <= entries[0].strStamp) {
        strStamp = entries[0].strStamp;
        nNumber = entries[0].nNumber + 1;
    }
    for (;; ++nNumber) {
        const std::wstring strPath = strFolder + L"\\" + EntryName(strStamp, nNumber);
        if (WriteWholeFile(strPath.c_str(), file.data(), DWORD(file.size()), FALSE)) {
            *pKept = strPath;
            return 0;
        }
        // Another program kept a change under this name meanwhile: the next.
        dwError = GetLastError();
        if ((dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_FILE_EXISTS) || nNumber > 999999)
            return dwError;
    }
}

void DropOldest(const std::wstring& strFolder)
{
    std::vector<SEntry> entries;
    if (ListEntries(strFolder, &entries) != 0)
        return;
    for (size_t i = CMapHistory::MAX_ENTRIES; i < entries.size(); ++i)
        DeleteFileW((strFolder + L"\\" + entries[i].strName).c_str());
}

// %ProgramData%, or where Windows keeps it when the process was started
// without that variable (as a service or a deployment tool may start it).
std::wstring ProgramData()
{
    const DWORD nChars = GetEnvironmentVariableW(L"ProgramData", nullptr, 0);
    std::wstring str(nChars, L'\0');
    if (nChars > 1 && GetEnvironmentVariableW(L"ProgramData", &str[0], nChars) == nChars - 1) {
        str.resize(nChars - 1);
    } else {
        wchar_t szPath[MAX_PATH] = L"";
        SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szPath);
        str = szPath;
    }
    while (!str.empty() && (str.back() == L'\\' || str.back() == L'/'))
        str.pop_back();
    return str;
}

}  // namespace

struct CMapHistory::SData
{
    std::wstring strFolder;
    std::vector<std::wstring> paths;
    std::vector<SYSTEMTIME> times;
};

CMapHistory::CMapHistory() : m_pData(new SData)
{
    m_pData->strFolder = ProgramData() + kHistoryBelowProgramData;
}

CMapHistory::~CMapHistory()
{
    delete m_pData;
}

const wchar_t* CMapHistory::GetFolder() const
{
    return m_pData->strFolder.c_str();
}

unsigned long CMapHistory::Load()
{
    m_pData->paths.clear();
    m_pData->times.clear();
    std::vector<SEntry> entries;
    const DWORD dwError = ListEntries(m_pData->strFolder, &entries);
    for (const SEntry& entry : entries) {
        const std::wstring& s = entry.strStamp;
        SYSTEMTIME st = {};
        st.wYear = WORD(Digits(s, 0, 4));
        st.wMonth = WORD(Digits(s, 4, 2));
        st.wDay = WORD(Digits(s, 6, 2));
        st.wHour = WORD(Digits(s, 9, 2));
        st.wMinute = WORD(Digits(s, 11, 2));
        st.wSecond = WORD(Digits(s, 13, 2));
        m_pData->paths.push_back(m_pData->strFolder + L"\\" + entry.strName);
        m_pData->times.push_back(st);
    }
    return dwError;
}

int CMapHistory::GetCount() const
{
    return int(m_pData->paths.size());
}

const wchar_t* CMapHistory::GetPath(int nIndex) const
{
    return nIndex >= 0 && nIndex < GetCount() ? m_pData->paths[nIndex].c_str() : nullptr;
}

BOOL CMapHistory::GetTime(int nIndex, SYSTEMTIME* pTime) const
{
    if (nIndex < 0 || nIndex >= GetCount() || !pTime)
        return FALSE;
    *pTime = m_pData->times[nIndex];
    return TRUE;
}

unsigned long CMapHistory::ChangeSystemMap(const unsigned char* pData, unsigned long nLength)
{
    HKEY hKey;
    const LONG lOpen = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_ALL_ACCESS, &hKey);
    if (lOpen != ERROR_SUCCESS) {
        SetLastError(DWORD(lOpen));
        return 2;
    }
    // The value as it is, whatever its length and type: a map longer than any
    // buffer of ours, or one that another tool wrote, is kept all the same.
    Bytes old;
    LONG lRead;
    DWORD nSize = 0;
    while ((lRead = RegQueryValueExW(hKey, kScancodeMapValue, nullptr, nullptr,
                                     old.empty() ? nullptr : old.data(), &nSize))
               == ERROR_MORE_DATA
           || (lRead == ERROR_SUCCESS && nSize > old.size()))
        old.resize(nSize);
    if (lRead == ERROR_SUCCESS)
        old.resize(nSize);
    if (lRead != ERROR_SUCCESS && lRead != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(hKey);
        SetLastError(DWORD(lRead));
        return 4;
    }
    // An empty value is no map, to Windows as to the store functions.
    const bool bHadMap = !old.empty();
    if (!pData && !bHadMap) {
        if (lRead == ERROR_SUCCESS)
            RegDeleteValueW(hKey, kScancodeMapValue);  // an empty value: nothing to keep
        RegCloseKey(hKey);
        return 1;
    }

    Bytes file(CUtils::MakeRegFileData(!bHadMap, old.data(), DWORD(old.size()), nullptr, 0));
    CUtils::MakeRegFileData(!bHadMap, old.data(), DWORD(old.size()), file.data(), DWORD(file.size()));
    std::wstring strKept;
    const DWORD dwKeep = KeepEntry(m_pData->strFolder, file, &strKept);
    if (dwKeep != 0) {
        RegCloseKey(hKey);
        SetLastError(dwKeep);
        return 4;
    }

    // RegSetValueEx replaces a value of any type in one step.
    const LONG lChange = pData ? RegSetValueExW(hKey, kScancodeMapValue, 0, REG_BINARY, pData, nLength)
                               : RegDeleteValueW(hKey, kScancodeMapValue);
    RegCloseKey(hKey);
    if (lChange != ERROR_SUCCESS) {
        // No change, so no record of one.
        if (!strKept.empty())
            DeleteFileW(strKept.c_str());
        SetLastError(DWORD(lChange));
        return 2;
    }
    DropOldest(m_pData->strFolder);
    return 0;
}

// The map's history: the value each change replaces, kept as a registry
// file named by the change's time; listed, taken back and pruned. Who may
// write its folders is history_security.cpp's.
#include "lutrovane_core.h"

#include "history_security.h"
#include "system_library.h"
#include "timed_span.h"
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
const unsigned long kMaxNumber = 999999;  // "_999999": the longest number a name holds
// How far ahead of the clock an entry's name may lie (a clock put back a
// little); a name further ahead would stay entry 1 for years.
const ULONGLONG kOneSecond = 10000000;  // in 100 ns
const ULONGLONG kAheadOfClock = 60 * 60 * kOneSecond;

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

SYSTEMTIME TimeOf(const std::wstring& strStamp)
{
    SYSTEMTIME st = {};
    st.wYear = WORD(Digits(strStamp, 0, 4));
    st.wMonth = WORD(Digits(strStamp, 4, 2));
    st.wDay = WORD(Digits(strStamp, 6, 2));
    st.wHour = WORD(Digits(strStamp, 9, 2));
    st.wMinute = WORD(Digits(strStamp, 11, 2));
    st.wSecond = WORD(Digits(strStamp, 13, 2));
    return st;
}

// The stamp of the time nTicks (100 ns each) after st.
std::wstring StampAfter(SYSTEMTIME st, ULONGLONG nTicks)
{
    FILETIME ft;
    if (SystemTimeToFileTime(&st, &ft)) {
        ULARGE_INTEGER time = {{ft.dwLowDateTime, ft.dwHighDateTime}};
        time.QuadPart += nTicks;
        ft.dwLowDateTime = time.LowPart;
        ft.dwHighDateTime = time.HighPart;
        FileTimeToSystemTime(&ft, &st);
    }
    return StampOf(st);
}

// The entries in the folder, newest first. 0, or the error that stopped the
// listing. A file that someone other than an administrator could have written,
// or named ahead of the clock, is none: never listed, taken back or deleted.
DWORD ListEntries(const std::wstring& strFolder, std::vector<SEntry>* pEntries)
{
    TIMED_SPAN(SPAN_LISTING);
    pEntries->clear();
    SYSTEMTIME st;
    GetSystemTime(&st);
    const std::wstring strLatest = StampAfter(st, kAheadOfClock);
    const Sid administrator = ThisAdministrator();

    WIN32_FIND_DATAW find;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &find);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? 0 : dwError;
    }
    do {
        SEntry entry;
        bool bOurs = false;
        if (!(find.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            && ParseEntryName(find.cFileName, &entry) && entry.strStamp <= strLatest
            && CheckAdministratorsOnly(strFolder + L"\\" + entry.strName, false, administrator,
                                       &bOurs) == 0
            && bOurs)
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


// Keeps the registry file as the newest entry, unless the newest holds the
// same bytes already. *pKept: the path written, empty when none was.
DWORD KeepEntry(const std::wstring& strFolder, const Bytes& file, std::wstring* pKept)
{
    pKept->clear();
    DWORD dwError = SecureHistoryFolders(strFolder, true);
    std::vector<SEntry> entries;
    if (!dwError)
        dwError = ListEntries(strFolder, &entries);
    if (dwError)
        return dwError;
    TIMED_SPAN(SPAN_KEPT_FILE);
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
    for (int nTries = 0;; ++nNumber, ++nTries) {
        // Past "_999999" a name would be one that no listing reads.
        if (nNumber > kMaxNumber) {
            strStamp = StampAfter(TimeOf(strStamp), kOneSecond);
            nNumber = 1;
        }
        const std::wstring strPath = strFolder + L"\\" + EntryName(strStamp, nNumber);
        if (WriteWholeFile(strPath.c_str(), file.data(), DWORD(file.size()), FALSE)) {
            *pKept = strPath;
            return 0;
        }
        // Another program kept a change under this name meanwhile, or a file
        // that is no entry has it: the next.
        dwError = GetLastError();
        if ((dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_FILE_EXISTS) || nTries > 1000)
            return dwError;
    }
}

void DropOldest(const std::wstring& strFolder)
{
    TIMED_SPAN(SPAN_PRUNING);
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
        // On failure the path stays empty, and the history refuses it.
        wchar_t szPath[MAX_PATH] = L"";
        const auto pfnFolder =
            SystemFunction<decltype(SHGetFolderPathW)>(LoadSystemLibrary(L"shell32.dll"), "SHGetFolderPathW");
        if (pfnFolder)
            pfnFolder(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szPath);
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
    DWORD dwError = SecureHistoryFolders(m_pData->strFolder, false);
    if (!dwError)
        dwError = ListEntries(m_pData->strFolder, &entries);
    for (const SEntry& entry : entries) {
        m_pData->paths.push_back(m_pData->strFolder + L"\\" + entry.strName);
        m_pData->times.push_back(TimeOf(entry.strStamp));
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

namespace {

// The value as it is, whatever its length and type: a map longer than any
// buffer of ours, or one that another tool wrote. ERROR_FILE_NOT_FOUND for none.
LONG ReadValue(HKEY hKey, Bytes* pValue, DWORD* pType)
{
    pValue->clear();
    LONG lRead;
    DWORD nSize = 0;
    while ((lRead = RegQueryValueExW(hKey, kScancodeMapValue, nullptr, pType,
                                     pValue->empty() ? nullptr : pValue->data(), &nSize))
               == ERROR_MORE_DATA
           || (lRead == ERROR_SUCCESS && nSize > pValue->size()))
        pValue->resize(nSize);
    if (lRead == ERROR_SUCCESS)
        pValue->resize(nSize);
    return lRead;
}

// The registry file the history keeps for a value; an empty one is no map, to
// Windows as to the store functions.
Bytes RegFileOf(const Bytes& value, DWORD dwType)
{
    Bytes file(CUtils::MakeRegFileData(value.empty(), value.data(), DWORD(value.size()), nullptr, 0, dwType));
    CUtils::MakeRegFileData(value.empty(), value.data(), DWORD(value.size()), file.data(),
                            DWORD(file.size()), dwType);
    return file;
}

}  // namespace

int CMapHistory::FindUndo() const
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return -1;
    Bytes value;
    DWORD dwType = REG_NONE;
    const LONG lRead = ReadValue(hKey, &value, &dwType);
    RegCloseKey(hKey);
    if (lRead != ERROR_SUCCESS && lRead != ERROR_FILE_NOT_FOUND)
        return -1;
    const Bytes file = RegFileOf(value, dwType);
    for (int i = 0; i < GetCount(); ++i) {
        if (ReadFileBytes(m_pData->paths[i]) != file)
            return i;
    }
    return -1;
}

unsigned long CMapHistory::ChangeSystemMap(const unsigned char* pData, unsigned long nLength,
                                           unsigned long nType)
{
    HKEY hKey;
    const LONG lOpen = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_ALL_ACCESS, &hKey);
    if (lOpen != ERROR_SUCCESS) {
        SetLastError(DWORD(lOpen));
        return 2;
    }
    Bytes old;
    DWORD dwOldType = REG_NONE;
    const LONG lRead = ReadValue(hKey, &old, &dwOldType);
    if (lRead != ERROR_SUCCESS && lRead != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(hKey);
        SetLastError(DWORD(lRead));
        return 4;
    }
    const bool bHadMap = !old.empty();
    // A script that applies its map at every start: nothing to change, and
    // nothing to keep, or undo would put back the map in place.
    const bool bSame = pData && lRead == ERROR_SUCCESS && dwOldType == nType
                       && old.size() == nLength && std::equal(old.begin(), old.end(), pData);
    if (bSame || (!pData && !bHadMap)) {
        if (!pData && lRead == ERROR_SUCCESS)
            RegDeleteValueW(hKey, kScancodeMapValue);  // an empty value: nothing to keep
        RegCloseKey(hKey);
        return 1;
    }

    std::wstring strKept;
    const DWORD dwKeep = KeepEntry(m_pData->strFolder, RegFileOf(old, dwOldType), &strKept);
    if (dwKeep != 0) {
        RegCloseKey(hKey);
        SetLastError(dwKeep);
        return 4;
    }

    // RegSetValueEx replaces a value of any type in one step.
    const LONG lChange = pData ? RegSetValueExW(hKey, kScancodeMapValue, 0, nType, pData, nLength)
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

// The map's history: the value each change replaces, kept as a registry
// file named by the change's time; listed, taken back and pruned. Who may
// write its folders is history_security.cpp's.
#include "lutrovane_core.h"

#include "history_names.h"
#include "history_security.h"
#include "system_library.h"
#include "timed_span.h"
#include "whole_file.h"

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t kHistoryBelowProgramData[] = L"\\Lutrovane\\history";
const wchar_t kLockName[] = L"\\lock";
// How far ahead of the clock an entry's name may lie (a clock put back a
// little); a name further ahead would stay entry 1 for years.
const unsigned long kAheadOfClockSeconds = 60 * 60;
// No kept file comes near; a larger one is no copy of ours.
const DWORD kMaxEntryBytes = 1024 * 1024;

typedef std::vector<unsigned char> Bytes;

// The entries' names in the folder, newest first, none opened: 0, or the
// error that stopped the listing. A name ahead of the clock is none.
DWORD ListNames(const std::wstring& strFolder, std::vector<SEntryName>* pEntries)
{
    TIMED_SPAN(SPAN_LISTING);
    pEntries->clear();
    SYSTEMTIME st;
    GetSystemTime(&st);
    const std::wstring strLatest = StampAfter(st, kAheadOfClockSeconds);
    WIN32_FIND_DATAW find;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &find);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? 0 : dwError;
    }
    do {
        SEntryName entry;
        if (!(find.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            && ParseEntryName(find.cFileName, &entry) && entry.strStamp <= strLatest)
            pEntries->push_back(entry);
    } while (FindNextFileW(hFind, &find));
    FindClose(hFind);
    std::sort(pEntries->begin(), pEntries->end(), IsNewerEntry);
    return 0;
}

// Opens a named entry once, checks through that handle that only
// administrators could have written it (an earlier version's entry of this
// administrator is given to Administrators), and through the same handle
// reads it into *pBytes, or with pBytes null deletes it. False for a file
// that is no entry of ours, or that does not open or read.
bool UseEntry(const std::wstring& strPath, const Sid& administrator, Bytes* pBytes)
{
    const DWORD dwAccess = READ_CONTROL | (pBytes ? GENERIC_READ : DELETE) | (administrator.empty() ? 0 : WRITE_OWNER);
    const HANDLE hFile = CreateFileW(strPath.c_str(), dwAccess, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool bDone = GetFileInformationByHandle(hFile, &info)
                 && !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    if (bDone) {
        const EHistoryTrust trust = JudgeHandle(hFile, false, administrator);
        bDone = trust == HISTORY_OURS || (trust == HISTORY_ADOPT && GiveToAdministrators(hFile));
    }
    if (bDone && pBytes) {
        DWORD nRead = 0;
        bDone = info.nFileSizeHigh == 0 && info.nFileSizeLow <= kMaxEntryBytes;
        if (bDone) {
            pBytes->resize(info.nFileSizeLow);
            bDone = ReadFile(hFile, pBytes->data(), info.nFileSizeLow, &nRead, nullptr) && nRead == info.nFileSizeLow;
        }
    } else if (bDone) {
        FILE_DISPOSITION_INFO disposition = {TRUE};
        bDone = SetFileInformationByHandle(hFile, FileDispositionInfo, &disposition, sizeof(disposition));
    }
    CloseHandle(hFile);
    return bDone;
}

// Keeps the registry file as the newest entry, unless the newest of ours
// holds the same bytes already; entries: the folder's listing.
// *pKept: the path written, empty when none was.
DWORD KeepEntry(const std::wstring& strFolder, const std::vector<SEntryName>& entries, const Bytes& file,
                const Sid& administrator, std::wstring* pKept)
{
    TIMED_SPAN(SPAN_KEPT_FILE);
    pKept->clear();
    // Only the entry compared is opened, not all of them.
    for (const SEntryName& entry : entries) {
        Bytes newest;
        if (UseEntry(strFolder + L"\\" + entry.strName, administrator, &newest)) {
            if (newest == file)
                return 0;
            break;
        }
    }

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
    unsigned char abAdministrators[SECURITY_MAX_SID_SIZE];
    DWORD nSid = sizeof(abAdministrators);
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, abAdministrators, &nSid))
        return GetLastError();
    for (int nTries = 0;; ++nNumber, ++nTries) {
        // Past "_999999" a name would be one that no listing reads.
        if (nNumber > kMaxEntryNumber) {
            strStamp = StampAfter(TimeOf(strStamp), 1);
            nNumber = 1;
        }
        // Owned by Administrators, not by whoever runs this: a non-elevated
        // process of that account could change what it owns.
        const std::wstring strPath = strFolder + L"\\" + EntryName(strStamp, nNumber);
        if (WriteWholeFile(strPath.c_str(), file.data(), DWORD(file.size()), FALSE, abAdministrators)) {
            *pKept = strPath;
            return 0;
        }
        // Another program kept a change under this name meanwhile, or a file
        // that is no entry has it: the next.
        const DWORD dwError = GetLastError();
        if ((dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_FILE_EXISTS) || nTries > 1000)
            return dwError;
    }
}

// Deletes the entries past the newest MAX_ENTRIES: only those are opened.
// entries: the listing KeepEntry had, which lacks the one kept (bKept); the
// lock keeps any other change from adding one meanwhile.
void DropOldest(const std::wstring& strFolder, const std::vector<SEntryName>& entries, bool bKept,
                const Sid& administrator)
{
    TIMED_SPAN(SPAN_PRUNING);
    for (size_t i = CMapHistory::MAX_ENTRIES - (bKept ? 1 : 0); i < entries.size(); ++i)
        UseEntry(strFolder + L"\\" + entries[i].strName, administrator, nullptr);
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
    std::vector<Bytes> data;
    std::wstring strInTheWay, strMovedAside, strOwner;

    void Note(const CHistoryFolders& folders)
    {
        strInTheWay = folders.m_strInTheWay;
        strMovedAside = folders.m_strMovedTo;
        strOwner = folders.m_strOwner;
    }
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
    m_pData->data.clear();
    const Sid administrator = ThisAdministrator();
    CHistoryFolders folders;
    DWORD dwError = folders.Open(m_pData->strFolder, false, administrator);
    m_pData->Note(folders);
    std::vector<SEntryName> entries;
    if (!dwError && folders.IsOpen())
        dwError = ListNames(m_pData->strFolder, &entries);
    for (const SEntryName& entry : entries) {
        const std::wstring strPath = m_pData->strFolder + L"\\" + entry.strName;
        Bytes bytes;
        if (!UseEntry(strPath, administrator, &bytes))
            continue;
        m_pData->paths.push_back(strPath);
        m_pData->times.push_back(TimeOf(entry.strStamp));
        m_pData->data.push_back(bytes);
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

BOOL CMapHistory::GetData(int nIndex, const unsigned char** ppData, unsigned long* pnLength) const
{
    if (nIndex < 0 || nIndex >= GetCount() || !ppData || !pnLength)
        return FALSE;
    *ppData = m_pData->data[nIndex].data();
    *pnLength = static_cast<unsigned long>(m_pData->data[nIndex].size());
    return TRUE;
}

const wchar_t* CMapHistory::GetInTheWay() const
{
    return m_pData->strInTheWay.c_str();
}

const wchar_t* CMapHistory::GetMovedAside() const
{
    return m_pData->strMovedAside.c_str();
}

const wchar_t* CMapHistory::GetInTheWayOwner() const
{
    return m_pData->strOwner.c_str();
}

namespace {

// The value as it is, whatever its length and type: a map longer than any
// buffer of ours, or one that another tool wrote. ERROR_FILE_NOT_FOUND for none.
LONG ReadValue(HKEY hKey, Bytes* pValue, DWORD* pType)
{
    pValue->clear();
    LONG lRead;
    DWORD nSize = 0;
    while ((lRead = RegQueryValueExW(hKey, L"" LUTROVANE_MAP_VALUE, nullptr, pType,
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
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"" LUTROVANE_MAP_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return -1;
    Bytes value;
    DWORD dwType = REG_NONE;
    const LONG lRead = ReadValue(hKey, &value, &dwType);
    RegCloseKey(hKey);
    if (lRead != ERROR_SUCCESS && lRead != ERROR_FILE_NOT_FOUND)
        return -1;
    const Bytes file = RegFileOf(value, dwType);
    for (int i = 0; i < GetCount(); ++i) {
        if (m_pData->data[i] != file)
            return i;
    }
    return -1;
}

CMapHistory::EChange CMapHistory::ChangeSystemMap(const unsigned char* pData, unsigned long nLength,
                                                  unsigned long nType)
{
    // Opened first: without the right to change the map, nothing of the history is touched.
    HKEY hKey;
    const LONG lOpen = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"" LUTROVANE_MAP_KEY, 0, KEY_ALL_ACCESS, &hKey);
    if (lOpen != ERROR_SUCCESS) {
        SetLastError(DWORD(lOpen));
        return NOT_WRITTEN;
    }
    const auto fail = [&](EChange result, DWORD dwError) {
        RegCloseKey(hKey);
        SetLastError(dwError);
        return result;
    };
    const Sid administrator = ThisAdministrator();
    CHistoryFolders folders;
    DWORD dwError = folders.Open(m_pData->strFolder, true, administrator);
    m_pData->Note(folders);
    if (dwError)
        return fail(NOT_KEPT, dwError);
    // Two changes at once would both read the same old value, and the second
    // would keep nothing: the first change's map would be lost.
    CHistoryLock lock;
    const std::wstring strLock = m_pData->strFolder + kLockName;
    dwError = lock.Take(strLock, LOCK_WAIT_MS);
    if (dwError == ERROR_TIMEOUT) {
        m_pData->strInTheWay = strLock;
        return fail(BUSY, dwError);
    }
    if (dwError)
        return fail(NOT_KEPT, dwError);

    Bytes old;
    DWORD dwOldType = REG_NONE;
    const LONG lRead = ReadValue(hKey, &old, &dwOldType);
    if (lRead != ERROR_SUCCESS && lRead != ERROR_FILE_NOT_FOUND)
        return fail(NOT_KEPT, DWORD(lRead));
    const bool bHadMap = !old.empty();
    // A script that applies its map at every start: nothing to change, and
    // nothing to keep, or undo would put back the map in place.
    const bool bSame = pData && lRead == ERROR_SUCCESS && dwOldType == nType
                       && old.size() == nLength && std::equal(old.begin(), old.end(), pData);
    if (bSame || (!pData && !bHadMap)) {
        if (!pData && lRead == ERROR_SUCCESS)
            RegDeleteValueW(hKey, L"" LUTROVANE_MAP_VALUE);  // an empty value: nothing to keep
        RegCloseKey(hKey);
        return UNCHANGED;
    }

    // Listed once: pruning goes by the same listing.
    std::vector<SEntryName> entries;
    std::wstring strKept;
    dwError = ListNames(m_pData->strFolder, &entries);
    if (dwError == 0)
        dwError = KeepEntry(m_pData->strFolder, entries, RegFileOf(old, dwOldType), administrator, &strKept);
    if (dwError != 0)
        return fail(NOT_KEPT, dwError);

    // RegSetValueEx replaces a value of any type in one step.
    const LONG lChange = pData ? RegSetValueExW(hKey, L"" LUTROVANE_MAP_VALUE, 0, nType, pData, nLength)
                               : RegDeleteValueW(hKey, L"" LUTROVANE_MAP_VALUE);
    if (lChange != ERROR_SUCCESS) {
        // No change, so no record of one.
        if (!strKept.empty())
            DeleteFileW(strKept.c_str());
        return fail(NOT_WRITTEN, DWORD(lChange));
    }
    RegCloseKey(hKey);
    DropOldest(m_pData->strFolder, entries, !strKept.empty(), administrator);
    return CHANGED;
}

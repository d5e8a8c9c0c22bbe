// The security of the map history's folders, entries and lock, and the test
// that only administrators can change what is found there.
#include "history_security.h"

#include "history_names.h"
#include "timed_span.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

// C:\... or \\server\...: a path that names one place whatever the current drive.
bool IsFullPath(const std::wstring& str)
{
    const auto slash = [&](size_t i) {
        return i < str.size() && (str[i] == L'\\' || str[i] == L'/');
    };
    return (str.size() >= 3 && str[1] == L':' && slash(2)) || (slash(0) && slash(1));
}

PSECURITY_DESCRIPTOR SecurityOf(const wchar_t* pszSddl)
{
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(pszSddl, SDDL_REVISION_1, &pSecurity, nullptr))
        return nullptr;
    return pSecurity;
}

// "DOMAIN\name" of the account that owns the object, or its SID as text.
std::wstring OwnerName(const std::wstring& strPath)
{
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    std::wstring strName = L"?";
    if (GetNamedSecurityInfoW(strPath.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner,
                              nullptr, nullptr, nullptr, &pSecurity) != 0)
        return strName;
    wchar_t szName[256], szDomain[256];
    DWORD nName = 256, nDomain = 256;
    SID_NAME_USE use;
    wchar_t* pszSid = nullptr;
    if (LookupAccountSidW(nullptr, pOwner, szName, &nName, szDomain, &nDomain, &use))
        strName = std::wstring(szDomain) + (*szDomain ? L"\\" : L"") + szName;
    else if (ConvertSidToStringSidW(pOwner, &pszSid))
        strName = pszSid;
    LocalFree(pszSid);
    LocalFree(pSecurity);
    return strName;
}

}  // namespace

PSECURITY_DESCRIPTOR NewHistorySecurity()
{
    // Owner Administrators; protected DACL: Administrators and SYSTEM full
    // control, Users read and list, each inherited by files and folders.
    return SecurityOf(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)");
}

EHistoryTrust JudgeHistorySecurity(PSID pOwner, const ACL* pDacl, bool bProtected, bool bFolder,
                                   PSID pAdministrator)
{
    const auto trusted = [](PSID pSid) {
        return pSid && IsValidSid(pSid)
               && (IsWellKnownSid(pSid, WinBuiltinAdministratorsSid) || IsWellKnownSid(pSid, WinLocalSystemSid));
    };
    // A folder that takes its parent's entries would take any the parent gets.
    if (!pDacl || (bFolder && !bProtected))
        return HISTORY_NOT_OURS;
    const ACCESS_MASK kChange = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD
                                | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER
                                | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
    for (DWORD i = 0; i < pDacl->AceCount; ++i) {
        void* pAce = nullptr;
        if (!GetAce(const_cast<PACL>(pDacl), i, &pAce))
            return HISTORY_NOT_OURS;
        const ACE_HEADER* pHeader = static_cast<const ACE_HEADER*>(pAce);
        if (pHeader->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // Callback and object entries are not read here: they may allow anything.
        if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return HISTORY_NOT_OURS;
        const ACCESS_ALLOWED_ACE* pAllowed = static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
        if ((pAllowed->Mask & kChange) && !trusted(const_cast<DWORD*>(&pAllowed->SidStart)))
            return HISTORY_NOT_OURS;
    }
    if (trusted(pOwner))
        return HISTORY_OURS;
    // A non-elevated process of that account could change such an entry: it
    // is taken over only by an elevated run, and only an entry, not a folder.
    return !bFolder && pOwner && pAdministrator && IsValidSid(pOwner) && EqualSid(pOwner, pAdministrator)
               ? HISTORY_ADOPT
               : HISTORY_NOT_OURS;
}

Sid ThisAdministrator()
{
    TIMED_SPAN(SPAN_SECURITY);
    Sid administrators(SECURITY_MAX_SID_SIZE);
    DWORD nSize = DWORD(administrators.size());
    BOOL bMember = FALSE;
    HANDLE hToken;
    Sid user;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators.data(), &nSize)
        || !CheckTokenMembership(nullptr, administrators.data(), &bMember) || !bMember
        || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return user;
    DWORD nNeeded = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &nNeeded);
    std::vector<unsigned char> info(nNeeded ? nNeeded : 1);
    if (GetTokenInformation(hToken, TokenUser, info.data(), nNeeded, &nNeeded)) {
        const PSID pSid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
        const unsigned char* pBytes = static_cast<const unsigned char*>(pSid);
        user.assign(pBytes, pBytes + GetLengthSid(pSid));
    }
    CloseHandle(hToken);
    return user;
}

bool FileSecurityIsKept()
{
    return !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
}

EHistoryTrust JudgeHandle(HANDLE hFile, bool bFolder, const Sid& administrator)
{
    TIMED_SPAN(SPAN_SECURITY);
    // Where files keep no security there is nothing to judge by (Wine makes
    // up an owner and a DACL for every file), and the reading costs more than
    // the rest of a change.
    if (!FileSecurityIsKept())
        return HISTORY_OURS;
    PSID pOwner = nullptr;
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    if (GetSecurityInfo(hFile, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        &pOwner, nullptr, &pDacl, nullptr, &pSecurity)
        != 0)
        return HISTORY_NOT_OURS;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision;
    GetSecurityDescriptorControl(pSecurity, &control, &dwRevision);
    // The caller's SID is only read: PSID is not const in the Win32 headers.
    const PSID pAdministrator =
        administrator.empty() ? nullptr : const_cast<unsigned char*>(administrator.data());
    const EHistoryTrust trust =
        JudgeHistorySecurity(pOwner, pDacl, (control & SE_DACL_PROTECTED) != 0, bFolder, pAdministrator);
    LocalFree(pSecurity);
    return trust;
}

bool GiveToAdministrators(HANDLE hFile)
{
    unsigned char abSid[SECURITY_MAX_SID_SIZE];
    DWORD nSize = sizeof(abSid);
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, abSid, &nSize)
           && SetSecurityInfo(hFile, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, abSid, nullptr, nullptr,
                              nullptr)
                  == 0;
}

CHistoryFolders::~CHistoryFolders()
{
    for (HANDLE h : {m_hFolder, m_hParent}) {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
}

DWORD CHistoryFolders::Open(const std::wstring& strFolder, bool bMake, const Sid& administrator)
{
    TIMED_SPAN(SPAN_SECURITY);
    // A relative ProgramData, or none, would put the history on whatever drive
    // is current: a deployment share, where machines prune each other's.
    if (!IsFullPath(strFolder))
        return ERROR_BAD_PATHNAME;
    PSECURITY_DESCRIPTOR pSecurity = NewHistorySecurity();
    if (!pSecurity)
        return GetLastError();
    SECURITY_ATTRIBUTES sa = {sizeof(sa), pSecurity, FALSE};
    DWORD dwError = OpenOne(strFolder.substr(0, strFolder.find_last_of(L'\\')), bMake, &sa, administrator, &m_hParent);
    if (!dwError && m_hParent != INVALID_HANDLE_VALUE)
        dwError = OpenOne(strFolder, bMake, &sa, administrator, &m_hFolder);
    LocalFree(pSecurity);
    return dwError;
}

DWORD CHistoryFolders::OpenOne(const std::wstring& strPath, bool bMake, SECURITY_ATTRIBUTES* pSa,
                               const Sid& administrator, HANDLE* phFolder)
{
    // A user may put another object in the place of one moved aside, again and again.
    for (int nTries = 0; nTries < 3; ++nTries) {
        if (bMake)
            CreateDirectoryW(strPath.c_str(), pSa);  // an object there already is judged below
        // Listing access makes the no-delete sharing count: the folder can
        // be neither moved nor deleted while it is open.
        const HANDLE hFolder = CreateFileW(strPath.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (hFolder == INVALID_HANDLE_VALUE) {
            const DWORD dwError = GetLastError();
            if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) {
                if (!bMake)
                    return 0;  // no history yet
                continue;
            }
            // A folder that shuts administrators out, or that its creator holds open alone.
        } else {
            BY_HANDLE_FILE_INFORMATION info;
            // A link would lead to a folder whose security is not this one's.
            if (GetFileInformationByHandle(hFolder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                && JudgeHandle(hFolder, true, administrator) == HISTORY_OURS) {
                *phFolder = hFolder;
                return 0;
            }
            CloseHandle(hFolder);
        }
        // Not repaired in place: its creator's open handles would outlive a repair.
        const DWORD dwError = MoveAside(strPath);
        if (dwError || !bMake)
            return dwError;
    }
    return ERROR_DIRECTORY;
}

DWORD CHistoryFolders::MoveAside(const std::wstring& strPath)
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    const std::wstring strStamp = StampOf(st);
    DWORD dwError = 0;
    for (unsigned long nNumber = 1; nNumber <= 100; ++nNumber) {
        const std::wstring strTo = RefusedName(strPath, strStamp, nNumber);
        if (MoveFileExW(strPath.c_str(), strTo.c_str(), 0)) {
            m_strInTheWay = strPath;
            m_strMovedTo = strTo;
            return 0;
        }
        dwError = GetLastError();
        if (dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_FILE_EXISTS)
            break;
    }
    m_strInTheWay = strPath;
    m_strMovedTo.clear();
    m_strOwner = OwnerName(strPath);
    return dwError;
}

CHistoryLock::~CHistoryLock()
{
    if (m_hLock != INVALID_HANDLE_VALUE)
        CloseHandle(m_hLock);
}

DWORD CHistoryLock::Take(const std::wstring& strPath, DWORD nWaitMs)
{
    TIMED_SPAN(SPAN_LOCK);
    // Not even read by others: a user who could open it could hold it.
    PSECURITY_DESCRIPTOR pSecurity = SecurityOf(L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)");
    if (!pSecurity)
        return GetLastError();
    SECURITY_ATTRIBUTES sa = {sizeof(sa), pSecurity, FALSE};
    const DWORD nStart = GetTickCount();
    DWORD dwError;
    for (;;) {
        m_hLock = CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, &sa, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        dwError = m_hLock != INVALID_HANDLE_VALUE ? 0 : GetLastError();
        // Held, or let go and not yet deleted.
        if ((dwError != ERROR_SHARING_VIOLATION && dwError != ERROR_ACCESS_DENIED))
            break;
        if (GetTickCount() - nStart >= nWaitMs) {
            dwError = ERROR_TIMEOUT;
            break;
        }
        Sleep(50);
    }
    LocalFree(pSecurity);
    return dwError;
}

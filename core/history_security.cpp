// The security of the map history's folders, and the test that only
// administrators can change a folder or a file kept there.
#include "history_security.h"

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

}  // namespace

PSECURITY_DESCRIPTOR NewHistorySecurity()
{
    // Owner Administrators; protected DACL: Administrators and SYSTEM full
    // control, Users read and list, each inherited by files and folders.
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)", SDDL_REVISION_1,
            &pSecurity, nullptr))
        return nullptr;
    return pSecurity;
}

bool IsAdministratorsOnly(PSID pOwner, const ACL* pDacl, bool bProtected, bool bFolder,
                          PSID pAdministrator)
{
    const auto trusted = [&](PSID pSid) {
        return pSid && IsValidSid(pSid)
               && (IsWellKnownSid(pSid, WinBuiltinAdministratorsSid)
                   || IsWellKnownSid(pSid, WinLocalSystemSid)
                   || (pAdministrator && EqualSid(pSid, pAdministrator)));
    };
    // A folder that takes its parent's entries would take any the parent gets.
    if (!trusted(pOwner) || !pDacl || (bFolder && !bProtected))
        return false;
    const ACCESS_MASK kChange = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD
                                | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER
                                | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
    for (DWORD i = 0; i < pDacl->AceCount; ++i) {
        void* pAce = nullptr;
        if (!GetAce(const_cast<PACL>(pDacl), i, &pAce))
            return false;
        const ACE_HEADER* pHeader = static_cast<const ACE_HEADER*>(pAce);
        if (pHeader->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // Callback and object entries are not read here: they may allow anything.
        if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        const ACCESS_ALLOWED_ACE* pAllowed = static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
        if ((pAllowed->Mask & kChange)
            && !trusted(const_cast<DWORD*>(&pAllowed->SidStart)))
            return false;
    }
    return true;
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

DWORD CheckAdministratorsOnly(const std::wstring& strPath, bool bFolder, const Sid& administrator,
                              bool* pbOurs)
{
    TIMED_SPAN(SPAN_SECURITY);
    PSID pOwner = nullptr;
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    const DWORD dwError = GetNamedSecurityInfoW(
        strPath.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &pOwner, nullptr, &pDacl, nullptr, &pSecurity);
    if (dwError)
        return dwError;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision;
    GetSecurityDescriptorControl(pSecurity, &control, &dwRevision);
    // The caller's SID is only read: PSID is not const in the Win32 headers.
    const PSID pAdministrator =
        administrator.empty() ? nullptr : const_cast<unsigned char*>(administrator.data());
    *pbOurs = IsAdministratorsOnly(pOwner, pDacl, (control & SE_DACL_PROTECTED) != 0, bFolder,
                                   pAdministrator);
    LocalFree(pSecurity);
    return 0;
}

DWORD SecureHistoryFolders(const std::wstring& strFolder, bool bMake)
{
    TIMED_SPAN(SPAN_SECURITY);
    // A relative ProgramData, or none, would put the history on whatever drive
    // is current: a deployment share, where machines prune each other's.
    if (!IsFullPath(strFolder))
        return ERROR_BAD_PATHNAME;
    PSECURITY_DESCRIPTOR pSecurity = NewHistorySecurity();
    if (!pSecurity)
        return GetLastError();
    PSID pOwner = nullptr;
    PACL pDacl = nullptr;
    BOOL bDefaulted, bPresent;
    GetSecurityDescriptorOwner(pSecurity, &pOwner, &bDefaulted);
    GetSecurityDescriptorDacl(pSecurity, &bPresent, &pDacl, &bDefaulted);
    const Sid administrator = ThisAdministrator();
    SECURITY_ATTRIBUTES sa = {sizeof(sa), pSecurity, FALSE};
    DWORD dwError = 0;
    const std::wstring strParent = strFolder.substr(0, strFolder.find_last_of(L'\\'));
    for (const std::wstring& str : {strParent, strFolder}) {
        if (bMake && CreateDirectoryW(str.c_str(), &sa))
            continue;
        dwError = bMake ? GetLastError() : ERROR_ALREADY_EXISTS;
        const DWORD dwAttributes = GetFileAttributesW(str.c_str());
        if (!bMake && dwAttributes == INVALID_FILE_ATTRIBUTES) {
            dwError = GetLastError();
            if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND)
                dwError = 0;  // no history yet
            break;
        }
        if (dwError != ERROR_ALREADY_EXISTS)
            break;
        // A link would lead to a folder whose security is not this one's.
        if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)
            || (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            dwError = ERROR_DIRECTORY;
            break;
        }
        bool bOurs = false;
        dwError = CheckAdministratorsOnly(str, true, administrator, &bOurs);
        if (!dwError && !bOurs)
            dwError = SetNamedSecurityInfoW(const_cast<wchar_t*>(str.c_str()), SE_FILE_OBJECT,
                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION
                                                | PROTECTED_DACL_SECURITY_INFORMATION,
                                            pOwner, nullptr, pDacl, nullptr);
        if (dwError)
            break;
    }
    LocalFree(pSecurity);
    return dwError;
}

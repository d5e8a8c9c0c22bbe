// Who may write the map's history: the security its folders are given, and
// the test of a folder or a kept file found there.
#pragma once

#include "lutrovane_core.h"

#include <string>
#include <vector>

// Owned by Administrators, with a DACL protected from inheritance that gives
// Administrators and SYSTEM full control and Users read, passed down to all
// that the folder holds. LocalFree it; NULL with the reason in GetLastError.
LUTROVANE_CORE_API PSECURITY_DESCRIPTOR NewHistorySecurity();

// Whether only administrators and the system can change what has this owner
// and DACL: the owner is Administrators, SYSTEM or pAdministrator (the account
// of an administrator running this program; may be NULL), no ACE allows anyone
// else to write, delete or change security, and for a folder (bFolder) the
// DACL takes nothing from the folder above (bProtected). No DACL allows all.
LUTROVANE_CORE_API bool IsAdministratorsOnly(PSID pOwner, const ACL* pDacl, bool bProtected,
                                             bool bFolder, PSID pAdministrator);

// Not exported: the history's own use, inside the core.

typedef std::vector<unsigned char> Sid;  // a SID's bytes; empty for none

// The account of the administrator running this program, or nothing when it
// does not run as one: an entry it owns was written by an administrator.
Sid ThisAdministrator();

// IsAdministratorsOnly for a file or folder on disk, administrator as
// ThisAdministrator gives it: 0 and the answer in *pbOurs, or the error that
// stopped the reading of its security.
DWORD CheckAdministratorsOnly(const std::wstring& strPath, bool bFolder, const Sid& administrator,
                              bool* pbOurs);

// The history folder and the one above it, given to administrators alone:
// made with that security (with bMake), or given it where someone else owns
// or can change them. 0 also for a folder not made yet (without bMake);
// ERROR_BAD_PATHNAME for a folder that is not a full path.
DWORD SecureHistoryFolders(const std::wstring& strFolder, bool bMake);

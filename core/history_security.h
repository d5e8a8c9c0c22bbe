// Who may write the map's history: the security its folders are given, and
// the test of a folder or a kept file found there.
#pragma once

#include "lutrovane_core.h"

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

// Who may write the map's history: the security its folders, entries and
// lock are given, the test of what is found there, and the folders made and
// held open for the time of a listing or a change.
#pragma once

#include "lutrovane_core.h"

#include <string>
#include <vector>

// Owned by Administrators, with a DACL protected from inheritance that gives
// Administrators and SYSTEM full control and Users read, passed down to all
// that the folder holds. LocalFree it; NULL with the reason in GetLastError.
LUTROVANE_CORE_API PSECURITY_DESCRIPTOR NewHistorySecurity();

enum EHistoryTrust
{
    HISTORY_NOT_OURS,  // someone other than an administrator could have written it
    HISTORY_OURS,
    HISTORY_ADOPT,     // ours but for its owner, the administrator running this program
};

// What the history makes of an object with this owner and DACL: its owner is
// Administrators or SYSTEM, no ACE allows anyone else to write, delete or
// change security, and a folder (bFolder) takes nothing from the folder above
// (bProtected). No DACL allows all. An entry an earlier version wrote is
// owned by the administrator who ran it: owned by pAdministrator (may be
// NULL) and otherwise ours, it is to be given to Administrators.
LUTROVANE_CORE_API EHistoryTrust JudgeHistorySecurity(PSID pOwner, const ACL* pDacl, bool bProtected,
                                                      bool bFolder, PSID pAdministrator);

// Not exported: the history's own use, inside the core.

typedef std::vector<unsigned char> Sid;  // a SID's bytes; empty for none

// The account of the administrator running this program, or nothing when it
// does not run as one (then no entry is adopted).
Sid ThisAdministrator();

// Wine makes up every file's security (owned by the user, others may read)
// and keeps none that is set: there no check can tell ours from another's.
bool FileSecurityIsKept();

// JudgeHistorySecurity for the object open at hFile (with READ_CONTROL); an
// object whose security does not read is not ours.
EHistoryTrust JudgeHandle(HANDLE hFile, bool bFolder, const Sid& administrator);

// Gives the object open at hFile (with WRITE_OWNER) to Administrators.
bool GiveToAdministrators(HANDLE hFile);

// The history folder and the one above it, open (no one may move or delete
// them while they are) from Open to the end. An object in their place that is
// not ours (a file, a link, a folder others can write or do not let us open)
// is moved aside and, with bMake, a fresh folder made.
class CHistoryFolders
{
public:
    CHistoryFolders() {}
    ~CHistoryFolders();
    CHistoryFolders(const CHistoryFolders&) = delete;
    CHistoryFolders& operator=(const CHistoryFolders&) = delete;

    // 0, also for a folder not made yet (without bMake: no history yet), or
    // the error; ERROR_BAD_PATHNAME for a folder that is not a full path.
    // administrator: ThisAdministrator(), read once by the caller.
    DWORD Open(const std::wstring& strFolder, bool bMake, const Sid& administrator);
    bool IsOpen() const { return m_hFolder != INVALID_HANDLE_VALUE; }

    // An object moved aside: where it was and where it went. Where the move
    // was refused, m_strInTheWay names it, m_strMovedTo is empty and
    // m_strOwner names the account that owns it.
    std::wstring m_strInTheWay;
    std::wstring m_strMovedTo;
    std::wstring m_strOwner;

private:
    DWORD OpenOne(const std::wstring& strPath, bool bMake, SECURITY_ATTRIBUTES* pSa, const Sid& administrator,
                  HANDLE* phFolder);
    DWORD MoveAside(const std::wstring& strPath);

    HANDLE m_hParent = INVALID_HANDLE_VALUE;
    HANDLE m_hFolder = INVALID_HANDLE_VALUE;
};

// Taken from before the map is read to after it is written, by every program
// that changes it: a file inside the history folder that only administrators
// can open, held with no sharing and gone when let go. A named mutex would not
// do: any user can make one first.
class CHistoryLock
{
public:
    CHistoryLock() {}
    ~CHistoryLock();
    CHistoryLock(const CHistoryLock&) = delete;
    CHistoryLock& operator=(const CHistoryLock&) = delete;

    // Waits up to nWaitMs while another holds it: 0, ERROR_TIMEOUT when the
    // wait ended, or the error that stopped it.
    DWORD Take(const std::wstring& strPath, DWORD nWaitMs);

private:
    HANDLE m_hLock = INVALID_HANDLE_VALUE;
};

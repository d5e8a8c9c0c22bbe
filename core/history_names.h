// The names of the map history's entries and their time stamps: pure text
// work, no file or registry.
#pragma once

#include <windows.h>

#include <string>

// A kept file, by what its name says: "20240501T134507Z.reg", or with "_N"
// before the extension for the Nth change within that second.
struct SEntryName
{
    std::wstring strName;
    std::wstring strStamp;  // 20240501T134507Z
    unsigned long nNumber;  // 1 for a name without "_N"
};

// "_999999": the highest number a name holds.
const unsigned long kMaxEntryNumber = 999999;

// Any other name is no entry of ours: never listed, never deleted.
bool ParseEntryName(const std::wstring& strName, SEntryName* pEntry);
std::wstring EntryName(const std::wstring& strStamp, unsigned long nNumber);

// The stamp of a time in UTC, and back; TimeOf wants a stamp ParseEntryName took.
std::wstring StampOf(const SYSTEMTIME& st);
SYSTEMTIME TimeOf(const std::wstring& strStamp);
// The stamp of the time nSeconds after st.
std::wstring StampAfter(SYSTEMTIME st, unsigned long nSeconds);

// Entries sort newest first: by stamp, then by number.
bool IsNewerEntry(const SEntryName& a, const SEntryName& b);

// Where an object that stood in the history's place is moved aside to:
// "Lutrovane" -> "Lutrovane.refused-20240501T134507Z", with "_N" behind it
// for the Nth within that second.
std::wstring RefusedName(const std::wstring& strName, const std::wstring& strStamp, unsigned long nNumber);

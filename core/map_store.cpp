#include "lutrovane_core.h"

#include "system_library.h"

#include <setupapi.h>

#include <cstring>

namespace {

const DWORD kMapBufferSize = 1024;

}  // namespace

int CUtils::HaveCurrentScancode()
{
    unsigned char abBuffer[kMapBufferSize];
    std::memset(abBuffer, 0, sizeof(abBuffer));

    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    // A value longer than the buffer fails with ERROR_MORE_DATA: it counts as
    // absent. Its type is not looked at.
    DWORD nSize = sizeof(abBuffer);
    const LONG lResult = RegQueryValueExA(hKey, LUTROVANE_MAP_VALUE, nullptr, nullptr, abBuffer, &nSize);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS && nSize > 0 ? 1 : 0;
}

unsigned long CUtils::GetScancodeMapRegistry(unsigned char* pBuffer, unsigned long* pSize)
{
    if (!pBuffer || !pSize)
        return 1;
    const DWORD nCapacity = *pSize;
    std::memset(pBuffer, 0, nCapacity);

    // The registry's error goes on in GetLastError, as the change's does.
    HKEY hKey;
    const LONG lOpen = RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_READ, &hKey);
    if (lOpen != ERROR_SUCCESS) {
        SetLastError(DWORD(lOpen));
        return 2;
    }
    DWORD nSize = nCapacity;
    const LONG lRead = RegQueryValueExA(hKey, LUTROVANE_MAP_VALUE, nullptr, nullptr, pBuffer, &nSize);
    if (lRead == ERROR_SUCCESS) {
        *pSize = nSize;
    } else {
        // A failed query may have left part of the value behind.
        std::memset(pBuffer, 0, nCapacity);
        *pSize = 0;
    }
    RegCloseKey(hKey);
    SetLastError(DWORD(lRead));
    return *pSize > 0 ? 0 : 1;
}

unsigned long CUtils::SetScancodeMapRegistry(unsigned char* pData, unsigned long nLength)
{
    if (!pData)
        return 1;
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return 2;
    // RegSetValueEx replaces a value of any type in one step, so the old map is
    // never deleted ahead of a write that may fail.
    const LONG lResult = RegSetValueExA(hKey, LUTROVANE_MAP_VALUE, 0, REG_BINARY, pData, nLength);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? 0 : 2;
}

unsigned long CUtils::DelScancodeMapRegistry()
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, LUTROVANE_MAP_KEY, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return 2;
    RegDeleteValueA(hKey, LUTROVANE_MAP_VALUE);  // no value there is fine too
    RegCloseKey(hKey);
    return 0;
}

int CUtils::RebootSystem(HWND hwndOwner, int nScanOnly)
{
    // Found at each offer, not kept: a test stands in for it through this
    // library's GetProcAddress. A function-local static would link in
    // libstdc++'s guard and its unwinder, 68 KB.
    const auto pfnPrompt =
        SystemFunction<decltype(SetupPromptReboot)>(LoadSystemLibrary(L"setupapi.dll"), "SetupPromptReboot");
    // -1 is SetupPromptReboot's own failure; GetLastError says why.
    return pfnPrompt ? pfnPrompt(nullptr, hwndOwner, nScanOnly) : -1;
}

// The key table's reading of the system's map lives here, beside the registry
// it reads; the decoding itself is GetScancodeMap's, over bytes in memory.
unsigned long CLutrovaneBase::GetCurrentScancodeMap(CStringArray& names, CWordArray& codes,
                                                    int nSelector)
{
    unsigned char abBuffer[kMapBufferSize];
    std::memset(abBuffer, 0, sizeof(abBuffer));
    unsigned long nSize = sizeof(abBuffer);
    const unsigned long nResult = CUtils::GetScancodeMapRegistry(abBuffer, &nSize);
    if (nResult != 0)
        return nResult;
    // The bytes read are not used: the map's own count byte governs.
    return GetScancodeMap(abBuffer, names, codes, nSelector);
}

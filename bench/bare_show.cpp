// The least a program can do for `lvmap show`: reads the system's map and
// prints its bytes in hex, one line. Built as lvmap is, imports kernel32,
// advapi32 and the C run-time alone. Exit code 0, or 1 when there is no map.
#include <windows.h>

#include <cstdio>

int main()
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", 0,
                      KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 1;
    BYTE abMap[1024];
    DWORD nSize = sizeof(abMap);
    const LONG nResult = RegQueryValueExW(hKey, L"Scancode Map", NULL, NULL, abMap, &nSize);
    RegCloseKey(hKey);
    if (nResult != ERROR_SUCCESS)
        return 1;
    for (DWORD i = 0; i < nSize; ++i)
        std::printf("%02X", abMap[i]);
    std::printf("\n");
    return 0;
}

// The least a program can do for `lvmap show`: reads the system's map and
// prints its bytes in hex, one line. Built as lvmap is, imports kernel32,
// advapi32 and the C run-time alone. Exit code 0, or 1 when there is no map
// or the line does not write.
#include <windows.h>

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
    // One write: to a console or NUL the C run-time writes unbuffered, a
    // call of the system for each character.
    const char kHex[] = "0123456789ABCDEF";
    char achLine[2 * sizeof(abMap) + 2];
    for (DWORD i = 0; i < nSize; ++i) {
        achLine[2 * i] = kHex[abMap[i] >> 4];
        achLine[2 * i + 1] = kHex[abMap[i] & 0xF];
    }
    achLine[2 * nSize] = '\r';
    achLine[2 * nSize + 1] = '\n';
    DWORD nWritten = 0;
    return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), achLine, 2 * nSize + 2, &nWritten, NULL) ? 0 : 1;
}

// Stands in for the web browser: leaves the argument it was started with in
// "argument.txt" beside itself, so that a test sees what the program started.
#include <windows.h>

#include <string.h>

int main(int argc, char** argv)
{
    char szDone[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, szDone, MAX_PATH);
    while (n > 0 && szDone[n - 1] != '\\')
        --n;
    szDone[n] = '\0';
    char szPart[MAX_PATH];
    lstrcpyA(szPart, szDone);
    lstrcatA(szPart, "argument.part");
    lstrcatA(szDone, "argument.txt");

    HANDLE file = CreateFileA(szPart, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD nWritten = 0;
    if (argc > 1)
        WriteFile(file, argv[1], DWORD(strlen(argv[1])), &nWritten, NULL);
    CloseHandle(file);
    // Renamed once complete: the test never reads half an argument.
    return MoveFileExA(szPart, szDone, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

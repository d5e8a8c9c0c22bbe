// Baseline of Apply and Load system map: the same 252-entry map written and
// read back with nothing but the registry calls. Usage: bare_registry DIR
// (DIR/map.bin from bench_lutrovane).
#include "bench_util.h"

#include <cstdio>
#include <string>

namespace {

const char kKey[] = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
constexpr int kRuns = 201;

bool Write(const BYTE* pMap, DWORD nLength)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    const LONG nResult = RegSetValueExA(hKey, "Scancode Map", 0, REG_BINARY, pMap, nLength);
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS;
}

bool Read(BYTE* pMap, DWORD nCapacity)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD nType = 0, nSize = nCapacity;
    const LONG nResult = RegQueryValueExA(hKey, "Scancode Map", NULL, &nType, pMap, &nSize);
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS && nSize == nCapacity;
}

}  // namespace

int main(int argc, char** argv)
{
    BYTE abMap[1024], abRead[1024];
    FILE* f = argc == 2 ? std::fopen((std::string(argv[1]) + "\\map.bin").c_str(), "rb") : NULL;
    if (!f || std::fread(abMap, 1, sizeof(abMap), f) != sizeof(abMap)) {
        std::fprintf(stderr, "usage: bare_registry DIR, with DIR\\map.bin of 1024 bytes\n");
        return 2;
    }
    std::fclose(f);
    bool bFailed = false;
    const double dWrite = bench::MedianUs(kRuns, [&] { bFailed |= !Write(abMap, sizeof(abMap)); });
    const double dRead = bench::MedianUs(kRuns, [&] { bFailed |= !Read(abRead, sizeof(abRead)); });
    if (bFailed) {
        std::fprintf(stderr, "bare_registry: the registry failed\n");
        return 1;
    }
    std::printf("apply_us %.1f\n", dWrite);
    std::printf("load_system_map_us %.1f\n", dRead);
    return 0;
}

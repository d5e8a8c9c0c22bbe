#include "map_files.h"

#include "commands.h"
#include "console.h"
#include "lutrovane_core.h"
#include "system_library.h"

#include <vector>

namespace {

// A map data file's signature, 0x1A and reserved block come before its map.
const DWORD kLvdMapOffset = 40 + 1024;

void Fail(const std::wstring& path, const std::wstring& what)
{
    WriteErr(L"lvmap: " + path + L": " + what + L"\r\n");
}

// The core opens map data files by code page 949 paths; a name that 949
// cannot spell would open some other file, so it is refused, with a word.
bool PathIn949(const std::wstring& path, CString* pPath)
{
    std::string bytes;
    if (!ToCp949(path, &bytes)) {
        Fail(path, L"map data files are opened by code page 949 names, and this name has "
                   L"characters outside it");
        return false;
    }
    *pPath = CString(bytes.c_str());
    return true;
}

int ReadLvd(const std::wstring& path, SRegFileContent* pContent)
{
    CString strPath;
    if (!PathIn949(path, &strPath))
        return kExitFailure;
    unsigned char abMap[kMaxMapBytes] = {};
    unsigned long nSize = 0;
    const unsigned long nResult = CUtils::LoadLutrovaneData(strPath, abMap, &nSize);
    if (nResult == 2) {
        // The core says the same for a file that does not open and for one
        // that is no map data file: opening it as the core does tells which.
        HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) {
            Fail(path, SystemMessage(GetLastError()));
            return kExitFailure;
        }
        CloseHandle(hFile);
        Fail(path, L"not a Lutrovane map data file: its signature is wrong or it is cut short");
        return kExitInvalid;
    }
    if (nResult != 0) {
        Fail(path, L"the file ends before its map");
        return kExitInvalid;
    }
    // The core reads the first 1024 map bytes only; more are no map either.
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &fad)
        && (fad.nFileSizeHigh != 0 || fad.nFileSizeLow > kLvdMapOffset + kMaxMapBytes)) {
        Fail(path, L"the map is more than " + Decimal(kMaxMapBytes) + L" bytes");
        return kExitInvalid;
    }
    const std::string strError = CheckMapBytes(abMap, nSize);
    if (!strError.empty()) {
        Fail(path, FromAscii(strError));
        return kExitInvalid;
    }
    pContent->bDelete = false;
    pContent->map.assign(abMap, abMap + nSize);
    return kExitDone;
}

}  // namespace

namespace {

// The whole file, up to the registry files' limit; the exit code, and on
// failure the reason in *pError.
int ReadFileBytes(const std::wstring& path, std::vector<unsigned char>* pBytes, std::wstring* pError)
{
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        *pError = SystemMessage(GetLastError());
        return kExitFailure;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size)) {
        *pError = SystemMessage(GetLastError());
        CloseHandle(hFile);
        return kExitFailure;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxRegFileBytes) {
        CloseHandle(hFile);
        *pError = L"a file of more than " + Decimal(kMaxRegFileBytes) + L" bytes is not read";
        return kExitInvalid;
    }
    std::vector<unsigned char>& bytes = *pBytes;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD nRead = 0;
    const BOOL bRead = bytes.empty()
                       || ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nRead, nullptr);
    const DWORD dwError = GetLastError();
    CloseHandle(hFile);
    if (!bRead) {
        *pError = SystemMessage(dwError);
        return kExitFailure;
    }
    bytes.resize(nRead);
    return kExitDone;
}

// The functions of user32 that turn a virtual key into its scan code, loaded
// only for a settings file: every other command goes without user32.
struct SLayout
{
    decltype(&::MapVirtualKeyExW) MapVirtualKeyExW;
    HKL hLayout;  // this thread's keyboard layout
};

// The scan code of a virtual key under the layout in use.
unsigned short ScancodeOfVk(unsigned int nVirtualKey, void* pContext)
{
    const SLayout* pLayout = static_cast<const SLayout*>(pContext);
    const UINT kVkToVscEx = 4;  // MAPVK_VK_TO_VSC_EX
    return pLayout->MapVirtualKeyExW
               ? static_cast<unsigned short>(pLayout->MapVirtualKeyExW(nVirtualKey, kVkToVscEx, pLayout->hLayout))
               : 0;
}

int ImportFile(const std::wstring& path, SRegFileContent* pContent)
{
    std::vector<unsigned char> bytes;
    std::wstring error;
    const int nExit = ReadFileBytes(path, &bytes, &error);
    if (nExit != kExitDone) {
        Fail(path, error);
        return nExit;
    }
    SLayout layout = {};
    const EMapImportFormat nFormat = ImportFormatOf(path.c_str());
    if (nFormat == IMPORT_KEY_MANAGER) {
        const HMODULE hUser32 = LoadSystemLibrary(L"user32.dll");
        layout.MapVirtualKeyExW = SystemFunction<UINT WINAPI(UINT, UINT, HKL)>(hUser32, "MapVirtualKeyExW");
        const auto pfnGetKeyboardLayout = SystemFunction<HKL WINAPI(DWORD)>(hUser32, "GetKeyboardLayout");
        layout.hLayout = pfnGetKeyboardLayout ? pfnGetKeyboardLayout(0) : nullptr;
    }
    std::vector<std::string> leftOut;
    const std::string strError = ImportMap(nFormat, bytes.data(), bytes.size(), ScancodeOfVk, &layout,
                                           pContent, &leftOut);
    for (const std::string& strLine : leftOut)
        Fail(path, L"left out: " + FromCp949(strLine.c_str()));
    if (!strError.empty()) {
        Fail(path, FromCp949(strError.c_str()));
        return kExitInvalid;
    }
    return kExitDone;
}

}  // namespace

int ReadRegFile(const std::wstring& path, SRegFileContent* pContent, std::wstring* pError,
                bool bKeptValue)
{
    std::vector<unsigned char> bytes;
    const int nExit = ReadFileBytes(path, &bytes, pError);
    if (nExit != kExitDone)
        return nExit;
    const std::string strError = ParseRegFile(bytes.data(), bytes.size(), pContent, bKeptValue);
    if (!strError.empty()) {
        *pError = FromAscii(strError);
        return kExitInvalid;
    }
    return kExitDone;
}

namespace {

int ReadReg(const std::wstring& path, SRegFileContent* pContent)
{
    std::wstring error;
    const int nExit = ReadRegFile(path, pContent, &error);
    if (nExit != kExitDone)
        Fail(path, error);
    return nExit;
}

int WriteLvd(const std::wstring& path, const SRegFileContent& content)
{
    if (content.bDelete) {
        Fail(path, L"a map data file holds a map, and what is to be written removes the map");
        return kExitInvalid;
    }
    CString strPath;
    if (!PathIn949(path, &strPath))
        return kExitFailure;
    std::vector<unsigned char> map(content.map);
    SetLastError(ERROR_SUCCESS);
    if (CUtils::SaveLutrovaneData(strPath, map.data(), static_cast<unsigned long>(map.size())) != 0) {
        const DWORD dwError = GetLastError();
        Fail(path, dwError ? SystemMessage(dwError) : std::wstring(L"the file could not be written"));
        return kExitFailure;
    }
    return kExitDone;
}

int WriteReg(const std::wstring& path, const SRegFileContent& content)
{
    // The core writes beside the target and moves the file over it whole, and
    // refuses a read-only target, which a move under Wine would replace.
    if (CUtils::SaveRegFile(path.c_str(), content.bDelete, content.map.data(),
                            static_cast<unsigned long>(content.map.size()))
        != 0) {
        Fail(path, SystemMessage(GetLastError()));
        return kExitFailure;
    }
    return kExitDone;
}

}  // namespace

EMapFileFormat MapFileFormatOf(const std::wstring& path)
{
    const size_t nDot = path.find_last_of(L"./\\:");
    if (nDot == std::wstring::npos || path[nDot] != L'.')
        return FORMAT_UNKNOWN;
    const std::wstring extension = path.substr(nDot + 1);
    if (lstrcmpiW(extension.c_str(), L"lvd") == 0)
        return FORMAT_LVD;
    switch (ImportFormatOf(path.c_str())) {
    case IMPORT_REG: return FORMAT_REG;
    case IMPORT_SKL: return FORMAT_SKL;
    case IMPORT_KEY_MANAGER: return FORMAT_JSON;
    default: return FORMAT_UNKNOWN;
    }
}

bool IsWritableFormat(EMapFileFormat nFormat)
{
    return nFormat == FORMAT_LVD || nFormat == FORMAT_REG;
}

int ReadMapFile(const std::wstring& path, SRegFileContent* pContent)
{
    switch (MapFileFormatOf(path)) {
    case FORMAT_LVD: return ReadLvd(path, pContent);
    case FORMAT_REG: return ReadReg(path, pContent);
    default: return ImportFile(path, pContent);
    }
}

int WriteMapFile(const std::wstring& path, const SRegFileContent& content)
{
    return MapFileFormatOf(path) == FORMAT_LVD ? WriteLvd(path, content) : WriteReg(path, content);
}

#include "commands.h"

#include "console.h"
#include "map_files.h"
#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_pc.h"

#include <cstdio>

namespace {

const wchar_t kSubKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kKeyPath[] = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kRestartNote[] = L"The change takes effect when Windows restarts.\r\n";

// The core reports a registry failure by its result code only: opening the
// key again with the same access gives the system's reason.
void FailRegistry(const wchar_t* pszWhat, REGSAM samDesired)
{
    HKEY hKey;
    const LONG lResult = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSubKey, 0, samDesired, &hKey);
    std::wstring reason;
    if (lResult == ERROR_SUCCESS) {
        RegCloseKey(hKey);
        reason = L"the value could not be written";
    } else {
        reason = SystemMessage(static_cast<unsigned long>(lResult));
        if (lResult == ERROR_ACCESS_DENIED)
            reason += L" (changing the map needs administrator rights)";
    }
    WriteErr(std::wstring(L"lvmap: ") + pszWhat + L" " + kKeyPath + L": " + reason + L"\r\n");
}

enum ESystemMap
{
    MAP_NONE,      // no Scancode Map value
    MAP_READ,      // the value's bytes were read
    MAP_TOO_LONG,  // a value longer than any map, which the core does not read
};

// The size of the Scancode Map value, asked for without its data; false when
// there is no such value (or the key does not open).
bool StoredValueSize(unsigned long* pnSize)
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSubKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD nSize = 0;
    const LONG lResult = RegQueryValueExW(hKey, L"Scancode Map", nullptr, nullptr, nullptr, &nSize);
    RegCloseKey(hKey);
    *pnSize = nSize;
    return lResult == ERROR_SUCCESS;
}

// Reads the system's map. kExitDone with what was found, or kExitFailure
// after a message. *pnSize is the value's size, also when it is too long.
int ReadSystemMap(std::vector<unsigned char>* pMap, ESystemMap* pState, unsigned long* pnSize)
{
    unsigned char abMap[kMaxMapBytes] = {};
    unsigned long nSize = sizeof(abMap);
    const unsigned long nResult = CUtils::GetScancodeMapRegistry(abMap, &nSize);
    if (nResult == 2) {
        FailRegistry(L"cannot read", KEY_READ);
        return kExitFailure;
    }
    pMap->assign(abMap, abMap + (nResult == 0 ? nSize : 0));
    *pnSize = nSize;
    *pState = nResult == 0 ? MAP_READ : MAP_NONE;
    // The core reports a value longer than its buffer as no value at all.
    if (nResult != 0 && StoredValueSize(pnSize) && *pnSize > kMaxMapBytes)
        *pState = MAP_TOO_LONG;
    return kExitDone;
}

std::wstring TooLong(unsigned long nSize)
{
    return L"the map is " + std::to_wstring(nSize) + L" bytes, more than "
           + std::to_wstring(kMaxMapBytes);
}

std::wstring Mappings(size_t nMapBytes)
{
    const size_t nMappings = (nMapBytes - 16) / 4;
    return std::to_wstring(nMappings) + (nMappings == 1 ? L" mapping" : L" mappings");
}

int WriteSystemMap(const SRegFileContent& content)
{
    if (content.bDelete)
        return RemoveCommand();
    std::vector<unsigned char> map(content.map);
    if (CUtils::SetScancodeMapRegistry(map.data(), static_cast<unsigned long>(map.size())) != 0) {
        FailRegistry(L"cannot write Scancode Map under", KEY_ALL_ACCESS);
        return kExitFailure;
    }
    WriteOut(L"Scancode Map set: " + Mappings(map.size()) + L". " + kRestartNote);
    return kExitDone;
}

}  // namespace

std::unique_ptr<CLutrovaneBase> NewKeyboardTable(int nKeyboard)
{
    switch (nKeyboard) {
    case 1:
        return std::unique_ptr<CLutrovaneBase>(new CLutrovaneAppleExt);
    case 2:
        return std::unique_ptr<CLutrovaneBase>(new CLutrovaneApplePro);
    case 3:
        return std::unique_ptr<CLutrovaneBase>(new CLutrovaneAppleEtc);
    default:
        return std::unique_ptr<CLutrovaneBase>(new CLutrovanePC);
    }
}

std::wstring CodeText(unsigned short wScancode)
{
    wchar_t szCode[8];
    swprintf(szCode, 8, L"%02X%02X", wScancode & 0xFF, wScancode >> 8);
    return szCode;
}

int ShowCommand(int nKeyboard)
{
    std::vector<unsigned char> map;
    ESystemMap state;
    unsigned long nSize;
    const int nExit = ReadSystemMap(&map, &state, &nSize);
    if (nExit != kExitDone)
        return nExit;
    if (state == MAP_NONE) {
        WriteOut(L"No map\r\n");
        return kExitDone;
    }
    if (state == MAP_TOO_LONG) {
        WriteErr(L"lvmap: the system's map is not sound, and lvmap cannot show it: " + TooLong(nSize)
                 + L"\r\n");
        return kExitInvalid;
    }
    const std::string strError = CheckMapBytes(map.data(), map.size());
    if (!strError.empty())
        WriteErr(L"lvmap: warning: the system's map is not sound, and Windows may ignore it: "
                 + FromAscii(strError) + L"\r\n");

    // As the wizard reads a map back: the real keys by the keyboard's table,
    // the mapped keys by the catalogue, decoded from one buffer of 1024 bytes.
    map.resize(kMaxMapBytes, 0);
    CStringArray realNames, mappedNames;
    CWordArray realCodes, mappedCodes;
    NewKeyboardTable(nKeyboard)->GetScancodeMap(map.data(), realNames, realCodes, 1);
    CLutrovaneCore catalogue;
    catalogue.GetScancodeMap(map.data(), mappedNames, mappedCodes, 0);
    if (realCodes.GetSize() == 0) {
        WriteOut(L"No mappings: the map is empty\r\n");
        return kExitDone;
    }
    std::wstring text;
    for (int k = 0; k < realCodes.GetSize(); ++k) {
        text += CodeText(realCodes[k]) + L" " + FromCp949(realNames[k]) + L" -> "
                + CodeText(mappedCodes[k]) + L" " + FromCp949(mappedNames[k]) + L"\r\n";
    }
    WriteOut(text);
    return kExitDone;
}

int KeysCommand(int nKeyboard)
{
    std::unique_ptr<CLutrovaneBase> table = NewKeyboardTable(nKeyboard);
    std::wstring text;
    for (int i = 0; i < static_cast<int>(table->GetSizeOfMap()); ++i)
        text += CodeText(table->GetScancodeByIndex(i)) + L" " + FromCp949(table->GetKeyNameByIndex(i))
                + L"\r\n";
    WriteOut(text);
    return kExitDone;
}

int ApplyCommand(const std::wstring& path)
{
    SRegFileContent content;
    const int nExit = ReadMapFile(path, &content);
    return nExit == kExitDone ? WriteSystemMap(content) : nExit;
}

int RemoveCommand()
{
    // Any value counts, also one too long for the core to read: its removal
    // is a change that wants a restart too.
    unsigned long nSize;
    const bool bHadMap = StoredValueSize(&nSize);
    if (CUtils::DelScancodeMapRegistry() != 0) {
        FailRegistry(L"cannot remove Scancode Map under", KEY_ALL_ACCESS);
        return kExitFailure;
    }
    WriteOut(bHadMap ? std::wstring(L"Scancode Map removed. ") + kRestartNote
                     : std::wstring(L"No map was set; nothing to remove.\r\n"));
    return kExitDone;
}

int ExportCommand(const std::wstring& path)
{
    std::vector<unsigned char> map;
    ESystemMap state;
    unsigned long nSize;
    const int nExit = ReadSystemMap(&map, &state, &nSize);
    if (nExit != kExitDone)
        return nExit;
    if (state == MAP_NONE) {
        WriteErr(L"lvmap: there is no map to export: the system holds no Scancode Map value\r\n");
        return kExitNoMap;
    }
    const std::wstring error =
        state == MAP_TOO_LONG ? TooLong(nSize) : FromAscii(CheckMapBytes(map.data(), map.size()));
    if (!error.empty()) {
        WriteErr(L"lvmap: the system's map is not sound, nothing written: " + error + L"\r\n");
        return kExitInvalid;
    }
    SRegFileContent content;
    content.map = map;
    const int nWritten = WriteMapFile(path, content);
    if (nWritten == kExitDone)
        WriteOut(L"Exported " + Mappings(map.size()) + L" to " + path + L"\r\n");
    return nWritten;
}

int ConvertCommand(const std::wstring& inPath, const std::wstring& outPath)
{
    SRegFileContent content;
    int nExit = ReadMapFile(inPath, &content);
    if (nExit == kExitDone)
        nExit = WriteMapFile(outPath, content);
    if (nExit == kExitDone)
        WriteOut(L"Converted " + inPath + L" to " + outPath + L"\r\n");
    return nExit;
}

// lvmap's commands on the system's map and on map files (show, keys, apply,
// remove, export, convert), and what every command shares: the system's map
// read and written, keys and mappings named as lvmap prints them.
#include "commands.h"

#include "console.h"
#include "map_files.h"
#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_pc.h"

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kKeyPath[] = L"HKEY_LOCAL_MACHINE\\" LUTROVANE_MAP_KEY;
const wchar_t kRestartNote[] = L"The change takes effect when Windows restarts.\r\n";

std::wstring RegistryReason(LONG lResult)
{
    std::wstring reason = SystemMessage(static_cast<unsigned long>(lResult));
    if (lResult == ERROR_ACCESS_DENIED)
        reason += L" (changing the map needs administrator rights)";
    return reason;
}

// A change that failed, with the reason the history's change gave.
void FailChange(const wchar_t* pszWhat, unsigned long dwError)
{
    WriteErr(std::wstring(L"lvmap: ") + pszWhat + L" " + kKeyPath + L": "
             + RegistryReason(static_cast<LONG>(dwError)) + L"\r\n");
}

// The size and type of the Scancode Map value, asked for without its data;
// false when there is no such value (or the key does not open).
bool StoredValue(unsigned long* pnSize, unsigned long* pnType)
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"" LUTROVANE_MAP_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD nSize = 0, dwType = REG_NONE;
    const LONG lResult = RegQueryValueExW(hKey, L"" LUTROVANE_MAP_VALUE, nullptr, &dwType, nullptr, &nSize);
    RegCloseKey(hKey);
    *pnSize = nSize;
    *pnType = dwType;
    return lResult == ERROR_SUCCESS;
}

std::wstring TooLong(unsigned long nSize)
{
    return L"the map is " + Decimal(nSize) + L" bytes, more than "
           + Decimal(kMaxMapBytes);
}

// The history could not be written, or another change held its lock: the
// change was not made.
int FailHistory(const CMapHistory& history, CMapHistory::EChange result, unsigned long dwError)
{
    if (result == CMapHistory::BUSY)
        WriteErr(std::wstring(L"lvmap: another change of the map held the lock ") + history.GetInTheWay()
                 + L" for " + Decimal(CMapHistory::LOCK_WAIT_MS / 1000) + L" seconds; nothing changed\r\n");
    else
        WriteErr(std::wstring(L"lvmap: cannot keep the map it would replace in ") + history.GetFolder()
                 + L": " + HistoryReason(history, dwError) + L"; nothing changed\r\n");
    return kExitFailure;
}

// What the history's change gave: kExitDone on a change made or none needed.
int ChangeFailure(const CMapHistory& history, CMapHistory::EChange result, const wchar_t* pszWhat)
{
    const DWORD dwError = GetLastError();
    NoteMovedAside(history);
    if (result == CMapHistory::NOT_KEPT || result == CMapHistory::BUSY)
        return FailHistory(history, result, dwError);
    if (result == CMapHistory::NOT_WRITTEN) {
        FailChange(pszWhat, dwError);
        return kExitFailure;
    }
    return kExitDone;
}

// Refuses a map after which Ctrl+Alt+Del or Enter cannot be pressed, unless
// forced; forced, it says so all the same.
bool RefusedForSignIn(const std::vector<unsigned char>& map, bool bForce)
{
    CWordArray lost;
    const unsigned long nLost =
        FindLostSignInKeys(map.data(), static_cast<unsigned long>(map.size()), lost);
    if (nLost == 0)
        return false;
    CLutrovaneCore catalogue;
    std::wstring text = L"with this map no key gives ";
    for (int i = 0; i < lost.GetSize(); ++i)
        text += (i ? L", " : L"") + KeyText(catalogue, lost[i]);
    text += L" any more, so ";
    if (nLost & SIGN_IN_CTRL_ALT_DEL)
        text += L"Ctrl+Alt+Del cannot be pressed";
    if ((nLost & SIGN_IN_CTRL_ALT_DEL) && (nLost & SIGN_IN_ENTER))
        text += L" and ";
    if (nLost & SIGN_IN_ENTER)
        text += L"no password can be confirmed";
    text += L": Windows may let nobody sign in";
    WriteErr(bForce ? L"lvmap: warning: " + text + L"\r\n"
                    : L"lvmap: refused: " + text + L". --force writes it all the same.\r\n");
    return !bForce;
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
    // Prefix byte first, as the map's bytes hold it.
    const unsigned nCode = ((wScancode & 0xFF) << 8) | (wScancode >> 8);
    wchar_t szCode[] = L"0000";
    for (int k = 0; k < 4; ++k)
        szCode[k] = L"0123456789ABCDEF"[(nCode >> (12 - 4 * k)) & 0xF];
    return szCode;
}

std::wstring KeyText(CLutrovaneBase& table, unsigned short wScancode)
{
    return CodeText(wScancode) + L" " + FromCp949(table.GetKeyName(wScancode));
}

std::wstring MappedText(CLutrovaneBase& catalogue, unsigned short wScancode)
{
    return wScancode ? KeyText(catalogue, wScancode) : CodeText(0) + L" off";
}

std::wstring MappingCount(size_t nMappings)
{
    return Decimal(nMappings) + (nMappings == 1 ? L" mapping" : L" mappings");
}

std::wstring Mappings(size_t nMapBytes)
{
    return MappingCount((nMapBytes - 16) / 4);
}

void DecodeMap(std::vector<unsigned char> map, int nKeyboard, SDecodedMap* pDecoded)
{
    map.resize(kMaxMapBytes, 0);
    NewKeyboardTable(nKeyboard)->GetScancodeMap(map.data(), pDecoded->realNames, pDecoded->realCodes, 1);
    CLutrovaneCore catalogue;
    catalogue.GetScancodeMap(map.data(), pDecoded->mappedNames, pDecoded->mappedCodes, 0);
}

std::wstring HistoryReason(const CMapHistory& history, unsigned long dwError)
{
    // The core refuses a history whose place would depend on the current drive.
    std::wstring reason = dwError == ERROR_BAD_PATHNAME ? L"%ProgramData% is not a full path, so where the "
                                                          L"history belongs is not known"
                                                        : SystemMessage(dwError);
    if (*history.GetInTheWay() && !*history.GetMovedAside())
        reason += std::wstring(L" (") + history.GetInTheWay() + L" is in its place and could not be moved aside; "
                  + history.GetInTheWayOwner() + L", who owns it, can remove it, or an administrator "
                  + L"once no program holds it open)";
    return reason;
}

void NoteMovedAside(const CMapHistory& history)
{
    if (*history.GetMovedAside())
        WriteErr(std::wstring(L"lvmap: ") + history.GetInTheWay()
                 + L" stood in the history's place and was not made by an administrator; moved aside to "
                 + history.GetMovedAside() + L"\r\n");
}

int ReadSystemMap(SSystemMap* pSystem)
{
    unsigned char abMap[kMaxMapBytes] = {};
    unsigned long nSize = sizeof(abMap);
    const unsigned long nResult = CUtils::GetScancodeMapRegistry(abMap, &nSize);
    const DWORD dwRead = GetLastError();
    if (nResult == 2) {
        WriteErr(std::wstring(L"lvmap: cannot read ") + kKeyPath + L": " + RegistryReason(LONG(dwRead)) + L"\r\n");
        return kExitFailure;
    }
    pSystem->map.assign(abMap, abMap + (nResult == 0 ? nSize : 0));
    pSystem->nSize = nSize;
    pSystem->state = nResult == 0 ? MAP_READ : MAP_NONE;
    // The core reads a value of any type, and reports one longer than its
    // buffer as no value at all.
    unsigned long nStoredSize = 0;
    pSystem->nType = REG_BINARY;
    if (StoredValue(&nStoredSize, &pSystem->nType) && nResult != 0 && dwRead == ERROR_MORE_DATA
        && nStoredSize > kMaxMapBytes) {
        pSystem->nSize = nStoredSize;
        pSystem->state = MAP_TOO_LONG;
    }
    return kExitDone;
}

std::wstring Unsoundness(const SSystemMap& system)
{
    if (system.state == MAP_TOO_LONG)
        return TooLong(system.nSize);
    return FromAscii(CheckMapBytes(system.map.data(), system.map.size()));
}

int WriteSystemMap(const SRegFileContent& content, bool bForce)
{
    if (content.bDelete)
        return RemoveCommand();
    if (RefusedForSignIn(content.map, bForce))
        return kExitInvalid;
    CMapHistory history;
    const CMapHistory::EChange result = history.ChangeSystemMap(
        content.map.data(), static_cast<unsigned long>(content.map.size()), content.nType);
    const int nExit = ChangeFailure(history, result, L"cannot write Scancode Map under");
    if (nExit != kExitDone)
        return nExit;
    if (result == CMapHistory::UNCHANGED) {
        WriteOut(L"The system holds this map already; nothing changed.\r\n");
        return kExitDone;
    }
    // A kept value goes back as it was, map or not.
    const bool bMap = content.nType == REG_BINARY
                      && CheckMapBytes(content.map.data(), content.map.size()).empty();
    WriteOut(L"Scancode Map set: "
             + (bMap ? Mappings(content.map.size())
                     : Decimal(content.map.size()) + L" bytes of type "
                           + Decimal(content.nType) + L", as kept")
             + L". " + kRestartNote);
    return kExitDone;
}

int ShowCommand(int nKeyboard)
{
    SSystemMap system;
    const int nExit = ReadSystemMap(&system);
    if (nExit != kExitDone)
        return nExit;
    if (system.state == MAP_NONE) {
        WriteOut(L"No map\r\n");
        return kExitDone;
    }
    if (system.state == MAP_TOO_LONG) {
        WriteErr(L"lvmap: the system's map is not sound, and lvmap cannot show it: "
                 + TooLong(system.nSize) + L"\r\n");
        return kExitInvalid;
    }
    const std::string strError = CheckMapBytes(system.map.data(), system.map.size());
    if (!strError.empty())
        WriteErr(L"lvmap: warning: the system's map is not sound, and Windows may ignore it: "
                 + FromAscii(strError) + L"\r\n");

    SDecodedMap decoded;
    DecodeMap(system.map, nKeyboard, &decoded);
    if (decoded.realCodes.GetSize() == 0) {
        WriteOut(L"No mappings: the map is empty\r\n");
        return kExitDone;
    }
    // Windows takes one entry for a real key, and which one, where a map names
    // a real key twice, is not documented. Said once, at the second mention;
    // all in one write, as a map may name a hundred keys twice.
    std::wstring warnings;
    for (int k = 0; k < decoded.realCodes.GetSize(); ++k) {
        int nEarlier = 0;
        for (int j = 0; j < k; ++j)
            nEarlier += decoded.realCodes[j] == decoded.realCodes[k];
        if (nEarlier == 1)
            warnings += L"lvmap: warning: the real key " + CodeText(decoded.realCodes[k]) + L" "
                        + FromCp949(decoded.realNames[k]) + L" is named more than once; Windows uses one of "
                        + L"its mappings, and which one is not known\r\n";
    }
    WriteErr(warnings);
    std::wstring text;
    for (int k = 0; k < decoded.realCodes.GetSize(); ++k) {
        const unsigned short wMapped = decoded.mappedCodes[k];
        text += CodeText(decoded.realCodes[k]) + L" " + FromCp949(decoded.realNames[k]) + L" -> "
                + CodeText(wMapped) + L" " + (wMapped ? FromCp949(decoded.mappedNames[k]) : L"off") + L"\r\n";
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

int ApplyCommand(const std::wstring& path, bool bForce)
{
    SRegFileContent content;
    const int nExit = ReadMapFile(path, &content);
    return nExit == kExitDone ? WriteSystemMap(content, bForce) : nExit;
}

int RemoveCommand()
{
    CMapHistory history;
    const CMapHistory::EChange result = history.ChangeSystemMap(nullptr, 0);
    const int nExit = ChangeFailure(history, result, L"cannot remove Scancode Map under");
    if (nExit != kExitDone)
        return nExit;
    WriteOut(result == CMapHistory::CHANGED ? std::wstring(L"Scancode Map removed. ") + kRestartNote
                          : std::wstring(L"No map was set; nothing to remove.\r\n"));
    return kExitDone;
}

int ExportCommand(const std::wstring& path)
{
    SSystemMap system;
    const int nExit = ReadSystemMap(&system);
    if (nExit != kExitDone)
        return nExit;
    if (system.state == MAP_NONE) {
        WriteErr(L"lvmap: there is no map to export: the system holds no Scancode Map value\r\n");
        return kExitNoMap;
    }
    const std::vector<unsigned char>& map = system.map;
    const std::wstring error = Unsoundness(system);
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

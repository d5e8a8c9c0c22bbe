// history, undo and restore: the maps the history keeps, and putting one back.
#include "commands.h"

#include "console.h"
#include "map_files.h"

#include <cwchar>

namespace {

// "2024-05-01 13:45:07", local time.
std::wstring TimeText(const SYSTEMTIME& utc)
{
    SYSTEMTIME local;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    return Decimal(local.wYear, 4) + L"-" + Decimal(local.wMonth, 2) + L"-" + Decimal(local.wDay, 2) + L" "
           + Decimal(local.wHour, 2) + L":" + Decimal(local.wMinute, 2) + L":" + Decimal(local.wSecond, 2);
}

// Entry nIndex of the loaded history, as Load read it; kExitDone, or
// kExitInvalid with what is wrong.
int ParseEntry(const CMapHistory& history, int nIndex, SRegFileContent* pContent, std::wstring* pError)
{
    const unsigned char* pData = nullptr;
    unsigned long nLength = 0;
    history.GetData(nIndex, &pData, &nLength);
    *pError = FromAscii(ParseRegFile(pData, nLength, pContent, true));
    return pError->empty() ? kExitDone : kExitInvalid;
}

// What a kept file holds: "no map", or its mappings, the first few by name.
std::wstring KeptMapText(const CMapHistory& history, int nIndex, int nKeyboard)
{
    const size_t kNamedMappings = 3;
    SRegFileContent content;
    std::wstring error;
    if (ParseEntry(history, nIndex, &content, &error) != kExitDone)
        return L"not a sound map: " + error;
    if (content.bDelete)
        return L"no map";
    if (content.nType != REG_BINARY)
        return Decimal(content.map.size()) + L" bytes of type " + Decimal(content.nType)
               + L", no map";
    error = FromAscii(CheckMapBytes(content.map.data(), content.map.size()));
    if (!error.empty())
        return L"not a sound map: " + error;
    std::wstring text = Mappings(content.map.size());
    SDecodedMap decoded;
    DecodeMap(content.map, nKeyboard, &decoded);
    for (int k = 0; k < decoded.realNames.GetSize() && k < decoded.mappedNames.GetSize(); ++k) {
        if (size_t(k) == kNamedMappings) {
            text += L", ...";
            break;
        }
        text += (k ? L", " : L": ") + FromCp949(decoded.realNames[k]) + L" -> "
                + (decoded.mappedCodes[k] ? FromCp949(decoded.mappedNames[k]) : std::wstring(L"off"));
    }
    return text;
}

// Puts back kept entry nIndex of the loaded history as the system held it:
// any type or length.
int RestoreEntry(const CMapHistory& history, int nIndex, bool bForce)
{
    SRegFileContent content;
    std::wstring error;
    const int nExit = ParseEntry(history, nIndex, &content, &error);
    if (nExit != kExitDone) {
        WriteErr(L"lvmap: " + std::wstring(history.GetPath(nIndex)) + L": " + error + L"\r\n");
        return nExit;
    }
    return WriteSystemMap(content, bForce);
}

}  // namespace

int HistoryCommand(int nKeyboard)
{
    CMapHistory history;
    const unsigned long dwError = history.Load();
    NoteMovedAside(history);
    if (dwError != 0) {
        WriteErr(std::wstring(L"lvmap: cannot read ") + history.GetFolder() + L": "
                 + HistoryReason(history, dwError) + L"\r\n");
        return kExitFailure;
    }
    if (history.GetCount() == 0) {
        WriteOut(std::wstring(L"No map has been kept in ") + history.GetFolder() + L"\r\n");
        return kExitDone;
    }
    std::wstring text = std::wstring(L"Maps kept in ") + history.GetFolder() + L", newest first:\r\n";
    for (int i = 0; i < history.GetCount(); ++i) {
        SYSTEMTIME utc;
        history.GetTime(i, &utc);
        text += Decimal(i + 1, 2, L' ') + (L"  " + TimeText(utc)) + L"  " + KeptMapText(history, i, nKeyboard)
                + L"\r\n";
    }
    WriteOut(text);
    return kExitDone;
}

int UndoCommand(bool bForce)
{
    CMapHistory history;
    if (history.Load() != 0)
        return RestoreCommand(L"1", bForce);  // which says why the history does not read
    NoteMovedAside(history);
    // FindUndo cannot tell a registry that does not read from a history
    // with nothing to undo: the registry's reason is told first.
    SSystemMap system;
    if (ReadSystemMap(&system) != kExitDone)
        return kExitFailure;
    // The newest kept map that differs from the one in place: putting back
    // that one would change nothing.
    const int nUndo = history.FindUndo();
    if (nUndo < 0) {
        WriteErr(std::wstring(L"lvmap: nothing to undo: ")
                 + (history.GetCount() ? L"every map kept in " + std::wstring(history.GetFolder())
                                             + L" is the one in place"
                                       : L"no map has been kept in " + std::wstring(history.GetFolder()))
                 + L"\r\n");
        return kExitNoMap;
    }
    return RestoreEntry(history, nUndo, bForce);
}

int RestoreCommand(const std::wstring& strWhat, bool bForce)
{
    if (strWhat.find_first_not_of(L"0123456789") == std::wstring::npos) {
        CMapHistory history;
        const unsigned long dwError = history.Load();
        NoteMovedAside(history);
        const unsigned long nNumber = wcstoul(strWhat.c_str(), nullptr, 10);
        if (dwError != 0 || nNumber < 1 || nNumber > static_cast<unsigned long>(history.GetCount())) {
            WriteErr(L"lvmap: there is no kept map number " + strWhat + L" in " + history.GetFolder()
                     + L": " + (dwError ? HistoryReason(history, dwError)
                                        : L"it holds " + Decimal(history.GetCount()))
                     + L"\r\n");
            return dwError ? kExitFailure : kExitNoMap;
        }
        return RestoreEntry(history, static_cast<int>(nNumber) - 1, bForce);
    }
    return ApplyCommand(strWhat, bForce);
}

// The list page's commands on the system's map and on map data files: Load
// system map, Remove system map, Apply, Load file and Save. A change that did
// not happen is reported as such, and no restart is offered for it.
#include "prop_page_step2.h"

#include "map_import.h"

#include <string>
#include <vector>

#include "res/resource.h"

namespace {

// 16 + 4 * 252: every buffer that carries the map.
const size_t kMapBufferBytes = 1024;

// Spelt out here: std::to_wstring links the run-time's wide printf, some 25 KB.
std::wstring Decimal(DWORD n)
{
    std::wstring str;
    do {
        str.insert(str.begin(), wchar_t(L'0' + n % 10));
        n /= 10;
    } while (n);
    return str;
}

// The system's text for a Win32 error, in code page 949.
CString SystemMessage(DWORD dwError)
{
    wchar_t* pszMessage = NULL;
    const DWORD nChars = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        NULL, dwError, 0, reinterpret_cast<wchar_t*>(&pszMessage), 0, NULL);
    const std::wstring str = nChars ? std::wstring(pszMessage, nChars) : L"error " + Decimal(dwError);
    ::LocalFree(pszMessage);
    return WideToCp949(str.c_str());
}

// Text in code page 949 for a message's %s.
CString FormatText(UINT nFormat, const std::wstring& str)
{
    CString strMessage;
    strMessage.Format(AfxLoadString(nFormat), WideToCp949(str.c_str()));
    return strMessage;
}

// What the history's change gave: TRUE on a change made or none needed. Says
// in one line what stood in the history's place and was moved aside; where
// the value it would replace could not be kept, or another change held the
// lock, says where and why.
BOOL ReportChange(const CMapHistory& history, CMapHistory::EChange result, UINT nFailed)
{
    const DWORD dwError = ::GetLastError();
    if (*history.GetMovedAside())
        AfxMessageBox(FormatText(IDS_HISTORY_MOVED_ASIDE, std::wstring(history.GetInTheWay()) + L"\r\n-> "
                                                              + history.GetMovedAside()),
                      MB_OK);
    if (result == CMapHistory::BUSY) {
        AfxMessageBox(FormatText(IDS_HISTORY_BUSY, history.GetInTheWay()), MB_OK);
    } else if (result == CMapHistory::NOT_KEPT) {
        std::string strText = std::string(WideToCp949((std::wstring(history.GetFolder()) + L"\r\n").c_str()))
                              + std::string(SystemMessage(dwError));
        if (*history.GetInTheWay() && !*history.GetMovedAside())
            strText += "\r\n\r\n" + std::string(FormatText(IDS_HISTORY_IN_THE_WAY,
                                                             std::wstring(history.GetInTheWay()) + L" ("
                                                                 + history.GetInTheWayOwner() + L")"));
        CString strMessage;
        strMessage.Format(AfxLoadString(IDS_HISTORY_FAILED), strText.c_str());
        AfxMessageBox(strMessage, MB_OK);
    } else if (result == CMapHistory::NOT_WRITTEN) {
        AfxMessageBox(nFailed, MB_OK);
    }
    return result == CMapHistory::CHANGED || result == CMapHistory::UNCHANGED;
}

// Asks before a map after which Ctrl+Alt+Del or Enter can no longer be
// pressed, naming the keys it takes away: nobody might sign in to Windows.
// No is the default. TRUE to go on.
BOOL ConfirmSignInKeys(const unsigned char* pMap, unsigned long nLength)
{
    CWordArray lostKeys;
    if (FindLostSignInKeys(pMap, nLength, lostKeys) == 0)
        return TRUE;
    CLutrovaneCore catalogue;
    std::string strKeys;
    for (int i = 0; i < lostKeys.GetSize(); ++i)
        strKeys += (i ? ", " : "") + std::string(catalogue.GetKeyName(lostKeys[i]));
    CString strQuestion;
    strQuestion.Format(AfxLoadString(IDS_ASK_LOCKOUT), strKeys.c_str());
    return AfxMessageBox(strQuestion, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

// The scan code of a virtual key under the keyboard layout in use.
unsigned short ScancodeOfVk(unsigned int nVirtualKey, void*)
{
    return static_cast<unsigned short>(::MapVirtualKeyExW(nVirtualKey, MAPVK_VK_TO_VSC_EX, ::GetKeyboardLayout(0)));
}

// Reads another tool's file into map bytes. Says why where it cannot, and in
// one message what the map cannot hold. FALSE when there is no map to list.
BOOL ImportFile(const std::wstring& strPath, unsigned char* pBuffer)
{
    std::string strError;
    std::vector<unsigned char> bytes;
    HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    LARGE_INTEGER size = {};
    DWORD nRead = 0;
    if (hFile == INVALID_HANDLE_VALUE || !::GetFileSizeEx(hFile, &size)) {
        strError = SystemMessage(::GetLastError());
    } else if (static_cast<unsigned long long>(size.QuadPart) > kMaxRegFileBytes) {
        strError = "the file is too large for a map's settings";
    } else {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        if (!bytes.empty() && !::ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nRead, NULL))
            strError = SystemMessage(::GetLastError());
        bytes.resize(nRead);
    }
    if (hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFile);

    SRegFileContent content;
    std::vector<std::string> leftOut;
    if (strError.empty()) {
        strError = ImportMap(ImportFormatOf(strPath.c_str()), bytes.data(), bytes.size(), ScancodeOfVk, NULL,
                             &content, &leftOut);
    }
    if (strError.empty() && content.bDelete)
        strError = "the file removes the system's map and holds none";
    std::string strLeftOut;
    for (const std::string& strLine : leftOut)
        strLeftOut += "\n" + strLine;
    CString strMessage;
    if (!strError.empty()) {
        // A file with nothing to import says why, and what it held instead.
        strMessage.Format(AfxLoadString(IDS_IMPORT_FAILED), (strError + "\n" + strLeftOut).c_str());
        AfxMessageBox(strMessage, MB_OK);
        return FALSE;
    }
    if (!strLeftOut.empty()) {
        strMessage.Format(AfxLoadString(IDS_IMPORT_LEFT_OUT), strLeftOut.c_str() + 1);
        AfxMessageBox(strMessage, MB_OK | MB_ICONINFORMATION);
    }
    std::copy(content.map.begin(), content.map.end(), pBuffer);
    return TRUE;
}

}  // namespace

void CPropPageStep2::OnLoadSystemMap()
{
    if (AfxMessageBox(IDS_ASK_LOAD_SYSTEM_MAP, MB_YESNO) != IDYES)
        return;
    ClearList();
    // An absent or unreadable value is no map, as is one without pairs.
    std::vector<unsigned char> buffer(kMapBufferBytes, 0);
    unsigned long nSize = static_cast<unsigned long>(buffer.size());
    if (CUtils::GetScancodeMapRegistry(buffer.data(), &nSize) != 0 || !AppendMap(buffer.data()))
        AfxMessageBox(IDS_NO_SYSTEM_MAP, MB_OK);
}

void CPropPageStep2::OnRemoveSystemMap()
{
    if (AfxMessageBox(IDS_ASK_REMOVE_SYSTEM_MAP, MB_YESNO) != IDYES)
        return;
    // A removal that did not happen must not look like one, nor offer a
    // restart for it.
    CMapHistory history;
    const CMapHistory::EChange result = history.ChangeSystemMap(NULL, 0);
    if (!ReportChange(history, result, IDS_REMOVE_FAILED))
        return;
    // No map there any more (another program removed it while the page was
    // open): nothing was removed, so there is nothing to restart for.
    EnableSystemMapCommands(FALSE);
    if (result == CMapHistory::UNCHANGED) {
        AfxMessageBox(IDS_NO_SYSTEM_MAP, MB_OK);
        return;
    }
    CUtils::RebootSystem(m_hWnd, 0);
}

void CPropPageStep2::OnApplyMap()
{
    if (AfxMessageBox(IDS_ASK_APPLY_MAP, MB_YESNO) != IDYES)
        return;
    std::vector<unsigned char> buffer(kMapBufferBytes, 0);
    const unsigned long nLength = MakeMapBytes(buffer.data());
    if (nLength != 0 && !ConfirmSignInKeys(buffer.data(), nLength))
        return;
    // Without administrative rights the write fails: say so, and offer no
    // restart for a change that never happened.
    CMapHistory history;
    // UNCHANGED: the system holds this map already, nothing kept; as applied all the same.
    if (nLength == 0) {
        AfxMessageBox(IDS_APPLY_FAILED, MB_OK);
        return;
    }
    if (!ReportChange(history, history.ChangeSystemMap(buffer.data(), nLength), IDS_APPLY_FAILED))
        return;
    EnableSystemMapCommands(TRUE);
    CUtils::RebootSystem(m_hWnd, 0);
}

void CPropPageStep2::OnLoadFile()
{
    if (AfxMessageBox(IDS_ASK_LOAD_FILE, MB_YESNO) != IDYES)
        return;
    // The list is cleared before the file is chosen: it stays empty when no
    // file is loaded.
    ClearList();
    const CString strPath = ChooseMapFile(TRUE);
    if (strPath.IsEmpty())
        return;
    std::vector<unsigned char> buffer(kMapBufferBytes, 0);
    const std::wstring strWidePath = Cp949ToWide(strPath);
    if (ImportFormatOf(strWidePath.c_str()) != IMPORT_NONE) {
        if (!ImportFile(strWidePath, buffer.data()))
            return;
    } else {
        unsigned long nSize = 0;
        if (CUtils::LoadLutrovaneData(strPath, buffer.data(), &nSize) != 0) {
            AfxMessageBox(IDS_INVALID_FILE, MB_OK);
            return;
        }
    }
    // The map's own entry count governs, not the number of bytes read.
    AppendMap(buffer.data());
}

void CPropPageStep2::OnSaveFile()
{
    const CString strPath = ChooseMapFile(FALSE);
    if (strPath.IsEmpty())
        return;
    std::vector<unsigned char> buffer(kMapBufferBytes, 0);
    const unsigned long nLength = MakeMapBytes(buffer.data());
    // A failed save leaves any earlier file as it was.
    if (nLength == 0 || CUtils::SaveLutrovaneData(strPath, buffer.data(), nLength) != 0)
        AfxMessageBox(IDS_SAVE_FAILED, MB_OK);
}

BOOL CPropPageStep2::AppendMap(unsigned char* pMap)
{
    // One buffer serves both decodings, so the two halves of a row always
    // come from the same map.
    CStringArray realNames, mapNames;
    CWordArray realCodes, mapCodes;
    m_keyTables.DecodeMap(m_nKeyboardType, pMap, realNames, realCodes, mapNames, mapCodes);
    if (!AppendDecodedPairs(realNames, mapNames, realCodes, mapCodes))
        AfxMessageBox(IDS_LIST_TRUNCATED, MB_OK);
    if (m_nMapCount > 0)
        EnableMapCommands(TRUE);
    return realNames.GetSize() != 0 && mapNames.GetSize() != 0;
}

unsigned long CPropPageStep2::MakeMapBytes(unsigned char* pBuffer)
{
    CWordArray realKeys, mappedKeys;
    GetListScancodes(realKeys, mappedKeys);
    if (CUtils::MakeRegistryData(realKeys, mappedKeys, pBuffer) != 0)
        return 0;
    return 16 + 4 * realKeys.GetSize();
}

CString CPropPageStep2::ChooseMapFile(BOOL bOpen)
{
    // Loading also takes other tools' maps, after the map data files' entries.
    CFileDialog dlg(bOpen, "lvd", "New Scancode Map", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    bOpen ? "Lutrovane Data Files (*.lvd)|*.lvd|All Files (*.*)|*.*|Registry Files (*.reg)|*.reg|"
                            "SharpKeys Key Lists (*.skl)|*.skl|PowerToys Keyboard Manager (default.json)|*.json||"
                          : "Lutrovane Data Files (*.lvd)|*.lvd|All Files (*.*)|*.*||",
                    this);
    if (dlg.DoModal() != IDOK)
        return CString();
    const CString strPath = dlg.GetPathName();
    if (strPath.IsEmpty())
        AfxMessageBox(IDS_PATH_NOT_949, MB_OK);
    return strPath;
}

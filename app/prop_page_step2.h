// A mapping list page, one per keyboard type: the list of pairs of real key
// and mapped key that the user builds for that keyboard. The rows are the
// only store of the map while the wizard runs.
#pragma once

#include "afx/afx.h"
#include "key_tables.h"

class CLutrovaneMain;

class CPropPageStep2 : public CPropertyPageEx
{
public:
    CPropPageStep2();
    ~CPropPageStep2() override;

    // Called once before the wizard runs, with keyboard type index 0 to 3:
    // picks the header texts. Another index changes nothing but the help flag.
    void SetKeyboardType(int nKeyboardType);

    // The codes of every row, element i of both arrays from row i.
    void GetListScancodes(CWordArray& realKeys, CWordArray& mappedKeys);
    // Modify on the first row of the real key, selected first; Add with the
    // key chosen where no row has it.
    void EditRealKey(WORD wRealKey);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // Back always leads to page 1, whichever list page is showing.
    LRESULT OnWizardBack() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL DispatchCommand(WPARAM wParam, LPARAM lParam);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnContextMenu(CWnd* pWnd, POINT point) override;
    void OnDpiChanged(UINT nDpi) override;

    // wRealKey: the real key chosen in the dialog at its start; 0 none.
    void OnAddMap(WORD wRealKey = 0);
    void OnModifyMap();
    void OnDeleteMap();
    void OnNewMap();
    // On the system's map and on files: prop_page_step2_commands.cpp.
    void OnLoadSystemMap();
    void OnRemoveSystemMap();
    void OnApplyMap();
    void OnLoadFile();
    void OnSaveFile();
    void OnKeyboardView();

    void OnClickList(const NMITEMACTIVATE* pItem);
    void OnDblClkList(const NMITEMACTIVATE* pItem);
    void OnRClickList(const NMITEMACTIVATE* pItem);
    void OnItemChangedList(const NMLISTVIEW* pItem);
    void OnSetFocusList();

    // Removes every row. The remembered row goes with the selection.
    void ClearList();
    // Appends one row per decoded pair, in order, up to the list's limit; the
    // rows keep the codes they were decoded from. FALSE when pairs were left out.
    BOOL AppendDecodedPairs(const CStringArray& realNames, const CStringArray& mapNames,
                            const CWordArray& realCodes, const CWordArray& mapCodes);
    // The codes row nItem keeps.
    void GetRowScancodes(int nItem, WORD& wRealKey, WORD& wMapKey);

    CLutrovaneMain* GetMainSheet() const;

    int m_nKeyboardType;  // copied from the sheet on every activation
    int m_nMapCount;      // rows in the list; new rows go at this index
    int m_nSelItem;       // the selected row, or the one last selected
    CMenu m_menuMap;      // the list's context menu, owned
    CListCtrl m_listMap;

private:
    CPageKeyTables m_keyTables;  // built at the first command that needs them

    void AppendRow(const char* pszRealKey, const char* pszMapKey, LPARAM lCodes);
    // The first row other than nSkip whose real key is wRealKey; -1 for none.
    int FindRowOfRealKey(WORD wRealKey, int nSkip);
    // Row nItem's keys as "real → mapped", for a question.
    CString RowPair(int nItem);
    // Where a swap's reverse pair goes: the row for its real key, which it
    // replaces, or -1 to append it. A row with another mapped key is replaced
    // only if the user agrees (nUpdate, the modified row's old reverse,
    // without asking); it is appended only while nNewRows more fit. FALSE:
    // nothing is to change.
    BOOL PlanReverseRow(WORD wRealKey, WORD wMapKey, int nSkip, int nUpdate, int nNewRows, int& nReverse);
    void SetRow(int nItem, const char* pszRealKey, const char* pszMapKey, LPARAM lCodes);
    // Sets row nItem, or appends a row for -1.
    void PutRow(int nItem, const char* pszRealKey, const char* pszMapKey, WORD wRealKey, WORD wMapKey);
    BOOL HasRow(int nItem) const { return nItem >= 0 && nItem < m_listMap.GetItemCount(); }
    // The row shown selected, or -1.
    int SelectedRow() const { return int(m_listMap.SendMessage(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }
    BOOL IsRowSelected(int nItem) const { return HasRow(nItem) && nItem == SelectedRow(); }
    // Remembers the row shown selected, and lets Delete and Modify act only
    // while there is one.
    void FollowSelection();
    void EnableRowCommands(BOOL bEnable);
    void EnableMapCommands(BOOL bEnable);
    // Load and Remove system map, which act only while the system has a map.
    void EnableSystemMapCommands(BOOL bEnable);
    // The list's context menu, at a screen point.
    void ShowMapMenu(POINT ptScreen);

    // The commands' steps, in prop_page_step2_commands.cpp.
    // Appends the pairs of a 1024-byte map, as the keyboard's tables name
    // them, with a notice for pairs past the list's limit. FALSE when the map
    // holds no pair.
    BOOL AppendMap(unsigned char* pMap);
    // Encodes the rows into a zero-filled 1024-byte buffer; their length.
    unsigned long MakeMapBytes(unsigned char* pBuffer);
    // Runs the map data file dialog; the chosen path, or empty (and a notice
    // for a path code page 949 cannot hold) when there is none to use.
    CString ChooseMapFile(BOOL bOpen);
};

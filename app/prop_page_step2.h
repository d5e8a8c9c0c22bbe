// A mapping list page, one per keyboard type: the list of pairs of real key
// and mapped key that the user builds for that keyboard.
#pragma once

#include "afx/afx.h"

class CPropPageStep2 : public CPropertyPageEx
{
public:
    CPropPageStep2();
    ~CPropPageStep2() override;

    // Called once before the wizard runs, with keyboard type index 0 to 3:
    // picks the header texts. Another index changes nothing but the help flag.
    void SetKeyboardType(int nKeyboardType);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // Back always leads to page 1, whichever list page is showing.
    LRESULT OnWizardBack() override;

    int m_nKeyboardType;  // copied from the sheet on every activation
    int m_nMapCount;      // rows in the list; new rows go at this index
    int m_nSelItem;       // row last clicked, -1 before any click
    CMenu m_menuMap;      // the list's context menu, owned
    CListCtrl m_listMap;
};

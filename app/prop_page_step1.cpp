#include "prop_page_step1.h"

#include <iterator>

#include "lutrovane_main.h"
#include "res/resource.h"

namespace {

// Option i is keyboard type index i.
const int kKeyboardOptions[] = {
    IDC_KEYBOARD_PC,
    IDC_KEYBOARD_APPLE_EXT,
    IDC_KEYBOARD_APPLE_PRO,
    IDC_KEYBOARD_APPLE_ETC,
};

}  // namespace

CPropPageStep1::CPropPageStep1() : CPropertyPageEx(IDD_STEP1, 0, IDS_STEP1_TITLE)
{
    m_psp.dwFlags &= ~PSP_HASHELP;
}

BOOL CPropPageStep1::OnInitDialog()
{
    CPropertyPageEx::OnInitDialog();
    // Only here: coming back to the page keeps the option last chosen.
    CheckDlgButton(IDC_KEYBOARD_PC, BST_CHECKED);
    return TRUE;
}

BOOL CPropPageStep1::OnSetActive()
{
    if (CPropertySheetEx* pSheet = GetSheet())
        pSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
    return CPropertyPageEx::OnSetActive();
}

LRESULT CPropPageStep1::OnWizardNext()
{
    int nKeyboardType = 0;
    for (int i = 0; i < int(std::size(kKeyboardOptions)); ++i) {
        if (IsDlgButtonChecked(kKeyboardOptions[i]) == BST_CHECKED) {
            nKeyboardType = i;
            break;
        }
    }

    // The list page reads the type from the sheet as it becomes active, so it
    // is stored first. The sheet's default Next then steps one page on from
    // page nKeyboardType, to the list page at nKeyboardType + 1.
    CLutrovaneMain* pSheet = dynamic_cast<CLutrovaneMain*>(GetSheet());
    if (!pSheet)
        return -1;
    pSheet->SetKeyboardType(nKeyboardType);
    pSheet->SetActivePage(nKeyboardType);
    return CPropertyPageEx::OnWizardNext();
}

#include "prop_page_step2.h"

#include "lutrovane_main.h"
#include "res/resource.h"

CPropPageStep2::CPropPageStep2()
    : CPropertyPageEx(IDD_STEP2), m_nKeyboardType(0), m_nMapCount(0), m_nSelItem(-1)
{
    m_psp.dwFlags &= ~PSP_HASHELP;
    m_menuMap.LoadMenu(IDR_MAP_MENU);
}

CPropPageStep2::~CPropPageStep2()
{
    m_menuMap.DestroyMenu();
}

void CPropPageStep2::SetKeyboardType(int nKeyboardType)
{
    if (nKeyboardType >= 0 && nKeyboardType <= 3)
        Construct(IDD_STEP2, 0, IDS_STEP2_TITLE, IDS_KEYBOARD_PC + nKeyboardType);
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPropPageStep2::DoDataExchange()
{
    m_listMap.Attach(::GetDlgItem(m_hWnd, IDC_MAP_LIST));
}

BOOL CPropPageStep2::OnInitDialog()
{
    CPropertyPageEx::OnInitDialog();

    m_listMap.ModifyStyle(0, LVS_REPORT);
    m_listMap.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE | LVS_EX_FLATSB |
                               LVS_EX_UNDERLINEHOT);
    m_listMap.InsertColumn(0, AfxLoadString(IDS_REAL_KEY_COLUMN), LVCFMT_LEFT);
    m_listMap.InsertColumn(1, AfxLoadString(IDS_MAP_KEY_COLUMN), LVCFMT_LEFT);
    m_listMap.SetColumnWidth(0, 175);
    m_listMap.SetColumnWidth(1, 175);

    GetDlgItem(IDC_DELETE_MAP).EnableWindow(FALSE);
    GetDlgItem(IDC_MODIFY_MAP).EnableWindow(FALSE);
    GetDlgItem(IDC_SAVE_FILE).EnableWindow(FALSE);
    GetDlgItem(IDC_APPLY_MAP).EnableWindow(FALSE);
    return TRUE;
}

BOOL CPropPageStep2::OnSetActive()
{
    CLutrovaneMain* pSheet = static_cast<CLutrovaneMain*>(GetParent());
    pSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
    m_nKeyboardType = pSheet->GetKeyboardType();

    const BOOL bSystemMap = CUtils::HaveCurrentScancode() != 0;
    GetDlgItem(IDC_LOAD_SYSTEM_MAP).EnableWindow(bSystemMap);
    GetDlgItem(IDC_REMOVE_SYSTEM_MAP).EnableWindow(bSystemMap);
    return CPropertyPageEx::OnSetActive();
}

LRESULT CPropPageStep2::OnWizardBack()
{
    // Sheet page 1 made current first, the sheet's default Back step of one
    // page then lands on sheet page 0, the keyboard choice.
    static_cast<CLutrovaneMain*>(GetParent())->SetActivePage(1);
    return CPropertyPageEx::OnWizardBack();
}

#include "lutrovane_app.h"

#include "lutrovane_main.h"
#include "prop_page_step1.h"
#include "prop_page_step2.h"

BOOL CLutrovaneApp::InitInstance()
{
    CLutrovaneMain sheet;

    CPropPageStep1 pageStep1;
    sheet.AddPage(&pageStep1);

    // Sheet page i + 1 is the list page of keyboard type i: page 1 and the
    // list pages' Back count on this order.
    CPropPageStep2 pagesStep2[4];
    for (int i = 0; i < 4; ++i) {
        pagesStep2[i].SetKeyboardType(i);
        sheet.AddPage(&pagesStep2[i]);
    }

    sheet.m_psh.dwFlags |= PSH_WIZARD;
    sheet.DoModal();
    return FALSE;
}

// Page 1 of the wizard: which keyboard the user has.
#pragma once

#include "afx/afx.h"

class CPropPageStep1 : public CPropertyPageEx
{
public:
    CPropPageStep1();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // Stores the chosen keyboard type in the sheet and lands on its list page.
    LRESULT OnWizardNext() override;
};

// The application object: runs the wizard once, modally, and ends.
#pragma once

#include "afx/afx.h"

class CLutrovaneApp : public CWinApp
{
public:
    // Builds the sheet and its five pages and runs the wizard; the program
    // ends when it closes, by Finish or by Cancel alike. Always FALSE.
    BOOL InitInstance() override;
};

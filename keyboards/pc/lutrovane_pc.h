// LutrovanePC: the key table of the standard PC keyboard.
#pragma once

#include "lutrovane_core.h"

#ifdef LUTROVANE_PC_BUILD
#define LUTROVANE_PC_API LUTROVANE_DLLEXPORT
#else
#define LUTROVANE_PC_API LUTROVANE_DLLIMPORT
#endif

// The real keys are the first GetSizeOfFromMap() rows; the mapped keys are
// every row.
class LUTROVANE_PC_API CLutrovanePC : public CLutrovaneBase
{
public:
    CLutrovanePC();
    virtual ~CLutrovanePC();

    // The rows offered as real keys: all but Break and the power, media and
    // browser keys at the end.
    unsigned long GetSizeOfFromMap();

protected:
    virtual void InitData();
};

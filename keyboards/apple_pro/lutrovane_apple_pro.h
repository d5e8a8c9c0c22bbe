// LutrovaneApplePro: the key table of the Apple Pro Keyboard.
#pragma once

#include "lutrovane_core.h"

#ifdef LUTROVANE_APPLE_PRO_BUILD
#define LUTROVANE_APPLE_PRO_API LUTROVANE_DLLEXPORT
#else
#define LUTROVANE_APPLE_PRO_API LUTROVANE_DLLIMPORT
#endif

// Every row is a real key.
class LUTROVANE_APPLE_PRO_API CLutrovaneApplePro : public CLutrovaneBase
{
public:
    CLutrovaneApplePro();
    virtual ~CLutrovaneApplePro();

protected:
    virtual void InitData();
};

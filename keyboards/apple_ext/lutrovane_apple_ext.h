// LutrovaneAppleExt: the key table of the Apple Extended Keyboard I and II and
// of older Apple keyboards.
#pragma once

#include "lutrovane_core.h"

#ifdef LUTROVANE_APPLE_EXT_BUILD
#define LUTROVANE_APPLE_EXT_API LUTROVANE_DLLEXPORT
#else
#define LUTROVANE_APPLE_EXT_API LUTROVANE_DLLIMPORT
#endif

// Every row is a real key. F13 and F14 share the PrintScreen and ScrollLock
// rows; each left and right modifier pair is one row with the left key's code.
class LUTROVANE_APPLE_EXT_API CLutrovaneAppleExt : public CLutrovaneBase
{
public:
    CLutrovaneAppleExt();
    virtual ~CLutrovaneAppleExt();

protected:
    virtual void InitData();
};

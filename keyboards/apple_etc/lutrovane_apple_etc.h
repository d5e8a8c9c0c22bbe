// LutrovaneAppleEtc: the key table of the newer Apple keyboards other than the
// Apple Pro Keyboard.
#pragma once

#include "lutrovane_core.h"

#ifdef LUTROVANE_APPLE_ETC_BUILD
#define LUTROVANE_APPLE_ETC_API LUTROVANE_DLLEXPORT
#else
#define LUTROVANE_APPLE_ETC_API LUTROVANE_DLLIMPORT
#endif

// Every row is a real key. The Apple Pro table but for the codes of F13 to F15.
class LUTROVANE_APPLE_ETC_API CLutrovaneAppleEtc : public CLutrovaneBase
{
public:
    CLutrovaneAppleEtc();
    virtual ~CLutrovaneAppleEtc();

protected:
    virtual void InitData();
};

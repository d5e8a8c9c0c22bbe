#include "lutrovane_apple_etc.h"

#include "apple_key_rows.h"

namespace {

// Row 65. These keyboards send F13 to F15 with the make codes 0x64 to 0x66,
// not the Apple Pro Keyboard's 0x5D to 0x5F.
const SKeyRow kAppleEtcRowsF13ToF15[] = {
    {"F13", 0x6400},
    {"F14", 0x6500},
    {"F15", 0x6600},
};

}  // namespace

CLutrovaneAppleEtc::CLutrovaneAppleEtc()
{
    // The base constructor ran only its own InitData.
    InitData();
}

CLutrovaneAppleEtc::~CLutrovaneAppleEtc() {}

void CLutrovaneAppleEtc::InitData()
{
    CLutrovaneBase::InitData();
    AppendKeys(LUTROVANE_ROWS(kAppleRowsAToF12));
    AppendKeys(LUTROVANE_ROWS(kAppleEtcRowsF13ToF15));
    AppendKeys(LUTROVANE_ROWS(kAppleRowsInsToKeypadDot));
    AppendKeys(LUTROVANE_ROWS(kAppleRowsSplitModifiers));
}

#include "lutrovane_apple_pro.h"

#include "apple_key_rows.h"

namespace {

// Row 65.
const SKeyRow kAppleProRowsF13ToF15[] = {
    {"F13", 0x5D00},
    {"F14", 0x5E00},
    {"F15", 0x5F00},
};

}  // namespace

CLutrovaneApplePro::CLutrovaneApplePro()
{
    // The base constructor ran only its own InitData.
    InitData();
}

CLutrovaneApplePro::~CLutrovaneApplePro() {}

void CLutrovaneApplePro::InitData()
{
    CLutrovaneBase::InitData();
    AppendKeys(LUTROVANE_ROWS(kAppleRowsAToF12));
    AppendKeys(LUTROVANE_ROWS(kAppleProRowsF13ToF15));
    AppendKeys(LUTROVANE_ROWS(kAppleRowsInsToKeypadDot));
    AppendKeys(LUTROVANE_ROWS(kAppleRowsSplitModifiers));
}

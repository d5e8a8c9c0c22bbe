#include "lutrovane_apple_ext.h"

#include "apple_key_rows.h"

namespace {

// Row 65. F13 and F14 send the codes of PrintScreen and ScrollLock.
const SKeyRow kAppleExtRowsF13F14[] = {
    {"PrintScreen/F13", 0x37E0},
    {"ScrollLock/F14", 0x4600},
};

// Row 94. The right-hand key of each pair sends the left-hand key's code.
const SKeyRow kAppleExtRowsPairedModifiers[] = {
    {"Control(왼쪽&오른쪽)", 0x1D00},
    {"Shift(왼쪽&오른쪽)", 0x2A00},
    {"Alt(왼쪽&오른쪽)", 0x3800},
    {"사과키(왼쪽&오른쪽)", 0x5BE0},
};

}  // namespace

CLutrovaneAppleExt::CLutrovaneAppleExt()
{
    // The base constructor ran only its own InitData.
    InitData();
}

CLutrovaneAppleExt::~CLutrovaneAppleExt() {}

void CLutrovaneAppleExt::InitData()
{
    CLutrovaneBase::InitData();
    AppendKeys(LUTROVANE_ROWS(kAppleRowsAToF12));
    AppendKeys(LUTROVANE_ROWS(kAppleExtRowsF13F14));
    AppendKeys(LUTROVANE_ROWS(kAppleRowsInsToKeypadDot));
    AppendKeys(LUTROVANE_ROWS(kAppleExtRowsPairedModifiers));
}

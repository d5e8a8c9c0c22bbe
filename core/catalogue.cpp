#include "lutrovane_core.h"

#include "pc_key_rows.h"

namespace {

// Catalogue row 121: the Apple keyboards' F13 to F15 codes, which no PC row
// holds, and two rows that no lookup reaches first (the second "Power 키", and
// "키패드 =", whose code names "키패드 9"). The names "F13" to "F15" give the
// Apple Pro codes; the other Apple keyboards' codes only name back.
const SKeyRow kCatalogueRowsExtra[] = {
    {"Power 키", 0x5EE0},
    {"키패드 =", 0x4900},
    {"F13", 0x5D00},
    {"F14", 0x5E00},
    {"F15", 0x5F00},
    {"F13", 0x6400},
    {"F14", 0x6500},
    {"F15", 0x6600},
};

}  // namespace

CLutrovaneCore::CLutrovaneCore()
{
    // The base constructor ran only its own InitData.
    InitData();
}

CLutrovaneCore::~CLutrovaneCore() {}

void CLutrovaneCore::InitData()
{
    CLutrovaneBase::InitData();
    AppendKeys(LUTROVANE_ROWS(kPcRowsAToScrollLock));
    AppendKeys(LUTROVANE_ROWS(kPcRowBreak));
    AppendKeys(LUTROVANE_ROWS(kPcRowsInsertToContextKey));
    AppendKeys(LUTROVANE_ROWS(kPcRowsPowerToWebForward));
    AppendKeys(LUTROVANE_ROWS(kCatalogueRowsExtra));
}

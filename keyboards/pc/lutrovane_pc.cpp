#include "lutrovane_pc.h"

#include "pc_key_rows.h"

namespace {

// Rows 103 to 120, the last of the table, are offered only as mapped keys.
const int kTargetOnlyRowCount = int(sizeof(kPcRowBreak) / sizeof(kPcRowBreak[0]) +
                                    sizeof(kPcRowsPowerToWebForward) /
                                        sizeof(kPcRowsPowerToWebForward[0]));

}  // namespace

CLutrovanePC::CLutrovanePC()
{
    // The base constructor ran only its own InitData.
    InitData();
}

CLutrovanePC::~CLutrovanePC() {}

unsigned long CLutrovanePC::GetSizeOfFromMap()
{
    return m_arrKeyName.GetSize() - kTargetOnlyRowCount;
}

void CLutrovanePC::InitData()
{
    CLutrovaneBase::InitData();
    AppendKeys(LUTROVANE_ROWS(kPcRowsAToScrollLock));
    AppendKeys(LUTROVANE_ROWS(kPcRowsInsertToContextKey));
    AppendKeys(LUTROVANE_ROWS(kPcRowBreak));
    AppendKeys(LUTROVANE_ROWS(kPcRowsPowerToWebForward));
}

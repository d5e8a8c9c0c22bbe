#include "key_tables.h"

#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_pc.h"

std::unique_ptr<CLutrovaneBase> NewKeyboardTable(int nKeyboardType)
{
    switch (nKeyboardType) {
    case 0:
        return std::make_unique<CLutrovanePC>();
    case 1:
        return std::make_unique<CLutrovaneAppleExt>();
    case 2:
        return std::make_unique<CLutrovaneApplePro>();
    case 3:
        return std::make_unique<CLutrovaneAppleEtc>();
    }
    return nullptr;
}

std::unique_ptr<CLutrovaneBase> NewRealKeyResolver(int nKeyboardType)
{
    if (nKeyboardType == 0)
        return std::make_unique<CLutrovaneCore>();
    return NewKeyboardTable(nKeyboardType);
}

int RealKeyCount(CLutrovaneBase& keyboardTable, int nKeyboardType)
{
    // The PC table ends in rows offered only as mapped keys.
    if (nKeyboardType == 0)
        return int(static_cast<CLutrovanePC&>(keyboardTable).GetSizeOfFromMap());
    return int(keyboardTable.GetSizeOfMap());
}

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

int RealKeyCount(CLutrovaneBase& keyboardTable, int nKeyboardType)
{
    // The PC table ends in rows offered only as mapped keys.
    if (nKeyboardType == 0)
        return int(static_cast<CLutrovanePC&>(keyboardTable).GetSizeOfFromMap());
    return int(keyboardTable.GetSizeOfMap());
}

CPageKeyTables::CPageKeyTables() : m_nKeyboardType(-1) {}

CPageKeyTables::~CPageKeyTables() {}

CLutrovaneBase* CPageKeyTables::GetKeyboardTable(int nKeyboardType)
{
    if (!m_pKeyboard || m_nKeyboardType != nKeyboardType) {
        m_pKeyboard = NewKeyboardTable(nKeyboardType);
        m_nKeyboardType = nKeyboardType;
    }
    return m_pKeyboard.get();
}

CLutrovaneBase& CPageKeyTables::GetCatalogue()
{
    if (!m_pCatalogue)
        m_pCatalogue = std::make_unique<CLutrovaneCore>();
    return *m_pCatalogue;
}

void CPageKeyTables::DecodeMap(int nKeyboardType, unsigned char* pBuffer,
                               CStringArray& realNames, CWordArray& realCodes,
                               CStringArray& mapNames, CWordArray& mapCodes)
{
    CLutrovaneBase* pKeyboard = GetKeyboardTable(nKeyboardType);
    if (!pKeyboard)
        return;
    pKeyboard->GetScancodeMap(pBuffer, realNames, realCodes, 1);
    GetCatalogue().GetScancodeMap(pBuffer, mapNames, mapCodes, 0);
    // The decoders name every code no table holds alike, as they name 0, no
    // key's code; the rows name each with its code, as the edit dialog does.
    // Only those are named again: naming every entry twice made the decoding
    // two thirds slower.
    const CString strUnknownReal = pKeyboard->GetKeyName(0);
    const CString strUnknownMapped = GetCatalogue().GetKeyName(0);
    for (int k = 0; k < realNames.GetSize(); ++k) {
        if (realNames[k] == static_cast<const char*>(strUnknownReal))
            realNames.SetAtGrow(k, GetKeyNameWithCode(*pKeyboard, realCodes[k]));
    }
    for (int k = 0; k < mapNames.GetSize(); ++k) {
        if (mapNames[k] == static_cast<const char*>(strUnknownMapped))
            mapNames.SetAtGrow(k, GetKeyNameWithCode(GetCatalogue(), mapCodes[k]));
    }
}

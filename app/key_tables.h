// The key tables that serve a keyboard type index (0 PC, 1 Apple Extended,
// 2 Apple Pro, 3 other Apple).
#pragma once

#include <memory>

#include "lutrovane_core.h"

// The keyboard's own table: its real keys, and their names in a decoded map.
// NULL for an index outside 0 to 3.
std::unique_ptr<CLutrovaneBase> NewKeyboardTable(int nKeyboardType);
// How many of the keyboard table's first rows are offered as real keys.
int RealKeyCount(CLutrovaneBase& keyboardTable, int nKeyboardType);

// The tables of one mapping list page. Each is built at its first use and
// kept as long as the page: a table never changes once built, so a command
// has no need for a fresh one, and its lookups by name use the index the
// table built at the first of them.
class CPageKeyTables
{
public:
    CPageKeyTables();
    ~CPageKeyTables();
    CPageKeyTables(const CPageKeyTables&) = delete;
    CPageKeyTables& operator=(const CPageKeyTables&) = delete;

    // The keyboard's own table (NewKeyboardTable); another index than the
    // last one asked for builds it anew.
    CLutrovaneBase* GetKeyboardTable(int nKeyboardType);
    // The master catalogue, which names the mapped keys.
    CLutrovaneBase& GetCatalogue();

    // Decodes map bytes into the halves of the list: the real keys with the
    // keyboard's table, the mapped keys with the catalogue, a code the table
    // does not hold by the not-found name with the code. An index outside
    // 0 to 3 leaves all four arrays as they were.
    void DecodeMap(int nKeyboardType, unsigned char* pBuffer, CStringArray& realNames,
                   CWordArray& realCodes, CStringArray& mapNames, CWordArray& mapCodes);

private:
    int m_nKeyboardType;                         // the index m_pKeyboard was built for
    std::unique_ptr<CLutrovaneBase> m_pKeyboard;
    std::unique_ptr<CLutrovaneCore> m_pCatalogue;
};

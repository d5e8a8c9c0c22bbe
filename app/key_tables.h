// The key tables that serve a keyboard type index (0 PC, 1 Apple Extended,
// 2 Apple Pro, 3 other Apple). Each is made for one operation and freed at
// its end; NULL for an index outside 0 to 3.
#pragma once

#include <memory>

#include "lutrovane_core.h"

// The keyboard's own table: its real keys, and their names in a decoded map.
std::unique_ptr<CLutrovaneBase> NewKeyboardTable(int nKeyboardType);
// The table that turns a real key's name back into its code: the catalogue
// for the PC keyboard, whose every key it holds under the same name.
std::unique_ptr<CLutrovaneBase> NewRealKeyResolver(int nKeyboardType);
// How many of the keyboard table's first rows are offered as real keys.
int RealKeyCount(CLutrovaneBase& keyboardTable, int nKeyboardType);

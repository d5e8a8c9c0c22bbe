// What the fuzz targets share: the five key tables, and what a target does
// when a property fails (says which, and aborts, so that libFuzzer keeps the
// input as a crash).
#pragma once

#include "lutrovane_apple_etc.h"
#include "lutrovane_apple_ext.h"
#include "lutrovane_apple_pro.h"
#include "lutrovane_core.h"
#include "lutrovane_pc.h"

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// Built once per run: a table never changes after construction.
struct SKeyTables
{
    CLutrovaneCore catalogue;
    CLutrovanePC pc;
    CLutrovaneApplePro pro;
    CLutrovaneAppleEtc etc;
    CLutrovaneAppleExt ext;
    CLutrovaneBase* all[5] = {&catalogue, &pc, &pro, &etc, &ext};
};

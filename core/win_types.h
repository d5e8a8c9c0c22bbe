// The Windows types the core's declarations use, for a build without
// <windows.h>: the native build that runs the byte handling under the
// sanitizers and the fuzzer. Sizes as on Windows; nothing here calls Windows.
#pragma once

#ifdef _WIN32
#error "Windows builds take these types from <windows.h>"
#endif

#include <cstdint>

typedef std::uint16_t WORD;

// Only named by a declaration (the owner window of the restart request),
// which has no definition in this build.
typedef struct HWND__* HWND;

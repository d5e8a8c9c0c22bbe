// Maps kept by other tools, read into the Scancode Map value they stand for:
// registry files, SharpKeys' saved key lists (.skl) and PowerToys Keyboard
// Manager's settings (default.json). Bytes in memory only: the programs read
// the files, and each passes in how a virtual key becomes a scan code.
#pragma once

#include "reg_file.h"

#include <string>
#include <vector>

enum EMapImportFormat
{
    IMPORT_NONE,
    IMPORT_REG,
    IMPORT_SKL,
    IMPORT_KEY_MANAGER,  // PowerToys Keyboard Manager's .json
};

// By the path's extension, in any letter case: .reg, .skl, .json.
LUTROVANE_CORE_API EMapImportFormat ImportFormatOf(const wchar_t* pszPath);

// The scan code of a virtual key under the keyboard layout in use, prefix in
// the high byte as MapVirtualKeyExW(MAPVK_VK_TO_VSC_EX) gives it (0xE05B for
// the left Windows key); 0 when the layout has none.
typedef unsigned short (*PFN_SCANCODE_OF_VK)(unsigned int nVirtualKey, void* pContext);

// Reads a file of nFormat. Empty and pContent filled when a map came in;
// else what is wrong, with the line or the entry, and pContent as it was.
// What the file holds that a map cannot (a key remapped to a shortcut, an
// app's own remaps) goes to pLeftOut, one line each, its keys by name and
// why; the conversion is used for .json only. The strings are allocated in
// the C run-time's heap, which the modules share.
LUTROVANE_CORE_API std::string ImportMap(EMapImportFormat nFormat, const unsigned char* pData,
                                         size_t nLength, PFN_SCANCODE_OF_VK pfnScancode,
                                         void* pContext, SRegFileContent* pContent,
                                         std::vector<std::string>* pLeftOut);

// Map data files (.lvd, through the core) and registry files (.reg) on disk,
// and the maps of other tools that the core imports (.skl, .json).
#pragma once

#include "map_import.h"

#include <string>

enum EMapFileFormat
{
    FORMAT_UNKNOWN,
    FORMAT_LVD,
    FORMAT_REG,
    FORMAT_SKL,   // read only
    FORMAT_JSON,  // read only
};

// By the extension, in any letter case.
EMapFileFormat MapFileFormatOf(const std::wstring& path);
// A format lvmap writes: .lvd or .reg.
bool IsWritableFormat(EMapFileFormat nFormat);

// Reads and checks the map of a file. Prints what is wrong, and what another
// tool's file holds that a map cannot, and returns the exit code; content is
// filled only on kExitDone.
int ReadMapFile(const std::wstring& path, SRegFileContent* pContent);
// The same for a registry file, without a word: what is wrong goes to *pError.
// bKeptValue: a file of the map's history, read as ParseRegFile reads one.
int ReadRegFile(const std::wstring& path, SRegFileContent* pContent, std::wstring* pError,
                bool bKeptValue = false);
// Writes a checked map to a file in the format of its extension; an existing
// file is replaced only by a whole new one.
int WriteMapFile(const std::wstring& path, const SRegFileContent& content);

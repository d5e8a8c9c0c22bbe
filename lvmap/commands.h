// The commands of lvmap. Each prints its result or its error and returns
// the process's exit code.
#pragma once

#include "lutrovane_core.h"

#include <memory>
#include <string>

enum
{
    kExitDone = 0,
    kExitUsage = 1,
    kExitFailure = 2,   // the registry or a file failed; the system's message was printed
    kExitInvalid = 3,   // an input file, or the system's map, is not a sound map,
                        // or a map would leave no key to sign in with
    kExitNoMap = 4,     // export: the system holds no map
};

// Keyboard type index 0 to 3: the table that names the real keys.
std::unique_ptr<CLutrovaneBase> NewKeyboardTable(int nKeyboard);
// A scan code in the Windows form, prefix first: "E038" for 0x38E0.
std::wstring CodeText(unsigned short wScancode);

int ShowCommand(int nKeyboard);
int KeysCommand(int nKeyboard);
// Changes of the map keep the value they replace in the history first. With
// bForce a map after which nobody could sign in is written all the same.
int ApplyCommand(const std::wstring& path, bool bForce);
int RemoveCommand();
int HistoryCommand(int nKeyboard);
int UndoCommand(bool bForce);
// strWhat: a number as history lists it, or a .lvd or .reg file.
int RestoreCommand(const std::wstring& strWhat, bool bForce);
int ExportCommand(const std::wstring& path);
int ConvertCommand(const std::wstring& inPath, const std::wstring& outPath);
// Waits for key presses until Esc comes twice in a row or nTimeoutSeconds
// pass without a key.
int DetectCommand(int nKeyboard, unsigned long nTimeoutSeconds);

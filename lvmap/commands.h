// The commands of lvmap. Each prints its result or its error and returns
// the process's exit code.
#pragma once

#include "lutrovane_core.h"
#include "reg_file.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

enum
{
    kExitDone = 0,
    kExitUsage = 1,
    kExitFailure = 2,   // the registry or a file failed; the system's message was printed
    kExitInvalid = 3,   // an input file, or the system's map, is not a sound map,
                        // or a map would leave no key to sign in with
    kExitNoMap = 4,     // export: the system holds no map; verify: none, and one is asked for
    kExitDiffers = 5,   // verify: the system's map is not the one asked for
};

enum ESystemMap
{
    MAP_NONE,      // no Scancode Map value
    MAP_READ,      // the value's bytes were read
    MAP_TOO_LONG,  // a value longer than any map, which the core does not read
};

// The system's map as ReadSystemMap finds it.
struct SSystemMap
{
    ESystemMap state;
    std::vector<unsigned char> map;  // MAP_READ: the value's bytes
    unsigned long nSize;             // the value's size, also when it is too long
    unsigned long nType;             // the value's type; a map is REG_BINARY
};

typedef std::pair<unsigned short, unsigned short> KeyPair;  // real key, mapped key

struct SDecodedMap
{
    CStringArray realNames, mappedNames;
    CWordArray realCodes, mappedCodes;
};

// Shared by the commands.

// Keyboard type index 0 to 3: the table that names the real keys.
std::unique_ptr<CLutrovaneBase> NewKeyboardTable(int nKeyboard);
// A scan code in the Windows form, prefix first: "E038" for 0x38E0.
std::wstring CodeText(unsigned short wScancode);
// A key as lvmap prints it: its code, then its name in the table.
std::wstring KeyText(CLutrovaneBase& table, unsigned short wScancode);
// A mapped key as lvmap prints it: as KeyText, and 0000 named off, as pairs name it.
std::wstring MappedText(CLutrovaneBase& catalogue, unsigned short wScancode);
// "1 mapping", "2 mappings".
std::wstring MappingCount(size_t nMappings);
// The mappings of sound map bytes, as MappingCount.
std::wstring Mappings(size_t nMapBytes);
// As the wizard reads a map back: the real keys by the keyboard's table, the
// mapped keys by the catalogue, decoded from one buffer of kMaxMapBytes.
void DecodeMap(std::vector<unsigned char> map, int nKeyboard, SDecodedMap* pDecoded);

// Reads the system's map. kExitDone with what was found, or kExitFailure
// after a message.
int ReadSystemMap(SSystemMap* pSystem);
// Why the system's map is not sound, Windows may ignore it; empty when it is.
std::wstring Unsoundness(const SSystemMap& system);
// Sets the system's map, or removes it, as apply does; prints what it did.
int WriteSystemMap(const SRegFileContent& content, bool bForce);
// Why the history does not read or write: the system's message for dwError,
// or for ERROR_BAD_PATHNAME why the history has no place; and what stood in
// its place and could not be moved aside, with who can remove it.
std::wstring HistoryReason(const CMapHistory& history, unsigned long dwError);
// Says, in one line, what stood in the history's place and was moved aside.
void NoteMovedAside(const CMapHistory& history);
// Pairs REAL=MAPPED, and swaps A~B for A=B B=A, real keys named by the
// keyboard's table: their map bytes, or kExitInvalid after a line for each
// pair that is wrong.
int ParsePairs(const std::vector<std::wstring>& pairs, int nKeyboard, SRegFileContent* pContent);

// commands.cpp
int ShowCommand(int nKeyboard);
int KeysCommand(int nKeyboard);
// Changes of the map keep the value they replace in the history first. With
// bForce a map after which nobody could sign in is written all the same.
int ApplyCommand(const std::wstring& path, bool bForce);
int RemoveCommand();
int ExportCommand(const std::wstring& path);
int ConvertCommand(const std::wstring& inPath, const std::wstring& outPath);

// pairs.cpp
int ApplyPairsCommand(const std::vector<std::wstring>& pairs, int nKeyboard, bool bForce);
// Writes the map of the pairs to a file; the system is not touched.
int MakeCommand(const std::wstring& path, const std::vector<std::wstring>& pairs, int nKeyboard);

// verify.cpp. what: one file (.lvd or .reg) or pairs. Reads only.
int VerifyCommand(const std::vector<std::wstring>& what, int nKeyboard);

// history_commands.cpp
int HistoryCommand(int nKeyboard);
int UndoCommand(bool bForce);
// strWhat: a number as history lists it, or a .lvd or .reg file.
int RestoreCommand(const std::wstring& strWhat, bool bForce);

// detect.cpp. Waits for key presses until Esc comes twice in a row or
// nTimeoutSeconds pass without a key.
int DetectCommand(int nKeyboard, unsigned long nTimeoutSeconds);

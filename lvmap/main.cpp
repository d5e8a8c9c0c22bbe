// lvmap: Lutrovane's key maps from the command line, for scripts, installers
// and deployment tools.
#include "commands.h"
#include "console.h"
#include "map_files.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

const wchar_t kVersion[] = L"lvmap 1.0.3 (Lutrovane 1.0.3)\r\n";

const wchar_t kHelp[] =
    L"Usage: lvmap COMMAND [ARGUMENTS]\r\n"
    L"Reads and writes the Windows key map (the registry value Scancode Map).\r\n"
    L"\r\n"
    L"  show [--keyboard KB]     the system's map, one mapping per line:\r\n"
    L"                           real key code and name -> mapped key code and name\r\n"
    L"  apply FILE|PAIR... [--keyboard KB] [--force]\r\n"
    L"                           writes the map of FILE (.lvd, .reg, .skl, .json),\r\n"
    L"                           or of the pairs, to the system; a .reg file with\r\n"
    L"                           \"Scancode Map\"=- removes the map\r\n"
    L"  make OUT PAIR... [--keyboard KB]\r\n"
    L"                           writes the map of the pairs to OUT (.lvd or .reg);\r\n"
    L"                           the system's map is not touched\r\n"
    L"  verify FILE|PAIR... [--keyboard KB]\r\n"
    L"                           tells by its exit code whether the system's map is\r\n"
    L"                           FILE's or the pairs', and prints what differs\r\n"
    L"  remove                   removes the system's map\r\n"
    L"  history [--keyboard KB]  the maps that changes replaced, newest first\r\n"
    L"  undo [--force]           puts back the newest kept map unlike the one in place\r\n"
    L"  restore N|FILE [--force] puts back the map numbered N by history, or a file's\r\n"
    L"  export FILE              writes the system's map to FILE (.lvd or .reg)\r\n"
    L"  convert IN OUT           turns one file into the other; the format follows\r\n"
    L"                           each name's extension (.lvd or .reg; IN also .skl,\r\n"
    L"                           SharpKeys' list, or .json, PowerToys Keyboard\r\n"
    L"                           Manager's; what a map cannot hold is named)\r\n"
    L"  keys [--keyboard KB]     the keys of a keyboard's table with their codes\r\n"
    L"  detect [--keyboard KB] [--timeout SECONDS]\r\n"
    L"                           shows the code and the names of each key you press,\r\n"
    L"                           until Esc twice or SECONDS (30) without a key\r\n"
    L"  --help, --version\r\n"
    L"\r\n"
    L"KB is pc (the default), apple-ext, apple-pro or apple-etc. Codes are written\r\n"
    L"as Windows writes scan codes, the prefix first: E038 is the right Alt key.\r\n"
    L"Changing the map needs administrator rights and takes effect when Windows\r\n"
    L"restarts; lvmap restarts nothing. Every map is checked before it is written.\r\n"
    L"Each change keeps the map it replaces in %ProgramData%\\Lutrovane\\history (the\r\n"
    L"last 50); when that cannot be written, nothing changes. A map that leaves no\r\n"
    L"key for Ctrl, Alt or Delete (Ctrl+Alt+Del) or for Enter is refused, as nobody\r\n"
    L"might sign in to Windows with it; --force writes it all the same.\r\n"
    L"\r\n"
    L"A pair is REAL=MAPPED, as CapsLock=Control(왼쪽) E05B=off \"키패드 Enter\"=A.\r\n"
    L"REAL is a key's name as keys --keyboard KB lists it; MAPPED a name as keys\r\n"
    L"lists the PC keyboard's (the wizard's mapped keys) or as KB's list has it,\r\n"
    L"or off (0000). Names in any letter case, quoted when they hold spaces; either\r\n"
    L"side may be a code of four hex digits as show prints them, 0x allowed (0073,\r\n"
    L"0xE06A). = is a key too: a pair splits at the one = that leaves a key on\r\n"
    L"each side (=== maps = to =, CapsLock== maps CapsLock to =). Wrong pairs are\r\n"
    L"each told with their place and why, and nothing is done (exit 3): unknown\r\n"
    L"names, codes not of four hex digits, a real key twice or 0000, more than\r\n"
    L"252 mappings.\r\n"
    L"A swap A~B stands for the pairs A=B B=A; both are real keys of KB. By the\r\n"
    L"documented quoting rules of cmd.exe and PowerShell, ~ needs no quoting\r\n"
    L"(not tried in PowerShell: Wine, where lvmap is tested, has none).\r\n"
    L"verify looks at the pairs alone: their order and null entries in between do\r\n"
    L"not count, but the order of the pairs of a real key named more than once\r\n"
    L"does, as Windows takes one of them. A file with \"Scancode Map\"=- asks for\r\n"
    L"no map. A system map that is not sound, or not of type binary, differs (5):\r\n"
    L"Windows may ignore it, and applying the map asked for mends it. verify\r\n"
    L"reads only and needs no rights.\r\n"
    L"\r\n"
    L"Exit codes:\r\n"
    L"  0  done; verify: the system's map is the one asked for\r\n"
    L"  1  wrong usage\r\n"
    L"  2  the registry, a file or the output failed (the system's message says why)\r\n"
    L"  3  an input file, or the system's map for export, is not a sound map;\r\n"
    L"     also show, when the system's map is more than 1024 bytes; or the map\r\n"
    L"     would leave no key to sign in with (without --force); or wrong pairs\r\n"
    L"  4  export: the system holds no map; verify: it holds none, and a map is\r\n"
    L"     asked for\r\n"
    L"  5  verify: the system's map is not the one asked for\r\n";

const wchar_t* const kKeyboards[] = {L"pc", L"apple-ext", L"apple-pro", L"apple-etc"};
const unsigned long kDefaultTimeoutSeconds = 30;
const unsigned long kMaxTimeoutSeconds = 24 * 60 * 60;

int Usage(const std::wstring& what)
{
    WriteErr(L"lvmap: " + what + L"\r\nTry lvmap --help.\r\n");
    return kExitUsage;
}

struct SOptions
{
    int nKeyboard = 0;
    bool bForce = false;
    unsigned long nTimeoutSeconds = kDefaultTimeoutSeconds;
    std::vector<std::wstring> operands;
};

// Takes "--name value" and "--name=value" for the options the command allows,
// and --force alone.
bool ParseOptions(const std::vector<std::wstring>& args, bool bKeyboard, bool bTimeout, bool bForce,
                  SOptions* pOptions, std::wstring* pError)
{
    for (size_t i = 1; i < args.size(); ++i) {
        std::wstring name = args[i];
        std::wstring value;
        bool bHasValue = false;
        if (name.compare(0, 2, L"--") == 0) {
            const size_t nEquals = name.find(L'=');
            if (nEquals != std::wstring::npos) {
                value = name.substr(nEquals + 1);
                name.resize(nEquals);
                bHasValue = true;
            }
        } else {
            pOptions->operands.push_back(name);
            continue;
        }
        const bool bKnown = (bKeyboard && name == L"--keyboard") || (bTimeout && name == L"--timeout")
                            || (bForce && name == L"--force");
        if (!bKnown) {
            *pError = L"unknown option " + args[i] + L" for " + args[0];
            return false;
        }
        if (name == L"--force") {
            if (bHasValue) {
                *pError = L"--force takes no value";
                return false;
            }
            pOptions->bForce = true;
            continue;
        }
        if (!bHasValue) {
            if (++i >= args.size()) {
                *pError = name + L" needs a value";
                return false;
            }
            value = args[i];
        }
        if (name == L"--keyboard") {
            pOptions->nKeyboard = -1;
            for (int k = 0; k < 4; ++k) {
                if (value == kKeyboards[k])
                    pOptions->nKeyboard = k;
            }
            if (pOptions->nKeyboard < 0) {
                *pError = L"unknown keyboard " + value + L": pc, apple-ext, apple-pro or apple-etc";
                return false;
            }
        } else {
            wchar_t* pEnd = nullptr;
            const unsigned long nSeconds = wcstoul(value.c_str(), &pEnd, 10);
            if (value.empty() || *pEnd || nSeconds == 0 || nSeconds > kMaxTimeoutSeconds
                || value[0] == L'-' || value[0] == L'+') {
                *pError = L"--timeout takes a number of seconds from 1 to "
                          + Decimal(kMaxTimeoutSeconds);
                return false;
            }
            pOptions->nTimeoutSeconds = nSeconds;
        }
    }
    return true;
}

bool IsMapFile(const std::wstring& path)
{
    return MapFileFormatOf(path) != FORMAT_UNKNOWN;
}

bool IsWritableMapFile(const std::wstring& path)
{
    return IsWritableFormat(MapFileFormatOf(path));
}

int BadFileName(const std::wstring& path, bool bWritten = true)
{
    return Usage(path + L": the name must end in .lvd (map data file) or .reg (registry file)"
                 + (bWritten ? L"" : L", .skl or .json"));
}

// make OUT PAIR..., apply and verify FILE|PAIR...: the operands are pairs
// unless the one operand names a map file.
int RunWithPairs(const std::wstring& command, const SOptions& options)
{
    std::vector<std::wstring> pairs(options.operands);
    std::wstring path;
    if (command == L"make" && !pairs.empty()) {
        path = pairs[0];
        pairs.erase(pairs.begin());
        if (!IsWritableMapFile(path))
            return BadFileName(path);
    } else if (pairs.size() == 1 && IsMapFile(pairs[0])) {
        return command == L"apply" ? ApplyCommand(pairs[0], options.bForce)
                                   : VerifyCommand(pairs, options.nKeyboard);
    }
    // One operand with = or ~ makes them all pairs, each told what is wrong with it.
    if (std::none_of(pairs.begin(), pairs.end(),
                     [](const std::wstring& pair) { return pair.find_first_of(L"=~") != std::wstring::npos; })) {
        return Usage(command == L"make" ? std::wstring(L"make takes a file (.lvd or .reg) and pairs REAL=MAPPED or A~B")
                                        : command + L" takes one file (.lvd or .reg) or pairs REAL=MAPPED or A~B");
    }
    if (command == L"make")
        return MakeCommand(path, pairs, options.nKeyboard);
    return command == L"apply" ? ApplyPairsCommand(pairs, options.nKeyboard, options.bForce)
                               : VerifyCommand(pairs, options.nKeyboard);
}

int Run(const std::vector<std::wstring>& args)
{
    if (args.empty())
        return Usage(L"no command given");
    const std::wstring& command = args[0];
    if (command == L"--help" || command == L"-h" || command == L"/?") {
        WriteOut(kHelp);
        return kExitDone;
    }
    if (command == L"--version") {
        WriteOut(kVersion);
        return kExitDone;
    }

    const bool bPairs = command == L"make" || command == L"apply" || command == L"verify";
    const bool bKeyboard = bPairs || command == L"show" || command == L"keys" || command == L"detect"
                           || command == L"history";
    const bool bForce = command == L"apply" || command == L"undo" || command == L"restore";
    size_t nOperands = 0;
    if (command == L"export" || command == L"restore")
        nOperands = 1;
    else if (command == L"convert")
        nOperands = 2;
    else if (!bKeyboard && command != L"remove" && command != L"undo")
        return Usage(L"unknown command " + command);

    SOptions options;
    std::wstring error;
    if (!ParseOptions(args, bKeyboard, command == L"detect", bForce, &options, &error))
        return Usage(error);
    if (bPairs)
        return RunWithPairs(command, options);
    if (options.operands.size() != nOperands) {
        return Usage(command + L" takes "
                     + (nOperands == 0 ? std::wstring(L"no file")
                                       : nOperands == 1 ? std::wstring(L"one file") : std::wstring(L"two files")));
    }
    for (const std::wstring& path : options.operands) {
        // restore takes the number history shows as well.
        const bool bNumber = command == L"restore" && !path.empty()
                             && path.find_first_not_of(L"0123456789") == std::wstring::npos;
        // convert reads any map file; what lvmap writes, or restores, is its own.
        const bool bRead = command == L"convert" && &path == &options.operands[0];
        if (!bNumber && !(bRead ? IsMapFile(path) : IsWritableMapFile(path)))
            return BadFileName(path, !bRead);
    }

    if (command == L"show")
        return ShowCommand(options.nKeyboard);
    if (command == L"keys")
        return KeysCommand(options.nKeyboard);
    if (command == L"detect")
        return DetectCommand(options.nKeyboard, options.nTimeoutSeconds);
    if (command == L"history")
        return HistoryCommand(options.nKeyboard);
    if (command == L"undo")
        return UndoCommand(options.bForce);
    if (command == L"restore")
        return RestoreCommand(options.operands[0], options.bForce);
    if (command == L"export")
        return ExportCommand(options.operands[0]);
    if (command == L"convert")
        return ConvertCommand(options.operands[0], options.operands[1]);
    return RemoveCommand();
}

}  // namespace

// The C run-time's wide arguments, not CommandLineToArgvW's: shell32 would
// bring user32 in, and with it the window system, for every command. Both
// split the command line by the same rules (quotes, and backslashes before a
// quote); they differ only on "" inside quotes, which no file or key name
// here holds. The run-time expands no wildcards unless asked to.
int wmain(int nArgs, wchar_t** ppszArgs)
{
    const std::vector<std::wstring> args(ppszArgs + (nArgs > 0 ? 1 : 0), ppszArgs + nArgs);
    const int nExit = Run(args);
    // "show > file" on a full disk: a script must not take a cut list for the map.
    if (OutputError() != 0) {
        WriteErr(L"lvmap: the output could not be written: " + SystemMessage(OutputError()) + L"\r\n");
        return nExit == kExitDone ? kExitFailure : nExit;
    }
    return nExit;
}

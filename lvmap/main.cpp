// lvmap: Lutrovane's key maps from the command line, for scripts, installers
// and deployment tools.
#include "commands.h"
#include "console.h"
#include "map_files.h"

#include <shellapi.h>

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
    L"  apply FILE [--force]     writes the map of FILE (.lvd or .reg) to the system;\r\n"
    L"                           a .reg file with \"Scancode Map\"=- removes the map\r\n"
    L"  remove                   removes the system's map\r\n"
    L"  history [--keyboard KB]  the maps that changes replaced, newest first\r\n"
    L"  undo [--force]           puts back the newest kept map unlike the one in place\r\n"
    L"  restore N|FILE [--force] puts back the map numbered N by history, or a file's\r\n"
    L"  export FILE              writes the system's map to FILE (.lvd or .reg)\r\n"
    L"  convert IN OUT           turns one file into the other; the format follows\r\n"
    L"                           each name's extension (.lvd or .reg)\r\n"
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
    L"Exit codes:\r\n"
    L"  0  done\r\n"
    L"  1  wrong usage\r\n"
    L"  2  the registry, a file or the output failed (the system's message says why)\r\n"
    L"  3  an input file, or the system's map for export, is not a sound map;\r\n"
    L"     also show, when the system's map is more than 1024 bytes; or the map\r\n"
    L"     would leave no key to sign in with (without --force)\r\n"
    L"  4  export: the system holds no map\r\n";

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
                          + std::to_wstring(kMaxTimeoutSeconds);
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

    const bool bKeyboard = command == L"show" || command == L"keys" || command == L"detect"
                           || command == L"history";
    const bool bForce = command == L"apply" || command == L"undo" || command == L"restore";
    size_t nOperands = 0;
    if (command == L"apply" || command == L"export" || command == L"restore")
        nOperands = 1;
    else if (command == L"convert")
        nOperands = 2;
    else if (!bKeyboard && command != L"remove" && command != L"undo")
        return Usage(L"unknown command " + command);

    SOptions options;
    std::wstring error;
    if (!ParseOptions(args, bKeyboard, command == L"detect", bForce, &options, &error))
        return Usage(error);
    if (options.operands.size() != nOperands) {
        return Usage(command + L" takes "
                     + (nOperands == 0 ? std::wstring(L"no file")
                                       : nOperands == 1 ? std::wstring(L"one file") : std::wstring(L"two files")));
    }
    for (const std::wstring& path : options.operands) {
        // restore takes the number history shows as well.
        const bool bNumber = command == L"restore" && !path.empty()
                             && path.find_first_not_of(L"0123456789") == std::wstring::npos;
        if (!bNumber && !IsMapFile(path))
            return Usage(path + L": the name must end in .lvd (map data file) or .reg (registry file)");
    }

    if (command == L"show")
        return ShowCommand(options.nKeyboard);
    if (command == L"keys")
        return KeysCommand(options.nKeyboard);
    if (command == L"detect")
        return DetectCommand(options.nKeyboard, options.nTimeoutSeconds);
    if (command == L"apply")
        return ApplyCommand(options.operands[0], options.bForce);
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

int main()
{
    int nArgs = 0;
    wchar_t** ppszArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    std::vector<std::wstring> args;
    for (int i = 1; ppszArgs && i < nArgs; ++i)
        args.push_back(ppszArgs[i]);
    LocalFree(ppszArgs);
    const int nExit = Run(args);
    // "show > file" on a full disk: a script must not take a cut list for the map.
    if (OutputError() != 0) {
        WriteErr(L"lvmap: the output could not be written: " + SystemMessage(OutputError()) + L"\r\n");
        return nExit == kExitDone ? kExitFailure : nExit;
    }
    return nExit;
}

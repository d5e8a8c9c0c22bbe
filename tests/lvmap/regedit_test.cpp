// lvmap's registry file reader measured against the registry editor: each
// file of a corpus generated here is imported with regedit /S into a scratch
// key of its own and read with ParseRegFile. Both must reach the same value,
// or both refuse; where the editor sets bytes that are no sound map, lvmap's
// check of the map refuses them.
#include "reg_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

const wchar_t kScratchKey[] = L"SOFTWARE\\Lutrovane regedit test";
const char kScratchPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Lutrovane regedit test";
// Set before each import: still there afterwards, the editor set nothing.
const BYTE kUntouched[] = {0xAA};

// CapsLock to the left Control key, in two halves for folded data.
const char kMapHead[] = "00,00,00,00,00,00,00,00,";
const char kMapTail[] = "02,00,00,00,1d,00,3a,00,00,00,00,00";

struct SVariant
{
    std::string what;
    // {K} stands for the key's path, {k} for it in small letters, {H} and
    // {T} for the map's halves and {M} for the whole map.
    std::string text;
    bool bUtf16;
    // Wine's editor reads bytes and type numbers with wcstoul, which also
    // takes signs, "0x" and leading blanks: it imports these, lvmap refuses
    // them, as no hand-written map means them.
    bool bWineOnly;
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t n = text.find(from); n != std::string::npos; n = text.find(from, n + to.size()))
        text.replace(n, from.size(), to);
    return text;
}

std::string Lower(std::string text)
{
    for (char& ch : text)
        ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    return text;
}

Bytes FileBytes(const SVariant& variant, const std::string& strKey)
{
    std::string text = Replace(variant.text, "{M}", "{H}{T}");
    text = Replace(Replace(text, "{H}", kMapHead), "{T}", kMapTail);
    text = Replace(Replace(text, "{K}", strKey), "{k}", Lower(strKey));
    Bytes bytes;
    if (variant.bUtf16)
        bytes = {0xFF, 0xFE};
    for (char ch : text) {
        bytes.push_back(static_cast<unsigned char>(ch));
        if (variant.bUtf16)
            bytes.push_back(0);
    }
    return bytes;
}

std::vector<SVariant> Corpus()
{
    std::vector<SVariant> corpus;
    const auto add = [&](const std::string& what, const std::string& text, bool bUtf16 = false,
                         bool bWineOnly = false) { corpus.push_back({what, text, bUtf16, bWineOnly}); };
    const std::string head = "REGEDIT4\r\n[{K}]\r\n";
    const std::string value = "\"Scancode Map\"=hex:{M}\r\n";
    const std::string folded = "\"Scancode Map\"=hex:{H}\\\r\n  {T}\r\n";

    // A blank or a tab at each place a line can hold one: each '~' in turn,
    // the other ones left out.
    for (const std::string base : {
             "~REGEDIT4~\r\n~[~{K}~]~\r\n~\"Scancode Map~\"~=~hex~:~{M}~\r\n",
             "REGEDIT4\r\n[{K}]\r\n\"Scancode Map\"=hex:00~,00,{H}{T}\r\n",
             "REGEDIT4\r\n[{K}]\r\n\"Scancode Map\"=hex:00,~00,00,00,00,00,00,00,{T}\r\n",
             "REGEDIT4\r\n[{K}]\r\n\"Scancode Map\"=hex(3~):{M}\r\n",
             "REGEDIT4\r\n[{K}]\r\n\"Scancode Map\"=hex:{H}~\\~\r\n~{T}\r\n",
             "REGEDIT4\r\n[{K}]\r\n\"Scancode Map\"=hex:{H}\\\r\n~\r\n  {T}\r\n",
             "REGEDIT4\r\n[{K}]\r\n\"Scancode Map\"=~-~\r\n"}) {
        for (size_t n = base.find('~'); n != std::string::npos; n = base.find('~', n + 1)) {
            const std::string place = Replace(base.substr(0, n), "~", "") + "~" + Replace(base.substr(n + 1), "~", "");
            const std::string where = Replace(Replace(place, "\r", "\\r"), "\n", "\\n");
            add("blank at ~ of " + where, Replace(place, "~", " "));
            add("tab at ~ of " + where, Replace(place, "~", "\t"));
        }
    }
    add("blank in hex(", head + "\"Scancode Map\"=hex( 3):{M}\r\n", false, true);

    // Every line end, also mixed; folded data with a comment in between.
    const std::string body = "REGEDIT4|; a comment||[{K}]|\"Scancode Map\"=hex:{H}\\|; entries||  {T}|";
    for (const char* pszEnd : {"\r\n", "\n", "\r", "\n\r"})
        add(std::string("line ends ") + (pszEnd[0] == '\r' ? "CR" : "LF") + (pszEnd[1] ? "+" : ""),
            Replace(body, "|", pszEnd));
    add("mixed line ends", "REGEDIT4\n[{K}]\r\"Scancode Map\"=hex:{H}\\\r\n\n  {T}\r");
    add("no line end at the end", head + "\"Scancode Map\"=hex:{M}");

    // The first line.
    add("editor's export, UTF-16", "Windows Registry Editor Version 5.00\r\n\r\n[{K}]\r\n" + value, true);
    add("version 5 header in ANSI", "Windows Registry Editor Version 5.00\r\n[{K}]\r\n" + value);
    add("REGEDIT4 in UTF-16", head + value, true);
    add("UTF-8 byte-order mark", "\xEF\xBB\xBF" + head + value);
    for (const char* pszHeader : {"REGEDIT40", "REGEDIT4 4", "REGEDIT4;", "REGEDIT", "regedit4", "Regedit4",
                                  "windows registry editor version 5.00",
                                  "Windows Registry Editor Version 5.000", ""})
        add(std::string("header \"") + pszHeader + "\"", std::string(pszHeader) + "\r\n[{K}]\r\n" + value);
    add("comment before the header", "; map\r\n" + head + value);
    add("blank line before the header", "\r\n" + head + value);

    // Letter case of names and data, digits per byte.
    add("key and value name in small letters", "REGEDIT4\r\n[{k}]\r\n\"scancode map\"=hex:{M}\r\n");
    add("value name in capitals", head + "\"SCANCODE MAP\"=hex:{M}\r\n");
    add("hex digits in capitals", head + "\"Scancode Map\"=hex:{H}02,00,00,00,1D,00,3A,00,00,00,00,00\r\n");
    for (const char* pszHex : {"HEX:", "Hex:", "HEX(3):", "hex(3):", "hex(03):", "hex(0003):", "hex(7):",
                               "hex(0):", "hex():", "hex(3)", "hex:(3)", "dword:", "hex(0x3):"})
        add(std::string("data as ") + pszHex, head + "\"Scancode Map\"=" + pszHex + "{M}\r\n");
    const struct {
        const char* byte;
        bool bWineOnly;
    } bytes1d[] = {{"1d", false}, {"01d", false}, {"0001d", false}, {"11d", false}, {"1d0", false},
                   {"0x1d", true}, {"+1d", true},   {"1 d", false},   {"1d.", false}};
    for (const auto& b : bytes1d)
        add(std::string("byte 0x1D written ") + b.byte,
            head + "\"Scancode Map\"=hex:{H}02,00,00,00," + b.byte + ",00,3a,00,00,00,00,00\r\n", false,
            b.bWineOnly);
    add("one-digit bytes", head + "\"Scancode Map\"=hex:0,0,0,0,0,0,0,0,2,0,0,0,1d,0,3a,0,0,0,0,0\r\n");
    add("three-digit bytes", head + "\"Scancode Map\"=hex:000,000,000,000,000,000,000,000,002,000,000,"
                                    "000,01d,000,03a,000,000,000,000,000\r\n");
    add("no byte between two commas", head + "\"Scancode Map\"=hex:00,,{M}\r\n");
    add("comma at the end", head + "\"Scancode Map\"=hex:{M},\r\n");
    add("negative zero", head + "\"Scancode Map\"=hex:-0,00,00,00,00,00,00,00,{T}\r\n", false, true);

    // Comments and blank lines inside folded data, and what breaks it.
    add("comment lines and blank lines in folded data",
        head + "\"Scancode Map\"=hex:{H}\\\r\n; c\r\n\r\n  ; c\r\n\t\r\n  {T}\r\n");
    add("comments after the backslash and the last byte",
        head + "\"Scancode Map\"=hex:{H}\\ ; c\r\n  {T} ; c\r\n");
    add("comment right after a byte", head + "\"Scancode Map\"=hex:{M};c\r\n");
    add("'#' line in folded data", head + "\"Scancode Map\"=hex:{H}\\\r\n# c\r\n  {T}\r\n");
    add("text after the backslash", head + "\"Scancode Map\"=hex:{H}\\ x\r\n  {T}\r\n");
    add("backslash without comma", head + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00\\\r\n  ,{T}\r\n");
    add("backslash at the end of the file", head + "\"Scancode Map\"=hex:{M},\\\r\n");
    add("backslash, then only comments", head + "\"Scancode Map\"=hex:{M},\\\r\n; c\r\n");
    add("folded data cut off, rest on a line of its own", head + "\"Scancode Map\"=hex:{H}\r\n  {T}\r\n");
    add("folded data cut off by a value, the value again",
        head + "\"Scancode Map\"=hex:{H}\\\r\n\"Other\"=hex:01\r\n" + value);
    add("folded data cut off by a key line",
        head + "\"Scancode Map\"=hex:{H}\\\r\n[{K}\\sub]\r\n" + value);
    add("another value's folded data swallows a key line",
        "REGEDIT4\r\n[" + std::string(kScratchPath) + "\\other]\r\n\"X\"=hex:01,\\\r\n[{K}]\r\n" + value);
    add("another value's folded data over a comment", head + "\"X\"=hex(7):41,00,\\\r\n; c\r\n  00,00\r\n" + value);

    // Repeated keys and values: the last one the editor reads counts.
    add("value twice", head + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,01,00,00,00,00,00,00,00\r\n" + value);
    add("value, then removed", head + value + "\"Scancode Map\"=-\r\n");
    add("removed, then value", head + "\"Scancode Map\"=-\r\n" + value);
    add("removal with a comment", head + "\"Scancode Map\"=- ; gone\r\n");
    add("removal with text after it", head + value + "\"Scancode Map\"=- x\r\n");
    add("good value, then bad", head + value + "\"Scancode Map\"=hex:00,zz\r\n");
    add("good value, then string", head + value + "\"Scancode Map\"=\"text\"\r\n");
    add("bad value, then good", head + "\"Scancode Map\"=hex:zz\r\n" + value);
    add("good value, then one without '='", head + value + "\"Scancode Map\" hex:00\r\n");
    add("key twice, another between",
        head + "\"Scancode Map\"=hex:01\r\n[" + std::string(kScratchPath) + "\\other]\r\n[{K}]\r\n" + value);
    add("our value under another key after ours",
        head + value + "[" + std::string(kScratchPath) + "\\other]\r\n\"Scancode Map\"=hex:01\r\n");
    add("our value under a subkey", "REGEDIT4\r\n[{K}\\sub]\r\n" + value);
    add("value before any key", "REGEDIT4\r\n" + value);
    add("default value and others around it",
        head + "@=hex:01\r\n\"Other\"=dword:00000001\r\n" + folded + "\"Layout File\"=\"KBDKOR.DLL\"\r\n");
    add("escapes in the value name", head + "\"Scancode\\ Map\"=hex:{M}\r\n");
    add("value name cut by \\0", head + "\"Scancode\\0 Map\"=hex:{M}\r\n");
    add("value name not closed", head + "\"Scancode Map=hex:{M}\r\n");

    // Unrelated keys with odd lines: a key line the editor cannot read
    // leaves the key before it open.
    const std::string other = std::string(kScratchPath) + "\\other";
    add("blank after '[' of another key, later", head + value + "[ " + other + "]\r\n\"Scancode Map\"=hex:01\r\n");
    add("blank after '[' of another key, before", "REGEDIT4\r\n[ " + other + "]\r\n\"X\"=hex:01\r\n[{K}]\r\n" + value);
    add("another key without ']'", head + "[" + other + "\r\n" + value);
    add("empty key name", head + "[]\r\n" + value);
    add("another key deleted, then a value", head + value + "[-" + other + "]\r\n\"Scancode Map\"=hex:01\r\n");
    add("odd lines in our key", head + "text\r\n= x\r\n\"\r\n@\r\n" + value);
    add("comment after the key line", "REGEDIT4\r\n[{K}] ; ours\r\n" + value);
    add("text after ']'", "REGEDIT4\r\n[{K}]x\r\n" + value);
    add("short root name", "REGEDIT4\r\n[HKLM\\SOFTWARE\\Lutrovane regedit test]\r\n" + value);
    return corpus;
}

// What the editor left in a scratch key: untouched, the value removed, or
// the value of a type with its bytes.
struct SOutcome
{
    enum { UNTOUCHED, REMOVED, SET } kind = REMOVED;
    DWORD dwType = REG_NONE;
    Bytes bytes = Bytes(70000);
};

std::string Hex(const Bytes& bytes)
{
    std::string s;
    char sz[4];
    for (unsigned char b : bytes) {
        snprintf(sz, sizeof(sz), "%02x", b);
        s += sz;
    }
    return s;
}

SOutcome ReadScratch(const std::wstring& key, std::string* pWords)
{
    SOutcome outcome;
    HKEY hKey;
    DWORD nSize = static_cast<DWORD>(outcome.bytes.size());
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
        if (RegQueryValueExW(hKey, L"Scancode Map", nullptr, &outcome.dwType, outcome.bytes.data(), &nSize)
            == ERROR_SUCCESS) {
            outcome.bytes.resize(nSize);
            const bool bUntouched = outcome.dwType == REG_BINARY && nSize == sizeof(kUntouched)
                                    && outcome.bytes[0] == kUntouched[0];
            outcome.kind = bUntouched ? SOutcome::UNTOUCHED : SOutcome::SET;
        }
        RegCloseKey(hKey);
    }
    *pWords = outcome.kind == SOutcome::UNTOUCHED ? std::string("set nothing")
              : outcome.kind == SOutcome::REMOVED ? std::string("removed the value")
                                                  : "set type " + std::to_string(outcome.dwType) + ": "
                                                        + Hex(outcome.bytes);
    return outcome;
}

// Runs regedit.exe /S over the files, all in one start.
DWORD ImportAll(const std::vector<std::wstring>& paths)
{
    std::wstring line = L"regedit.exe /S";
    for (const std::wstring& path : paths)
        line += L" \"" + path + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return GetLastError();
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD dwExit = 0;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return dwExit == STILL_ACTIVE ? WAIT_TIMEOUT : ERROR_SUCCESS;
}

}  // namespace

TEST(RegFile, ReadsWhatTheRegistryEditorImports)
{
    const std::vector<SVariant> corpus = Corpus();
    wchar_t szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    const std::wstring folder = std::wstring(szTemp) + L"regedit-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratchKey);

    std::vector<std::wstring> paths, keys;
    for (size_t i = 0; i < corpus.size(); ++i) {
        const std::wstring number = std::to_wstring(i);
        keys.push_back(std::wstring(kScratchKey) + L"\\" + number);
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, keys.back().c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
        RegSetValueExW(hKey, L"Scancode Map", 0, REG_BINARY, kUntouched, sizeof(kUntouched));
        RegCloseKey(hKey);
        const Bytes file = FileBytes(corpus[i], std::string(kScratchPath) + "\\" + std::to_string(i));
        paths.push_back(folder + L"\\" + number + L".reg");
        HANDLE hFile = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD nWritten = 0;
        WriteFile(hFile, file.data(), static_cast<DWORD>(file.size()), &nWritten, nullptr);
        CloseHandle(hFile);
    }
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ImportAll(paths));

    for (size_t i = 0; i < corpus.size(); ++i) {
        const SVariant& variant = corpus[i];
        SCOPED_TRACE(testing::Message() << i << ": " << variant.what);
        std::string strEditor;
        const SOutcome editor = ReadScratch(keys[i], &strEditor);
        const Bytes file = FileBytes(variant, kKeyboardLayoutKeyPath);
        SRegFileContent content;
        const std::string strError = ParseRegFile(file.data(), file.size(), &content);
        const std::string strLvmap = !strError.empty() ? "refused: " + strError
                                     : content.bDelete ? std::string("removes the value")
                                                       : "reads " + Hex(content.map);
        if (variant.bWineOnly) {
            EXPECT_FALSE(strError.empty()) << "lvmap " << strLvmap;
            continue;
        }
        bool bSame = false;
        switch (editor.kind) {
        case SOutcome::UNTOUCHED:
            bSame = !strError.empty();
            break;
        case SOutcome::REMOVED:
            bSame = strError.empty() && content.bDelete;
            break;
        case SOutcome::SET:
            // Bytes that are no sound map, or of another type, lvmap refuses.
            if (editor.dwType != REG_BINARY || !CheckMapBytes(editor.bytes.data(), editor.bytes.size()).empty())
                bSame = !strError.empty();
            else
                bSame = strError.empty() && !content.bDelete && content.map == editor.bytes;
            break;
        }
        EXPECT_TRUE(bSame) << "the registry editor " << strEditor << ", lvmap " << strLvmap;
    }

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratchKey);
    for (const std::wstring& path : paths)
        DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
}

// lvmap's reader against the registry editor: regedit /S imports each file of a corpus into a
// scratch key of its own, ParseRegFile reads it; both must reach the same value, or both refuse.
#include "process_run.h"
#include "reg_file.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kScratchKey[] = L"SOFTWARE\\Lutrovane regedit test\\";
const char kScratchPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Lutrovane regedit test\\";
const Bytes kUntouched = {0xAA};  // set before the import: still there, the editor set nothing

// In short: '|' is CRLF; {R} a REGEDIT4 header and our key's line, {S} the value's
// name and '=', {X} both and "hex:", {V} the value, {F} it folded; {K} our key, {k}
// in small letters, {O} another; {M} the map (CapsLock to the left Control key),
// {H} and {T} its halves, {P} and {Q} it around the byte 1d. "U:" files are UTF-16;
// "W:" ones Wine's editor alone imports (it reads numbers with wcstoul): no map
// means signs, "0x" or blanks there, and lvmap refuses them.
const char* const kCorpus[] = {
    // Line ends of every kind, also mixed; comments and blank lines in folded data.
    "REGEDIT4|; c||[{K}]|{S}hex:{H}\\|; c||  {T}|", "REGEDIT4\n\r; c\n\r\n\r[{K}]\n\r{S}hex:{H}\\\n\r\n\r  {T}\n\r",
    "REGEDIT4\n; c\n\n[{K}]\n{S}hex:{H}\\\n; c\n\n  {T}\n", "REGEDIT4\r; c\r\r[{K}]\r{S}hex:{H}\\\r; c\r\r  {T}\r",
    "REGEDIT4\n[{K}]\r{S}hex:{H}\\\r\n\n  {T}\r", "{X}{M}", "{X}{H}\\|; c||  ; c|\t|  {T}|", "{X}{H}\\ ; c|  {T} ; c|",
    // The first line.
    "U:Windows Registry Editor Version 5.00||[{K}]|{V}", "Windows Registry Editor Version 5.00|[{K}]|{V}", "U:{R}{V}",
    "\xEF\xBB\xBF{R}{V}", "REGEDIT40|[{K}]|{V}", "REGEDIT4;|[{K}]|{V}", "REGEDIT|[{K}]|{V}", "regedit4|[{K}]|{V}",
    "|[{K}]|{V}", "; map|{R}{V}", "|{R}{V}", "windows registry editor version 5.00|[{K}]|{V}",
    "Windows Registry Editor Version 5.000|[{K}]|{V}",
    // Letter case of names and data; the data's type; digits per byte.
    "REGEDIT4|[{k}]|\"scancode map\"=hex:{M}|", "{R}\"SCANCODE MAP\"=hex:{M}|", "{X}{P}1D{Q}|", "{R}{S}HEX:{M}|",
    "{R}{S}HEX(3):{M}|", "{R}{S}hex(3):{M}|", "{R}{S}hex(03):{M}|", "{R}{S}hex(7):{M}|", "{R}{S}hex(0):{M}|",
    "{R}{S}hex():{M}|", "{R}{S}hex(3){M}|", "{R}{S}hex:(3){M}|", "{R}{S}dword:{M}|", "{R}{V}{S}dword:00000001|",
    "{R}{V}{S}hex():{M}|", "{R}{S}hex(0x3):{M}|", "W:{R}{S}hex( 3):{M}|", "{X}{P}01d{Q}|", "{X}{P}11d{Q}|",
    "{X}{P}1d0{Q}|", "W:{X}{P}0x1d{Q}|", "W:{X}{P}+1d{Q}|", "{X}{P}1 d{Q}|", "{X}{P}1d.{Q}|",
    "W:{X}-0,00,00,00,00,00,00,00,{T}|", "{X}0,0,0,0,0,0,0,0,2,0,0,0,1d,0,3a,0,0,0,0,0|", "{X}00,,{M}|", "{X}{M},|",
    "{X}000,000,000,000,000,000,000,000,002,000,000,000,01d,000,03a,000,000,000,000,000|",
    // What breaks folded data.
    "{X}{M};c|", "{X}{H}\\|# c|  {T}|", "{X}{H}\\ x|  {T}|", "{X}{H}|  {T}|", "{X}{M},\\|", "{X}{M},\\|; c|",
    "{X}00,00,00,00,00,00,00,00\\|  ,{T}|", "{X}{P}1d\\|  00,3a,00,00,00,00,00|", "{X}{H}\\|\"Other\"=hex:01|{V}",
    "{X}{H}\\|[{K}\\sub]|{V}", "REGEDIT4|[{O}]|\"X\"=hex:01,\\|[{K}]|{V}", "{R}\"X\"=hex(7):41,00,\\|; c|  00,00|{V}",
    // Repeated keys and values: the last one the editor reads counts.
    "{X}00,00,00,00,00,00,00,00,01,00,00,00,00,00,00,00|{V}", "{R}{V}{S}-|", "{R}{S}-|{V}", "{R}{S}- ; gone|",
    "{R}{V}{S}- x|", "{R}{V}{S}hex:00,zz|", "{R}{V}{S}\"text\"|", "{X}zz|{V}", "{R}{V}\"Scancode Map\" hex:00|",
    "{X}01|[{O}]|[{K}]|{V}", "{R}{V}[{O}]|{S}hex:01|", "REGEDIT4|[{K}\\sub]|{V}", "REGEDIT4|{V}",
    "{R}@=hex:01|\"Other\"=dword:00000001|{F}\"Layout File\"=\"KBDKOR.DLL\"|", "{R}\"Scancode\\ Map\"=hex:{M}|",
    "{R}\"Scancode\\0 Map\"=hex:{M}|", "{R}\"Scancode Map=hex:{M}|",
    // Other keys' odd lines: a key line the editor cannot read leaves the key before it open.
    "{R}{V}[ {O}]|{S}hex:01|", "REGEDIT4|[ {O}]|\"X\"=hex:01|[{K}]|{V}", "{R}[{O}|{V}", "{R}[]|{V}",
    "{R}{V}[-{O}]|{S}hex:01|", "{R}text|= x|\"|@|{V}", "REGEDIT4|[{K}] ; ours|{V}", "REGEDIT4|[{K}]x|{V}",
    "REGEDIT4|[HKLM\\SOFTWARE\\Lutrovane regedit test]|{V}",
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t n = text.find(from); n != std::string::npos; n = text.find(from, n + to.size()))
        text.replace(n, from.size(), to);
    return text;
}

// The file's bytes, with strKey for our key.
Bytes FileBytes(std::string text, const std::string& strKey)
{
    const bool bUtf16 = text.compare(0, 2, "U:") == 0;
    if (bUtf16 || text.compare(0, 2, "W:") == 0)
        text.erase(0, 2);
    std::string strLower = strKey;
    CharLowerBuffA(&strLower[0], static_cast<DWORD>(strLower.size()));
    const std::pair<const char*, std::string> kShort[] = {
        {"{X}", "{R}{S}hex:"}, {"{R}", "REGEDIT4|[{K}]|"}, {"{V}", "{S}hex:{M}|"}, {"{F}", "{S}hex:{H}\\|  {T}|"},
        {"{S}", "\"Scancode Map\"="}, {"{M}", "{H}{T}"}, {"{P}", "{H}02,00,00,00,"}, {"{T}", "02,00,00,00,1d{Q}"},
        {"{H}", "00,00,00,00,00,00,00,00,"}, {"{Q}", ",00,3a,00,00,00,00,00"}, {"|", "\r\n"},
        {"{O}", kScratchPath + std::string("other")}, {"{K}", strKey}, {"{k}", strLower}};
    for (const auto& s : kShort)
        text = Replace(text, s.first, s.second);
    const std::u16string wide = u"\xFEFF" + std::u16string(text.begin(), text.end());
    const auto* pWide = reinterpret_cast<const unsigned char*>(wide.data());
    return bUtf16 ? Bytes(pWide, pWide + 2 * wide.size()) : Bytes(text.begin(), text.end());
}

}  // namespace

TEST(RegFile, ReadsWhatTheRegistryEditorImports)
{
    std::vector<std::string> corpus(std::begin(kCorpus), std::end(kCorpus));
    // And a blank or a tab at each '~' of these in turn, the others left out.
    for (const std::string base : {"~REGEDIT4~|~[~{K}~]~|~\"Scancode Map~\"~=~hex~:~{M}~|", "{R}{S}hex(3~):{M}|",
                                   "{X}00~,~00,00,00,00,00,00,00,{T}|", "{X}{H}~\\~|~{T}|", "{X}{H}\\|~|  {T}|",
                                   "{R}{S}~-~|"}) {
        for (size_t n = base.find('~'); n != std::string::npos; n = base.find('~', n + 1)) {
            const std::string place = Replace(base.substr(0, n), "~", "") + "~" + Replace(base.substr(n + 1), "~", "");
            corpus.insert(corpus.end(), {Replace(place, "~", " "), Replace(place, "~", "\t")});
        }
    }
    const std::wstring folder = ScratchFolder(L"regedit-test-");
    std::wstring line = L"regedit.exe /S";
    for (size_t i = 0; i < corpus.size(); ++i) {
        ASSERT_TRUE(SetValue(kUntouched, REG_BINARY, kScratchKey + std::to_wstring(i)));
        WriteAll(folder + std::to_wstring(i) + L".reg", FileBytes(corpus[i], kScratchPath + std::to_string(i)));
        line += L" \"" + folder + std::to_wstring(i) + L".reg\"";
    }
    ASSERT_EQ(0u, RunProgram(folder, line).dwExit);

    for (size_t i = 0; i < corpus.size(); ++i) {
        SCOPED_TRACE(testing::Message() << i << ": " << corpus[i]);
        DWORD dwType;
        const Bytes editor = Value(&dwType, kScratchKey + std::to_wstring(i));
        // Bytes that are no sound map, or of another type, lvmap refuses.
        const bool bRefused = corpus[i].compare(0, 2, "W:") == 0 || editor == kUntouched || dwType != REG_BINARY
                              || !CheckMapBytes(editor.data(), editor.size()).empty();
        const Bytes file = FileBytes(corpus[i], kKeyboardLayoutKeyPath);
        SRegFileContent got;
        const std::string strError = ParseRegFile(file.data(), file.size(), &got);
        EXPECT_EQ(editor.empty() && dwType == REG_NONE ? "removed"
                  : bRefused ? "refused" : testing::PrintToString(editor),
                  strError.size() ? "refused" : got.bDelete ? "removed" : testing::PrintToString(got.map)) << strError;
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratchKey);
    std::filesystem::remove_all(folder);
}

// Maps from files of other tools, and map checks, over bytes in memory.
// Nothing here needs Windows: the same file builds natively for sanitizer and
// fuzzing runs.
#include "map_import.h"

#include "../map_bytes.h"

#include <gtest/gtest.h>

namespace {

// ASCII text as the registry editor stores it: UTF-16LE behind FF FE.
Bytes Utf16(const std::string& text)
{
    Bytes bytes = {0xFF, 0xFE};
    for (char ch : text)
        bytes.insert(bytes.end(), {static_cast<unsigned char>(ch), 0});
    return bytes;
}

const std::string kKeyLine = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout]\r\n";

// A US layout's scan codes, written from the virtual-key and scan code set 1
// tables, not from ours; Pause carries the E1 prefix no map holds.
unsigned short UsScancode(unsigned int nVirtualKey, void*)
{
    switch (nVirtualKey) {
    case 0x11: case 0xA2: return 0x001D;  // Ctrl, left Ctrl
    case 0xA3: return 0xE01D;             // right Ctrl
    case 0xA4: return 0x0038;             // left Alt
    case 0xA5: return 0xE038;             // right Alt
    case 0x5B: return 0xE05B;             // left Windows
    case 0x5C: return 0xE05C;             // right Windows
    case 0x14: return 0x003A;             // CapsLock
    case 0x2D: return 0xE052;             // Insert
    case 0x13: return 0xE11D;             // Pause
    case 0x41: return 0x001E;             // A
    case 0x43: return 0x002E;             // C
    }
    return 0;
}

struct SImport
{
    std::string strError;
    SRegFileContent content;
    std::vector<std::string> leftOut;
};

SImport Import(EMapImportFormat nFormat, const Bytes& file)
{
    SImport result;
    result.strError = ImportMap(nFormat, file.data(), file.size(), UsScancode, nullptr, &result.content,
                                &result.leftOut);
    return result;
}

SImport ImportJson(const std::string& text)
{
    return Import(IMPORT_KEY_MANAGER, Bytes(text.begin(), text.end()));
}

}  // namespace

TEST(RegFile, WrittenAsTheRegistryEditorExportsItAndReadBackByteForByte)
{
    // 20 bytes on the first line, 25 on each continuation line behind two blanks.
    const std::string strHead = "Windows Registry Editor Version 5.00\r\n\r\n" + kKeyLine + "\"Scancode Map\"=";
    EXPECT_EQ(Utf16(strHead + "hex:00,00,00,00,00,00,00,00,0b,00,00,00,01,00,00,00,02,00,01,00,\\\r\n"
                              "  03,00,02,00,04,00,03,00,05,00,04,00,06,00,05,00,07,00,06,00,08,00,07,00,09,\\\r\n"
                              "  00,08,00,0a,00,09,00,00,00,00,00\r\n\r\n"),
              MakeRegFile({false, MapOf(10)}));
    EXPECT_EQ(Utf16(strHead + "-\r\n\r\n"), MakeRegFile({true, {}}));

    // A map past 1024 bytes is refused, as a system value too. Files with
    // unsound maps, and what a refusal leaves, are the fuzz target's seeds.
    for (size_t nMappings : {252, 253}) {
        const Bytes map = MapOf(nMappings);
        EXPECT_EQ(nMappings > 252, !CheckMapBytes(map.data(), map.size()).empty()) << nMappings;
    }
}

TEST(RegFile, RefusalsSayWhichLine)
{
    const std::string strCut = "REGEDIT4\r\n" + kKeyLine + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,\\\r\n";
    // The map cut off by the end of the file, or by the next value; our key's parent deleted.
    for (const std::string& text : {strCut + "\r\n", strCut + "\"Other\"=-\r\n",
                                    std::string("REGEDIT4\r\n\r\n[-hkey_local_machine\\SYSTEM]\r\n")}) {
        SCOPED_TRACE(text);
        const Bytes file(text.begin(), text.end());
        SRegFileContent content;
        EXPECT_EQ(0u, ParseRegFile(file.data(), file.size(), &content).find("line 3: "));
    }
}

TEST(SklFile, TheValueBytesExactlyOrRefusedWithTheReason)
{
    EXPECT_EQ(IMPORT_SKL, ImportFormatOf(L"C:\\maps.v2\\Office.SKL"));
    EXPECT_EQ(IMPORT_NONE, ImportFormatOf(L"C:\\maps.skl\\office"));
    const Bytes map = MapBytes({{0x001D, 0x003A}, {0x0000, 0xE05B}});
    EXPECT_EQ(map, Import(IMPORT_SKL, map).content.map);

    Bytes badCount = map;
    badCount[8] = 2;
    Bytes noNullEntry = map;
    noNullEntry[23] = 0x01;  // the null entry's last byte
    Bytes trailing = map;
    trailing.insert(trailing.end(), {0x0D, 0x0A});
    const struct
    {
        Bytes file;
        const char* pszReason;
    } kBroken[] = {
        {Bytes(), "0 bytes"},
        {noNullEntry, "does not end with the null entry"},
        {badCount, "count says 2"},
        {trailing, "not 16 plus 4"},
        {MapOf(253), "more than 1024"},
    };
    for (const auto& broken : kBroken) {
        SCOPED_TRACE(broken.pszReason);
        const SImport result = Import(IMPORT_SKL, broken.file);
        EXPECT_NE(std::string::npos, result.strError.find(broken.pszReason)) << result.strError;
        EXPECT_TRUE(result.content.map.empty());
    }
}

TEST(KeyManagerFile, KeyRemapsBecomePairsAndTheRestIsNamedAsLeftOut)
{
    // As the tool writes it: CapsLock to left Ctrl, right Alt to right Ctrl,
    // Ctrl (both) to CapsLock, Insert disabled, Pause to A; the left Windows
    // key to Ctrl+C, an app's own shortcut, and text.
    const std::string strFile = "\xEF\xBB\xBF{\"remapKeys\":{\"inProcess\":["
                                "{\"originalKeys\":\"20\",\"newRemapKeys\":\"162\"},"
                                "{\"originalKeys\":\"165\",\"newRemapKeys\":\"163\"},"
                                "{\"originalKeys\":\"17\",\"newRemapKeys\":\"20\"},"
                                "{\"originalKeys\":\"45\",\"newRemapKeys\":\"256\"},"
                                "{\"originalKeys\":\"19\",\"newRemapKeys\":\"65\"},"
                                "{\"originalKeys\":\"91\",\"newRemapKeys\":\"17;67\"}]},"
                                "\"remapKeysToText\":{\"inProcess\":[{\"originalKeys\":\"65\",\"unicodeText\":\"hi\"}]},"
                                "\"remapShortcuts\":{\"global\":[],\"appSpecific\":["
                                "{\"originalKeys\":\"162;65\",\"newRemapKeys\":\"36\",\"targetApp\":\"chrome\"}]}}";
    const SImport result = ImportJson(strFile);
    ASSERT_EQ("", result.strError);
    // Entries {mapped, real}, prefix in the high byte.
    EXPECT_EQ(MapBytes({{0x001D, 0x003A}, {0xE01D, 0xE038}, {0x003A, 0x001D}, {0x003A, 0xE01D}, {0x0000, 0xE052}}),
              result.content.map);
    ASSERT_EQ(4u, result.leftOut.size());
    for (const char* pszLeftOut : {"VK 0x13 -> ", "-> Ctrl+", "A -> text: ", "-> VK 0x24 in chrome: "}) {
        SCOPED_TRACE(pszLeftOut);
        const std::string strAll = result.leftOut[0] + result.leftOut[1] + result.leftOut[2] + result.leftOut[3];
        EXPECT_NE(std::string::npos, strAll.find(pszLeftOut)) << strAll;
    }
}

TEST(KeyManagerFile, BrokenFilesRefusedWithTheLineOrTheEntry)
{
    const struct
    {
        const char* pszFile;
        const char* pszReason;
    } kBroken[] = {
        {"{\"remapKeys\":\n{\"inProcess\":[}}", "line 2: "},
        {"", "line 1: "},
        {"[]", "no object of remaps"},
        {"{\"settings\":{}}", "no remapKeys"},
        {"{\"remapKeys\":{\"inProcess\":{}}}", "inProcess is not a list"},
        {"{\"remapKeys\":{\"inProcess\":[{\"originalKeys\":\"20\",\"newRemapKeys\":\"162\"},"
         "{\"originalKeys\":\"2;0\",\"newRemapKeys\":\"162\"}]}}",
         "entry 2: originalKeys"},
        {"{\"remapKeys\":{\"inProcess\":[{\"originalKeys\":\"20\",\"newRemapKeys\":true}]}}", "entry 1: newRemapKeys"},
        {"{\"remapKeys\":{\"inProcess\":[]},\"remapShortcuts\":{\"global\":[{\"originalKeys\":\"17;65\","
         "\"newRemapKeys\":\"17;67\"}]}}",
         "remaps no key to a key"},
    };
    for (const auto& broken : kBroken) {
        SCOPED_TRACE(broken.pszFile);
        const SImport result = ImportJson(broken.pszFile);
        EXPECT_NE(std::string::npos, result.strError.find(broken.pszReason)) << result.strError;
        EXPECT_TRUE(result.content.map.empty());
    }
}

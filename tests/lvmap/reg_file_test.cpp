// Registry files and map checks over bytes in memory. Nothing here needs
// Windows: the same file builds natively for sanitizer and fuzzing runs.
#include "reg_file.h"

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

// Registry files and map checks over bytes in memory. Nothing here needs
// Windows: the same file builds natively for sanitizer and fuzzing runs.
#include "reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// CapsLock (003A) becomes the left Control key (001D).
const Bytes kCapsToControl = {
    0x00, 0x00, 0x00, 0x00,  // version
    0x00, 0x00, 0x00, 0x00,  // flags
    0x02, 0x00, 0x00, 0x00,  // entry count: one mapping and the null entry
    0x1D, 0x00, 0x3A, 0x00,  // mapped key 001D, real key 003A
    0x00, 0x00, 0x00, 0x00,  // null entry
};

// N mappings, each real key k to the mapped key k + 1 (extended keys from 0x80 on).
Bytes MapOf(size_t nMappings)
{
    Bytes map(8, 0);
    const size_t nCount = nMappings + 1;
    map.push_back(static_cast<unsigned char>(nCount));
    map.push_back(static_cast<unsigned char>(nCount >> 8));
    map.push_back(0);
    map.push_back(0);
    for (size_t k = 0; k < nMappings; ++k) {
        const unsigned char bPrefix = k >= 0x80 ? 0xE0 : 0x00;
        map.insert(map.end(), {static_cast<unsigned char>(k + 1), bPrefix,
                               static_cast<unsigned char>(k), bPrefix});
    }
    map.insert(map.end(), 4, 0);
    return map;
}

Bytes Narrow(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// The text as the registry editor stores it: UTF-16LE behind FF FE.
Bytes Utf16(const std::string& ascii)
{
    Bytes bytes = {0xFF, 0xFE};
    for (char ch : ascii) {
        bytes.push_back(static_cast<unsigned char>(ch));
        bytes.push_back(0);
    }
    return bytes;
}

const char kKeyLine[] = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout]";

std::string Parse(const Bytes& file, SRegFileContent* pContent)
{
    return ParseRegFile(file.data(), file.size(), pContent);
}

}  // namespace

TEST(RegFile, WrittenAsTheRegistryEditorExportsIt)
{
    SRegFileContent content;
    // 20 bytes on the first line, 25 on each continuation line behind two blanks.
    const std::string strFolded =
        "Windows Registry Editor Version 5.00\r\n\r\n" + std::string(kKeyLine) + "\r\n"
        "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,0b,00,00,00,01,00,00,00,02,00,01,00,\\\r\n"
        "  03,00,02,00,04,00,03,00,05,00,04,00,06,00,05,00,07,00,06,00,08,00,07,00,09,\\\r\n"
        "  00,08,00,0a,00,09,00,00,00,00,00\r\n\r\n";
    content.map = MapOf(10);
    EXPECT_EQ(Utf16(strFolded), MakeRegFile(content));

    content.bDelete = true;
    EXPECT_EQ(Utf16("Windows Registry Editor Version 5.00\r\n\r\n" + std::string(kKeyLine)
                    + "\r\n\"Scancode Map\"=-\r\n\r\n"),
              MakeRegFile(content));
}

TEST(RegFile, WrittenFileReadsBackByteForByte)
{
    for (size_t nMappings : {0, 1, 19, 20, 252}) {
        SCOPED_TRACE(nMappings);
        SRegFileContent written;
        written.map = MapOf(nMappings);
        SRegFileContent read;
        EXPECT_EQ("", Parse(MakeRegFile(written), &read));
        EXPECT_FALSE(read.bDelete);
        EXPECT_EQ(written.map, read.map);
    }
    SRegFileContent removal;
    removal.bDelete = true;
    SRegFileContent read;
    read.map = kCapsToControl;
    EXPECT_EQ("", Parse(MakeRegFile(removal), &read));
    EXPECT_TRUE(read.bDelete);
    EXPECT_TRUE(read.map.empty());
}

TEST(RegFile, HandWrittenFormsGiveTheSameMap)
{
    const std::string strValue =
        "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,00,00,00,1d,00,3a,00,00,00,00,00";
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"REGEDIT4, ANSI, LF only",
         Narrow("REGEDIT4\n\n" + std::string(kKeyLine) + "\n" + strValue + "\n")},
        {"UTF-8 with a byte-order mark, no line end at the end",
         Narrow("\xEF\xBB\xBFREGEDIT4\r\n" + std::string(kKeyLine) + "\r\n" + strValue)},
        {"comments, blank lines, ANSI Korean in a comment",
         Narrow("REGEDIT4\r\n; \xC4\xB8\xBD\xBA\xB6\xF4 -> Ctrl\r\n\r\n" + std::string(kKeyLine)
                + "\r\n   ; indented comment\r\n" + strValue + " ; trailing comment\r\n")},
        {"names in any letter case, upper-case hex, blanks around '=' and ','",
         Narrow("REGEDIT4\r\n[hkey_local_machine\\system\\currentcontrolset\\CONTROL\\keyboard layout]\r\n"
                "  \"SCANCODE map\" = hex: 00, 00,00,00, 00,00,00,00, 02,00,00,00, 1D,00,3A,00, 00,00,00,00\r\n")},
        {"continuation lines, a comment and a blank line between them, trailing comma",
         Narrow("REGEDIT4\r\n" + std::string(kKeyLine) + "\r\n"
                "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,\\\r\n"
                "; the entries\r\n"
                "\r\n"
                "    02,00,00,00,1d,00,3a,00,\\ ; CapsLock\r\n"
                "\t00,00,00,00,\r\n")},
        {"binary type spelt out as hex(3)",
         Narrow("REGEDIT4\r\n" + std::string(kKeyLine)
                + "\r\n\"Scancode Map\"=hex(3):00,00,00,00,00,00,00,00,02,00,00,00,1d,00,3a,00,00,00,00,00\r\n")},
        {"other keys and values around it; the last mention counts",
         Utf16("Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Keyboard Layout]\r\n"
               "\"Scancode Map\"=hex:01,02\r\n"
               "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
               + std::string(kKeyLine) + "\r\n"
               "@=\"default\"\r\n"
               "\"Scancode Map\"=-\r\n"
               "\"Layout File\"=\"KBDKOR.DLL\"\r\n"
               "\"Other\"=hex(7):41,00,00,00,\\\r\n"
               "  00,00\r\n"
               "\"Count\"=dword:00000002\r\n"
               + strValue + "\r\n"
               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts]\r\n"
               "\"Scancode Map\"=-\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SRegFileContent content;
        content.bDelete = true;
        EXPECT_EQ("", Parse(c.file, &content));
        EXPECT_FALSE(content.bDelete);
        EXPECT_EQ(kCapsToControl, content.map);
    }
}

TEST(RegFile, MalformedFilesAreRefusedAndSayWhere)
{
    const std::string strHead = "REGEDIT4\r\n" + std::string(kKeyLine) + "\r\n";
    const struct {
        const char* what;
        std::string text;
        const char* error;  // the start of the message
    } cases[] = {
        {"no header", std::string(kKeyLine) + "\r\n", "line 1: not a registry file"},
        {"a byte of one hex digit",
         strHead + "\"Scancode Map\"=hex:0,00,00,00,00,00,00,00,02,00,00,00,1d,00,3a,00,00,00,00,00\r\n",
         "line 3: a byte must be two hex digits, not \"0\""},
        {"continuation cut off by the end of the file",
         strHead + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,00,00,00,\\\r\n\r\n",
         "line 3: the line ends with '\\' but the file ends"},
        {"continuation cut off by the next value",
         strHead + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,00,00,00,\\\r\n\"Other\"=-\r\n",
         "line 3: the line ends with '\\' but line 4 does not go on"},
        {"no comma before the backslash",
         strHead + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,00,00,00\\\r\n  1d,00\r\n",
         "line 3: a ',' must come before"},
        {"entry count disagrees with the length",
         strHead + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,03,00,00,00,1d,00,3a,00,00,00,00,00\r\n",
         "line 3: the entry count says 3 but the 20 bytes hold 2 entries"},
        {"no closing null entry",
         strHead + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,00,00,00,1d,00,3a,00,1d,00,3a,00\r\n",
         "line 3: the map does not end with the null entry"},
        {"data cut off by the end of the line without a backslash",
         strHead + "\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,02,00,00,00,\r\n  1d,00,3a,00,00,00,00,00\r\n",
         "line 4: neither a key, a value nor a comment"},
        {"not binary", strHead + "\"Scancode Map\"=dword:00000000\r\n",
         "line 3: \"Scancode Map\" must be binary data"},
        {"only under another key",
         "REGEDIT4\r\n[HKEY_CURRENT_USER\\Keyboard Layout]\r\n\"Scancode Map\"=hex:00,00,00,00,00,00,00,00,01,00,00,00,00,00,00,00\r\n",
         "the file holds no \"Scancode Map\" value under [HKEY_LOCAL_MACHINE"},
        {"a parent of our key deleted", "REGEDIT4\r\n[-hkey_local_machine\\SYSTEM\\CurrentControlSet]\r\n",
         "line 2: the file deletes the key [HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SRegFileContent content;
        content.map = {0x55};
        const std::string strError = Parse(Narrow(c.text), &content);
        EXPECT_EQ(0u, strError.find(c.error)) << strError;
        EXPECT_EQ(Bytes{0x55}, content.map) << "result touched although refused";
    }

    // More than 1024 bytes, however many more, is said as such; so in UTF-16.
    std::string strLong = "Windows Registry Editor Version 5.00\r\n" + std::string(kKeyLine)
                          + "\r\n\"Scancode Map\"=hex:";
    for (int i = 0; i < 5000; ++i)
        strLong += "00,";
    SRegFileContent content;
    EXPECT_EQ("line 3: the map is 5000 bytes, more than 1024", Parse(Utf16(strLong), &content));
}

TEST(RegFile, CutOrDamagedFilesNeverReadPastTheirEnd)
{
    // Every prefix of a good file, and each byte of it flipped, parses or is
    // refused; with a sanitizer this catches any read past the input.
    SRegFileContent written;
    written.map = MapOf(30);
    for (const Bytes& file : {MakeRegFile(written), Narrow("REGEDIT4\r\n" + std::string(kKeyLine)
                                                           + "\r\n\"Scancode Map\"=hex:00,\\\r\n  00")}) {
        // Past the last hex digit only line ends and the zeros of UTF-16 follow.
        size_t nWhole = file.size();
        while (nWhole > 0 && (file[nWhole - 1] == '\r' || file[nWhole - 1] == '\n' || file[nWhole - 1] == 0))
            --nWhole;
        for (size_t n = 0; n <= file.size(); ++n) {
            SRegFileContent content;
            const std::string strError = ParseRegFile(file.data(), n, &content);
            if (n < nWhole) {
                EXPECT_FALSE(strError.empty()) << "a file cut at byte " << n << " was taken";
            }
            Bytes damaged(file.begin(), file.begin() + n);
            if (n > 0) {
                damaged[n - 1] ^= 0xFF;
                ParseRegFile(damaged.data(), damaged.size(), &content);
            }
        }
    }
    SRegFileContent content;
    EXPECT_FALSE(ParseRegFile(nullptr, 0, &content).empty());
}

TEST(MapBytes, InconsistentMapsAreRefused)
{
    const struct {
        const char* what;
        Bytes map;
        const char* error;
    } cases[] = {
        {"no mapping", MapOf(0), ""},
        {"one mapping", kCapsToControl, ""},
        {"252 mappings, 1024 bytes", MapOf(252), ""},
        {"253 mappings, 1028 bytes", MapOf(253), "the map is 1028 bytes, more than 1024"},
        {"nothing", Bytes(), "the map is 0 bytes; even a map without mappings is 16"},
        {"length between entries", Bytes(18, 0), "the map is 18 bytes, not 16 plus 4"},
        {"version set", Bytes({1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}),
         "the header's version and flags"},
        {"count 0", Bytes(16, 0), "the entry count says 0 but the 16 bytes hold 1"},
        {"no null entry", Bytes({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x1D, 0, 0x3A, 0}),
         "the map does not end with the null entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(0u, CheckMapBytes(c.map.data(), c.map.size()).find(c.error))
            << CheckMapBytes(c.map.data(), c.map.size());
        if (!*c.error) {
            EXPECT_EQ("", CheckMapBytes(c.map.data(), c.map.size()));
        }
    }
}

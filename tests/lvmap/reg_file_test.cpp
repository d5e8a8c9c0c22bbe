// Registry files and map checks over bytes in memory. Nothing here needs
// Windows: the same file builds natively for sanitizer and fuzzing runs.
#include "reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// CapsLock (003A) becomes the left Control key (001D): version and flags,
// entry count, mapped key and real key, null entry.
const Bytes kCapsToControl = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x1D, 0x00, 0x3A, 0x00, 0, 0, 0, 0};

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

// A message that begins with strStart; for an empty strStart, no message.
bool Begins(const std::string& strMessage, const std::string& strStart)
{
    return strStart.empty() ? strMessage.empty() : strMessage.compare(0, strStart.size(), strStart) == 0;
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

TEST(RegFile, MalformedFilesAreRefusedAndSayWhere)
{
    const std::string strHead = "REGEDIT4\r\n" + std::string(kKeyLine) + "\r\n\"Scancode Map\"=";
    const std::string strMap = "00,00,00,00,00,00,00,00,02,00,00,00,1d,00,3a,00,00,00,00,00";
    const std::string strCut = strHead + "hex:00,00,00,00,00,00,00,00,02,00,00,00";
    const struct {
        const char* what;
        std::string text;
        const char* error;  // the start of the message
    } cases[] = {
        {"no header", std::string(kKeyLine) + "\r\n", "line 1: not a registry file"},
        {"text after the header", "REGEDIT40" + strHead.substr(8) + "hex:" + strMap + "\r\n",
         "line 1: not a registry file"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + strHead + "hex:" + strMap + "\r\n",
         "line 1: a UTF-8 file with a byte-order mark"},
        {"a byte past 0xFF", strHead + "hex:100," + strMap.substr(3) + "\r\n", "line 3: \"100\" is more than a byte"},
        {"a C prefix, which only Wine's editor takes", strHead + "hex:0x00," + strMap.substr(3) + "\r\n",
         "line 3: 'x' where ',' belongs"},
        {"HEX in capitals", strHead + "HEX:" + strMap + "\r\n",
         "line 3: \"Scancode Map\" must be binary data, written hex: in small letters"},
        {"a blank before a comma", strHead + "hex:00 ," + strMap.substr(3) + "\r\n",
         "line 3: no blank may stand between a byte and the ','"},
        {"continuation cut off by the end of the file", strCut + ",\\\r\n\r\n",
         "line 3: the map is 12 bytes; even a map without mappings is 16"},
        {"continuation cut off by the next value", strCut + ",\\\r\n\"Other\"=-\r\n",
         "line 3: the line ends with '\\' but line 4 does not go on"},
        {"no comma before the backslash", strCut + "\\\r\n  1d,00\r\n", "line 3: a ',' must come before"},
        {"data cut off by the end of the line without a backslash",
         strCut + ",\r\n  1d,00,3a,00,00,00,00,00\r\n", "line 3: the map is 12 bytes"},
        {"entry count disagrees with the length",
         strHead + "hex:00,00,00,00,00,00,00,00,03,00,00,00,1d,00,3a,00,00,00,00,00\r\n",
         "line 3: the entry count says 3 but the 20 bytes hold 2 entries"},
        {"not binary", strHead + "dword:00000000\r\n", "line 3: \"Scancode Map\" must be binary data"},
        {"binary data of another type", strHead + "hex(7):" + strMap + "\r\n",
         "line 3: \"Scancode Map\" must be binary data, written hex: or hex(3):"},
        {"a removal with more after it", strHead + "- now\r\n",
         "line 3: \"Scancode Map\"=- takes nothing after the '-'"},
        {"only under another key",
         "REGEDIT4\r\n[HKEY_CURRENT_USER\\Keyboard Layout]\r\n\"Scancode Map\"=hex:" + strMap + "\r\n",
         "the file holds no \"Scancode Map\" value under [HKEY_LOCAL_MACHINE"},
        {"a parent of our key deleted", "REGEDIT4\r\n[-hkey_local_machine\\SYSTEM\\CurrentControlSet]\r\n",
         "line 2: the file deletes the key [HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SRegFileContent content;
        content.map = {0x55};
        const std::string strError = Parse(Narrow(c.text), &content);
        EXPECT_TRUE(Begins(strError, c.error)) << strError;
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

TEST(RegFile, CutOrDamagedFilesAreRefusedOrGiveTheWholeFilesMap)
{
    // Every prefix of a good file, and each byte of it turned into its
    // complement, is refused or gives the map of the whole file: no
    // complement of a byte of these files is a hex digit, so damage can break
    // a file but not change its map. With a sanitizer this also catches any
    // read past the input.
    SRegFileContent written;
    written.map = MapOf(30);
    const Bytes narrow = Narrow("REGEDIT4\r\n" + std::string(kKeyLine) + "\r\n\"Scancode Map\"=hex:"
                                "00,00,00,00,00,00,00,00,01,00,00,00,\\\r\n  00,00,00,00\r\n");
    for (const Bytes& file : {MakeRegFile(written), narrow}) {
        SRegFileContent whole;
        ASSERT_EQ("", ParseRegFile(file.data(), file.size(), &whole));
        for (size_t n = 0; n <= file.size(); ++n) {
            SCOPED_TRACE(n);
            SRegFileContent content;
            if (ParseRegFile(file.data(), n, &content).empty()) {
                EXPECT_EQ(whole.map, content.map) << "a file cut short gave another map";
            }
            if (n == 0)
                continue;
            Bytes damaged(file.begin(), file.begin() + n);
            damaged[n - 1] ^= 0xFF;
            SRegFileContent damagedContent;
            if (ParseRegFile(damaged.data(), damaged.size(), &damagedContent).empty()) {
                EXPECT_EQ(whole.map, damagedContent.map) << "a damaged file gave another map";
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
        {"count with its upper bytes set",
         Bytes({0, 0, 0, 0, 0, 0, 0, 0,  // version, flags
                1, 0, 0, 1,              // count 0x01000001: byte 8 alone would say 1
                0, 0, 0, 0}),            // null entry
         "the entry count says 16777217 but the 16 bytes hold 1"},
        {"no null entry", Bytes({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x1D, 0, 0x3A, 0}),
         "the map does not end with the null entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string strError = CheckMapBytes(c.map.data(), c.map.size());
        EXPECT_TRUE(Begins(strError, c.error)) << strError;
    }
}

#include "reg_file.h"

#include <string_view>

const char kKeyboardLayoutKeyPath[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

namespace {

// Map bytes: version (4), flags (4), entry count (4, little-endian, the null
// entry included), then 4-byte entries, the last of them four zero bytes.
const size_t kMapHeaderSize = 12;
const size_t kMapEntrySize = 4;
const size_t kMinMapBytes = kMapHeaderSize + kMapEntrySize;

const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kHeader4[] = "REGEDIT4";
const char kValueName[] = "Scancode Map";

typedef std::u16string_view Text;

std::string Num(size_t n)
{
    return std::to_string(static_cast<unsigned long long>(n));
}

std::string AtLine(size_t nLine, const std::string& what)
{
    return "line " + Num(nLine) + ": " + what;
}

bool IsBlank(char16_t ch)
{
    return ch == u' ' || ch == u'\t';
}

int HexValue(char16_t ch)
{
    if (ch >= u'0' && ch <= u'9')
        return ch - u'0';
    if (ch >= u'a' && ch <= u'f')
        return ch - u'a' + 10;
    if (ch >= u'A' && ch <= u'F')
        return ch - u'A' + 10;
    return -1;
}

char16_t FoldAscii(char16_t ch)
{
    return (ch >= u'A' && ch <= u'Z') ? static_cast<char16_t>(ch - u'A' + u'a') : ch;
}

bool StartsWith(Text text, const char* psz, bool bAnyCase = false)
{
    size_t i = 0;
    for (; psz[i]; ++i) {
        const char16_t ch = static_cast<unsigned char>(psz[i]);
        if (i >= text.size() || (bAnyCase ? FoldAscii(text[i]) != FoldAscii(ch) : text[i] != ch))
            return false;
    }
    return true;
}

// Registry names compare without regard to the case of Latin letters.
bool EqualNoCase(Text text, const char* psz)
{
    return text.size() == std::char_traits<char>::length(psz) && StartsWith(text, psz, true);
}

bool EqualExactly(Text text, const char* psz)
{
    return text.size() == std::char_traits<char>::length(psz) && StartsWith(text, psz);
}

Text TrimLeft(Text text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return text.substr(i);
}

Text TrimRight(Text text)
{
    size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1]))
        --n;
    return text.substr(0, n);
}

// One character of the file, quoted for a message: printable ASCII as it is,
// anything else as its code.
std::string Quote(char16_t ch)
{
    if (ch > 0x20 && ch < 0x7F)
        return std::string("'") + static_cast<char>(ch) + "'";
    const char kDigits[] = "0123456789ABCDEF";
    std::string s = "U+";
    for (int nShift = 12; nShift >= 0; nShift -= 4)
        s += kDigits[(ch >> nShift) & 0xF];
    return s;
}

// The file as UTF-16 code units. The registry editor writes UTF-16LE behind a
// byte-order mark; REGEDIT4 files are ANSI or UTF-8, whose bytes above 0x7F
// matter to us only as "not ASCII".
std::u16string Decode(const unsigned char* pData, size_t nLength)
{
    std::u16string text;
    if (nLength >= 2 && pData[0] == 0xFF && pData[1] == 0xFE) {
        text.reserve((nLength - 2) / 2);
        for (size_t i = 2; i + 1 < nLength; i += 2)
            text += static_cast<char16_t>(pData[i] | pData[i + 1] << 8);
    } else {
        size_t i = 0;
        if (nLength >= 3 && pData[0] == 0xEF && pData[1] == 0xBB && pData[2] == 0xBF)
            i = 3;
        text.reserve(nLength - i);
        for (; i < nLength; ++i)
            text += static_cast<char16_t>(pData[i]);
    }
    return text;
}

// The hex digits of a bad byte, shortened for a message.
std::string Digits(Text digits)
{
    std::string s;
    for (size_t i = 0; i < digits.size() && i < 8; ++i)
        s += static_cast<char>(digits[i]);
    return digits.size() > 8 ? s + "..." : s;
}

class CRegFileParser
{
public:
    explicit CRegFileParser(Text text) : m_text(text) {}

    std::string Parse(SRegFileContent* pContent);

private:
    std::string ParseKeyLine(Text line);
    std::string ParseValueLine(Text line, bool bDefault);
    std::string ReadHexData(Text data, std::vector<unsigned char>* pBytes, size_t* pTotal);
    bool NextLine(Text* pLine);
    bool SkipToContinuation(Text* pLine);
    void SkipHexContinuation(Text data);
    std::string Here(const std::string& what) const { return AtLine(m_nLine, what); }

    Text m_text;
    size_t m_nPos = 0;           // where the next line begins
    size_t m_nLine = 0;          // number of the line last read, 1-based
    bool m_bInOurKey = false;
    bool m_bFound = false;
    size_t m_nValueLine = 0;     // where the value that counts begins, 1-based
    SRegFileContent m_content;
};

// Lines end with CRLF, LF or a lone CR.
bool CRegFileParser::NextLine(Text* pLine)
{
    if (m_nPos >= m_text.size())
        return false;
    size_t nEnd = m_nPos;
    while (nEnd < m_text.size() && m_text[nEnd] != u'\r' && m_text[nEnd] != u'\n')
        ++nEnd;
    *pLine = m_text.substr(m_nPos, nEnd - m_nPos);
    if (nEnd < m_text.size() && m_text[nEnd] == u'\r' && nEnd + 1 < m_text.size()
        && m_text[nEnd + 1] == u'\n')
        ++nEnd;
    m_nPos = nEnd + 1;
    ++m_nLine;
    return true;
}

std::string CRegFileParser::Parse(SRegFileContent* pContent)
{
    // The registry editor takes the first line exactly, blanks before it aside.
    Text header;
    NextLine(&header);
    header = TrimLeft(header);
    if (!EqualExactly(header, kHeader5) && !EqualExactly(header, kHeader4))
        return AtLine(1, std::string("not a registry file: the first line must be \"") + kHeader5
                             + "\" or \"" + kHeader4 + "\"");

    Text rawLine;
    while (NextLine(&rawLine)) {
        const Text line = TrimLeft(rawLine);
        std::string strError;
        if (line.empty() || line[0] == u';')
            continue;
        if (line[0] == u'[')
            strError = ParseKeyLine(line);
        else if (line[0] == u'"' || line[0] == u'@')
            strError = ParseValueLine(line, line[0] == u'@');
        else if (m_bInOurKey)
            strError = Here("neither a key, a value nor a comment");
        // Elsewhere the registry editor skips such lines, and so do we.
        if (!strError.empty())
            return strError;
    }

    if (!m_bFound)
        return std::string("the file holds no \"") + kValueName + "\" value under ["
               + kKeyboardLayoutKeyPath + "]";
    if (!m_content.bDelete) {
        const std::string strError = CheckMapBytes(m_content.map.data(), m_content.map.size());
        if (!strError.empty())
            return AtLine(m_nValueLine, strError);
    }
    *pContent = m_content;
    return std::string();
}

// "[KEY]" opens a key; "[-KEY]" deletes it with everything below.
std::string CRegFileParser::ParseKeyLine(Text line)
{
    const size_t nClose = line.rfind(u']');
    if (nClose == Text::npos || line.size() < 2 || IsBlank(line[1]))
        return Here("a key name must stand between '[' and ']'");
    Text name = line.substr(1, nClose - 1);
    if (!name.empty() && name[0] == u'-') {
        name = name.substr(1);
        // A deleted ancestor takes our key, and the map, with it.
        const std::string strOurKey(kKeyboardLayoutKeyPath);
        for (size_t n = strOurKey.size(); n != std::string::npos && n > 0;
             n = strOurKey.rfind('\\', n - 1)) {
            if (EqualNoCase(name, strOurKey.substr(0, n).c_str()))
                return Here("the file deletes the key [" + strOurKey.substr(0, n)
                            + "]; only the \"Scancode Map\" value may be written or removed");
        }
        m_bInOurKey = false;
        return std::string();
    }
    m_bInOurKey = EqualNoCase(name, kKeyboardLayoutKeyPath);
    return std::string();
}

std::string CRegFileParser::ParseValueLine(Text line, bool bDefault)
{
    std::u16string name;
    size_t i = 1;
    if (!bDefault) {
        // The value name, with \" and \\ escaped; \n and \r stand for line breaks.
        bool bClosed = false;
        for (; i < line.size(); ++i) {
            char16_t ch = line[i];
            if (ch == u'"') {
                bClosed = true;
                ++i;
                break;
            }
            if (ch == u'\\' && i + 1 < line.size()) {
                ch = line[++i];
                ch = ch == u'n' ? u'\n' : ch == u'r' ? u'\r' : ch;
            }
            name += ch;
        }
        if (!bClosed)
            return m_bInOurKey ? Here("the value name has no closing '\"'") : std::string();
    }
    Text rest = TrimLeft(line.substr(i));
    if (rest.empty() || rest[0] != u'=')
        return m_bInOurKey ? Here("'=' must follow the value name") : std::string();
    const Text data = TrimRight(TrimLeft(rest.substr(1)));

    if (!m_bInOurKey || bDefault || !EqualNoCase(Text(name), kValueName)) {
        SkipHexContinuation(data);
        return std::string();
    }

    const size_t nValueLine = m_nLine;
    if (!data.empty() && data[0] == u'-') {
        const Text after = TrimLeft(data.substr(1));
        if (!after.empty() && after[0] != u';')
            return Here("\"Scancode Map\"=- takes nothing after the '-'");
        m_content.bDelete = true;
        m_content.map.clear();
        m_bFound = true;
        m_nValueLine = nValueLine;
        return std::string();
    }

    Text hex;
    if (StartsWith(data, "hex:")) {
        hex = data.substr(4);
    } else if (StartsWith(data, "hex(")) {
        // hex(3): is the binary type spelt out; any other type is no map.
        size_t j = 4;
        unsigned long nType = 0;
        while (j < data.size() && HexValue(data[j]) >= 0 && nType < 0x10000)
            nType = nType * 16 + HexValue(data[j++]);
        if (j == 4 || !StartsWith(data.substr(j), "):") || nType != 3)
            return Here("\"Scancode Map\" must be binary data, written hex:");
        hex = data.substr(j + 2);
    } else {
        return Here("\"Scancode Map\" must be binary data, written hex:");
    }

    std::vector<unsigned char> bytes;
    size_t nTotal = 0;
    const std::string strError = ReadHexData(hex, &bytes, &nTotal);
    if (!strError.empty())
        return strError;
    if (nTotal > kMaxMapBytes)
        return AtLine(nValueLine, "the map is " + Num(nTotal) + " bytes, more than "
                                      + Num(kMaxMapBytes));
    m_content.bDelete = false;
    m_content.map.swap(bytes);
    m_bFound = true;
    m_nValueLine = nValueLine;
    return std::string();
}

// Comma-separated bytes of two hex digits each, over as many lines as end
// with '\'. Bytes past the largest map are counted, not kept.
std::string CRegFileParser::ReadHexData(Text data, std::vector<unsigned char>* pBytes,
                                        size_t* pTotal)
{
    for (;;) {
        size_t i = 0;
        bool bContinued = false;
        for (;;) {
            while (i < data.size() && IsBlank(data[i]))
                ++i;
            if (i >= data.size() || data[i] == u';')
                break;
            if (data[i] == u'\\') {
                const Text after = TrimLeft(data.substr(i + 1));
                if (!after.empty() && after[0] != u';')
                    return Here("nothing but a comment may follow the '\\' that continues a line");
                bContinued = true;
                break;
            }
            size_t nDigits = 0;
            while (i + nDigits < data.size() && HexValue(data[i + nDigits]) >= 0)
                ++nDigits;
            if (nDigits == 0)
                return Here(Quote(data[i]) + " where a byte of two hex digits belongs");
            if (nDigits != 2)
                return Here("a byte must be two hex digits, not \"" + Digits(data.substr(i, nDigits))
                            + "\"");
            if (*pTotal < kMaxMapBytes + 1)
                pBytes->push_back(static_cast<unsigned char>(HexValue(data[i]) << 4
                                                             | HexValue(data[i + 1])));
            ++*pTotal;
            i += 2;
            while (i < data.size() && IsBlank(data[i]))
                ++i;
            if (i < data.size() && data[i] == u',') {
                ++i;
                continue;
            }
            if (i < data.size() && data[i] != u';')
                return Here(data[i] == u'\\' ? std::string("a ',' must come before the '\\' that continues a line")
                                             : Quote(data[i]) + " where ',' belongs");
            break;
        }
        if (!bContinued)
            return std::string();
        const size_t nBackslashLine = m_nLine;
        Text next;
        if (!SkipToContinuation(&next))
            return AtLine(nBackslashLine, "the line ends with '\\' but the file ends before the data goes on");
        if (HexValue(next[0]) < 0)
            return AtLine(nBackslashLine, "the line ends with '\\' but line " + Num(m_nLine)
                                              + " does not go on with hex data");
        data = next;
    }
}

// Moves to the next line that is neither blank nor a comment, as the registry
// editor does within continued data. False at the end of the file.
bool CRegFileParser::SkipToContinuation(Text* pLine)
{
    Text rawLine;
    while (NextLine(&rawLine)) {
        const Text line = TrimLeft(rawLine);
        if (!line.empty() && line[0] != u';') {
            *pLine = line;
            return true;
        }
    }
    return false;
}

// Another value's hex data may go on over lines that end with '\': they are
// skipped with it, so that none of them is read as a key or a value.
void CRegFileParser::SkipHexContinuation(Text data)
{
    if (!StartsWith(data, "hex"))
        return;
    for (;;) {
        const size_t nComment = data.find(u';');
        const Text content = TrimRight(data.substr(0, nComment));
        if (content.empty() || content.back() != u'\\')
            return;
        Text next;
        if (!SkipToContinuation(&next))
            return;
        data = next;
    }
}

}  // namespace

std::string CheckMapBytes(const unsigned char* pData, size_t nLength)
{
    if (nLength < kMinMapBytes)
        return "the map is " + Num(nLength) + " bytes; even a map without mappings is "
               + Num(kMinMapBytes);
    if (nLength > kMaxMapBytes)
        return "the map is " + Num(nLength) + " bytes, more than " + Num(kMaxMapBytes);
    if ((nLength - kMinMapBytes) % kMapEntrySize != 0)
        return "the map is " + Num(nLength) + " bytes, not 16 plus 4 for each mapping";
    for (size_t i = 0; i < 8; ++i) {
        if (pData[i] != 0)
            return "the header's version and flags (bytes 0 to 7) are not zero";
    }
    const unsigned long nCount = static_cast<unsigned long>(pData[8]) | pData[9] << 8
                                 | static_cast<unsigned long>(pData[10]) << 16
                                 | static_cast<unsigned long>(pData[11]) << 24;
    const size_t nEntries = (nLength - kMapHeaderSize) / kMapEntrySize;
    if (nCount != nEntries)
        return "the entry count says " + Num(nCount) + " but the " + Num(nLength)
               + " bytes hold " + Num(nEntries) + " entries, the null entry included";
    for (size_t i = nLength - kMapEntrySize; i < nLength; ++i) {
        if (pData[i] != 0)
            return "the map does not end with the null entry (four zero bytes)";
    }
    return std::string();
}

std::string ParseRegFile(const unsigned char* pData, size_t nLength, SRegFileContent* pContent)
{
    if (nLength > kMaxRegFileBytes)
        return "the file is " + Num(nLength) + " bytes; a registry file of more than "
               + Num(kMaxRegFileBytes) + " is not read";
    if (!pData && nLength > 0)
        return "no data";
    const std::u16string text = Decode(pData, nLength);
    return CRegFileParser(text).Parse(pContent);
}

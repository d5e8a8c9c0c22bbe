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

// The file as UTF-16 code units, as the registry editor reads it: UTF-16LE
// behind a byte-order mark, anything else as ANSI, whose bytes above 0x7F
// matter to us only as "not ASCII".
std::u16string Decode(const unsigned char* pData, size_t nLength)
{
    std::u16string text;
    if (nLength >= 2 && pData[0] == 0xFF && pData[1] == 0xFE) {
        text.reserve((nLength - 2) / 2);
        for (size_t i = 2; i + 1 < nLength; i += 2)
            text += static_cast<char16_t>(pData[i] | pData[i + 1] << 8);
    } else {
        text.reserve(nLength);
        for (size_t i = 0; i < nLength; ++i)
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

// Reads a registry file as the registry editor imports it: lines it cannot
// read it skips, and so does a value line whose data it cannot read, so that
// an earlier mention of the value stands; a value whose data it reads is set,
// whatever its type. The map that results must then pass CheckMapBytes.
class CRegFileParser
{
public:
    CRegFileParser(Text text, bool bKept) : m_text(text), m_bKept(bKept) {}

    std::string Parse(SRegFileContent* pContent);

private:
    std::string ParseKeyLine(Text line);
    void ParseValueLine(Text line, bool bDefault);
    std::string ReadHexData(Text data, std::vector<unsigned char>* pBytes, size_t* pTotal);
    bool NextLine(Text* pLine);
    bool SkipToContinuation(Text* pLine);
    std::string Here(const std::string& what) const { return AtLine(m_nLine, what); }
    // A mention of the value that the editor skips: why, for when no other stands.
    void Skipped(const std::string& strWhy) { m_strSkipped = strWhy; }
    // A mention that the editor carries out, from line nLine on.
    void Stands(size_t nLine, const std::string& strNoMap);

    Text m_text;
    bool m_bKept;                // a kept value: any type and length, unchecked
    size_t m_nPos = 0;           // where the next line begins
    size_t m_nLine = 0;          // number of the line last read, 1-based
    bool m_bInOurKey = false;
    bool m_bFound = false;       // a mention of the value stands
    size_t m_nValueLine = 0;     // where it begins, 1-based
    std::string m_strNoMap;      // why the value that stands is no map, if it is none
    std::string m_strSkipped;    // why the last mention skipped was skipped
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

void CRegFileParser::Stands(size_t nLine, const std::string& strNoMap)
{
    m_bFound = true;
    m_nValueLine = nLine;
    m_strNoMap = strNoMap;
}

std::string CRegFileParser::Parse(SRegFileContent* pContent)
{
    // The registry editor takes the first line exactly, blanks before it
    // aside: "REGEDIT40", or the header with anything after it, is none.
    Text header;
    NextLine(&header);
    header = TrimLeft(header);
    if (!EqualExactly(header, kHeader5) && !EqualExactly(header, kHeader4)) {
        // It reads a file in UTF-8 as ANSI, byte-order mark and all.
        if (StartsWith(header, "\xEF\xBB\xBF"))
            return AtLine(1, "a UTF-8 file with a byte-order mark, which the registry editor refuses: "
                             "save it as Unicode (UTF-16) or ANSI");
        return AtLine(1, std::string("not a registry file: the first line must be \"") + kHeader5
                             + "\" or \"" + kHeader4 + "\"");
    }

    Text rawLine;
    while (NextLine(&rawLine)) {
        const Text line = TrimLeft(rawLine);
        if (line.empty())
            continue;
        if (line[0] == u'[') {
            const std::string strError = ParseKeyLine(line);
            if (!strError.empty())
                return strError;
        } else if (line[0] == u'"' || line[0] == u'@') {
            ParseValueLine(line, line[0] == u'@');
        }
        // Comments, and any other line, the registry editor skips.
    }

    if (!m_bFound)
        return !m_strSkipped.empty() ? m_strSkipped
                                     : std::string("the file holds no \"") + kValueName + "\" value under ["
                                           + kKeyboardLayoutKeyPath + "]";
    if (!m_strNoMap.empty())
        return m_strNoMap;
    if (!m_content.bDelete && !m_bKept) {
        const std::string strError = CheckMapBytes(m_content.map.data(), m_content.map.size());
        if (!strError.empty())
            return AtLine(m_nValueLine, strError);
    }
    *pContent = m_content;
    return std::string();
}

// "[KEY]" opens a key; "[-KEY]" deletes it with everything below. A key line
// that the registry editor cannot read (a blank after '[', no ']') it skips,
// and the key before it stays open: the values that follow still go there.
std::string CRegFileParser::ParseKeyLine(Text line)
{
    const size_t nClose = line.rfind(u']');
    if (nClose == Text::npos || IsBlank(line[1]))
        return std::string();
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

void CRegFileParser::ParseValueLine(Text line, bool bDefault)
{
    std::u16string name;
    size_t i = 1;
    if (!bDefault) {
        // The value name, with \" and \\ escaped; \n and \r stand for line
        // breaks, any other escaped character for itself. The editor skips
        // a name that "\0" cuts short, or that the line ends in.
        bool bClosed = false;
        for (; i < line.size(); ++i) {
            char16_t ch = line[i];
            if (ch == u'"') {
                bClosed = true;
                ++i;
                break;
            }
            if (ch == u'\\') {
                if (i + 1 >= line.size() || line[i + 1] == u'0')
                    break;
                ch = line[++i];
                ch = ch == u'n' ? u'\n' : ch == u'r' ? u'\r' : ch;
            }
            name += ch;
        }
        if (!bClosed) {
            if (m_bInOurKey)
                Skipped(Here("the value name has no closing '\"', or holds \\0"));
            return;
        }
    }
    const bool bOurs = m_bInOurKey && !bDefault && EqualNoCase(Text(name), kValueName);
    const Text rest = TrimLeft(line.substr(i));
    if (rest.empty() || rest[0] != u'=') {
        if (bOurs)
            Skipped(Here("'=' must follow the value name"));
        return;
    }
    const Text data = TrimRight(TrimLeft(rest.substr(1)));
    const size_t nValueLine = m_nLine;

    if (!data.empty() && data[0] == u'-') {
        const Text after = TrimLeft(data.substr(1));
        if (!after.empty() && after[0] != u';') {
            if (bOurs)
                Skipped(Here("\"Scancode Map\"=- takes nothing after the '-'"));
        } else if (bOurs) {
            m_content.bDelete = true;
            m_content.map.clear();
            Stands(nValueLine, std::string());
        }
        return;
    }

    const std::string strNotBinary = "\"Scancode Map\" must be binary data, written hex:";
    unsigned long nType = 0;
    Text hex;
    if (StartsWith(data, "hex:")) {
        nType = 3;
        hex = data.substr(4);
    } else if (StartsWith(data, "hex(")) {
        // hex(3): is the binary type spelt out, hex(): the type 0. Wine's
        // editor also takes blanks and signs there, through wcstoul; we do
        // not, any more than in the bytes.
        size_t j = 4;
        for (; j < data.size() && HexValue(data[j]) >= 0; ++j) {
            if (nType < 0x10000)
                nType = nType * 16 + HexValue(data[j]);
        }
        if (!StartsWith(data.substr(j), "):")) {
            if (bOurs)
                Skipped(Here(strNotBinary));
            return;
        }
        hex = data.substr(j + 2);
    } else {
        if (!bOurs)
            return;
        // A string or a number the editor sets as such; it reads "hex" in
        // small letters only, and skips a line with any other data.
        if (StartsWith(data, "\"") || StartsWith(data, "dword:"))
            Stands(nValueLine, Here(strNotBinary));
        else if (StartsWith(data, "hex", true))
            Skipped(Here(strNotBinary + " in small letters, as the registry editor reads it"));
        else
            Skipped(Here(strNotBinary));
        return;
    }

    std::vector<unsigned char> bytes;
    size_t nTotal = 0;
    const std::string strError = ReadHexData(hex, bOurs ? &bytes : nullptr, &nTotal);
    if (!bOurs)
        return;
    if (!strError.empty()) {
        Skipped(strError);
        return;
    }
    if (nType != 3 && !m_bKept) {
        Stands(nValueLine, AtLine(nValueLine, strNotBinary + " or hex(3):"));
        return;
    }
    if (nTotal > kMaxMapBytes && !m_bKept) {
        Stands(nValueLine, AtLine(nValueLine, "the map is " + Num(nTotal) + " bytes, more than "
                                                  + Num(kMaxMapBytes)));
        return;
    }
    m_content.bDelete = false;
    m_content.map.swap(bytes);
    m_content.nType = nType;
    Stands(nValueLine, std::string());
}

// Comma-separated bytes, over as many lines as end with '\', read as the
// registry editor reads them: a byte is one or more hex digits whose value
// fits; no blank between a byte and its ','. Wine's editor reads each byte
// with wcstoul, and so also takes "0x1d" and "+1d": garbage that we refuse.
// Bytes past the largest map are counted, not kept; pBytes may be null.
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
            unsigned nValue = 0;
            for (; i + nDigits < data.size() && HexValue(data[i + nDigits]) >= 0; ++nDigits) {
                if (nValue <= 0xFF)
                    nValue = nValue * 16 + HexValue(data[i + nDigits]);
            }
            if (nDigits == 0)
                return Here(Quote(data[i]) + " where a byte in hex digits belongs");
            if (nValue > 0xFF)
                return Here("\"" + Digits(data.substr(i, nDigits)) + "\" is more than a byte");
            if (pBytes && (m_bKept || *pTotal < kMaxMapBytes + 1))
                pBytes->push_back(static_cast<unsigned char>(nValue));
            ++*pTotal;
            i += nDigits;
            if (i < data.size() && data[i] == u',') {
                ++i;
                continue;
            }
            while (i < data.size() && IsBlank(data[i]))
                ++i;
            if (i < data.size() && data[i] != u';') {
                if (data[i] == u'\\')
                    return Here("a ',' must come before the '\\' that continues a line");
                if (data[i] == u',')
                    return Here("no blank may stand between a byte and the ',' after it");
                return Here(Quote(data[i]) + " where ',' belongs");
            }
            break;
        }
        if (!bContinued)
            return std::string();
        // The line after the '\' belongs to the value, whatever it holds; at
        // the end of the file the editor takes the data read so far.
        const size_t nBackslashLine = m_nLine;
        Text next;
        if (!SkipToContinuation(&next))
            return std::string();
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

std::string ParseRegFile(const unsigned char* pData, size_t nLength, SRegFileContent* pContent,
                         bool bKeptValue)
{
    if (nLength > kMaxRegFileBytes)
        return "the file is " + Num(nLength) + " bytes; a registry file of more than "
               + Num(kMaxRegFileBytes) + " is not read";
    if (!pData && nLength > 0)
        return "no data";
    const std::u16string text = Decode(pData, nLength);
    return CRegFileParser(text, bKeptValue).Parse(pContent);
}

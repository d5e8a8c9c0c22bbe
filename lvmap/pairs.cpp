// Maps written as pairs of keys, REAL=MAPPED, and the system's map compared
// with a map.
#include "commands.h"

#include "console.h"
#include "lutrovane_pc.h"
#include "map_files.h"

#include <algorithm>
#include <cwchar>
#include <set>

namespace {

const UINT kCodePage949 = 949;
const size_t kMaxPairs = (kMaxMapBytes - 16) / 4;
const size_t kSuggestions = 3;

typedef std::pair<unsigned short, unsigned short> KeyPair;  // real key, mapped key

wchar_t Folded(wchar_t ch)
{
    return ch >= L'A' && ch <= L'Z' ? wchar_t(ch + (L'a' - L'A')) : ch;
}

// Edits between two names, Latin letters in either case alike, as the tables
// compare them.
size_t Distance(const std::wstring& a, const std::wstring& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t nDiagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t nAbove = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               nDiagonal + (Folded(a[i - 1]) == Folded(b[j - 1]) ? 0 : 1)});
            nDiagonal = nAbove;
        }
    }
    return row[b.size()];
}

bool Contains(const std::wstring& name, const std::wstring& part)
{
    std::wstring a(name), b(part);
    std::transform(a.begin(), a.end(), a.begin(), Folded);
    std::transform(b.begin(), b.end(), b.begin(), Folded);
    return a.find(b) != std::wstring::npos;
}

std::wstring Trimmed(const std::wstring& text)
{
    const size_t nFirst = text.find_first_not_of(L" \t");
    return nFirst == std::wstring::npos ? std::wstring()
                                        : text.substr(nFirst, text.find_last_not_of(L" \t") - nFirst + 1);
}

const wchar_t kHexDigits[] = L"0123456789abcdefABCDEF";

bool HasHexPrefix(const std::wstring& text)
{
    return text.compare(0, 2, L"0x") == 0 || text.compare(0, 2, L"0X") == 0;
}

// Four hex digits, 0x allowed, prefix first as Windows writes scan codes;
// *pwCode in the tables' form, make code high.
bool ParseCode(const std::wstring& text, unsigned short* pwCode)
{
    const std::wstring digits = text.substr(HasHexPrefix(text) ? 2 : 0);
    if (digits.size() != 4 || digits.find_first_not_of(kHexDigits) != std::wstring::npos)
        return false;
    const unsigned long nValue = wcstoul(digits.c_str(), nullptr, 16);
    *pwCode = static_cast<unsigned short>((nValue & 0xFF) << 8 | nValue >> 8);
    return true;
}

// The names on one side of a pair, and how they turn into codes.
class CPairReader
{
public:
    explicit CPairReader(int nKeyboard) : m_nKeyboard(nKeyboard), m_pTable(NewKeyboardTable(nKeyboard))
    {
        for (int i = 0; i < static_cast<int>(m_pTable->GetSizeOfMap()); ++i)
            m_realNames.push_back(FromCp949(m_pTable->GetKeyNameByIndex(i)));
        for (int i = 0; i < static_cast<int>(m_pc.GetSizeOfMap()); ++i)
            m_mappedNames.push_back(FromCp949(m_pc.GetKeyNameByIndex(i)));
        for (const std::wstring& name : m_realNames) {
            if (std::find(m_mappedNames.begin(), m_mappedNames.end(), name) == m_mappedNames.end())
                m_mappedNames.push_back(name);
        }
        m_mappedNames.push_back(L"off");
    }

    // Empty with *pwCode set, or why the text names no key.
    std::wstring Key(const std::wstring& text, bool bReal, unsigned short* pwCode)
    {
        if (text.empty())
            return bReal ? L"no real key before =" : L"no mapped key after =";
        // Real keys by the keyboard's table; mapped keys as the wizard offers
        // them, the PC keyboard's names turned by the catalogue, and this
        // keyboard's own names as well.
        std::string name;
        *pwCode = 0;
        if (To949(text, &name)) {
            if (bReal)
                *pwCode = m_pTable->FindScanCode(name.c_str());
            else if (m_pc.FindScanCode(name.c_str()))
                *pwCode = m_catalogue.FindScanCode(name.c_str());
            else
                *pwCode = m_pTable->FindScanCode(name.c_str());
        }
        if (*pwCode == 0 && !bReal && lstrcmpiW(text.c_str(), L"off") == 0)
            return std::wstring();
        if (*pwCode == 0 && !ParseCode(text, pwCode))
            return Unknown(text, bReal);
        if (*pwCode == 0 && bReal)
            return L"the real key 0000 is no key";
        return std::wstring();
    }

    std::wstring RealText(unsigned short wCode)
    {
        return CodeText(wCode) + L" " + FromCp949(m_pTable->GetKeyName(wCode));
    }
    std::wstring MappedText(unsigned short wCode)
    {
        return CodeText(wCode) + L" " + FromCp949(m_catalogue.GetKeyName(wCode));
    }

private:
    // The tables' names are code page 949; a text it cannot spell names none.
    static bool To949(const std::wstring& text, std::string* pText)
    {
        const int nBytes = WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0,
                                               nullptr, nullptr);
        BOOL bLost = FALSE;
        pText->assign(nBytes > 0 ? nBytes : 1, '\0');
        WideCharToMultiByte(kCodePage949, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, &(*pText)[0], nBytes, nullptr,
                            &bLost);
        return nBytes > 0 && !bLost;
    }

    std::wstring Unknown(const std::wstring& text, bool bReal)
    {
        const std::wstring digits = text.substr(HasHexPrefix(text) ? 2 : 0);
        const bool bHex = digits.find_first_not_of(kHexDigits) == std::wstring::npos;
        if (HasHexPrefix(text) || bHex) {
            return text + L": no key's name, and a code is four hex digits"
                   + (bHex && !digits.empty() && digits.size() < 4
                          ? L": " + std::wstring(4 - digits.size(), L'0') + digits
                          : std::wstring(L", as 003A or 0xE05B"));
        }
        // Names that hold the text come first, shortest first, then those a
        // few edits away.
        const size_t kEdited = 1000;
        std::vector<std::pair<size_t, std::wstring>> ranked;
        for (const std::wstring& name : bReal ? m_realNames : m_mappedNames) {
            const size_t nDistance = Distance(text, name);
            if (text.size() > 1 && Contains(name, text))
                ranked.push_back({name.size(), name});
            else if (nDistance <= text.size() / 3)
                ranked.push_back({kEdited + nDistance, name});
        }
        std::stable_sort(ranked.begin(), ranked.end(),
                         [](const std::pair<size_t, std::wstring>& a, const std::pair<size_t, std::wstring>& b) {
                             return a.first < b.first;
                         });
        std::wstring what = L"no " + std::wstring(bReal ? L"real" : L"mapped") + L" key is named " + text;
        if (ranked.empty())
            return what + L"; lvmap keys lists the names" + (m_nKeyboard ? L", with the same --keyboard" : L"");
        for (size_t i = 0; i < ranked.size() && i < kSuggestions; ++i)
            what += (i ? L", " : L"; closest: ") + ranked[i].second;
        return what;
    }

    const int m_nKeyboard;
    std::unique_ptr<CLutrovaneBase> m_pTable;
    CLutrovanePC m_pc;
    CLutrovaneCore m_catalogue;
    std::vector<std::wstring> m_realNames, m_mappedNames;
};

std::wstring MappingCount(size_t nMappings)
{
    return std::to_wstring(nMappings) + (nMappings == 1 ? L" mapping" : L" mappings");
}

// The pairs of sound map bytes, without null entries, in their order.
std::vector<KeyPair> PairsOf(const std::vector<unsigned char>& map)
{
    std::vector<KeyPair> pairs;
    for (size_t n = 12; n + 8 <= map.size(); n += 4) {
        const KeyPair pair(static_cast<unsigned short>(map[n + 2] << 8 | map[n + 3]),
                           static_cast<unsigned short>(map[n] << 8 | map[n + 1]));
        if (pair.first || pair.second)
            pairs.push_back(pair);
    }
    return pairs;
}

// Empty with *pPair set, or why the text is no pair. "=" is a key's name
// too: the pair splits at the one = that leaves a key on each side.
std::wstring SplitPair(CPairReader& reader, const std::wstring& text, KeyPair* pPair)
{
    std::wstring error = L"not a pair REAL=MAPPED";
    int nSplits = 0;
    for (size_t n = text.find(L'='); n != std::wstring::npos; n = text.find(L'=', n + 1)) {
        KeyPair pair;
        const std::wstring realError = reader.Key(Trimmed(text.substr(0, n)), true, &pair.first);
        const std::wstring mappedError = reader.Key(Trimmed(text.substr(n + 1)), false, &pair.second);
        if (realError.empty() && mappedError.empty()) {
            if (nSplits++ == 0)
                *pPair = pair;
        } else if (nSplits == 0 && (n == text.find(L'=') || realError.empty())) {
            // A split whose real key is known tells why, else the first.
            error = realError.empty() ? mappedError : realError;
        }
    }
    if (nSplits > 1)
        return L"it splits at more than one =; give the key named = by its code, 000D";
    return nSplits == 1 ? std::wstring() : error;
}

}  // namespace

int ParsePairs(const std::vector<std::wstring>& pairs, int nKeyboard, SRegFileContent* pContent)
{
    CPairReader reader(nKeyboard);
    std::vector<KeyPair> parsed;  // {0, 0} for a pair that is wrong
    std::wstring errors;
    for (const std::wstring& text : pairs) {
        KeyPair pair(0, 0);
        std::wstring error = SplitPair(reader, text, &pair);
        for (size_t k = 0; error.empty() && k < parsed.size(); ++k) {
            if (parsed[k].first == pair.first)
                error = L"the real key " + reader.RealText(pair.first) + L" is given again, first in pair "
                        + std::to_wstring(k + 1);
        }
        if (!error.empty()) {
            errors += L"lvmap: pair " + std::to_wstring(parsed.size() + 1) + L", " + text + L": " + error + L"\r\n";
            pair = KeyPair(0, 0);
        }
        parsed.push_back(pair);
    }
    if (pairs.size() > kMaxPairs)
        errors += L"lvmap: " + std::to_wstring(pairs.size()) + L" pairs, more than the "
                  + std::to_wstring(kMaxPairs) + L" a map holds\r\n";
    if (!errors.empty()) {
        WriteErr(errors + L"lvmap: nothing done\r\n");
        return kExitInvalid;
    }
    // Encoded as the wizard encodes its list.
    CWordArray realKeys, mappedKeys;
    for (const KeyPair& pair : parsed) {
        realKeys.Add(pair.first);
        mappedKeys.Add(pair.second);
    }
    unsigned char abMap[kMaxMapBytes] = {};
    CUtils::MakeRegistryData(realKeys, mappedKeys, abMap);
    pContent->bDelete = false;
    pContent->map.assign(abMap, abMap + 16 + 4 * parsed.size());
    return kExitDone;
}

int MakeCommand(const std::wstring& path, const std::vector<std::wstring>& pairs, int nKeyboard)
{
    SRegFileContent content;
    int nExit = ParsePairs(pairs, nKeyboard, &content);
    if (nExit == kExitDone)
        nExit = WriteMapFile(path, content);
    if (nExit == kExitDone)
        WriteOut(L"Made " + path + L": " + MappingCount(pairs.size()) + L"\r\n");
    return nExit;
}

int ApplyPairsCommand(const std::vector<std::wstring>& pairs, int nKeyboard, bool bForce)
{
    SRegFileContent content;
    const int nExit = ParsePairs(pairs, nKeyboard, &content);
    return nExit == kExitDone ? WriteSystemMap(content, bForce) : nExit;
}

int VerifyCommand(const std::vector<std::wstring>& what, int nKeyboard)
{
    SRegFileContent wanted;
    int nExit = what.size() == 1 && MapFileFormatOf(what[0]) != FORMAT_UNKNOWN ? ReadMapFile(what[0], &wanted)
                                                                             : ParsePairs(what, nKeyboard, &wanted);
    std::vector<unsigned char> map;
    ESystemMap state;
    unsigned long nSize;
    if (nExit == kExitDone)
        nExit = ReadSystemMap(&map, &state, &nSize);
    if (nExit != kExitDone)
        return nExit;
    if (state == MAP_NONE) {
        WriteOut(wanted.bDelete ? L"No map, as asked for.\r\n" : L"No map: the system holds no Scancode Map value.\r\n");
        return wanted.bDelete ? kExitDone : kExitNoMap;
    }
    // Windows may ignore a map that is not sound: whatever it holds, it is
    // not the map asked for, and applying that map mends it.
    const std::wstring unsound =
        state == MAP_TOO_LONG ? L"it is " + std::to_wstring(nSize) + L" bytes, more than " + std::to_wstring(kMaxMapBytes)
                              : FromAscii(CheckMapBytes(map.data(), map.size()));
    if (!unsound.empty()) {
        WriteOut(L"The system's map differs: it is not sound, and Windows may ignore it: " + unsound + L"\r\n");
        return kExitDiffers;
    }
    const std::vector<KeyPair> has = PairsOf(map);
    if (wanted.bDelete) {
        WriteOut(L"The system's map differs: it holds " + MappingCount(has.size()) + L", and no map is asked for.\r\n");
        return kExitDiffers;
    }
    const std::vector<KeyPair> wants = PairsOf(wanted.map);
    const std::set<KeyPair> hasSet(has.begin(), has.end()), wantsSet(wants.begin(), wants.end());
    // Each pair once: asked for and not held (missing, or different where the
    // system maps that real key otherwise), then held and not asked for.
    CPairReader reader(nKeyboard);
    std::set<KeyPair> told;
    std::wstring text;
    for (const KeyPair& pair : wants) {
        if (hasSet.count(pair) || !told.insert(pair).second)
            continue;
        std::wstring others;
        for (const KeyPair& other : has) {
            if (other.first == pair.first && !wantsSet.count(other) && told.insert(other).second)
                others += L", the system's -> " + reader.MappedText(other.second);
        }
        text += (others.empty() ? L"missing    " : L"different  ") + reader.RealText(pair.first) + L" -> "
                + reader.MappedText(pair.second) + others + L"\r\n";
    }
    for (const KeyPair& pair : has) {
        if (!wantsSet.count(pair) && told.insert(pair).second)
            text += L"extra      " + reader.RealText(pair.first) + L" -> " + reader.MappedText(pair.second) + L"\r\n";
    }
    if (text.empty()) {
        WriteOut(L"The system's map is the same: " + MappingCount(wantsSet.size()) + L".\r\n");
        return kExitDone;
    }
    WriteOut(L"The system's map differs:\r\n" + text);
    return kExitDiffers;
}

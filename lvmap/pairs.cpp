// Maps written as pairs of keys, REAL=MAPPED: the names or codes each side
// takes, and why a pair is wrong.
#include "commands.h"

#include "console.h"
#include "lutrovane_pc.h"
#include "map_files.h"

#include <algorithm>
#include <cwchar>

namespace {

const size_t kMaxPairs = (kMaxMapBytes - 16) / 4;
const size_t kSuggestions = 3;

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
        // The tables' names are code page 949; a text it cannot spell names none.
        if (ToCp949(text, &name)) {
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

    std::wstring RealText(unsigned short wCode) { return KeyText(*m_pTable, wCode); }

private:
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

// A~B: both real keys of the keyboard, swapped: *pFirst A=B and *pSecond
// B=A, each side read as such a pair reads it. No key's name holds a ~.
std::wstring SplitSwap(CPairReader& reader, const std::wstring& text, KeyPair* pFirst, KeyPair* pSecond)
{
    const size_t n = text.find(L'~');
    const std::wstring a = Trimmed(text.substr(0, n)), b = Trimmed(text.substr(n + 1));
    if (a.empty() || b.empty() || b.find(L'~') != std::wstring::npos)
        return L"a swap is two real keys with one ~ between them, as CapsLock~Control(왼쪽)";
    std::wstring error = reader.Key(a, true, &pFirst->first);
    if (error.empty())
        error = reader.Key(b, true, &pSecond->first);
    if (error.empty())
        error = reader.Key(b, false, &pFirst->second);
    if (error.empty())
        error = reader.Key(a, false, &pSecond->second);
    if (error.empty() && pFirst->first == pSecond->first)
        error = L"a key swapped with itself";
    return error;
}

}  // namespace

int ParsePairs(const std::vector<std::wstring>& pairs, int nKeyboard, SRegFileContent* pContent)
{
    CPairReader reader(nKeyboard);
    std::vector<KeyPair> parsed;  // a swap's two pairs in turn; {0, 0} for a pair that is wrong
    std::vector<size_t> places;   // the argument each came from, from 1
    std::wstring errors;
    for (size_t nPlace = 1; nPlace <= pairs.size(); ++nPlace) {
        const std::wstring& text = pairs[nPlace - 1];
        KeyPair pair(0, 0), second(0, 0);
        const bool bSwap = text.find(L'~') != std::wstring::npos;
        std::wstring error = bSwap ? SplitSwap(reader, text, &pair, &second) : SplitPair(reader, text, &pair);
        for (size_t k = 0; error.empty() && k < parsed.size(); ++k) {
            if (parsed[k].first == pair.first || (bSwap && parsed[k].first == second.first))
                error = L"the real key " + reader.RealText(parsed[k].first) + L" is given again, first in pair "
                        + Decimal(places[k]);
        }
        if (!error.empty()) {
            errors += L"lvmap: pair " + Decimal(nPlace) + L", " + text + L": " + error + L"\r\n";
            pair = second = KeyPair(0, 0);
        }
        parsed.push_back(pair);
        places.push_back(nPlace);
        if (bSwap) {
            parsed.push_back(second);
            places.push_back(nPlace);
        }
    }
    if (parsed.size() > kMaxPairs)
        errors += L"lvmap: " + MappingCount(parsed.size()) + L", more than the "
                  + Decimal(kMaxPairs) + L" a map holds\r\n";
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
        WriteOut(L"Made " + path + L": " + Mappings(content.map.size()) + L"\r\n");
    return nExit;
}

int ApplyPairsCommand(const std::vector<std::wstring>& pairs, int nKeyboard, bool bForce)
{
    SRegFileContent content;
    const int nExit = ParsePairs(pairs, nKeyboard, &content);
    return nExit == kExitDone ? WriteSystemMap(content, bForce) : nExit;
}

// verify: the system's map compared with a map, pair by pair.
#include "commands.h"

#include "console.h"
#include "map_files.h"

#include <set>

namespace {

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

// The keys a real key is mapped to, in the map's order.
std::vector<unsigned short> MappedKeysOf(const std::vector<KeyPair>& pairs, unsigned short wReal)
{
    std::vector<unsigned short> mapped;
    for (const KeyPair& pair : pairs) {
        if (pair.first == wReal)
            mapped.push_back(pair.second);
    }
    return mapped;
}

// Whether two lists hold the same keys, in any order and number.
bool SameKeys(const std::vector<unsigned short>& a, const std::vector<unsigned short>& b)
{
    return std::set<unsigned short>(a.begin(), a.end()) == std::set<unsigned short>(b.begin(), b.end());
}

// " 001D Control(왼쪽) then 0038 Alt(왼쪽)"
std::wstring InTurn(CLutrovaneBase& catalogue, const std::vector<unsigned short>& mapped)
{
    std::wstring text;
    for (size_t k = 0; k < mapped.size(); ++k)
        text += (k ? L" then " : L" ") + MappedText(catalogue, mapped[k]);
    return text;
}

}  // namespace

int VerifyCommand(const std::vector<std::wstring>& what, int nKeyboard)
{
    SRegFileContent wanted;
    int nExit = what.size() == 1 && MapFileFormatOf(what[0]) != FORMAT_UNKNOWN ? ReadMapFile(what[0], &wanted)
                                                                             : ParsePairs(what, nKeyboard, &wanted);
    SSystemMap system;
    if (nExit == kExitDone)
        nExit = ReadSystemMap(&system);
    if (nExit != kExitDone)
        return nExit;
    if (system.state == MAP_NONE) {
        WriteOut(wanted.bDelete ? L"No map, as asked for.\r\n" : L"No map: the system holds no Scancode Map value.\r\n");
        return wanted.bDelete ? kExitDone : kExitNoMap;
    }
    // Windows may ignore a map that is not sound, or a value of another type:
    // whatever it holds, it is not the map asked for, and applying that map
    // mends it.
    const std::vector<unsigned char>& map = system.map;
    const std::wstring unsound = system.nType != REG_BINARY
                                     ? L"the value is of type " + Decimal(system.nType) + L", not binary (3)"
                                     : Unsoundness(system);
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
    std::unique_ptr<CLutrovaneBase> table = NewKeyboardTable(nKeyboard);
    CLutrovaneCore catalogue;
    std::set<KeyPair> told;
    std::wstring text;
    for (const KeyPair& pair : wants) {
        if (hasSet.count(pair) || !told.insert(pair).second)
            continue;
        std::wstring others;
        for (const KeyPair& other : has) {
            if (other.first == pair.first && !wantsSet.count(other) && told.insert(other).second)
                others += L", the system's -> " + MappedText(catalogue, other.second);
        }
        text += (others.empty() ? L"missing    " : L"different  ") + KeyText(*table, pair.first) + L" -> "
                + MappedText(catalogue, pair.second) + others + L"\r\n";
    }
    for (const KeyPair& pair : has) {
        if (!wantsSet.count(pair) && told.insert(pair).second)
            text += L"extra      " + KeyText(*table, pair.first) + L" -> " + MappedText(catalogue, pair.second) + L"\r\n";
    }
    // Windows takes one entry of a real key named more than once, so where
    // both maps hold the same pairs for such a key, their order decides.
    std::set<unsigned short> ordered;
    for (const std::vector<KeyPair>* pMap : {&wants, &has}) {
        for (const KeyPair& pair : *pMap) {
            const std::vector<unsigned short> asked = MappedKeysOf(wants, pair.first),
                                              held = MappedKeysOf(has, pair.first);
            if (asked != held && SameKeys(asked, held) && ordered.insert(pair.first).second)
                text += L"order      " + KeyText(*table, pair.first) + L" ->" + InTurn(catalogue, asked)
                        + L", the system's ->" + InTurn(catalogue, held) + L"\r\n";
        }
    }
    if (text.empty()) {
        WriteOut(L"The system's map is the same: " + MappingCount(wants.size()) + L".\r\n");
        return kExitDone;
    }
    WriteOut(L"The system's map differs:\r\n" + text);
    return kExitDiffers;
}

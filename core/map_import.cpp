#include "map_import.h"

// Type misuse is checked before every access below; the native build keeps
// the library's assertions to prove it.
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

namespace {

const unsigned int kMaxMappings = 252;
// Larger settings files are refused unread: no list of remaps comes near.
const size_t kMaxJsonBytes = 8 * 1024 * 1024;

// The tool's own codes beside Windows' virtual keys.
const unsigned int kVkDisabled = 0x100;
const unsigned int kVkWinBoth = 0x104;
const unsigned int kVkShift = 0x10, kVkControl = 0x11, kVkMenu = 0x12;
const unsigned int kVkLWin = 0x5B, kVkRWin = 0x5C;
const unsigned int kVkLShift = 0xA0, kVkRShift = 0xA1, kVkLControl = 0xA2, kVkRControl = 0xA3;
const unsigned int kVkLMenu = 0xA4, kVkRMenu = 0xA5;

typedef rapidjson::Value Json;

std::string Num(size_t n)
{
    return std::to_string(static_cast<unsigned long long>(n));
}

std::string ImportSkl(const unsigned char* pData, size_t nLength, SRegFileContent* pContent)
{
    // A saved key list is the value's bytes and nothing else.
    const std::string strError = CheckMapBytes(pData, nLength);
    if (!strError.empty())
        return "not a sound key list: " + strError;
    pContent->bDelete = false;
    pContent->nType = 3;
    pContent->map.assign(pData, pData + nLength);
    return std::string();
}

// Reads a settings file's remaps: key-to-key remaps become pairs, everything
// else is named as left out.
class CKeyManagerImport
{
public:
    CKeyManagerImport(PFN_SCANCODE_OF_VK pfnScancode, void* pContext, std::vector<std::string>* pLeftOut)
        : m_pfnScancode(pfnScancode), m_pContext(pContext), m_pLeftOut(pLeftOut)
    {
    }

    std::string Read(const unsigned char* pData, size_t nLength, SRegFileContent* pContent);

private:
    std::string ReadRemaps(const unsigned char* pData, size_t nLength, SRegFileContent* pContent);
    std::string ReadKeyRemap(const Json& entry, const std::string& strWhere);
    std::string LeaveOut(const Json& section, const char* pszList, const char* pszName, const char* pszWhy);
    bool ParseKeys(const Json& entry, const char* pszMember, std::vector<unsigned int>* pKeys) const;
    std::string KeysName(const std::vector<unsigned int>& keys);
    std::string KeyName(unsigned int nVirtualKey);
    unsigned short Scancode(unsigned int nVirtualKey) const;
    void Add(unsigned int nRealVk, unsigned short wMapped, const std::string& strName);

    PFN_SCANCODE_OF_VK m_pfnScancode;
    void* m_pContext;
    std::vector<std::string>* m_pLeftOut;
    CLutrovaneCore m_catalogue;
    CWordArray m_realKeys, m_mappedKeys;  // in the tables' form: make code high, prefix low
    bool m_bReadAll = false;
};

// The map's code of a virtual key, in the tables' form; 0 where the layout
// gives none, or one a map cannot hold (the E1 prefix of Pause).
unsigned short CKeyManagerImport::Scancode(unsigned int nVirtualKey) const
{
    const unsigned int nCode = m_pfnScancode ? m_pfnScancode(nVirtualKey, m_pContext) : 0;
    const unsigned int nPrefix = nCode >> 8;
    if ((nCode & 0xFF) == 0 || (nPrefix != 0 && nPrefix != 0xE0))
        return 0;
    return static_cast<unsigned short>((nCode & 0xFF) << 8 | nPrefix);
}

std::string CKeyManagerImport::KeyName(unsigned int nVirtualKey)
{
    switch (nVirtualKey) {
    case kVkShift: return "Shift";
    case kVkControl: return "Ctrl";
    case kVkMenu: return "Alt";
    case kVkWinBoth: return "Win";
    case kVkDisabled: return "Disable";
    }
    const unsigned short wCode = Scancode(nVirtualKey);
    if (wCode)
        return static_cast<const char*>(GetKeyNameWithCode(m_catalogue, wCode));
    const char kHex[] = "0123456789ABCDEF";
    std::string strName = "VK 0x";
    for (int nShift = nVirtualKey > 0xFF ? 8 : 4; nShift >= 0; nShift -= 4)
        strName += kHex[(nVirtualKey >> nShift) & 0xF];
    return strName;
}

std::string CKeyManagerImport::KeysName(const std::vector<unsigned int>& keys)
{
    std::string strName;
    for (size_t i = 0; i < keys.size(); ++i)
        strName += (i ? "+" : "") + KeyName(keys[i]);
    return strName;
}

// "17;65": virtual keys in decimal, ';' between them, as the tool writes them.
bool CKeyManagerImport::ParseKeys(const Json& entry, const char* pszMember,
                                  std::vector<unsigned int>* pKeys) const
{
    const Json::ConstMemberIterator it = entry.FindMember(pszMember);
    if (it == entry.MemberEnd() || !it->value.IsString())
        return false;
    const char* p = it->value.GetString();
    const char* pEnd = p + it->value.GetStringLength();
    pKeys->clear();
    while (true) {
        unsigned int nKey = 0;
        const char* pStart = p;
        while (p < pEnd && *p >= '0' && *p <= '9' && p - pStart < 5)
            nKey = nKey * 10 + static_cast<unsigned int>(*p++ - '0');
        if (p == pStart || nKey == 0 || nKey > 0xFFFF)
            return false;
        pKeys->push_back(nKey);
        if (p == pEnd)
            return true;
        if (*p++ != ';')
            return false;
    }
}

void CKeyManagerImport::Add(unsigned int nRealVk, unsigned short wMapped, const std::string& strName)
{
    const unsigned short wReal = Scancode(nRealVk);
    const char* pszWhy = nullptr;
    if (!wReal) {
        pszWhy = "the keyboard layout gives the key no scan code";
    } else if (m_realKeys.GetSize() >= static_cast<int>(kMaxMappings)) {
        pszWhy = "a map holds at most 252 keys";
    } else {
        for (int i = 0; i < m_realKeys.GetSize(); ++i) {
            if (m_realKeys[i] == wReal)
                pszWhy = "an earlier remap takes the same key";
        }
    }
    if (pszWhy) {
        m_pLeftOut->push_back(strName + ": " + pszWhy);
        return;
    }
    m_realKeys.Add(wReal);
    m_mappedKeys.Add(wMapped);
}

std::string CKeyManagerImport::ReadKeyRemap(const Json& entry, const std::string& strWhere)
{
    std::vector<unsigned int> original, remapped;
    if (!entry.IsObject() || !ParseKeys(entry, "originalKeys", &original) || original.size() != 1)
        return strWhere + ": originalKeys is not one virtual-key code";
    const unsigned int nOriginal = original[0];
    const std::string strOriginal = KeyName(nOriginal);
    if (!ParseKeys(entry, "newRemapKeys", &remapped)) {
        if (entry.HasMember("unicodeText") || entry.HasMember("newRemapString")) {
            m_pLeftOut->push_back(strOriginal + " -> text: a map gives keys, not text");
            return std::string();
        }
        return strWhere + ": newRemapKeys is not a list of virtual-key codes";
    }
    const std::string strName = strOriginal + " -> " + KeysName(remapped);
    if (remapped.size() != 1) {
        m_pLeftOut->push_back(strName + ": a map gives one key for a key, not a shortcut");
        return std::string();
    }
    if (nOriginal == kVkDisabled) {
        m_pLeftOut->push_back(strName + ": Disable is no key");
        return std::string();
    }
    unsigned short wMapped = 0;  // Disable: the key is turned off
    if (remapped[0] != kVkDisabled) {
        wMapped = Scancode(remapped[0] == kVkWinBoth ? kVkLWin : remapped[0]);
        if (!wMapped) {
            m_pLeftOut->push_back(strName + ": the keyboard layout gives the new key no scan code");
            return std::string();
        }
    }
    // A generic modifier stands for both of its keys.
    unsigned int nPair[2] = {nOriginal, 0};
    switch (nOriginal) {
    case kVkShift: nPair[0] = kVkLShift; nPair[1] = kVkRShift; break;
    case kVkControl: nPair[0] = kVkLControl; nPair[1] = kVkRControl; break;
    case kVkMenu: nPair[0] = kVkLMenu; nPair[1] = kVkRMenu; break;
    case kVkWinBoth: nPair[0] = kVkLWin; nPair[1] = kVkRWin; break;
    }
    for (unsigned int nReal : nPair) {
        if (nReal)
            Add(nReal, wMapped, nPair[1] ? KeyName(nReal) + " -> " + KeysName(remapped) : strName);
    }
    return std::string();
}

// Every entry of a list the map has no place for, named with why.
std::string CKeyManagerImport::LeaveOut(const Json& section, const char* pszList, const char* pszName,
                                        const char* pszWhy)
{
    const Json::ConstMemberIterator it = section.FindMember(pszList);
    if (it == section.MemberEnd())
        return std::string();
    if (!it->value.IsArray())
        return std::string(pszName) + "." + pszList + " is not a list";
    for (rapidjson::SizeType i = 0; i < it->value.Size(); ++i) {
        const Json& entry = it->value[i];
        std::vector<unsigned int> original, remapped;
        if (!entry.IsObject() || !ParseKeys(entry, "originalKeys", &original))
            return std::string(pszName) + "." + pszList + " entry " + Num(i + 1) + ": originalKeys is not a "
                   + "list of virtual-key codes";
        std::string strName = KeysName(original) + " -> ";
        strName += ParseKeys(entry, "newRemapKeys", &remapped) ? KeysName(remapped) : std::string("text");
        const Json::ConstMemberIterator app = entry.FindMember("targetApp");
        if (app != entry.MemberEnd() && app->value.IsString())
            strName += std::string(" in ") + app->value.GetString();
        m_pLeftOut->push_back(strName + ": " + pszWhy);
    }
    return std::string();
}

// What was left out is told only where the file was read to its end: for a
// file refused halfway, the reason is all that holds.
std::string CKeyManagerImport::Read(const unsigned char* pData, size_t nLength, SRegFileContent* pContent)
{
    const std::string strError = ReadRemaps(pData, nLength, pContent);
    if (!strError.empty() && !m_bReadAll)
        m_pLeftOut->clear();
    return strError;
}

std::string CKeyManagerImport::ReadRemaps(const unsigned char* pData, size_t nLength, SRegFileContent* pContent)
{
    if (nLength > kMaxJsonBytes)
        return "the file is " + Num(nLength) + " bytes; a settings file of more than " + Num(kMaxJsonBytes)
               + " is not read";
    const char* pText = reinterpret_cast<const char*>(pData);
    if (nLength >= 3 && pData[0] == 0xEF && pData[1] == 0xBB && pData[2] == 0xBF) {
        pText += 3;
        nLength -= 3;
    }
    // Iterative: a deeply nested file cannot run the stack out. Numbers stay
    // text: no remap is one, and the conversion's code stays out of the core.
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(nLength ? pText : "", nLength);
    if (doc.HasParseError()) {
        size_t nLine = 1;
        for (size_t i = 0; i < doc.GetErrorOffset() && i < nLength; ++i)
            nLine += pText[i] == '\n';
        return "line " + Num(nLine) + ": not a settings file: " + rapidjson::GetParseError_En(doc.GetParseError());
    }
    if (!doc.IsObject())
        return "not a Keyboard Manager settings file: it holds no object of remaps";

    struct SList
    {
        const char* pszSection;
        const char* pszList;
        const char* pszWhy;  // null: the key remaps themselves
    };
    static const SList kLists[] = {
        {"remapKeys", "inProcess", nullptr},
        {"remapKeysToText", "inProcess", "a map gives keys, not text"},
        {"remapShortcuts", "global", "a map remaps keys, not shortcuts"},
        {"remapShortcuts", "appSpecific", "a map acts in every program"},
        {"remapShortcutsToText", "global", "a map remaps keys, not shortcuts"},
        {"remapShortcutsToText", "appSpecific", "a map acts in every program"},
    };
    bool bAnyList = false;
    for (const SList& list : kLists) {
        const Json::ConstMemberIterator section = doc.FindMember(list.pszSection);
        if (section == doc.MemberEnd())
            continue;
        if (!section->value.IsObject())
            return std::string(list.pszSection) + " is not an object";
        bAnyList = true;
        std::string strError;
        if (list.pszWhy) {
            strError = LeaveOut(section->value, list.pszList, list.pszSection, list.pszWhy);
        } else {
            const Json::ConstMemberIterator it = section->value.FindMember(list.pszList);
            if (it != section->value.MemberEnd() && !it->value.IsArray())
                return std::string(list.pszSection) + "." + list.pszList + " is not a list";
            for (rapidjson::SizeType i = 0; it != section->value.MemberEnd() && i < it->value.Size(); ++i) {
                strError = ReadKeyRemap(it->value[i], std::string(list.pszSection) + "." + list.pszList
                                                          + " entry " + Num(i + 1));
                if (!strError.empty())
                    break;
            }
        }
        if (!strError.empty())
            return strError;
    }
    if (!bAnyList)
        return "not a Keyboard Manager settings file: it has no remapKeys or remapShortcuts";
    m_bReadAll = true;
    if (m_realKeys.GetSize() == 0)
        return "the file remaps no key to a key, which is all a map can hold";

    unsigned char abMap[kMaxMapBytes];
    CUtils::MakeRegistryData(m_realKeys, m_mappedKeys, abMap);
    pContent->bDelete = false;
    pContent->nType = 3;
    pContent->map.assign(abMap, abMap + 16 + 4 * m_realKeys.GetSize());
    return std::string();
}

}  // namespace

EMapImportFormat ImportFormatOf(const wchar_t* pszPath)
{
    const wchar_t* pszExtension = nullptr;
    for (const wchar_t* p = pszPath; *p; ++p) {
        if (*p == L'.')
            pszExtension = p + 1;
        else if (*p == L'\\' || *p == L'/' || *p == L':')
            pszExtension = nullptr;
    }
    if (!pszExtension)
        return IMPORT_NONE;
    std::string strExtension;
    for (const wchar_t* p = pszExtension; *p && strExtension.size() < 5; ++p)
        strExtension += static_cast<char>(*p >= L'A' && *p <= L'Z' ? *p - L'A' + L'a' : *p < 0x80 ? *p : L'?');
    if (strExtension == "reg")
        return IMPORT_REG;
    if (strExtension == "skl")
        return IMPORT_SKL;
    return strExtension == "json" ? IMPORT_KEY_MANAGER : IMPORT_NONE;
}

std::string ImportMap(EMapImportFormat nFormat, const unsigned char* pData, size_t nLength,
                      PFN_SCANCODE_OF_VK pfnScancode, void* pContext, SRegFileContent* pContent,
                      std::vector<std::string>* pLeftOut)
{
    if (!pData && nLength > 0)
        return "no data";
    std::vector<std::string> leftOut;
    if (!pLeftOut)
        pLeftOut = &leftOut;
    pLeftOut->clear();
    switch (nFormat) {
    case IMPORT_REG:
        return ParseRegFile(pData, nLength, pContent);
    case IMPORT_SKL:
        return ImportSkl(pData, nLength, pContent);
    case IMPORT_KEY_MANAGER:
        return CKeyManagerImport(pfnScancode, pContext, pLeftOut).Read(pData, nLength, pContent);
    default:
        return "not a format the importer reads";
    }
}

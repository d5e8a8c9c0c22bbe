#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

typedef std::vector<WORD> Codes;

void Fill(CWordArray& arr, const Codes& codes)
{
    arr.SetSize(0);
    for (WORD w : codes)
        arr.Add(w);
}

// Encodes into a buffer whose unused bytes are marked, and checks that the
// encoder wrote exactly 16 + 4 * N bytes.
std::vector<unsigned char> Encode(const Codes& real, const Codes& mapped)
{
    CWordArray realKeys, mappedKeys;
    Fill(realKeys, real);
    Fill(mappedKeys, mapped);
    std::vector<unsigned char> buffer(1024, 0xCC);
    EXPECT_EQ(0u, CUtils::MakeRegistryData(realKeys, mappedKeys, buffer.data()));
    const size_t nLength = 16 + 4 * real.size();
    for (size_t i = nLength; i < buffer.size(); ++i)
        EXPECT_EQ(0xCC, buffer[i]) << "written past the map at " << i;
    buffer.resize(nLength);
    buffer.resize(1024, 0);
    return buffer;
}

// A zero-filled 1024-byte map buffer that ends where reading one byte more is
// caught: in front of a no-access page under Windows, at AddressSanitizer's
// red zone in the native build.
class CGuardedMapBuffer
{
public:
#ifdef _WIN32
    CGuardedMapBuffer()
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        m_pPages = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD dwOld;
        if (!m_pPages || !VirtualProtect(m_pPages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &dwOld))
            std::abort();
        m_pBuffer = m_pPages + si.dwPageSize - 1024;
    }
    ~CGuardedMapBuffer() { VirtualFree(m_pPages, 0, MEM_RELEASE); }
#else
    CGuardedMapBuffer() : m_pPages(new unsigned char[1024]()), m_pBuffer(m_pPages) {}
    ~CGuardedMapBuffer() { delete[] m_pPages; }
#endif
    CGuardedMapBuffer(const CGuardedMapBuffer&) = delete;
    CGuardedMapBuffer& operator=(const CGuardedMapBuffer&) = delete;
    unsigned char* Get() { return m_pBuffer; }

private:
    unsigned char* m_pPages;
    unsigned char* m_pBuffer;
};

Codes Decode(unsigned char* pBuffer, int nSelector, CStringArray* pNames = nullptr)
{
    CLutrovaneCore catalogue;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(0u, catalogue.GetScancodeMap(pBuffer, pNames ? *pNames : names, codes, nSelector));
    Codes result;
    for (int i = 0; i < codes.GetSize(); ++i)
        result.push_back(codes[i]);
    return result;
}

}  // namespace

TEST(MakeRegistryData, EncodesKnownMapsByteForByte)
{
    const unsigned char kEmpty[16] = {
        0, 0, 0, 0,  // version
        0, 0, 0, 0,  // flags
        1, 0, 0, 0,  // entry count: the null entry alone
        0, 0, 0, 0,  // null entry
    };
    EXPECT_EQ(0, std::memcmp(kEmpty, Encode({}, {}).data(), sizeof(kEmpty)));

    EXPECT_EQ(0, std::memcmp(kCapsToControl.data(), Encode({0x3A00}, {0x1D00}).data(), 20));

    // An extended key keeps its prefix second: right Alt is 38 E0.
    std::vector<unsigned char> bytes = Encode({0x38E0}, {0x1D00});
    EXPECT_EQ(0x38, bytes[14]);
    EXPECT_EQ(0xE0, bytes[15]);

    bytes = Encode(Codes(252, 0x3A00), Codes(252, 0x1D00));
    EXPECT_EQ(253, bytes[8]);
    EXPECT_EQ(0x3A, bytes[12 + 4 * 251 + 2]);
}

TEST(MakeRegistryData, RefusesListsThatWouldOverrunTheBuffer)
{
    std::vector<unsigned char> buffer(1024, 0xCC);
    CWordArray real, mapped;
    Fill(real, Codes(253, 0x3A00));
    Fill(mapped, Codes(253, 0x1D00));
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
    Fill(real, Codes(3, 0x3A00));
    Fill(mapped, Codes(2, 0x1D00));
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, mapped, buffer.data()));
    EXPECT_EQ(std::vector<unsigned char>(1024, 0xCC), buffer);
    EXPECT_NE(0u, CUtils::MakeRegistryData(real, real, nullptr));
}

TEST(GetScancodeMap, CountByteGovernsTheEntriesDecoded)
{
    const struct {
        const char* what;
        unsigned char count;
        Codes expected;
    } cases[] = {
        {"count 0 is an empty map", 0, {}},
        {"count 1 is the null entry alone", 1, {}},
        {"an all-zero entry inside the count yields 0", 3, {0x3A00, 0}},
        {"entries announced past the written ones read as 0", 5, {0x3A00, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> bytes = Encode({0x3A00}, {0x1D00});
        bytes[8] = c.count;
        EXPECT_EQ(c.expected, Decode(bytes.data(), 1));
    }
}

TEST(GetScancodeMap, CountPastTheBufferNeverReadsBeyondIt)
{
    CGuardedMapBuffer guarded;
    unsigned char* pBuffer = guarded.Get();
    pBuffer[8] = 255;  // announces 254 entries; 253 fit
    pBuffer[1020] = 0x1D;
    pBuffer[1022] = 0x3A;

    const Codes real = Decode(pBuffer, 1);
    ASSERT_EQ(253u, real.size());
    EXPECT_EQ(0x3A00, real.back());
    EXPECT_EQ(0x1D00, Decode(pBuffer, 0).back());
}

// Both keys of every pair come back in order, into arrays that held more.
TEST(GetScancodeMap, PairsLostReorderedOrBesideStaleEntries)
{
    CStringArray names;
    for (int i = 0; i < 5; ++i)
        names.Add("stale");
    const Codes real = {0x38E0, 0x1234, 0x3A00, 0x1D00};
    const Codes mapped = {0x1D00, 0x5D00, 0x3A00, 0x1D00};
    std::vector<unsigned char> bytes = Encode(real, mapped);
    EXPECT_EQ(real, Decode(bytes.data(), 1, &names));
    ASSERT_EQ(4, names.GetSize());
    EXPECT_STREQ("Alt(오른쪽)/한글전환", names[0]);
    EXPECT_STREQ("알수 없음", names[1]);
    EXPECT_EQ(mapped, Decode(bytes.data(), 0));

    bytes[8] = 1;
    EXPECT_EQ(Codes(), Decode(bytes.data(), 0, &names));
    EXPECT_EQ(0, names.GetSize());
}

TEST(FindLostSignInKeys, MapsThatLeaveNoKeyToSignInWithAreFoundAndMovedKeysAreNot)
{
    const struct {
        const char* what;
        Codes real, mapped;
        unsigned long nLost;
        Codes lostKeys;
    } cases[] = {
        {"both Control keys off", {0x1D00, 0x1DE0}, {0, 0}, SIGN_IN_CTRL, {0x1D00, 0x1DE0}},
        {"both Alt keys made A", {0x3800, 0x38E0}, {0x1E00, 0x1E00}, SIGN_IN_ALT, {0x3800, 0x38E0}},
        {"Delete and keypad Del off", {0x53E0, 0x5300}, {0, 0}, SIGN_IN_DELETE, {0x53E0, 0x5300}},
        {"every Enter off, and both Controls", {0x1C00, 0x1D00, 0x1CE0, 0x1DE0}, {0, 0, 0, 0},
         SIGN_IN_CTRL | SIGN_IN_ENTER, {0x1D00, 0x1DE0, 0x1C00, 0x1CE0}},
        {"an entry from the code 0 gives no key", {0x1D00, 0x1DE0, 0}, {0, 0, 0x1D00}, SIGN_IN_CTRL,
         {0x1D00, 0x1DE0}},
        {"one Control key left", {0x1D00}, {0}, 0, {}},
        {"Control moved onto CapsLock", {0x1D00, 0x3A00, 0x1DE0}, {0x3A00, 0x1D00, 0}, 0, {}},
        {"Control and Alt swapped", {0x1D00, 0x3800, 0x1DE0, 0x38E0}, {0x3800, 0x1D00, 0x38E0, 0x1DE0},
         0, {}},
        {"keys mapped onto themselves", {0x1C00, 0x1CE0}, {0x1C00, 0x1CE0}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> map = Encode(c.real, c.mapped);
        CWordArray lost;
        lost.Add(0x5555);
        EXPECT_EQ(c.nLost, FindLostSignInKeys(map.data(), 16 + 4 * c.real.size(), lost));
        Codes lostKeys;
        for (int i = 0; i < lost.GetSize(); ++i)
            lostKeys.push_back(lost[i]);
        EXPECT_EQ(c.lostKeys, lostKeys);
    }

    // Entries past the count, or past the bytes given, are no part of the map.
    std::vector<unsigned char> map = Encode({0x1D00, 0x1DE0}, {0, 0});
    CWordArray lost;
    EXPECT_EQ(SIGN_IN_CTRL, FindLostSignInKeys(map.data(), 24, lost));
    map[8] = 2;
    EXPECT_EQ(0u, FindLostSignInKeys(map.data(), 24, lost));
    map[8] = 3;
    EXPECT_EQ(0u, FindLostSignInKeys(map.data(), 16, lost));
    EXPECT_EQ(0u, FindLostSignInKeys(nullptr, 0, lost));
}

// The base class alone is a table without rows: an index past them is no row.
TEST(CLutrovaneBase, IndexOutsideTheRowsReadsNoRow)
{
    CLutrovaneBase table;
    EXPECT_STREQ("", table.GetKeyNameByIndex(0));
    EXPECT_EQ(0, table.GetScancodeByIndex(-1));
}

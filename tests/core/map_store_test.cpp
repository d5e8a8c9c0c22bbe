#include "lutrovane_core.h"

#include "known_maps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const char kLayoutKey[] = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

// Each test starts with the key and without a Scancode Map value, and leaves
// the prefix so.
class MapStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &m_hKey, nullptr));
        RegDeleteValueA(m_hKey, "Scancode Map");
    }

    void TearDown() override
    {
        RegCloseKey(m_hKey);
        SetUp();
        RegCloseKey(m_hKey);
    }

    void Store(DWORD dwType, const Bytes& value)
    {
        RegDeleteValueA(m_hKey, "Scancode Map");
        if (dwType != REG_NONE)
            RegSetValueExA(m_hKey, "Scancode Map", 0, dwType, value.data(), DWORD(value.size()));
    }

    // What an outside reader finds; type REG_NONE and no bytes for no value.
    Bytes Stored(DWORD* pType)
    {
        Bytes value(4096);
        DWORD nSize = DWORD(value.size());
        *pType = REG_NONE;
        if (RegQueryValueExA(m_hKey, "Scancode Map", nullptr, pType, value.data(), &nSize) != ERROR_SUCCESS)
            nSize = 0;
        value.resize(nSize);
        return value;
    }

    HKEY m_hKey = nullptr;
};

}  // namespace

TEST_F(MapStore, ValuesThatDoNotFitOrAreEmptyCountAsAbsent)
{
    const struct {
        const char* what;
        DWORD dwType;
        size_t nLength;
        int nHave;
    } cases[] = {
        {"no value", REG_NONE, 0, 0},
        {"empty value", REG_BINARY, 0, 0},
        {"1024 bytes", REG_BINARY, 1024, 1},
        {"1025 bytes", REG_BINARY, 1025, 0},
        {"another type", REG_DWORD, 4, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Store(c.dwType, Bytes(c.nLength, 2));
        EXPECT_EQ(c.nHave, CUtils::HaveCurrentScancode());

        CLutrovaneBase table;
        CStringArray names;
        CWordArray codes;
        names.Add("kept");
        EXPECT_EQ(c.nHave ? 0u : 1u, table.GetCurrentScancodeMap(names, codes, 0));
        if (!c.nHave) {
            EXPECT_EQ(1, names.GetSize()) << "arrays touched although nothing was read";
        }
    }

    // A value longer than the caller's capacity reads as nothing, zeros.
    Store(REG_BINARY, kCapsToControl);
    unsigned char abBuffer[16];
    std::fill(abBuffer, abBuffer + 16, 0x55);
    unsigned long nSize = sizeof(abBuffer);
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(abBuffer, &nSize));
    EXPECT_EQ(0u, nSize);
    EXPECT_EQ(Bytes(16, 0), Bytes(abBuffer, abBuffer + 16));
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(abBuffer, nullptr));
}

TEST_F(MapStore, WrittenMapReadsBackAsWrittenAndReplacesAnyType)
{
    Store(REG_SZ, {'a', 'b', 0});
    Bytes map = kCapsToControl;
    EXPECT_EQ(0u, CUtils::SetScancodeMapRegistry(map.data(), ULONG(map.size())));
    DWORD dwType;
    EXPECT_EQ(kCapsToControl, Stored(&dwType));
    EXPECT_EQ(DWORD(REG_BINARY), dwType);
    EXPECT_EQ(1, CUtils::HaveCurrentScancode());

    unsigned char abBuffer[1024];
    unsigned long nSize = sizeof(abBuffer);
    EXPECT_EQ(0u, CUtils::GetScancodeMapRegistry(abBuffer, &nSize));
    EXPECT_EQ(kCapsToControl, Bytes(abBuffer, abBuffer + nSize));
    CLutrovaneCore catalogue;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(0u, catalogue.GetCurrentScancodeMap(names, codes, 1));
    ASSERT_EQ(1, names.GetSize());
    EXPECT_STREQ("CapsLock", names[0]);

    EXPECT_EQ(1u, CUtils::SetScancodeMapRegistry(nullptr, 20));
    EXPECT_EQ(kCapsToControl, Stored(&dwType));

    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry());
    EXPECT_TRUE(Stored(&dwType).empty());
    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry()) << "no value to delete is no failure";
}

TEST_F(MapStore, MissingKeyIsReportedAndNotCreated)
{
    RegCloseKey(m_hKey);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLayoutKey));
    m_hKey = nullptr;

    EXPECT_EQ(0, CUtils::HaveCurrentScancode());
    unsigned char abBuffer[1024];
    unsigned long nSize = sizeof(abBuffer);
    EXPECT_EQ(2u, CUtils::GetScancodeMapRegistry(abBuffer, &nSize));
    EXPECT_EQ(sizeof(abBuffer), nSize);
    Bytes map = kCapsToControl;
    EXPECT_EQ(2u, CUtils::SetScancodeMapRegistry(map.data(), ULONG(map.size())));
    EXPECT_EQ(2u, CUtils::DelScancodeMapRegistry());
    CLutrovaneBase table;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(2u, table.GetCurrentScancodeMap(names, codes, 1));

    HKEY hKey;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_READ, &hKey));
}

#include "lutrovane_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const char kLayoutKey[] = "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";

// Each test starts from no Scancode Map value and puts the key back if it took it away.
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
        if (m_hKey) {
            RegDeleteValueA(m_hKey, "Scancode Map");
            RegCloseKey(m_hKey);
        }
        HKEY hKey;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLayoutKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &hKey, nullptr);
        RegCloseKey(hKey);
    }

    void Store(DWORD dwType, const std::vector<unsigned char>& value)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(m_hKey, "Scancode Map", 0, dwType, value.data(),
                                                static_cast<DWORD>(value.size())));
    }

    // What an outside reader finds: the type and the bytes, or type REG_NONE for no value.
    std::vector<unsigned char> Stored(DWORD* pType)
    {
        std::vector<unsigned char> value(4096);
        DWORD nSize = static_cast<DWORD>(value.size());
        *pType = REG_NONE;
        if (RegQueryValueExA(m_hKey, "Scancode Map", nullptr, pType, value.data(), &nSize) != ERROR_SUCCESS)
            return {};
        value.resize(nSize);
        return value;
    }

    HKEY m_hKey = nullptr;
};

const std::vector<unsigned char> kCapsToControl = {
    0, 0, 0, 0, 0, 0, 0, 0,  // version, flags
    2, 0, 0, 0,              // entry count
    0x1D, 0x00, 0x3A, 0x00,  // left Control for CapsLock
    0, 0, 0, 0,              // null entry
};

}  // namespace

TEST_F(MapStore, ValuesThatDoNotFitOrAreEmptyCountAsAbsent)
{
    struct Case {
        const char* what;
        DWORD dwType;
        size_t nLength;
        int nHave;
    };
    const Case cases[] = {
        {"no value", REG_NONE, 0, 0},
        {"empty value", REG_BINARY, 0, 0},
        {"1024 bytes", REG_BINARY, 1024, 1},
        {"1025 bytes", REG_BINARY, 1025, 0},
        {"another type", REG_DWORD, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteValueA(m_hKey, "Scancode Map");
        if (c.dwType != REG_NONE)
            Store(c.dwType, std::vector<unsigned char>(c.nLength, 2));
        EXPECT_EQ(c.nHave, CUtils::HaveCurrentScancode());

        CLutrovaneBase table;
        CStringArray names;
        CWordArray codes;
        names.Add("kept");
        codes.Add(0x1234);
        EXPECT_EQ(c.nHave ? 0u : 1u, table.GetCurrentScancodeMap(names, codes, 0));
        if (!c.nHave) {
            ASSERT_EQ(1, names.GetSize());  // touched only on success
            EXPECT_STREQ("kept", names[0]);
            EXPECT_EQ(0x1234, codes[0]);
        }
    }
}

TEST_F(MapStore, ReadIntoTooSmallBufferReportsNothingRead)
{
    Store(REG_BINARY, kCapsToControl);
    unsigned char abBuffer[16];
    std::memset(abBuffer, 0x55, sizeof(abBuffer));
    unsigned long nSize = sizeof(abBuffer);
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(abBuffer, &nSize));
    EXPECT_EQ(0u, nSize);
    for (unsigned char b : abBuffer)
        EXPECT_EQ(0, b);

    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(nullptr, &nSize));
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(abBuffer, nullptr));
}

TEST_F(MapStore, WrittenMapReadsBackAsWrittenAndReplacesAnyType)
{
    Store(REG_SZ, {'a', 'b', 0});
    std::vector<unsigned char> data = kCapsToControl;
    EXPECT_EQ(0u, CUtils::SetScancodeMapRegistry(data.data(), static_cast<unsigned long>(data.size())));

    DWORD dwType;
    EXPECT_EQ(kCapsToControl, Stored(&dwType));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), dwType);
    EXPECT_EQ(1, CUtils::HaveCurrentScancode());

    unsigned char abBuffer[1024];
    unsigned long nSize = sizeof(abBuffer);
    EXPECT_EQ(0u, CUtils::GetScancodeMapRegistry(abBuffer, &nSize));
    EXPECT_EQ(kCapsToControl.size(), nSize);
    EXPECT_EQ(0, std::memcmp(abBuffer, kCapsToControl.data(), nSize));

    CLutrovaneBase table;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(0u, table.GetCurrentScancodeMap(names, codes, 1));
    ASSERT_EQ(1, codes.GetSize());
    EXPECT_EQ(0x3A00, codes[0]);

    EXPECT_EQ(1u, CUtils::SetScancodeMapRegistry(nullptr, 20));
    EXPECT_EQ(kCapsToControl, Stored(&dwType));
}

TEST_F(MapStore, DeleteRemovesTheValueAndNeedsNoValue)
{
    Store(REG_BINARY, kCapsToControl);
    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry());
    DWORD dwType;
    EXPECT_TRUE(Stored(&dwType).empty());
    EXPECT_EQ(0, CUtils::HaveCurrentScancode());
    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry());
}

TEST_F(MapStore, MissingKeyIsReportedAndNotCreated)
{
    RegCloseKey(m_hKey);
    m_hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLayoutKey));

    EXPECT_EQ(0, CUtils::HaveCurrentScancode());
    unsigned char abBuffer[1024];
    unsigned long nSize = sizeof(abBuffer);
    EXPECT_EQ(2u, CUtils::GetScancodeMapRegistry(abBuffer, &nSize));
    EXPECT_EQ(sizeof(abBuffer), nSize);  // left as it was
    std::vector<unsigned char> data = kCapsToControl;
    EXPECT_EQ(2u, CUtils::SetScancodeMapRegistry(data.data(), static_cast<unsigned long>(data.size())));
    EXPECT_EQ(2u, CUtils::DelScancodeMapRegistry());

    CLutrovaneBase table;
    CStringArray names;
    CWordArray codes;
    EXPECT_EQ(2u, table.GetCurrentScancodeMap(names, codes, 1));

    HKEY hKey;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_READ, &hKey));
}

#include "program_data.h"

namespace {

typedef ProgramData MapStore;

// GetCurrentScancodeMap's result and the names read; on failure the arrays
// must stay as they were.
unsigned long ReadCurrent(CStringArray& names)
{
    CWordArray codes;
    names.SetSize(0);
    names.Add("kept");
    const unsigned long nResult = CLutrovaneCore().GetCurrentScancodeMap(names, codes, 1);
    EXPECT_TRUE(nResult == 0 || names.GetSize() == 1) << "arrays touched although nothing was read";
    return nResult;
}

}  // namespace

TEST_F(MapStore, ValuesThatDoNotFitOrAreEmptyCountAsAbsent)
{
    // An empty REG_BINARY value is no value to SetValue: the empty one here is REG_NONE.
    const struct { const char* what; DWORD dwType; size_t nLength; int nHave; } cases[] = {
        {"no value", REG_BINARY, 0, 0},       {"empty value", REG_NONE, 0, 0},
        {"1024 bytes", REG_BINARY, 1024, 1},  {"1025 bytes", REG_BINARY, 1025, 0},
        {"another type", REG_DWORD, 4, 1},
    };
    CStringArray names;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetValue(Bytes(c.nLength, 2), c.dwType);
        EXPECT_EQ(c.nHave, CUtils::HaveCurrentScancode());
        EXPECT_EQ(c.nHave ? 0u : 1u, ReadCurrent(names));
    }
    // A value longer than the caller's capacity reads as nothing, zeros.
    SetValue(kCapsToControl);
    Bytes buffer(16, 0x55);
    unsigned long nSize = 16;
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(buffer.data(), &nSize));
    EXPECT_EQ(0u, nSize);
    EXPECT_EQ(Bytes(16, 0), buffer);
    EXPECT_EQ(1u, CUtils::GetScancodeMapRegistry(buffer.data(), nullptr));
}

TEST_F(MapStore, WrittenMapReadsBackAsWrittenAndReplacesAnyType)
{
    SetValue({'a', 'b', 0}, REG_SZ);
    Bytes map = kCapsToControl;
    EXPECT_EQ(0u, CUtils::SetScancodeMapRegistry(map.data(), ULONG(map.size())));
    DWORD dwType;
    EXPECT_EQ(kCapsToControl, Value(&dwType));
    EXPECT_EQ(DWORD(REG_BINARY), dwType);
    Bytes buffer(1024);
    unsigned long nSize = 1024;
    EXPECT_EQ(0u, CUtils::GetScancodeMapRegistry(buffer.data(), &nSize));
    EXPECT_EQ(kCapsToControl, Bytes(buffer.begin(), buffer.begin() + nSize));
    CStringArray names;
    EXPECT_EQ(0u, ReadCurrent(names));
    ASSERT_EQ(1, names.GetSize());
    EXPECT_STREQ("CapsLock", names[0]);

    EXPECT_EQ(1u, CUtils::SetScancodeMapRegistry(nullptr, 20));
    EXPECT_EQ(kCapsToControl, Value());
    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry());
    EXPECT_TRUE(Value().empty());
    EXPECT_EQ(0u, CUtils::DelScancodeMapRegistry()) << "no value to delete is no failure";
}

TEST_F(MapStore, MissingKeyIsReportedAndNotCreated)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLayoutKey));
    EXPECT_EQ(0, CUtils::HaveCurrentScancode());
    Bytes buffer(1024);
    unsigned long nSize = 1024;
    EXPECT_EQ(2u, CUtils::GetScancodeMapRegistry(buffer.data(), &nSize));
    EXPECT_EQ(1024u, nSize);
    EXPECT_EQ(2u, CUtils::SetScancodeMapRegistry(buffer.data(), 20));
    EXPECT_EQ(2u, CUtils::DelScancodeMapRegistry());
    CStringArray names;
    EXPECT_EQ(2u, ReadCurrent(names));
    HKEY hKey;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLayoutKey, 0, KEY_READ, &hKey));
}

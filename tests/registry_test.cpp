#include "win/Registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
const unsigned char Sentinel = 0xA5;

// A scratch key under HKEY_CURRENT_USER, created before each test and removed
// with everything below it afterwards. Values are prepared through the raw
// API so that the wrapper is not tested with itself.
class RegistryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Path = "Software\\GrindletTest-" + std::to_string(GetCurrentProcessId());
        RegDeleteTreeA(HKEY_CURRENT_USER, Path.c_str());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &Raw, nullptr),
                  ERROR_SUCCESS);
    }

    void TearDown() override
    {
        RegCloseKey(Raw);
        RegDeleteTreeA(HKEY_CURRENT_USER, Path.c_str());
    }

    void Set(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExA(Raw, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    void SetString(const char* name, const std::string& text)
    {
        Set(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

    std::string Sub(const std::string& below) const { return Path + "\\" + below; }

    std::string Path;
    HKEY Raw = nullptr;
};

// A buffer of `size` bytes between guard bytes, all filled with a sentinel.
struct GuardedBuffer
{
    explicit GuardedBuffer(DWORD size) : Size(size) { std::memset(Bytes, Sentinel, sizeof Bytes); }

    char* Data() { return Bytes + 8; }
    std::string Text() { return std::string(Data()); }
    bool Untouched(std::size_t from = 0) const
    {
        for (std::size_t i = 8 + from; i < 8 + Size; ++i)
            if (static_cast<unsigned char>(Bytes[i]) != Sentinel)
                return false;
        return GuardsIntact();
    }
    bool GuardsIntact() const
    {
        for (std::size_t i = 0; i < 8; ++i)
            if (static_cast<unsigned char>(Bytes[i]) != Sentinel ||
                static_cast<unsigned char>(Bytes[8 + Size + i]) != Sentinel)
                return false;
        return true;
    }

    DWORD Size;
    char Bytes[8 + 64 + 8];
};

TEST_F(RegistryTest, ClosedObjectDoesNothing)
{
    Registry registry;
    GuardedBuffer buffer(16);
    registry.Close();
    registry.Close();
    EXPECT_FALSE(registry.ReadString(nullptr, buffer.Data(), buffer.Size));
    EXPECT_FALSE(registry.WriteString("v", "text"));
    EXPECT_FALSE(registry.DeleteSubKey("anything"));
    EXPECT_TRUE(buffer.Untouched());
}

TEST_F(RegistryTest, FailedOpenClosesTheKeyHeldBefore)
{
    SetString("v", "value");
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    EXPECT_FALSE(registry.Open(Sub("missing").c_str(), HKEY_CURRENT_USER));

    GuardedBuffer buffer(16);
    EXPECT_FALSE(registry.ReadString("v", buffer.Data(), buffer.Size));
    EXPECT_FALSE(registry.WriteString("w", "text"));
    EXPECT_NE(RegQueryValueExA(Raw, "w", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryTest, KeyOpenedForReadingReadsButDoesNotWrite)
{
    SetString("v", "value");
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER, KEY_READ));
    GuardedBuffer buffer(16);
    ASSERT_TRUE(registry.ReadString("v", buffer.Data(), buffer.Size));
    EXPECT_EQ(buffer.Text(), "value");
    EXPECT_FALSE(registry.WriteString("w", "text"));
    EXPECT_NE(RegQueryValueExA(Raw, "w", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryTest, CreateOpensAnExistingKeyWithItsValuesAndMakesMissingParents)
{
    SetString("kept", "still here");
    Registry registry;
    ASSERT_TRUE(registry.Create(Path.c_str(), HKEY_CURRENT_USER));
    GuardedBuffer buffer(32);
    ASSERT_TRUE(registry.ReadString("kept", buffer.Data(), buffer.Size));
    EXPECT_EQ(buffer.Text(), "still here");

    ASSERT_TRUE(registry.Create(Sub("a\\b\\c").c_str(), HKEY_CURRENT_USER));
    ASSERT_TRUE(registry.WriteString(nullptr, "deep"));
    char data[16] = {};
    LONG size = sizeof data;
    EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, Sub("a\\b\\c").c_str(), data, &size), ERROR_SUCCESS);
    EXPECT_STREQ(data, "deep");
}

TEST_F(RegistryTest, NullNameFindsTheDefaultValueAfterNamedOnes)
{
    SetString("first", "1");
    SetString("second", "2");
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    GuardedBuffer buffer(32);
    EXPECT_FALSE(registry.ReadString(nullptr, buffer.Data(), buffer.Size)) << "no default yet";
    EXPECT_TRUE(buffer.Untouched());

    SetString(nullptr, "C:\\Program Files\\Grindlet.exe");
    ASSERT_TRUE(registry.ReadString(nullptr, buffer.Data(), buffer.Size));
    EXPECT_EQ(buffer.Text(), "C:\\Program Files\\Grindlet.exe");
    GuardedBuffer empty(32);
    ASSERT_TRUE(registry.ReadString("", empty.Data(), empty.Size)) << "\"\" names the default";
    EXPECT_EQ(empty.Text(), "C:\\Program Files\\Grindlet.exe");
}

TEST_F(RegistryTest, NamesCompareCaseSensitively)
{
    SetString("SendTo", "C:\\SendTo");
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    GuardedBuffer buffer(32);
    EXPECT_FALSE(registry.ReadString("sendto", buffer.Data(), buffer.Size));
    EXPECT_TRUE(buffer.Untouched());
    EXPECT_TRUE(registry.ReadString("SendTo", buffer.Data(), buffer.Size));
    EXPECT_EQ(buffer.Text(), "C:\\SendTo");
}

struct DataCase
{
    const char* Label;
    DWORD Type;
    std::string Data; // stored exactly, terminator only where written
    DWORD Size;
    bool Found;
    std::string Expected;
};

class RegistryData : public RegistryTest, public testing::WithParamInterface<DataCase>
{
};

TEST_P(RegistryData, CopiesAtMostSizeMinusOneBytesUpToTheFirstZero)
{
    const DataCase& c = GetParam();
    Set("value", c.Type, c.Data.data(), static_cast<DWORD>(c.Data.size()));
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    GuardedBuffer buffer(c.Size);

    ASSERT_EQ(registry.ReadString("value", buffer.Data(), buffer.Size), c.Found);

    EXPECT_TRUE(buffer.GuardsIntact()) << "written outside the buffer";
    if (!c.Found)
    {
        EXPECT_TRUE(buffer.Untouched()) << "a failed read leaves the buffer as it was";
        return;
    }
    EXPECT_EQ(buffer.Text(), c.Expected);
    EXPECT_TRUE(buffer.Untouched(c.Expected.size() + 1)) << "bytes past the copy were written";
}

const DWORD Five = 5;

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryData,
    testing::Values(
        DataCase{"FillsTheBufferExactly", REG_SZ, std::string("1234567\0", 8), 8, true, "1234567"},
        DataCase{"OneByteTooLong", REG_SZ, std::string("12345678\0", 9), 8, false, ""},
        DataCase{"DwordFive", REG_DWORD, std::string(reinterpret_cast<const char*>(&Five), 4), 16,
                 true, "\x05"},
        DataCase{"NoTerminator", REG_SZ, "abc", 16, true, "abc"},
        DataCase{"NoZeroFillingTheBuffer", REG_BINARY, "ABCDEFGH", 8, true, "ABCDEFG"},
        DataCase{"StopsAtFirstZero", REG_BINARY, std::string("ab\0cd", 5), 16, true, "ab"},
        DataCase{"EmptyString", REG_SZ, std::string("\0", 1), 16, true, ""}),
    [](const testing::TestParamInfo<DataCase>& info) { return info.param.Label; });

TEST_F(RegistryTest, ValueTooLargeBeforeTheWantedOneEndsTheSearch)
{
    SetString("big", std::string(40, 'x'));
    SetString("wanted", "w");
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    GuardedBuffer small(16);
    EXPECT_FALSE(registry.ReadString("wanted", small.Data(), small.Size));
    EXPECT_TRUE(small.Untouched());
    GuardedBuffer large(64);
    EXPECT_TRUE(registry.ReadString("wanted", large.Data(), large.Size));
    EXPECT_EQ(large.Text(), "w");
}

TEST_F(RegistryTest, WriteStringStoresTheTerminator)
{
    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    ASSERT_TRUE(registry.WriteString("empty", ""));
    ASSERT_TRUE(registry.WriteString(nullptr, "record"));

    DWORD type = 0;
    BYTE data[16];
    DWORD size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(Raw, "empty", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(data[0], 0);

    size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(Raw, nullptr, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("record\0", 7));
}

TEST_F(RegistryTest, DeleteSubKeyDeletesOnlyKeysWithoutSubKeys)
{
    Registry maker;
    ASSERT_TRUE(maker.Create(Sub("parent\\child").c_str(), HKEY_CURRENT_USER));
    ASSERT_TRUE(maker.Create(Sub("leaf").c_str(), HKEY_CURRENT_USER));
    ASSERT_TRUE(maker.WriteString(nullptr, "value"));

    Registry registry;
    ASSERT_TRUE(registry.Open(Path.c_str(), HKEY_CURRENT_USER));
    EXPECT_FALSE(registry.DeleteSubKey("parent"));
    EXPECT_TRUE(registry.DeleteSubKey("leaf")) << "a key goes with its values";
    EXPECT_FALSE(registry.DeleteSubKey("leaf"));

    HKEY probe;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Sub("parent\\child").c_str(), 0, KEY_READ, &probe),
              ERROR_SUCCESS);
    RegCloseKey(probe);
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, Sub("leaf").c_str(), 0, KEY_READ, &probe),
              ERROR_SUCCESS);
}
} // namespace

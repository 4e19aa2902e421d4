// CRegistryKey against the registry itself: what each call records, the
// bounds of string and binary reads, and WriteDword's result code. Each case
// works in a key of its own under HKCU\Software\MusicBridgeTests.
#include "registry/RegistryKey.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        char unique[32];
        std::snprintf(unique, sizeof unique, "-%lu", GetCurrentProcessId());
        m_subKey = std::string("Software\\MusicBridgeTests\\") + info->name() + unique;
        RegDeleteKeyA(HKEY_CURRENT_USER, m_subKey.c_str());
    }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, m_subKey.c_str()); }

    // Writes a value with the system call itself, bypassing the wrapper.
    void RawSet(const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }

    std::string m_subKey;
};

TEST_F(RegistryKeyTest, CreateAndOpenRecordTheResultWithNoTypeOrSize)
{
    CRegistryKey key(HKEY_CURRENT_USER);
    EXPECT_EQ(HKEY_CURRENT_USER, key.GetKey());
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, m_subKey));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.GetLastResult());
    EXPECT_EQ(nullptr, key.GetKey());
    EXPECT_EQ(m_subKey, key.GetSubKey());

    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, m_subKey));
    EXPECT_EQ(ERROR_SUCCESS, key.GetLastResult());
    EXPECT_EQ(0u, key.GetLastType());
    EXPECT_EQ(0u, key.GetLastSize());
    EXPECT_NE(nullptr, key.GetKey());
    key.Close();
    EXPECT_EQ(nullptr, key.GetKey());

    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, m_subKey));
    EXPECT_TRUE(key.WriteString("Path", "x"));
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, m_subKey));
    EXPECT_EQ(0u, key.GetLastType());
    EXPECT_EQ(0u, key.GetLastSize());
}

TEST_F(RegistryKeyTest, WriteDwordReturnsZeroOnSuccessAndRecordsNothing)
{
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, m_subKey));
    std::string text;
    EXPECT_FALSE(key.ReadString("none", text));
    ASSERT_EQ(ERROR_FILE_NOT_FOUND, key.GetLastResult());

    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("CFG_DL", 1));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.GetLastResult());
    DWORD value = 0;
    ASSERT_TRUE(key.ReadDword("CFG_DL", value));
    EXPECT_EQ(1u, value);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), key.GetLastType());
    EXPECT_EQ(4u, key.GetLastSize());

    CRegistryKey closed(HKEY_CURRENT_USER);
    closed.Close();
    EXPECT_EQ(ERROR_INVALID_HANDLE, closed.WriteDword("CFG_DL", 1));
}

TEST_F(RegistryKeyTest, StringsUpTo199CharactersRoundTrip)
{
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, m_subKey));
    const std::string t199(199, 'a'), t200(200, 'b');
    ASSERT_TRUE(key.WriteString("S199", t199));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), key.GetLastType());
    EXPECT_EQ(200u, key.GetLastSize());
    ASSERT_TRUE(key.WriteString("S200", t200));
    EXPECT_EQ(201u, key.GetLastSize());

    std::string text = "before";
    ASSERT_TRUE(key.ReadString("S199", text));
    EXPECT_EQ(t199, text);
    EXPECT_EQ(200u, key.GetLastSize());
    text = "before";
    EXPECT_FALSE(key.ReadString("S200", text));
    EXPECT_EQ(ERROR_MORE_DATA, key.GetLastResult());
    EXPECT_EQ("before", text);
}

TEST_F(RegistryKeyTest, TextsWithoutTerminatorReadBounded)
{
    RawSet("Short", REG_SZ, "abcde", 5);
    const std::string t199(199, 'd');
    RawSet("Text199", REG_SZ, t199.data(), 199);
    // 200 bytes with no 0 among them fill the whole read buffer.
    const std::string t200(200, 'c');
    RawSet("Bytes200", REG_BINARY, t200.data(), 200);
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, m_subKey));
    std::string text;
    ASSERT_TRUE(key.ReadString("Short", text));
    EXPECT_EQ("abcde", text);
    ASSERT_TRUE(key.ReadString("Text199", text));
    EXPECT_EQ(t199, text);
    ASSERT_TRUE(key.ReadString("Bytes200", text));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), key.GetLastType());
    EXPECT_EQ(200u, key.GetLastSize());
    EXPECT_EQ(t200, text);
}

TEST_F(RegistryKeyTest, BinaryReadsStopAt256Bytes)
{
    unsigned char data[300];
    for (int i = 0; i < 300; ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    RawSet("B256", REG_BINARY, data, 256);
    RawSet("B300", REG_BINARY, data, 300);
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, m_subKey));

    unsigned char buffer[512];
    std::memset(buffer, 0xEE, sizeof buffer);
    ASSERT_TRUE(key.ReadBinary("B256", buffer, sizeof buffer));
    EXPECT_EQ(256u, key.GetLastSize());
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), key.GetLastType());
    EXPECT_EQ(0, std::memcmp(data, buffer, 256));
    EXPECT_EQ(0xEE, buffer[256]);

    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_FALSE(key.ReadBinary("B300", buffer, sizeof buffer));
    EXPECT_EQ(ERROR_MORE_DATA, key.GetLastResult());
    EXPECT_EQ(300u, key.GetLastSize());
    for (unsigned char b : buffer)
        ASSERT_EQ(0xEE, b);

    EXPECT_FALSE(key.ReadBinary("B256", buffer, 10));
    EXPECT_EQ(ERROR_MORE_DATA, key.GetLastResult());
    EXPECT_EQ(0xEE, buffer[0]);
}

TEST_F(RegistryKeyTest, DeletedValuesAreGone)
{
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, m_subKey));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteDword("CFG_TR", 0));
    ASSERT_TRUE(key.DeleteValue("CFG_TR"));
    EXPECT_EQ(0u, key.GetLastType());
    EXPECT_EQ(0u, key.GetLastSize());
    DWORD value = 5;
    EXPECT_FALSE(key.ReadDword("CFG_TR", value));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.GetLastResult());
    EXPECT_EQ(5u, value);
    EXPECT_FALSE(key.DeleteValue("CFG_TR"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.GetLastResult());
}

// A limited user may read the machine's keys but not write them: an open
// asks for reading only, and write access comes with the first write.
TEST_F(RegistryKeyTest, OpenReadsWithReadAccessAndWritesAskForWriteAccess)
{
    const DWORD seven = 7;
    RawSet("Number", REG_DWORD, &seven, sizeof seven);
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, m_subKey));
    const DWORD one = 1;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegSetValueExA(key.GetKey(), "Probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one))
        << "the key was opened with write access";
    DWORD value = 0;
    EXPECT_TRUE(key.ReadDword("Number", value));
    EXPECT_EQ(7u, value);
    EXPECT_EQ(0, key.WriteDword("Number", 8));
    EXPECT_TRUE(key.WriteString("Text", "t"));
    EXPECT_TRUE(key.ReadDword("Number", value));
    EXPECT_EQ(8u, value);
    EXPECT_TRUE(key.DeleteValue("Text"));
    // A key that is already writable is not opened again.
    const HKEY writable = key.GetKey();
    EXPECT_EQ(0, key.WriteDword("Number", 9));
    EXPECT_EQ(writable, key.GetKey());
}

TEST_F(RegistryKeyTest, ReadDwordReadsOnlyDwordValues)
{
    const struct {
        const char* name;
        DWORD type;
        const char* data;
        DWORD size;
    } others[] = {
        {"Text", REG_SZ, "123", 4},
        {"Short", REG_BINARY, "\x05\x00", 2},
        {"Four", REG_BINARY, "\x05\x00\x00\x00", 4},
    };
    for (const auto& other : others)
        RawSet(other.name, other.type, other.data, other.size);
    CRegistryKey key(HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, m_subKey));
    for (const auto& other : others) {
        DWORD value = 0xAAAA;
        EXPECT_FALSE(key.ReadDword(other.name, value)) << other.name;
        EXPECT_EQ(0xAAAAu, value) << other.name;
        EXPECT_EQ(ERROR_DATATYPE_MISMATCH, key.GetLastResult()) << other.name;
        EXPECT_EQ(other.type, key.GetLastType()) << other.name;
        EXPECT_EQ(other.size, key.GetLastSize()) << other.name;
    }
}

}  // namespace

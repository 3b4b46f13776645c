#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/Registry.h"

using namespace kaldor;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RegistryKey::DeleteTree(path)); }
    void TearDown() override { RegistryKey::DeleteTree(path); }

    // What the registry itself holds: type and size of a value.
    bool Stored(const char* name, DWORD& type, DWORD& size) const {
        return RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, nullptr,
                            &size) == ERROR_SUCCESS;
    }
    void StoreRaw(const char* name, DWORD type, const void* data, DWORD size) const {
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, path.c_str(), name, type, data, size),
                  ERROR_SUCCESS);
    }

    const std::string path =
        "Software\\OLV\\Kaldor_Console_Test_" + std::to_string(GetCurrentProcessId());
};

} // namespace

TEST_F(RegistryTest, TheFirstOpenCreatesTheKeyAndAMissingValueReadsAsNothing) {
    HKEY probe = nullptr;
    ASSERT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);
    {
        RegistryKey key(path);
        ASSERT_TRUE(key.IsOpen());
        EXPECT_FALSE(key.ReadInt32("DefaultComPort").has_value());
    }
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);
    RegCloseKey(probe);
}

TEST_F(RegistryTest, IntegersAreStoredAsDwordsAndReadBackInANewOpening) {
    const int32_t values[] = {0, 1, 3, 6150, -1, INT32_MAX, INT32_MIN};
    for (const int32_t value : values) {
        SCOPED_TRACE(value);
        EXPECT_TRUE(RegistryKey(path).WriteInt32("ApplicationTop", value));
        DWORD type = 0, size = 0;
        ASSERT_TRUE(Stored("ApplicationTop", type, size));
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(RegistryKey(path).ReadInt32("ApplicationTop"), value);
    }
}

TEST_F(RegistryTest, AValueOfAnotherTypeReadsAsMissing) {
    const char text[] = "3";
    const uint64_t wide = 3;
    const uint8_t bytes[] = {3, 0, 0, 0};
    const uint8_t shortBytes[] = {3, 0};
    struct Raw {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
    };
    const Raw raws[] = {
        {"string", REG_SZ, text, sizeof text},
        {"expandable string", REG_EXPAND_SZ, text, sizeof text},
        {"64-bit integer", REG_QWORD, &wide, sizeof wide},
        {"four binary bytes", REG_BINARY, bytes, sizeof bytes},
        {"big-endian integer", REG_DWORD_BIG_ENDIAN, bytes, sizeof bytes},
        {"short integer", REG_DWORD, shortBytes, sizeof shortBytes},
    };
    for (const Raw& raw : raws) {
        SCOPED_TRACE(raw.what);
        StoreRaw("DefaultShutdown", raw.type, raw.data, raw.size);
        EXPECT_FALSE(RegistryKey(path).ReadInt32("DefaultShutdown").has_value());
    }
}

// Test helpers on the raw registry API, independent of CGsRegKey: they set up and inspect the
// current user's Software\KIRO exactly as stored (type and bytes).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ScopedWin.h"

namespace rawreg {

constexpr const char* kMakerKey = "Software\\KIRO";
constexpr const char* kRecordKey = "Software\\KIRO\\ZUNA";

inline void DeleteMakerTree()
{
    LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, kMakerKey);
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << "RegDeleteTreeA: " << rc;
}

// Subkeys plus values of a key; -1 when it does not exist.
inline int CountChildren(const char* path)
{
    HKEY raw = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &raw);
    ScopedRegKey key(raw);
    DWORD subKeys = 0, values = 0;
    if (!key || RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return int(subKeys + values);
}

// Writes exactly `data`. RegSetValueExA counts a string's terminator in when the caller
// "forgot" it and the next byte is 0 (as NT does); a non-zero guard byte prevents that.
inline void SetRaw(const char* path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ScopedRegKey owner(key);
    std::string buffer = data + '\x7F';
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()), DWORD(data.size())),
              ERROR_SUCCESS);
}

inline std::string DwordBytes(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

inline void SetRawDword(const char* path, const char* name, DWORD value)
{
    SetRaw(path, name, REG_DWORD, DwordBytes(value));
}

// "<type>:<bytes>" of a value exactly as stored, or "" when it does not exist.
inline std::string GetRaw(const char* path, const char* name)
{
    HKEY raw = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &raw);
    ScopedRegKey key(raw);
    DWORD type = 0, size = 0;
    if (!key || RegQueryValueExA(raw, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return "";
    std::vector<char> bytes(size + 1, '\0');
    RegQueryValueExA(raw, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    return std::to_string(type) + ":" + std::string(bytes.data(), size);
}
inline std::string Sz(const std::string& bytes)
{
    return std::to_string(REG_SZ) + ":" + bytes;
}
inline std::string Dword(DWORD value)
{
    return std::to_string(REG_DWORD) + ":" + DwordBytes(value);
}

// Every test starts and ends without Software\KIRO.
class CleanRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteMakerTree(); }
    void TearDown() override { DeleteMakerTree(); }
};

}  // namespace rawreg

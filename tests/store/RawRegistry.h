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

inline bool KeyExists(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Subkey and value counts of an existing key.
inline void CountChildren(const char* path, DWORD* subKeys, DWORD* values)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_SUCCESS) << path;
    ScopedRegKey owner(key);
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

// Writes exactly `data` (no terminator added by the platform: the byte after it is never 0).
inline void SetRaw(const char* path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << path;
    ScopedRegKey owner(key);
    // RegSetValueExA counts a string's terminator in when the caller "forgot" it and the next
    // byte is 0 (as NT does); a non-zero guard byte stores the bytes as given.
    std::string buffer = data + '\x7F';
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS)
        << name;
}

inline void SetRawDword(const char* path, const char* name, DWORD value)
{
    SetRaw(path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4));
}

struct Value {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string data;
};

inline Value GetRaw(const char* path, const char* name)
{
    Value v;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return v;
    ScopedRegKey owner(key);
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS)
        return v;
    std::vector<char> bytes(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &v.type, reinterpret_cast<BYTE*>(bytes.data()),
                         &size) != ERROR_SUCCESS)
        return v;
    v.exists = true;
    v.data.assign(bytes.data(), size);
    return v;
}

inline std::string DwordBytes(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

// Every test starts and ends without Software\KIRO.
class CleanRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteMakerTree(); }
    void TearDown() override { DeleteMakerTree(); }
};

}  // namespace rawreg

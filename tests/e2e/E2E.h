// What the end-to-end tests share: the archives, the installation record, files read and
// written with the narrow API and msvcrt streams (folder names in code page 932 work as the
// programs see them). tests/e2e/run-e2e.sh prepares the prefix and the GS_* variables.
#pragma once
#include "Driver.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace e2e {

const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const char kRecord[] = "Software\\KIRO\\ZUNA";

inline std::string Env(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }

inline std::string Read(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// Creates the missing folders on the way; false when the file cannot be written.
inline bool Write(const std::string& path, const std::string& data)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\' && !IsDBCSLeadByte(static_cast<BYTE>(path[i - 1])))
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    return !!std::ofstream(path, std::ios::binary).write(data.data(), data.size());
}

inline long long Ext()  // -1 when missing or not a REG_DWORD
{
    DWORD value = 0, size = sizeof(value);
    return RegGetValueA(HKEY_CURRENT_USER, kRecord, "Ext", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
               ? static_cast<long long>(value) : -1;
}

// A fresh record for an installation in `path`; Ext only when not negative.
inline void Record(const std::string& path, int ext)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
    RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Path", REG_SZ, path.c_str(), static_cast<DWORD>(path.size()));
    RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "SavePath", REG_SZ, "C:\\save", 7);
    const DWORD res = 3;
    RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Res", REG_DWORD, &res, 4);
    if (ext >= 0)
        RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Ext", REG_DWORD, &ext, 4);
}

}  // namespace e2e

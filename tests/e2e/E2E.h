// What the end-to-end tests share: the archives, the installation record, files read and
// written with the narrow API and msvcrt streams (folder names in code page 932 work as the
// programs see them). tests/run-in-prefix.sh prepares the prefix and passes the programs' folder.
#pragma once
#include "Driver.h"

#include <shlobj.h>

#include <cstdlib>
#include <fstream>

namespace e2e {

const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const char kRecord[] = "Software\\KIRO\\ZUNA";
const DWORD kWait = 60000;

// A file in the folder of the programs under test (run-in-prefix.sh passes it).
inline std::string Bin(const char* name) { return std::string(std::getenv("GS_BIN") ? std::getenv("GS_BIN") : "(GS_BIN unset)") + "\\" + name; }

// A path as the narrow calls of this system name it (its code page); "" when they cannot.
inline std::string Native(const wchar_t* path)
{
    char out[MAX_PATH * 2];
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, out, sizeof(out), nullptr, &lost);
    return n > 0 && !lost ? out : "";
}

inline std::string Read(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Creates the missing folders on the way; false when the file cannot be written.
inline bool Write(const std::string& path, const std::string& data)
{
    SHCreateDirectoryExA(nullptr, path.substr(0, path.rfind('\\')).c_str(), nullptr);  // the file names are ASCII
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
    if (ext >= 0) RegSetKeyValueA(HKEY_CURRENT_USER, kRecord, "Ext", REG_DWORD, &ext, 4);
}

}  // namespace e2e

#include "store/InstallInfo.h"

#include <cstring>
#include <vector>

#include "store/GsRegKey.h"

namespace {

const char g_szMakerKey[] = "Software\\KIRO";
const char g_szProductKey[] = "ZUNA";
constexpr DWORD kPathBufferSize = MAX_PATH;

// Creates (or opens) Software\KIRO\ZUNA. A failed create leaves no key: every read then fails.
void OpenRecord(CGsRegKey& key)
{
    char keyPath[kPathBufferSize] = {};
    wsprintfA(keyPath, "%s\\%s", g_szMakerKey, g_szProductKey);
    key.Create(HKEY_CURRENT_USER, keyPath);
}

// A record without an install folder must not survive a check. RegDeleteKeyA leaves a ZUNA that
// has subkeys of its own; that is accepted silently.
void RemoveStaleRecord(CGsRegKey& key)
{
    key.Close();
    key.Create(HKEY_CURRENT_USER, g_szMakerKey);
    key.DeleteKey(g_szProductKey);
    key.Close();
}

constexpr int kPathUnusable = -2;  // "Path" of a type that names no folder: keep the record

// Reads "Path" into `path` (`size` bytes, zero-filled here): 1 found; 0 missing or empty;
// GS_INSTALL_PATH_TOO_LONG when the text needs more than size - 1 bytes; kPathUnusable when
// it is neither REG_SZ nor REG_EXPAND_SZ, or cannot be read. A REG_EXPAND_SZ is expanded.
// Only a complete, terminated path is ever left in the buffer.
int ReadPathValue(CGsRegKey& key, char* path, DWORD size)
{
    std::memset(path, 0, size);
    DWORD type = REG_NONE;
    DWORD stored = 0;
    if (!key.QueryValueInfo("Path", &type, &stored))
        return 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return kPathUnusable;
    // Read whole, whatever its size: trailing zeros may be counted in, and a stored text
    // needs no terminator.
    std::vector<char> text(static_cast<size_t>(stored) + 1, '\0');
    DWORD count = stored;
    if (RegQueryValueExA(key.Handle(), "Path", nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &count) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return kPathUnusable;
    if (text[0] == '\0')
        return 0;
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsA(text.data(), nullptr, 0);
        std::vector<char> expanded(static_cast<size_t>(needed) + 1, '\0');
        if (needed == 0 || ExpandEnvironmentStringsA(text.data(), expanded.data(), needed + 1) == 0)
            return kPathUnusable;
        text.swap(expanded);
    }
    size_t length = std::strlen(text.data());
    if (length >= size)
        return GS_INSTALL_PATH_TOO_LONG;
    std::memcpy(path, text.data(), length);
    return 1;
}

// Opens (creating) the record and reads "Path": 1 installed; 0 not installed, a record
// without a folder removed, one whose "Path" is of another type kept; GS_INSTALL_PATH_TOO_LONG
// with the record kept.
int ReadRecordPath(CGsRegKey& key, char* path, DWORD size)
{
    OpenRecord(key);
    int found = ReadPathValue(key, path, size);
    if (found == 0)
        RemoveStaleRecord(key);
    return found == kPathUnusable ? 0 : found;
}

}  // namespace

int ReadInstallPaths(char* path, char* savePath, DWORD* saveType, DWORD pathSize,
                     DWORD savePathSize)
{
    if (!path || pathSize == 0)
        return 0;
    CGsRegKey key;
    int found = ReadRecordPath(key, path, pathSize);
    if (found != 1)
        return found;
    if (savePath && savePathSize > 0) {
        // Read aside so that a save path too long for the caller's buffer leaves it as it was
        // instead of unterminated.
        std::vector<char> read(savePathSize, '\0');
        if (key.GetString("SavePath", read.data(), savePathSize, nullptr) &&
            read[savePathSize - 1] == '\0')
            std::memcpy(savePath, read.data(), savePathSize);
    }
    if (saveType)
        *saveType = key.GetDword("SaveType", 0);
    key.Close();
    return 1;
}

int ReadInstallExt(DWORD* ext)
{
    char path[kPathBufferSize];
    CGsRegKey key;
    int found = ReadRecordPath(key, path, sizeof(path));
    if (found != 1)
        return found;
    if (ext)
        *ext = key.GetDword("Ext", 0);
    return 1;
}

int ReadInstallOptions(char* path, int* desktop, int* startMenu)
{
    if (!path)
        return 0;
    CGsRegKey key;
    int found = ReadRecordPath(key, path, kPathBufferSize);
    if (found != 1)
        return found;
    DWORD res = key.GetDword("Res", 0);
    if (desktop)
        *desktop = (res & 1) ? 1 : 0;
    if (startMenu)
        *startMenu = (res & 2) ? 1 : 0;
    key.Close();
    return 1;
}

int AddInstallExt(DWORD bits)
{
    CGsRegKey key;
    OpenRecord(key);
    DWORD ext = key.GetDword("Ext", 0);
    key.SetDword("Ext", ext | bits);
    return 1;
}

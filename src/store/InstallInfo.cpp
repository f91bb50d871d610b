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

// Reads "Path" into `path` (`size` bytes, zero-filled here): 1 found, 0 missing or empty,
// GS_INSTALL_PATH_TOO_LONG when the text needs more than size - 1 bytes. Only a complete,
// terminated path is ever left in the buffer.
int ReadPathValue(CGsRegKey& key, char* path, DWORD size)
{
    std::memset(path, 0, size);
    if (key.GetString("Path", path, size, nullptr)) {
        if (path[size - 1] == '\0')
            return path[0] ? 1 : 0;
        // Exactly `size` bytes of text and no terminator: the installer stores none.
        std::memset(path, 0, size);
        return GS_INSTALL_PATH_TOO_LONG;
    }
    // A mistyped or overflowing query may have left bytes behind (Windows leaves the buffer
    // undefined on ERROR_MORE_DATA).
    std::memset(path, 0, size);
    DWORD type = REG_NONE;
    DWORD stored = 0;
    if (!key.QueryValueInfo("Path", &type, &stored) || type != REG_SZ || stored <= size)
        return 0;
    // Larger than the buffer, but the text may still be short (trailing zeros counted in).
    std::vector<char> whole(static_cast<size_t>(stored) + 1, '\0');
    if (!key.GetString("Path", whole.data(), stored, nullptr))
        return 0;
    size_t length = strnlen(whole.data(), stored);
    if (length == 0)
        return 0;
    if (length >= size)
        return GS_INSTALL_PATH_TOO_LONG;
    std::memcpy(path, whole.data(), length);
    return 1;
}

// Opens (creating) the record and reads "Path": 1 installed; 0 not installed, the stale key
// removed; GS_INSTALL_PATH_TOO_LONG with the record kept.
int ReadRecordPath(CGsRegKey& key, char* path, DWORD size)
{
    OpenRecord(key);
    int found = ReadPathValue(key, path, size);
    if (found == 0)
        RemoveStaleRecord(key);
    return found;
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

#include "system/GsSystem.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "base/StrFormat.h"
#include "files/GsDirWalker.h"
#include "base/GsPath.h"
#include "base/GsText.h"
#include "store/GsRegKey.h"
#include "system/GsCom.h"

const GUID CLSID_GsRegKey = {0x260CF829, 0x9ABC, 0x46AD, {0x95, 0x68, 0xF5, 0xD3, 0x50, 0xDA, 0x6F, 0x8C}};
const GUID CLSID_GsCom = {0x06649AC0, 0x7CA4, 0x4EF8, {0x80, 0xC4, 0xBC, 0xA5, 0x35, 0x2C, 0x75, 0xB8}};
const GUID CLSID_GsDirWalker = {0xA2A95A9A, 0x6C74, 0x4AED, {0x8F, 0x14, 0x5C, 0x4D, 0xAF, 0xDB, 0x63, 0x40}};

namespace {

const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The folder a running browse opens on; one browse at a time.
char g_browseInitialFolder[MAX_PATH];

GsSystemPlatform::DiskFreeExFn FindRealDiskFreeEx()
{
    return reinterpret_cast<GsSystemPlatform::DiskFreeExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
}

// Copies [begin, begin+length) into a buffer of `capacity` bytes; 0 with an empty text when it
// does not fit.
int CopyBounded(char* out, size_t capacity, const char* begin, size_t length)
{
    if (length >= capacity) {
        if (capacity > 0)
            out[0] = '\0';
        return 0;
    }
    std::memmove(out, begin, length);
    out[length] = '\0';
    return 1;
}

// The volume root of a path as the drive queries want it: up to and including its first
// backslash after position 0 (D:\Games\X gives D:\); without one, the path itself.
void CutVolumeRoot(const char* path, char (&root)[MAX_PATH])
{
    ::lstrcpynA(root, path, MAX_PATH);
    const char* slash = GsFindFirstOf(root, "\\");
    if (slash == root)
        slash = GsFindFirstOf(root + 1, "\\");
    if (slash != nullptr)
        root[slash - root + 1] = '\0';
}

// A shell-folder value of the current user; the buffer must arrive zero-filled.
int ReadShellFolder(const char* name, char* buffer, DWORD size)
{
    CGsRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kShellFoldersKey) && !key.GetString(name, buffer, size, nullptr))
        buffer[0] = '\0';  // a value of another type may have left bytes behind
    // A text filling the whole buffer came without its terminator: refused, not overrun.
    if (size == 0 || std::memchr(buffer, '\0', size) == nullptr) {
        if (size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return buffer[0] != '\0' ? 1 : 0;
}

// A shell special folder, not created, copied into the caller's buffer when it fits.
int SpecialFolder(int csidl, char* buffer, DWORD size)
{
    char path[MAX_PATH] = {};
    if (::SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) != TRUE) {
        if (size > 0)
            buffer[0] = '\0';  // a failed registry read may have left bytes behind
        return 0;
    }
    return CopyBounded(buffer, size, path, std::strlen(path));
}

int ChooseFile(HWND owner, char* file, char* fileTitle, char* folder, const char* filter,
               const char* defaultExt, bool save)
{
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = fileTitle;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrDefExt = defaultExt;
    ofn.lpstrInitialDir = folder;
    ofn.Flags = save ? (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY)
                     : (OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    if (!(save ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn)))
        return 0;
    // The folder buffer takes the chosen file's folder: the text before its last backslash.
    size_t length = strnlen(file, MAX_PATH);
    if (!CopyBounded(folder, MAX_PATH, file, length))
        return 0;
    const char* slash = GsFindLastOf(folder, "\\");
    if (slash != nullptr && slash != folder)
        folder[slash - folder] = '\0';
    return 1;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM)
{
    if (message == BFFM_INITIALIZED)
        ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(g_browseInitialFolder));
    return 0;
}

}  // namespace

const GsSystemPlatform& GsRealSystemPlatform()
{
    static const GsSystemPlatform real = {::GetVersionExA, FindRealDiskFreeEx, ::GetDiskFreeSpaceA};
    return real;
}

int CGsSystem::GetSystemDriveRoot(char* buffer, DWORD size)
{
    if (!GetWindowsFolder(buffer, size))
        return 0;
    if (std::strlen(buffer) > 2) {
        const char* slash = GsFindFirstOf(buffer + 2, "\\");
        if (slash != nullptr && static_cast<DWORD>(slash - buffer) + 1 < size)
            buffer[slash - buffer + 1] = '\0';
    }
    return 1;
}

int CGsSystem::GetProgramFilesFolder(char* buffer, DWORD size)
{
    {
        CGsRegKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion") &&
            key.GetString("ProgramFilesDir", buffer, size, nullptr) && std::memchr(buffer, '\0', size) != nullptr)
            return 1;
    }
    // Without administrator rights the key does not open with full access: the user's
    // application-data folder then stands in.
    return SpecialFolder(CSIDL_APPDATA, buffer, size);
}

int CGsSystem::GetDocumentsFolder(char* buffer, DWORD)
{
    return SpecialFolder(CSIDL_PERSONAL, buffer, MAX_PATH);
}

int CGsSystem::GetDesktopFolder(char* buffer, DWORD size) { return ReadShellFolder("Desktop", buffer, size); }
int CGsSystem::GetStartupFolder(char* buffer, DWORD size) { return ReadShellFolder("Startup", buffer, size); }

int CGsSystem::GetWindowsFolder(char* buffer, DWORD size)
{
    UINT n = ::GetWindowsDirectoryA(buffer, size);
    return n != 0 && n < size ? 1 : 0;
}

int CGsSystem::GetTempFolder(char* buffer, DWORD size)
{
    DWORD n = ::GetTempPathA(size, buffer);
    return n != 0 && n < size ? 1 : 0;
}

int CGsSystem::GetProgramsFolder(HWND owner, char* buffer, DWORD size)
{
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(owner, CSIDL_PROGRAMS, &items)) && items != nullptr) {
        char path[MAX_PATH] = {};
        BOOL ok = ::SHGetPathFromIDListA(items, path);
        ::CoTaskMemFree(items);
        if (ok && path[0] != '\0' && CopyBounded(buffer, size, path, std::strlen(path)))
            return 1;
    }
    return ReadShellFolder("Programs", buffer, size);
}

int CGsSystem::GetFileNamePart(const char* path, char* out)
{
    const char* slash = GsFindLastOf(path, "\\");
    const char* name = slash != nullptr ? slash + 1 : path;
    return CopyBounded(out, MAX_PATH, name, std::strlen(name));
}

int CGsSystem::GetFolderPart(const char* path, char* out)
{
    const char* slash = GsFindLastOf(path, "\\");
    return CopyBounded(out, MAX_PATH, path, slash != nullptr ? static_cast<size_t>(slash - path) : 0);
}

int CGsSystem::ToUpperDbcs(char* text) { return GsFoldCase(text, SIZE_MAX, true), 1; }
int CGsSystem::ToLowerDbcs(char* text) { return GsFoldCase(text, SIZE_MAX, false), 1; }

int CGsSystem::GetDiskFreeBytes(const char* path, ULONGLONG* freeBytes)
{
    char root[MAX_PATH];
    CutVolumeRoot(path, root);
    GsDiskSpace space;
    if (!GsQueryDiskSpace(root, m_platform->findDiskFreeEx(), m_platform->getDiskFreeSpace, &space))
        return 0;
    *freeBytes = space.totalFree;
    return 1;
}

int CGsSystem::IsFixedDrive(const char* path)
{
    char root[MAX_PATH];
    CutVolumeRoot(path, root);
    return ::GetDriveTypeA(root) == DRIVE_FIXED ? 1 : 0;
}

int CGsSystem::GetOsVersionText(std::string& text)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    m_platform->getVersionEx(&info);
    const char* csd = info.szCSDVersion;
    int major = static_cast<int>(info.dwMajorVersion);
    int minor = static_cast<int>(info.dwMinorVersion);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (minor == 0)
            text = StrFormat("Windows 95 %d.%d %s", major, 0, csd);
        else if (minor == 90)
            text = StrFormat("Windows Me %d.%d %s", major, 90, csd);
        else
            text = StrFormat("Windows 98 %d.%d %s", major, minor, csd);
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (major == 6 && minor == 0)
            text = StrFormat("Windows Vista %s (NT:%d.%d)", csd, 6, 0);
        else if (major == 6 && minor == 1)
            text = StrFormat("Windows 7 %s (NT:%d.%d)", csd, 6, 1);
        else if (major == 6)
            text = StrFormat("Windows NT 6.x %s (NT:%d.%d)", csd, 6, minor);
        else if (major == 5 && minor == 2)
            text = StrFormat("Windows Server 2003 %s (NT:%d.%d)", csd, 5, 2);
        else if (major == 5 && minor == 1)
            text = StrFormat("Windows XP %s (NT:%d.%d)", csd, 5, 1);
        else if (major == 5)
            text = StrFormat("Windows 2000 %s (NT:%d.%d)", csd, 5, minor);
        else
            text = StrFormat("Windows NT %d.%d %s", major, minor, csd);
    } else {
        text = "Unknown OS Version";
    }
    return 1;
}

int CGsSystem::GetOsVersion(DWORD* major, DWORD* minor)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    m_platform->getVersionEx(&info);
    if (major != nullptr)
        *major = info.dwMajorVersion;
    if (minor != nullptr)
        *minor = info.dwMinorVersion;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

void CGsSystem::GetMemoryStatus(MEMORYSTATUS* status)
{
    status->dwLength = sizeof *status;
    ::GlobalMemoryStatus(status);
}

namespace {
// A 64-bit build's byte counts go past 4 GiB; the 32-bit answer saturates rather than wraps.
DWORD Saturate32(SIZE_T bytes) { return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(bytes); }
}  // namespace

DWORD CGsSystem::GetTotalPhysicalMemory()
{
    MEMORYSTATUS status;
    GetMemoryStatus(&status);
    return Saturate32(status.dwTotalPhys);
}

DWORD CGsSystem::GetAvailablePhysicalMemory()
{
    MEMORYSTATUS status;
    GetMemoryStatus(&status);
    return Saturate32(status.dwAvailPhys);
}

namespace {
int QueryName(BOOL(WINAPI* query)(LPSTR, LPDWORD), std::string& name)
{
    name.clear();
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (!query(buffer, &size))
        return 0;
    name = buffer;
    return 1;
}
}  // namespace

int CGsSystem::QueryComputerName(std::string& name) { return QueryName(::GetComputerNameA, name); }
int CGsSystem::QueryUserName(std::string& name) { return QueryName(::GetUserNameA, name); }

int CGsSystem::SetWallpaper(const char* imagePath)
{
    return ::SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(imagePath),
                                   SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

int CGsSystem::ChooseSaveFile(HWND owner, char* file, char* fileTitle, char* folder, const char* filter,
                              const char* defaultExt)
{
    return ChooseFile(owner, file, fileTitle, folder, filter, defaultExt, true);
}

int CGsSystem::ChooseOpenFile(HWND owner, char* file, char* fileTitle, char* folder, const char* filter,
                              const char* defaultExt)
{
    return ChooseFile(owner, file, fileTitle, folder, filter, defaultExt, false);
}

int CGsSystem::BrowseForFolder(HWND owner, char* path, const char* title, const char* initialFolder)
{
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || allocator == nullptr)
        return 0;
    // The title is a system text, shown through the wide interface; the folder chosen comes back
    // as a path of the process's code page, like every other path.
    const std::wstring wideTitle = GsText(title != nullptr ? title : "");
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    if (initialFolder != nullptr) {
        ::lstrcpynA(g_browseInitialFolder, initialFolder, MAX_PATH);
        info.lpfn = BrowseCallback;
    }
    int result = 0;
    if (LPITEMIDLIST chosen = ::SHBrowseForFolderW(&info)) {
        result = ::SHGetPathFromIDListA(chosen, path) ? 1 : 0;
        allocator->Free(chosen);
    }
    allocator->Release();
    return result;
}

int CGsSystem::FilesExist(const char* first, const char* second, const char* folder)
{
    for (const char* name : {first, second}) {
        if (name == nullptr)
            continue;
        FILE* file = std::fopen((std::string(folder) + name).c_str(), "rb");
        if (file == nullptr)
            return 0;
        std::fclose(file);
    }
    return 1;
}

int CGsSystem::FindCdDriveWithFiles(const char* first, const char* second, std::string& root)
{
    root.clear();
    char drives[512] = {};
    if (::GetLogicalDriveStringsA(sizeof drives, drives) == 0)
        return 0;
    // No "insert a disk" prompt for an empty drive while probing.
    UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const char* drive = drives; *drive != '\0'; drive += std::strlen(drive) + 1) {
        if (::GetDriveTypeA(drive) == DRIVE_CDROM && FilesExist(first, second, drive)) {
            root = drive;
            break;
        }
    }
    ::SetErrorMode(previousMode);
    return root.empty() ? 0 : 1;
}

int CGsSystem::CreateFolderTree(const char* path, std::vector<std::string>* made)
{
    auto create = [made](const char* folder) {
        if (::CreateDirectoryA(folder, nullptr) && made != nullptr)
            made->emplace_back(folder);
    };
    size_t length = strnlen(path, MAX_PATH);
    if (length >= MAX_PATH)
        return 0;
    char level[MAX_PATH];
    std::memcpy(level, path, length + 1);
    // Each real backslash after position 0 ends a level, except that of a drive root (C:\).
    for (const char* p = path;; ++p) {
        const char* cut = GsFindFirstOf(p, "\\");
        if (cut == nullptr)
            break;
        p = cut;
        if (cut == path || cut[-1] == ':')
            continue;
        level[cut - path] = '\0';
        create(level);
        level[cut - path] = '\\';
    }
    if (!GsEndsWithBackslash(path))
        create(path);
    return 1;
}

HRESULT CGsSystem::CreateInstance(const GUID& clsid, IGsInterface** object)
{
    *object = nullptr;
    IGsInterface* made = nullptr;
    if (std::memcmp(&clsid, &CLSID_GsRegKey, sizeof clsid) == 0)
        made = new CGsRegKey();
    else if (std::memcmp(&clsid, &CLSID_GsCom, sizeof clsid) == 0)
        made = new CGsCom();
    else if (std::memcmp(&clsid, &CLSID_GsDirWalker, sizeof clsid) == 0)
        made = new CGsDirWalker();
    else
        return E_FAIL;
    made->AddRef();
    *object = made;
    return S_OK;
}

// CGsSystem: questions about the machine (special folders, disk space, drive types, version,
// memory, names), the standard file and folder pickers, a CD/DVD drive search, folder-tree
// creation, code-page-932-aware text helpers, and the factory of the framework's service objects.
//
// Results are 1 for success and 0 for failure unless noted; nothing is shown or thrown.
// Path buffers are 260 bytes (MAX_PATH) unless a size is passed. Texts are code page 932.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/GsInterface.h"
#include "files/GsDiskSpace.h"

// Platform calls that tests must steer. The default table holds the real functions.
struct GsSystemPlatform {
    using DiskFreeExFn = GsDiskFreeExFn;
    BOOL(WINAPI* getVersionEx)(OSVERSIONINFOA* info);
    // GetDiskFreeSpaceExA looked up at run time; null where kernel32 lacks it.
    DiskFreeExFn (*findDiskFreeEx)();
    GsDiskFreeFn getDiskFreeSpace;
};
const GsSystemPlatform& GsRealSystemPlatform();

// Class identifiers of CreateInstance.
extern const GUID CLSID_GsRegKey;     // {260CF829-9ABC-46AD-9568-F5D350DA6F8C}
extern const GUID CLSID_GsCom;        // {06649AC0-7CA4-4EF8-80C4-BCA5352C75B8}
extern const GUID CLSID_GsDirWalker;  // {A2A95A9A-6C74-4AED-8F14-5C4DAFDB6340}

class CGsSystem : public IGsInterface {
public:
    CGsSystem() = default;
    explicit CGsSystem(const GsSystemPlatform& platform) : m_platform(&platform) {}
    ~CGsSystem() override = default;

    // Root of the drive holding the Windows folder, with its backslash (C:\).
    virtual int GetSystemDriveRoot(char* buffer, DWORD size);
    // HKLM "ProgramFilesDir"; when the key cannot be opened with full access or the value is
    // missing, not a string or too long for the buffer, the shell's application-data folder
    // (CSIDL 26).
    virtual int GetProgramFilesFolder(char* buffer, DWORD size);
    // The user's documents folder (CSIDL_PERSONAL), not created. `size` is ignored: 260 bytes.
    virtual int GetDocumentsFolder(char* buffer, DWORD size);
    // The user's shell-folder values "Desktop" and "Startup". The buffer is not cleared first:
    // hand in a zero-filled one; 1 when its first byte is non-zero afterwards.
    virtual int GetDesktopFolder(char* buffer, DWORD size);
    virtual int GetStartupFolder(char* buffer, DWORD size);
    virtual int GetWindowsFolder(char* buffer, DWORD size);
    virtual int GetTempFolder(char* buffer, DWORD size);
    // The Start menu's programs folder from the shell, else the shell-folder value "Programs".
    virtual int GetProgramsFolder(HWND owner, char* buffer, DWORD size);
    // Part behind / before the last backslash (a trail byte of 0x5C is none). Without a
    // backslash: the whole path / an empty text. `out` holds 260 bytes: a part that does not
    // fit gives 0 and an empty text.
    virtual int GetFileNamePart(const char* path, char* out);
    virtual int GetFolderPart(const char* path, char* out);
    // ASCII letters only; double-byte characters and single-byte katakana stay. Return 1.
    virtual int ToUpperDbcs(char* text);
    virtual int ToLowerDbcs(char* text);
    // Free bytes of the volume holding `path` (the volume's figure, not the caller's quota).
    virtual int GetDiskFreeBytes(const char* path, ULONGLONG* freeBytes);
    // 1 when the volume holding `path` is a fixed disk.
    virtual int IsFixedDrive(const char* path);
    // One line such as "Windows 7  (NT:6.1)". Returns 1.
    virtual int GetOsVersionText(std::string& text);
    // 1 on the NT platform; stores the version where pointers are given.
    virtual int GetOsVersion(DWORD* major, DWORD* minor);
    virtual void GetMemoryStatus(MEMORYSTATUS* status);
    virtual DWORD GetTotalPhysicalMemory();
    virtual DWORD GetAvailablePhysicalMemory();
    // 0 with an empty text on failure.
    virtual int QueryComputerName(std::string& name);
    virtual int QueryUserName(std::string& name);
    // Sets the desktop wallpaper and broadcasts it; the platform's result.
    virtual int SetWallpaper(const char* imagePath);
    // The platform's save / open dialog. `file`, `fileTitle` and `folder` are 260-byte
    // buffers; `folder` is the initial folder and on OK receives the chosen file's folder.
    // Cancel and failure both give 0.
    virtual int ChooseSaveFile(HWND owner, char* file, char* fileTitle, char* folder, const char* filter,
                               const char* defaultExt);
    virtual int ChooseOpenFile(HWND owner, char* file, char* fileTitle, char* folder, const char* filter,
                               const char* defaultExt);
    // The shell's folder browser, opening on `initialFolder` when given; the chosen folder goes
    // to `path` (260 bytes). Not re-entrant. Cancel gives 0.
    virtual int BrowseForFolder(HWND owner, char* path, const char* title, const char* initialFolder);
    // 1 when folder+first (and folder+second, if given) open for reading. The caller supplies
    // any backslash between folder and name.
    virtual int FilesExist(const char* first, const char* second, const char* folder);
    // Root (E:\) of the first CD/DVD drive holding the files, else 0 and an empty text. The
    // caller's error mode is restored on every path.
    virtual int FindCdDriveWithFiles(const char* first, const char* second, std::string& root);
    // Creates every folder along `path`; existing ones are fine. Each folder this call made is
    // appended to `made` (outermost first), so that a failed install can take back only those.
    // A path of 260 bytes or more is refused (0) and nothing is created; otherwise 1, even when
    // a folder could not be made.
    virtual int CreateFolderTree(const char* path, std::vector<std::string>* made = nullptr);
    // Makes CGsRegKey, CGsCom or CGsDirWalker (already AddRef'd) into *object and returns 0;
    // any other identifier: E_FAIL and a null object.
    virtual HRESULT CreateInstance(const GUID& clsid, IGsInterface** object);

private:
    const GsSystemPlatform* m_platform = &GsRealSystemPlatform();
};

#include "setup/Removal.h"

#include "base/GsPath.h"
#include "system/GsSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

const char* const kGameFiles[] = {
    "ZUNA.exe", "ZUNAUNINST.EXE", "UNINST.EX_", "ZUNA1.dat", "ZUNA2.dat", "ZUNA3.dat",
    "BGM.pak", "SE.pak", "SCR.pak", "Graphic.pak", "GraphicA.pak", "GraphicB.pak", "GraphicC.pak",
    "Voice.pak", "VoiceA.pak",
};
const char* const kNumberedArchives[] = {"Scr", "Graphic", "Voice", "SE"};  // 01 to 10 each
const char kMovieFile[] = "Movie\\ZUNAOP.mpg";
const char kMovieFolder[] = "movie";
const char* const kSaveFiles[] = {"SysMsgFlag.dat", "SysEnv.dat", "Sysflag.dat"};
constexpr int kSaveSlots = 200;
const char kShortcut[] = "Quillamet.lnk";
constexpr DWORD kSettleMs = 10;

// A drive root or UNC path. Anything else (x, \x, C:x, a bare C:) is taken relative to some
// current folder, and removing there would hit whatever lies at that place.
bool IsAbsolute(const char* path)
{
    const bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\';
    return drive || (path[0] == '\\' && path[1] == '\\');
}

// Copies an absolute folder of fewer than 260 bytes into `out` (zero-filled) without one
// trailing backslash; false, `out` empty, for any other folder.
bool TakeFolder(char (&out)[MAX_PATH], const char* folder)
{
    std::memset(out, 0, sizeof(out));
    if (folder == nullptr || !IsAbsolute(folder) || std::strlen(folder) >= MAX_PATH)
        return false;
    std::strcpy(out, folder);
    GsDropTrailingBackslash(out);
    return true;
}

// Deletes folder\name. A path that does not fit 260 bytes is skipped: the narrow API could
// not have made it, and a cut path would name another file.
void DeleteIn(const char* folder, const char* name)
{
    char path[MAX_PATH];
    if (GsComposePath(path, sizeof(path), folder, name))
        DeleteFileA(path);
}

// Calls fn with the path of each of the game's listed files in `installPath`, in list order.
// Paths that would not fit 260 bytes are left out: the narrow API could not have made them,
// and a cut path would name another file.
template <typename Fn>
void ForEachGameFile(const char* installPath, Fn fn)
{
    char name[32];
    char path[MAX_PATH];
    auto visit = [&](const char* file) {
        if (GsComposePath(path, sizeof(path), installPath, file))
            fn(path);
    };
    for (const char* file : kGameFiles)
        visit(file);
    for (const char* group : kNumberedArchives) {
        for (int n = 1; n <= 10; ++n) {
            wsprintfA(name, "%s%02d.pak", group, n);
            visit(name);
        }
    }
    visit(kMovieFile);
}

// The desktop shortcut's path into `out`; false when the desktop cannot be found.
bool ShortcutPath(std::string& out)
{
    CGsSystem system;
    char desktop[MAX_PATH] = {};
    char path[MAX_PATH];
    if (!system.GetDesktopFolder(desktop, sizeof(desktop)) || !GsComposePath(path, sizeof(path), desktop, kShortcut))
        return false;
    out = path;
    return true;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Removes the folder if it is empty, then lets the file system settle.
void RemoveFolder(const char* path)
{
    if (IsAbsolute(path))
        RemoveDirectoryA(path);
    Sleep(kSettleMs);
}

// Cuts the last part off `path` and removes what is left, if there was a part to cut.
void RemoveParent(char* path)
{
    if (CutLastPathPart(path))
        RemoveFolder(path);
}

void RemoveSaveData(const char* saveDir, int saveType)
{
    char savePath[MAX_PATH];
    if (!TakeFolder(savePath, saveDir) || !GsComposePath(savePath, sizeof(savePath), savePath, "SAVE"))
        return;
    for (const char* name : kSaveFiles)
        DeleteIn(savePath, name);
    for (int slot = 0; slot < kSaveSlots; ++slot) {
        char name[16];
        wsprintfA(name, "DATA%03d.SAV", slot);
        DeleteIn(savePath, name);
    }
    RemoveFolder(savePath);
    if (saveType == 1) {  // documents\KIRO\Quillamet: the title and maker folders
        RemoveParent(savePath);
        RemoveParent(savePath);
    } else if (saveType == 3) {  // chosen folder\Quillamet: the title folder
        RemoveParent(savePath);
    }
}

}  // namespace

int RemoveInstallation(const char* installDir, const char* saveDir, int removeSave, int saveType)
{
    char installPath[MAX_PATH];
    if (!TakeFolder(installPath, installDir))
        return 1;

    ForEachGameFile(installPath, [](const char* path) { DeleteFileA(path); });

    char folder[MAX_PATH];
    if (GsComposePath(folder, sizeof(folder), installPath, kMovieFolder))
        RemoveFolder(folder);
    if (saveType != 2)
        RemoveDirectoryA(installPath);

    if (removeSave == 1)
        RemoveSaveData(saveDir, saveType);

    // With the save data kept inside it, the install folder must stay.
    if (saveType != 2 || removeSave == 1) {
        RemoveFolder(installPath);
        RemoveParent(installPath);  // the maker folder
        RemoveParent(installPath);  // the parent chosen at install time
    }

    std::string shortcut;
    if (ShortcutPath(shortcut))
        DeleteFileA(shortcut.c_str());
    return 1;
}

int CInstallTrail::Begin(CGsSystem& system, const char* installDir)
{
    *this = CInstallTrail();
    char installPath[MAX_PATH];
    if (!TakeFolder(installPath, installDir))
        return 0;
    m_installPath = installPath;
    ForEachGameFile(installPath, [this](const char* path) {
        if (Exists(path))
            m_existed.emplace_back(path);
    });
    std::string shortcut;
    m_shortcutExisted = ShortcutPath(shortcut) && Exists(shortcut.c_str());
    system.CreateFolderTree(installPath, &m_madeFolders);
    return 1;
}

bool CInstallTrail::Covers(const char* installDir) const
{
    char installPath[MAX_PATH];
    return !m_installPath.empty() && TakeFolder(installPath, installDir) && m_installPath == installPath;
}

int RemoveFailedInstall(const char* installDir, const CInstallTrail& before)
{
    if (installDir == nullptr || installDir[0] == '\0' || !before.Covers(installDir))
        return 0;
    const auto& existed = before.m_existed;
    ForEachGameFile(before.m_installPath.c_str(), [&existed](const char* path) {
        if (std::find(existed.begin(), existed.end(), path) == existed.end())
            DeleteFileA(path);
    });
    std::string shortcut;
    if (!before.m_shortcutExisted && ShortcutPath(shortcut))
        DeleteFileA(shortcut.c_str());
    for (auto folder = before.m_madeFolders.rbegin(); folder != before.m_madeFolders.rend(); ++folder)
        RemoveFolder(folder->c_str());
    return 1;
}

int CutLastPathPart(char* path)
{
    char* last = const_cast<char*>(GsFindLastOf(path, "\\"));
    if (last == nullptr || last == path)
        return 0;
    *last = '\0';
    return 1;
}

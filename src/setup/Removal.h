// Removal of an installation of the game: the known files by name, then the folders that the
// platform finds empty. It never walks a folder, so files the player added stay, and so do the
// folders that hold them.
#pragma once

#include <string>
#include <vector>

class CGsSystem;

// Deletes the game's listed files from `installDir` and, with `removeSave` 1, the listed save
// files from the SAVE folder in `saveDir`; removes the install, maker and parent folders (and
// the save folders) where empty, and the desktop shortcut. `saveType` is that of the install
// menu (1 documents, 2 install folder, 3 chosen folder; 0 none): with 2 and the save data kept,
// the install folder stays. An empty, relative or over-long (260 bytes or more) install folder
// deletes nothing; a save folder of that kind keeps its save data. Failures are skipped.
// Returns 1.
int RemoveInstallation(const char* installDir, const char* saveDir, int removeSave, int saveType);

// What an install run found before it began, so that its failure takes away only what it made:
// which of the game's listed files and the desktop shortcut existed, and which folders of the
// install folder's tree the run created.
class CInstallTrail {
public:
    // Notes what exists, then creates the install folder's missing folders. 0, noting nothing,
    // for an empty, relative or over-long folder.
    int Begin(CGsSystem& system, const char* installDir);
    bool Covers(const char* installDir) const;

private:
    friend int RemoveFailedInstall(const char*, const CInstallTrail&);
    std::string m_installPath;               // as the removal composes it; empty before Begin
    std::vector<std::string> m_existed;      // listed files present before the run
    bool m_shortcutExisted = false;
    std::vector<std::string> m_madeFolders;  // outermost first
};

// After a failed or stopped install: 0 without touching anything when `installDir` is empty or
// `before` was not begun on it. Otherwise deletes the listed files and the desktop shortcut that
// did not exist before the run, removes the folders the run made where they are empty (the save
// data is never touched), and returns 1. What existed before the run always stays: a file the
// run replaced is whole, and a folder that was there is kept even when empty.
int RemoveFailedInstall(const char* installDir, const CInstallTrail& before);

// Ends `path` at its last backslash after position 0 (a 0x5C trail byte of a double-byte
// character is none): 1. Without such a backslash: 0, the path unchanged.
int CutLastPathPart(char* path);

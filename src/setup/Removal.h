// Removal of an installation of the game: the known files by name, then the folders that the
// platform finds empty. It never walks a folder, so files the player added stay, and so do the
// folders that hold them.
#pragma once

// Deletes the game's listed files from `installDir` and, with `removeSave` 1, the listed save
// files from the SAVE folder in `saveDir`; removes the install, maker and parent folders (and
// the save folders) where empty, and the desktop shortcut. `saveType` is that of the install
// menu (1 documents, 2 install folder, 3 chosen folder; 0 none): with 2 and the save data kept,
// the install folder stays. An empty, relative or over-long (260 bytes or more) install folder
// deletes nothing; a save folder of that kind keeps its save data. Failures are skipped.
// Returns 1.
int RemoveInstallation(const char* installDir, const char* saveDir, int removeSave, int saveType);

// After a failed or stopped install: 0 without touching anything when `installDir` is empty;
// otherwise the removal with the save data kept, and 1.
int RemoveFailedInstall(const char* installDir, const char* saveDir);

// Ends `path` at its last backslash after position 0 (a 0x5C trail byte of a double-byte
// character is none): 1. Without such a backslash: 0, the path unchanged.
int CutLastPathPart(char* path);

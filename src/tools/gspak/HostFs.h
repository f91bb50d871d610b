// The few file-system calls of gspak's tree commands, one implementation per platform.
// Archive names are code page 932 with backslashes; on Windows the narrow API speaks that
// already, natively names are UTF-8 and are converted on the way in and out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TreeFile {
    std::string name;  // relative to the folder walked, code page 932, backslashes
    std::string path;  // for opening
    uint64_t size = 0;
    uint64_t time = 0;  // last write, FILETIME (100 ns since 1601)
};

// Appends every file under dir to files. Otherwise problem names the file or folder at fault:
// Unreadable, or Refused (a name code page 932 cannot express, a link to a folder, a device).
enum class TreeResult { Ok, Unreadable, Refused };
TreeResult ListTree(const std::string& dir, std::vector<TreeFile>& files, std::string& problem);

// One part of an archive name in the platform's own form; false when it cannot be converted.
bool NativePart(const std::string& cp932, std::string& native);

enum class Place {
    Free,     // nothing there yet: path may be created
    Exists,   // a regular file is there
    Refused,  // a part on the way is a link (or another reparse point)
    Failed,   // a folder could not be made, or a part (the last: a folder) is in the way
};
// Where parts (native form, each checked safe) land under dir: makes the folders on the way.
// The last part is checked too: a link there is Refused, a folder (natively any other
// non-file) Failed.
Place PrepareOutput(const std::string& dir, const std::vector<std::string>& parts, std::string& path,
                    std::string& problem);

// Makes the folder dir unless it is one already.
bool MakeFolder(const std::string& dir);

// Puts the files written under dir onto the disk in one go where the platform offers it.
void FlushTree(const std::string& dir);

bool StderrIsTerminal();

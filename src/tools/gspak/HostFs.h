// The few file-system calls of gspak's tree commands, one implementation per platform.
// Archive names are code page 932 with backslashes; on Windows the narrow API speaks the
// process's code page (932 for the makers), natively names are UTF-8; both are converted
// exactly on the way in and out, never by a best fit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPakOutput;

struct TreeFile {
    std::string name;  // relative to the folder walked, code page 932, backslashes
    std::string path;  // for opening
    uint64_t size = 0;
    uint64_t time = 0;  // last write, FILETIME (100 ns since 1601)
};

// Appends every file under dir to files. Otherwise problem names the file or folder at fault:
// Unreadable, or Refused (a name code page 932 cannot express exactly, or whose part holds a
// separator once converted; a link to a folder; a device).
enum class TreeResult { Ok, Unreadable, Refused };
TreeResult ListTree(const std::string& dir, std::vector<TreeFile>& files, std::string& problem);

// One part of an archive name in the platform's own form; false when it cannot be converted.
bool NativePart(const std::string& cp932, std::string& native);

enum class Place {
    Free,     // nothing there yet: path may be created
    Exists,   // a regular file is there
    Refused,  // a part on the way is a link (or another reparse point), or not a folder
    Failed,   // a folder could not be made
};

// The folder an extraction writes below. Every output is reached from it through folders held
// open (natively made and opened relative to their parent, on Windows held so that no one can
// move them), never through a path whose folders could be swapped for links meanwhile.
class COutputTree {
public:
    COutputTree();
    ~COutputTree();
    // Makes the folder dir unless it is one already, and opens it.
    bool Open(const std::string& dir);
    // Where parts (native form, each checked safe) land: makes the folders on the way and holds
    // the last one. The last part is checked too: a link there, a folder or (natively) any other
    // non-file is Refused. path is for messages.
    Place Prepare(const std::vector<std::string>& parts, std::string& path, std::string& problem);
    // The output of the last Prepare; a link planted there meanwhile is refused or replaced,
    // never followed.
    bool Create(CPakOutput& out);
    // Puts what was written below the folder onto the disk (natively syncfs; on Windows each
    // output was flushed before its rename); false when that failed.
    bool Flush();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

bool StderrIsTerminal();

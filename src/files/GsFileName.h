// One file's location: the full path and its two halves, the folder and the file name.
#pragma once
#include <string>

class CGsFileName {
public:
    CGsFileName() = default;
    // Joins folder and name with one backslash (none added when the folder is empty or its
    // last character is already a backslash; a 0x5C trail byte is none), then splits the
    // joined path double-byte aware. The name may hold folders of its own; they move into the
    // folder half. When a part of the path is too long to split (256 bytes or more), name and
    // folder are left empty and only the full path is kept. Both arguments must be non-null.
    CGsFileName(const char* folder, const char* name);
    CGsFileName(const CGsFileName&) = default;
    CGsFileName& operator=(const CGsFileName&) = default;
    virtual ~CGsFileName() = default;

    const char* GetPath() const { return m_path.c_str(); }
    // File name with extension, e.g. "Scr01.pak".
    const char* GetName() const { return m_name.c_str(); }
    // Drive and directory with the final separator, e.g. "D:\Games\Data\".
    const char* GetFolder() const { return m_folder.c_str(); }

private:
    std::string m_path;
    std::string m_name;
    std::string m_folder;
};

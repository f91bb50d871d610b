// Archive files on disk for the merge and gspak: Win32 file handles on Windows, POSIX
// descriptors elsewhere. 64-bit offsets, checked transfers, a flush that reaches the disk.
#pragma once

#include "pack/PakFormat.h"

#include <memory>
#include <string>

class CPakFile : public IPakIo {
public:
    // kRead: read only. kUpdate: read and write an existing file, which no other writer may
    // hold meanwhile (Windows: share mode; elsewhere an exclusive flock, refused at once when
    // another process holds one). kCreateNew: a new file; fails when the path exists.
    enum Mode { kRead, kUpdate, kCreateNew };
    CPakFile();
    ~CPakFile() override;
    CPakFile(const CPakFile&) = delete;
    CPakFile& operator=(const CPakFile&) = delete;

    // false when the file cannot be opened (or created), or is a folder; Problem() then says
    // why. Any open file is closed first.
    bool Open(const char* path, Mode mode);
    void Close();
    // Why the last Open or WriteAt (or CPakOutput::Create or Commit) failed, e.g. "in use by
    // another process".
    const std::string& Problem() const { return m_problem; }

    uint64_t Size() override;
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override;
    bool WriteAt(uint64_t offset, const void* buffer, size_t count) override;
    bool Flush() override;
    bool Truncate(uint64_t size) override;

protected:
    bool Fail();  // sets Problem() from the platform's last error; returns false
    std::string m_problem;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A new file that appears at its path whole or not at all: written under a temporary name
// beside the path, then flushed and renamed over it by Commit. Without a successful Commit
// the temporary file is removed and the path keeps what it had. (Natively a path that is a
// symbolic link is written through: the file it names is replaced.)
class CPakOutput : public CPakFile {
public:
    ~CPakOutput() override;
    // Refuses a path that exists and is not a regular file.
    bool Create(const char* path);
    // flush false: renamed in without waiting for the disk (the caller flushes many at once).
    bool Commit(bool flush = true);

private:
    bool Replace();  // the temporary file over m_path
    void Discard();
    std::string m_path, m_temp;
};

// True when both paths name one existing file: the same device and inode, on Windows the
// same volume serial number and file index (links and other spellings included).
bool PakSameFile(const char* a, const char* b);

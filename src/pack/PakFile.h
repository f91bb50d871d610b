// Archive files on disk for the merge and gspak: Win32 file handles on Windows, POSIX
// descriptors elsewhere. 64-bit offsets, checked transfers, a flush that reaches the disk.
#pragma once

#include "pack/PakFormat.h"

#include <memory>
#include <string>

class CPakFile : public IPakIo {
public:
    // kRead: read only. kUpdate: read and write an existing file, which no other writer may
    // hold meanwhile: refused at once while another process holds it (PakLockByte). kCreateNew:
    // a new file; fails when the path exists. Anything but a regular file is refused before an
    // open could wait on it (a FIFO, a device).
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
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The lock of a writer, one byte far past any data the format can address, so that no reader
// meets it: on Windows LockFileEx, which Wine carries out as a POSIX record lock; natively an
// open-file-description lock, which conflicts with that one. So gspak under Wine, the program
// and native gspak all see each other's merge (a share mode or a flock is seen by one side only).
constexpr uint64_t PakLockByte = uint64_t{1} << 62;

// A new file that appears at its path whole or not at all: written under a temporary name
// beside the path (PATH.gspak-N.tmp, locked while in use), then flushed and renamed over it by
// Commit, and natively the folder flushed after the rename. Without a successful Commit the
// temporary file is removed and the path keeps what it had. A temporary file of the same path
// that no run holds was left by a killed one: it is taken over or removed. (Natively a path
// that is a symbolic link is written through: the file it names is replaced; on Windows a
// link there is refused.)
class CPakOutput : public CPakFile {
public:
    CPakOutput();
    ~CPakOutput() override;
    // Refuses a path that exists and is not a regular file.
    bool Create(const char* path);
#ifndef _WIN32
    // The same for name in the open folder `folder` (kept open by the caller while the output
    // lives): a link there is refused, and one planted before the rename is replaced, never
    // followed.
    bool CreateIn(int folder, const std::string& name);
#endif
    // flush false: renamed in without waiting for the disk, where the caller flushes many at
    // once (natively); Windows has no such call, so each file is flushed anyway.
    bool Commit(bool flush = true);

private:
    enum Temp { kTaken, kBusy, kError };
    // takeOver: makes temp or takes over one no run holds; otherwise removes it if no run holds
    // it (kTaken), kError when it is absent.
    Temp TakeTemp(const std::string& temp, bool takeOver);
    bool Begin();  // the temporary file, once m_path (and natively m_folder) are set
    bool Replace(bool flush);  // the temporary file over the path
    void Discard();
    struct Folder;
    std::unique_ptr<Folder> m_folder;
    std::string m_path, m_temp;
};

// Whether a file name is one of CPakOutput's temporary names: never an input of a build.
bool PakIsTempName(const std::string& name);

// True when both paths name one existing file: the same device and inode, on Windows the
// same volume serial number and file index (links and other spellings included).
bool PakSameFile(const char* a, const char* b);

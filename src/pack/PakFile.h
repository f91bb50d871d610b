// Archive files on disk for the merge and gspak: Win32 file handles on Windows, POSIX
// descriptors elsewhere. 64-bit offsets, checked transfers, a flush that reaches the disk.
#pragma once

#include "pack/PakFormat.h"

#include <memory>
#include <string>

class CPakFile : public IPakIo {
public:
    enum Mode { kRead, kUpdate, kCreate };  // read only; read and write an existing file; new file
    CPakFile();
    ~CPakFile() override;
    CPakFile(const CPakFile&) = delete;
    CPakFile& operator=(const CPakFile&) = delete;

    // false when the file cannot be opened (or created); any open file is closed first.
    bool Open(const char* path, Mode mode);
    void Close();

    uint64_t Size() override;
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override;
    bool WriteAt(uint64_t offset, const void* buffer, size_t count) override;
    bool Flush() override;
    bool Truncate(uint64_t size) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

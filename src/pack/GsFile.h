// The framework's file object: one buffered file (fopen_s & co.) behind the service interface.
// Every operation has a fixed result when no file is open (see each one); none reports more
// than its result.
#pragma once
#include "base/GsInterface.h"
#include "base/StrFormat.h"

#include <cstdio>
#include <string>

// Open flags.
constexpr int GSFILE_READ = 0x01;
constexpr int GSFILE_WRITE = 0x02;
constexpr int GSFILE_EXISTING = 0x04;  // with READ|WRITE: update an existing file ("r+")
constexpr int GSFILE_APPEND = 0x08;
constexpr int GSFILE_TEXT = 0x10;
constexpr int GSFILE_BINARY = 0x20;  // wins over GSFILE_TEXT

// States returned by GetState.
constexpr int GSFILE_OK = 1;
constexpr int GSFILE_NOT_OPEN = 2;
constexpr int GSFILE_EOF = 3;
constexpr int GSFILE_ERROR = 4;

// Seek origins: 1 current position, 2 end, anything else the start.
constexpr int GSFILE_SEEK_CUR = 1;
constexpr int GSFILE_SEEK_END = 2;
constexpr int GSFILE_SEEK_SET = 0;

class CGsFile : public IGsInterface {
public:
    CGsFile() = default;
    CGsFile(const CGsFile&) = delete;
    CGsFile& operator=(const CGsFile&) = delete;

    // Closes any open file first; keeps the path even when the open fails. 1 on success.
    virtual int Open(const char* path, int flags);
    // Clears the stored path; closes the file if one is open.
    virtual void Close();
    // Transfer count bytes; *done (optional) receives the bytes actually moved. 1 whenever a
    // file is open, even for a short transfer; 0 when none is (done untouched).
    virtual int Read(void* buffer, size_t count, size_t* done);
    virtual int Write(const void* buffer, size_t count, size_t* done);
    // Length in bytes as a 32-bit position; the position is left where it was. 0 when closed.
    virtual long GetSize();
    virtual long Tell();
    virtual int Seek(long offset, int origin);
    virtual int GetState();
    ~CGsFile() override;
    // Write 4, 2 or 1 bytes from value in memory order (little-endian for integers).
    virtual int WriteDword(const void* value, size_t* done);
    virtual int WriteWord(const void* value, size_t* done);
    virtual int WriteByte(const void* value, size_t* done);
    // fgets: at most size - 1 bytes, the line feed kept. Null at end of file, on error, or closed.
    virtual char* ReadLine(char* buffer, int size);
    // fputs result; -1 on failure or when closed. Adds no line feed.
    virtual int WriteString(const char* text);
    // Formats into 512 bytes, adds "\n" and writes it. A line longer than 510 bytes is refused
    // with -1 and nothing written, rather than cut short or overrunning the buffer.
    virtual int PrintLine(const char* format, ...) GS_PRINTF_FORMAT(2, 3);

    const char* GetFileName() const { return m_fileName.c_str(); }
    bool IsOpen() const { return m_fp != nullptr; }

    // The mode text that Open passes to fopen_s for flags, e.g. 0x27 -> "rb+".
    static std::string ModeText(int flags);

private:
    std::string m_fileName;
    FILE* m_fp = nullptr;
};

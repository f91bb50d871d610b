#include "pack/GsFile.h"

#include <cstdarg>
#include <cstring>

CGsFile::~CGsFile()
{
    m_fileName.clear();
    if (m_fp != nullptr) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
}

std::string CGsFile::ModeText(int flags)
{
    const bool read = (flags & GSFILE_READ) != 0;
    const bool write = (flags & GSFILE_WRITE) != 0;
    std::string mode;
    if (read && write)
        mode = (flags & GSFILE_APPEND) ? "a" : (flags & GSFILE_EXISTING) ? "r" : "w";
    else if (write)
        mode = (flags & GSFILE_APPEND) ? "a" : "w";
    else
        mode = "r";
    if (flags & GSFILE_BINARY)
        mode += 'b';
    else if (flags & GSFILE_TEXT)
        mode += 't';
    if (read && write)
        mode += '+';
    return mode;
}

int CGsFile::Open(const char* path, int flags)
{
    Close();
    m_fileName = path;
    FILE* fp = nullptr;
    if (fopen_s(&fp, path, ModeText(flags).c_str()) != 0 || fp == nullptr)
        return 0;
    m_fp = fp;
    return 1;
}

void CGsFile::Close()
{
    m_fileName.clear();
    if (m_fp != nullptr) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
}

int CGsFile::Read(void* buffer, size_t count, size_t* done)
{
    if (m_fp == nullptr)
        return 0;
    size_t n = std::fread(buffer, 1, count, m_fp);
    if (done != nullptr)
        *done = n;
    return 1;
}

int CGsFile::Write(const void* buffer, size_t count, size_t* done)
{
    if (m_fp == nullptr)
        return 0;
    size_t n = std::fwrite(buffer, 1, count, m_fp);
    if (done != nullptr)
        *done = n;
    return 1;
}

long CGsFile::GetSize()
{
    if (m_fp == nullptr)
        return 0;
    long here = std::ftell(m_fp);
    std::fseek(m_fp, 0, SEEK_END);
    long size = std::ftell(m_fp);
    std::fseek(m_fp, here, SEEK_SET);
    return size;
}

long CGsFile::Tell()
{
    if (m_fp == nullptr)
        return 0;
    return std::ftell(m_fp);
}

int CGsFile::Seek(long offset, int origin)
{
    if (m_fp == nullptr)
        return 0;
    int whence = origin == GSFILE_SEEK_CUR ? SEEK_CUR : origin == GSFILE_SEEK_END ? SEEK_END : SEEK_SET;
    return std::fseek(m_fp, offset, whence) == 0 ? 1 : 0;
}

int CGsFile::GetState()
{
    if (m_fp == nullptr)
        return GSFILE_NOT_OPEN;
    if (std::feof(m_fp))
        return GSFILE_EOF;
    if (std::ferror(m_fp))
        return GSFILE_ERROR;
    return GSFILE_OK;
}

int CGsFile::WriteDword(const void* value, size_t* done)
{
    return Write(value, 4, done);
}

int CGsFile::WriteWord(const void* value, size_t* done)
{
    return Write(value, 2, done);
}

int CGsFile::WriteByte(const void* value, size_t* done)
{
    return Write(value, 1, done);
}

char* CGsFile::ReadLine(char* buffer, int size)
{
    if (m_fp == nullptr)
        return nullptr;
    return std::fgets(buffer, size, m_fp);
}

int CGsFile::WriteString(const char* text)
{
    if (m_fp == nullptr)
        return -1;
    int result = std::fputs(text, m_fp);
    return result >= 0 ? result : -1;
}

int CGsFile::PrintLine(const char* format, ...)
{
    if (m_fp == nullptr)
        return -1;
    char line[512] = {};
    va_list args;
    va_start(args, format);
    // Bounded: a text that would not leave room for the line feed is refused, not truncated,
    // so a caller never gets a silently shortened line in its file.
    int n = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) > sizeof line - 2)
        return -1;
    strcat_s(line, sizeof line, "\n");
    return std::fputs(line, m_fp);
}

// The progress line of gspak's long commands, on standard error: bytes done of the total, a
// rate and the time left, redrawn in place a few times a second. Shown only when standard
// error is a terminal, the work has lasted over a second, and not --quiet; the output that
// scripts read (standard output) never carries it.
#pragma once

#include "pack/PakFormat.h"

#include <chrono>
#include <cstdint>

extern bool g_quiet;  // --quiet

class CProgress {
public:
    explicit CProgress(uint64_t total);
    ~CProgress();  // ends a drawn line
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;
    void Set(uint64_t done);  // never goes back
    void Add(uint64_t count) { Set(m_done + count); }

private:
    void Draw();
    using Clock = std::chrono::steady_clock;
    const uint64_t m_total;
    const bool m_shown;
    uint64_t m_done = 0;
    bool m_drawn = false;
    Clock::time_point m_start, m_last;
};

// A file whose writes move a progress line.
class CProgressIo : public IPakIo {
public:
    CProgressIo(IPakIo& io, CProgress& progress) : m_io(io), m_progress(progress) {}
    uint64_t Size() override { return m_io.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override { return m_io.ReadAt(offset, buffer, count); }
    bool WriteAt(uint64_t offset, const void* buffer, size_t count) override
    {
        m_progress.Add(count);
        return m_io.WriteAt(offset, buffer, count);
    }
    bool Flush() override { return m_io.Flush(); }
    bool Truncate(uint64_t size) override { return m_io.Truncate(size); }

private:
    IPakIo& m_io;
    CProgress& m_progress;
};

#include "Progress.h"

#include "HostFs.h"

#include <algorithm>
#include <cstdio>
#include <string>

bool g_quiet = false;

CProgress::CProgress(uint64_t total)
    : m_total(total), m_shown(!g_quiet && total > 0 && StderrIsTerminal()), m_start(Clock::now()), m_last(m_start)
{
}

CProgress::~CProgress()
{
    if (m_drawn) {
        m_last = Clock::now();
        Draw();
        std::fputc('\n', stderr);
    }
}

void CProgress::Set(uint64_t done)
{
    m_done = std::min(std::max(done, m_done), m_total);
    if (!m_shown)
        return;
    const Clock::time_point now = Clock::now();
    if (now - m_start < std::chrono::seconds(1) || (m_drawn && now - m_last < std::chrono::milliseconds(250)))
        return;
    m_last = now;
    Draw();
}

namespace {
std::string Bytes(double n)
{
    const char* unit[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int u = 0;
    for (; n >= 1024 && u < 4; ++u)
        n /= 1024;
    char text[32];
    std::snprintf(text, sizeof text, u == 0 ? "%.0f %s" : "%.1f %s", n, unit[u]);
    return text;
}
}  // namespace

void CProgress::Draw()
{
    const double seconds = std::chrono::duration<double>(m_last - m_start).count();
    const double rate = seconds > 0 ? static_cast<double>(m_done) / seconds : 0;
    char left[32] = "";
    if (rate > 0)
        std::snprintf(left, sizeof left, ", %.0f s left", static_cast<double>(m_total - m_done) / rate);
    // Trailing spaces wipe the rest of a longer earlier line.
    std::fprintf(stderr, "\r%s of %s, %s/s%s    ", Bytes(static_cast<double>(m_done)).c_str(),
                 Bytes(static_cast<double>(m_total)).c_str(), Bytes(rate).c_str(), left);
    std::fflush(stderr);
    m_drawn = true;
}

#include "files/GsCopyCheck.h"

#include <chrono>
#include <memory>

namespace {
// Small enough to stay in the hashing core's own cache between the read and the hash.
constexpr DWORD kPiece = 256u << 10;

// Waits for `done`: a piece is written in well under a millisecond, so the wait spins briefly,
// then yields, and sleeps only once the copy has been idle for a while. A condition variable's
// every wait and wake would be a round trip to the wine server.
template <typename Done>
void Await(Done done)
{
    for (unsigned spins = 0; !done(); ++spins) {
        if (spins < 64)
            continue;
        if (spins < 20000)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
}  // namespace

CGsCopyCheck::~CGsCopyCheck()
{
    Stop(true);
}

void CGsCopyCheck::Created(const char* path)
{
    // Delete sharing: a failed copy removes its file whatever this handle is still doing.
    m_file.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file) {
        m_failed = true;
        return;
    }
    m_worker = std::thread(&CGsCopyCheck::Run, this);
}

void CGsCopyCheck::Written(uint64_t bytes)
{
    m_written.store(bytes, std::memory_order_release);
}

void CGsCopyCheck::Abandon()
{
    Stop(true);
}

void CGsCopyCheck::Stop(bool abandon)
{
    if (abandon)
        m_abandon.store(true, std::memory_order_release);
    m_ended.store(true, std::memory_order_release);
    if (m_worker.joinable())
        m_worker.join();
    m_file.Reset();
}

bool CGsCopyCheck::Final(GsDigest* digest)
{
    Stop(false);
    return !m_failed && !m_abandon.load(std::memory_order_relaxed) && m_hash.Final(digest);
}

void CGsCopyCheck::Run()
{
    std::unique_ptr<char[]> buffer(new char[kPiece]);
    uint64_t hashed = 0;
    for (;;) {
        uint64_t written = 0;
        bool ended = false;
        Await([&] {
            // Ended first: a total read after it is the final one.
            ended = m_ended.load(std::memory_order_acquire);
            written = m_written.load(std::memory_order_acquire);
            return written > hashed || ended;
        });
        if (m_abandon.load(std::memory_order_acquire))
            return;
        if (written == hashed)
            return;  // ended, everything hashed
        uint64_t left = written - hashed;
        DWORD want = left < kPiece ? static_cast<DWORD>(left) : kPiece, read = 0;
        if (!ReadFile(m_file.Get(), buffer.get(), want, &read, nullptr) || read != want) {
            m_failed = true;
            return;
        }
        m_hash.Update(buffer.get(), read);
        hashed += read;
    }
}

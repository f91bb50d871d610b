// SHA-256 of the file a copy writes, read back on a thread of its own while the copy goes on.
// Reading the new file rather than the copy's buffers lets the hash fall behind without holding
// the copy up: the copy, then the flush of the new file, run while the hash catches up (it is
// the slower of the two), and the copy's freshly written bytes come from the cache, not from
// the medium a second time. What is hashed is what the new file holds.
#pragma once
#include "base/GsSha256.h"
#include "base/ScopedWin.h"
#include "files/GsFileHash.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>

// Told by a copy routine what it has written to the new file.
class GsCopyObserver {
public:
    virtual ~GsCopyObserver() = default;
    // The new file exists (and is shared for reading).
    virtual void Created(const char* path) = 0;
    // `bytes` (the total so far) are written.
    virtual void Written(uint64_t bytes) = 0;
    // The copy failed: the file is about to be removed and must not be held open.
    virtual void Abandon() = 0;
};

class CGsCopyCheck : public GsCopyObserver {
public:
    CGsCopyCheck() = default;
    ~CGsCopyCheck() override;
    CGsCopyCheck(const CGsCopyCheck&) = delete;
    CGsCopyCheck& operator=(const CGsCopyCheck&) = delete;

    void Created(const char* path) override;
    void Written(uint64_t bytes) override;
    void Abandon() override;
    // Once the copy is complete: waits for the hash of everything written and lets the file
    // go. False when the new file could not be read back or hashed.
    bool Final(GsDigest* digest);

private:
    void Run();
    void Stop(bool abandon);

    CGsFileHash m_hash;
    ScopedFile m_file;
    std::atomic<uint64_t> m_written{0};
    // Set once nothing more will be written (m_abandon: nothing more is wanted either).
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_abandon{false};
    bool m_failed = false;
    std::thread m_worker;
};

// SHA-256 of what the copy engine reads. The project's own code with the processor's SHA
// instructions; without them the platform's (CNG), which Windows runs with its own vector code.
// Under Wine 8 CNG is plain C, several times slower than the copy.
#pragma once
#include "base/GsSha256.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

class CGsFileHash {
public:
    enum Kind { kBest, kOwn, kPlatform };
    explicit CGsFileHash(Kind kind = kBest);
    ~CGsFileHash();
    CGsFileHash(const CGsFileHash&) = delete;
    CGsFileHash& operator=(const CGsFileHash&) = delete;

    void Update(const void* data, size_t size);
    // False when the platform's hash failed at any point.
    bool Final(GsDigest* digest);

private:
    struct Platform;
    std::unique_ptr<GsSha256> m_own;
    std::unique_ptr<Platform> m_platform;
    bool m_failed = false;
};

// The whole file's digest (the platform's or own hash as above); false when it cannot be read.
bool GsHashFile(const char* path, GsDigest* digest);

// Told after a file's path (system texts, code page 932): its bytes differ from the medium's
// SHA256SUMS; the list does not name it.
extern const char kGsDamagedText[];
extern const char kGsUnlistedText[];
extern const char kGsCheckCaption[];

// Receives every chunk a checked copy reads, in order. A chunk's bytes stay valid until the
// call after the next one returns, so a sink may work on one chunk while the next is read.
class GsChunkSink {
public:
    virtual ~GsChunkSink() = default;
    virtual void Take(const char* bytes, size_t size) = 0;
    // Returns once no chunk is in use any more: before the copy frees its buffers.
    virtual void Wait() = 0;
};

// Hashes the chunks on a thread of its own, beside the copy's reads and writes: Take waits only
// for the chunk before, whose buffer the copy is about to fill again.
class CGsHashingSink : public GsChunkSink {
public:
    CGsHashingSink();
    ~CGsHashingSink() override;
    void Take(const char* bytes, size_t size) override;
    void Wait() override;
    bool Final(GsDigest* digest);

private:
    void Run();

    CGsFileHash m_hash;
    // The chunk handed over, null while the worker is free. Handed over through atomics, not a
    // condition variable: under Wine every wait and wake of one is a round trip to the wine
    // server, and two of those per chunk made the checked copy take twice the unchecked one.
    std::atomic<const char*> m_bytes{nullptr};
    std::atomic<size_t> m_size{0};
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

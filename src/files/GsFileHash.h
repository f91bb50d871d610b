// SHA-256 of what the copy engine reads. The project's own code with the processor's SHA
// instructions; without them the platform's (CNG), which Windows runs with its own vector code.
// Under Wine 8 CNG is plain C, several times slower than the copy.
#pragma once
#include "base/GsSha256.h"

#include <windows.h>

#include <memory>

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

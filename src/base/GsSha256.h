// SHA-256 (FIPS 180-4) for checking a medium against its SHA256SUMS while it is copied. Uses the
// processor's SHA instructions where it has them: without them the hash cannot keep up with a
// copy from the page cache. Portable; the Windows build falls back to the platform's hash on
// processors without them (files/GsFileHash.h).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using GsDigest = std::array<uint8_t, 32>;

class GsSha256 {
public:
    // `shaInstructions` false forces the plain code (tests compare both).
    explicit GsSha256(bool shaInstructions = ProcessorHasSha());
    void Update(const void* data, size_t size);
    // The digest of everything given; the object starts over afterwards.
    GsDigest Final();

    static bool ProcessorHasSha();

private:
    void Reset();
    void Blocks(const uint8_t* data, size_t count);

    uint32_t m_state[8];
    uint8_t m_pending[64];
    size_t m_pendingSize = 0;
    uint64_t m_length = 0;
    bool m_shaInstructions;
};

// 64 lowercase hexadecimal digits, as sha256sum writes them.
std::string GsDigestHex(const GsDigest& digest);
// Reads exactly 64 hexadecimal digits (either case) at `text`; false on anything else.
bool GsParseDigestHex(const char* text, size_t length, GsDigest* digest);

#include "base/GsSha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#define GS_SHA_X86 1
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#define GS_TARGET_SHA
#else
#include <cpuid.h>
#define GS_TARGET_SHA __attribute__((target("sha,sse4.1")))
#endif
#endif

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PlainBlocks(uint32_t* state, const uint8_t* data, size_t count)
{
    for (; count > 0; --count, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(data[4 * i]) << 24 | uint32_t(data[4 * i + 1]) << 16 | uint32_t(data[4 * i + 2]) << 8 | data[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
            uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g; g = f; f = e; e = d + t1;
            d = c; c = b; b = a; a = t1 + t2;
        }
        state[0] += a; state[1] += b; state[2] += c; state[3] += d;
        state[4] += e; state[5] += f; state[6] += g; state[7] += h;
    }
}

#ifdef GS_SHA_X86
// The SHA extensions keep the state as ABEF and CDGH; each sha256rnds2 does two rounds.
GS_TARGET_SHA void ShaBlocks(uint32_t* state, const uint8_t* data, size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, data += 64) {
        const __m128i abefSaved = abef, cdghSaved = cdgh;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
        // Group i does rounds 4i..4i+3 with w[i & 3] and extends the schedule four words ahead.
        for (int i = 0; i < 16; ++i) {
            __m128i& cur = w[i & 3];
            __m128i& prev = w[(i + 3) & 3];
            __m128i k = _mm_add_epi32(cur, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
            if (i >= 3 && i <= 14) {
                __m128i& next = w[(i + 1) & 3];
                next = _mm_sha256msg2_epu32(_mm_add_epi32(next, _mm_alignr_epi8(cur, prev, 4)), cur);
            }
            if (i >= 1 && i <= 12)
                prev = _mm_sha256msg1_epu32(prev, cur);
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

bool GsSha256::ProcessorHasSha()
{
#ifdef GS_SHA_X86
    int leaf7[4] = {}, leaf1[4] = {};
#if defined(_MSC_VER)
    __cpuid(leaf1, 1);
    __cpuidex(leaf7, 7, 0);
#else
    unsigned r[4];
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid(1, r[0], r[1], r[2], r[3]);
    leaf1[2] = static_cast<int>(r[2]);
    __cpuid_count(7, 0, r[0], r[1], r[2], r[3]);
    leaf7[1] = static_cast<int>(r[1]);
#endif
    const bool ssse3 = (leaf1[2] & (1 << 9)) != 0, sse41 = (leaf1[2] & (1 << 19)) != 0;
    return ssse3 && sse41 && (leaf7[1] & (1 << 29)) != 0;
#else
    return false;
#endif
}

GsSha256::GsSha256(bool shaInstructions) : m_shaInstructions(shaInstructions && ProcessorHasSha())
{
    Reset();
}

void GsSha256::Reset()
{
    static const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(m_state, kInitial, sizeof m_state);
    m_pendingSize = 0;
    m_length = 0;
}

void GsSha256::Blocks(const uint8_t* data, size_t count)
{
#ifdef GS_SHA_X86
    if (m_shaInstructions)
        return ShaBlocks(m_state, data, count);
#endif
    PlainBlocks(m_state, data, count);
}

void GsSha256::Update(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_length += size;
    if (m_pendingSize > 0) {
        size_t take = std::min(size, sizeof m_pending - m_pendingSize);
        std::memcpy(m_pending + m_pendingSize, bytes, take);
        m_pendingSize += take;
        bytes += take;
        size -= take;
        if (m_pendingSize < sizeof m_pending)
            return;
        Blocks(m_pending, 1);
        m_pendingSize = 0;
    }
    Blocks(bytes, size / 64);
    bytes += size / 64 * 64;
    m_pendingSize = size % 64;
    std::memcpy(m_pending, bytes, m_pendingSize);
}

GsDigest GsSha256::Final()
{
    const uint64_t bits = m_length * 8;
    uint8_t tail[72] = {0x80};
    size_t padding = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
    for (int i = 0; i < 8; ++i)
        tail[padding + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(tail, padding + 8);
    GsDigest digest;
    for (int i = 0; i < 32; ++i)
        digest[i] = static_cast<uint8_t>(m_state[i / 4] >> (24 - 8 * (i % 4)));
    Reset();
    return digest;
}

std::string GsDigestHex(const GsDigest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

bool GsParseDigestHex(const char* text, size_t length, GsDigest* digest)
{
    if (length != 64)
        return false;
    for (size_t i = 0; i < 64; ++i) {
        char c = text[i];
        int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (value < 0)
            return false;
        (*digest)[i / 2] = static_cast<uint8_t>(i % 2 == 0 ? value << 4 : (*digest)[i / 2] | value);
    }
    return true;
}

#include "pack/GsLzss.h"

#include <climits>
#include <cstddef>
#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

constexpr int kStart = LZSS_RING_SIZE - LZSS_MAX_MATCH; // 4078, first ring position written
constexpr int kMirror = LZSS_MAX_MATCH - 1;              // ring bytes repeated after 4095
constexpr int kRoot = LZSS_RING_SIZE + 1;                // m_right index of the root for byte 0

inline uint64_t Load64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Index of the lowest differing byte of two little-endian loads whose xor x is non-zero.
inline int FirstDiffByte(uint64_t x)
{
#if defined(__GNUC__)
    return __builtin_ctzll(x) >> 3;
#elif defined(_MSC_VER) && defined(_M_X64)
    unsigned long bit;
    _BitScanForward64(&bit, x);
    return static_cast<int>(bit >> 3);
#else
    int n = 0;
    while ((x & 0xFF) == 0) {
        x >>= 8;
        ++n;
    }
    return n;
#endif
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kWordCompare = false;
#else
constexpr bool kWordCompare = true;
#endif

// Number of equal leading bytes of two 18-byte keys whose first bytes are known to be equal
// (1 to 18), and the sign of the first difference as unsigned bytes. Reads a[0..17] and
// b[0..17] only, so keys that start anywhere in the ring stay inside its mirror.
inline int MatchKeys(const unsigned char* a, const unsigned char* b, int& cmp)
{
    if (kWordCompare) {
        uint64_t x = Load64(a + 1) ^ Load64(b + 1);
        int i = 1;
        if (x == 0) {
            x = Load64(a + 9) ^ Load64(b + 9);
            i = 9;
        }
        if (x != 0) {
            i += FirstDiffByte(x);
            cmp = a[i] - b[i];
            return i;
        }
        cmp = a[17] - b[17];
        return cmp != 0 ? 17 : LZSS_MAX_MATCH;
    }
    int i = 1;
    while (i < LZSS_MAX_MATCH && a[i] == b[i])
        ++i;
    cmp = i < LZSS_MAX_MATCH ? a[i] - b[i] : 0;
    return i;
}

// Copies len bytes from an earlier part of the same buffer, byte by byte where the two
// overlap (a match may repeat the bytes it is producing). Writes exactly len bytes.
inline void CopyMatch(unsigned char* out, size_t dist, size_t len)
{
    const unsigned char* from = out - dist;
    if (dist >= len) {
        // Disjoint: two overlapping fixed-size moves cover 3..18 bytes exactly.
        unsigned char tmp[16];
        size_t chunk = len >= 16 ? 16 : len >= 8 ? 8 : len >= 4 ? 4 : 2;
        std::memcpy(tmp, from, chunk);
        std::memcpy(out, tmp, chunk);
        std::memcpy(tmp, from + len - chunk, chunk);
        std::memcpy(out + len - chunk, tmp, chunk);
    } else if (dist == 1) {
        std::memset(out, from[0], len);
    } else {
        for (size_t i = 0; i < len; ++i)
            out[i] = from[i];
    }
}

} // namespace

CGsLZSS::CGsLZSS()
    : m_codeSize(0), m_ring(), m_parent(), m_left(), m_right(), m_matchPos(0), m_matchLen(0),
      m_expandedSize(0)
{
}

CGsLZSS::~CGsLZSS() = default;

// Adds ring position r to the tree of its first byte and leaves the longest match among the
// positions already there in m_matchPos/m_matchLen. Only a strictly longer match replaces the
// best so far, so the first node met on the way down wins among equals; at a full match r
// takes the older node's place in the tree.
void CGsLZSS::InsertNode(int r)
{
    const unsigned char* key = &m_ring[r];
    int p = kRoot + key[0];
    m_right[r] = m_left[r] = LZSS_NIL;
    int best = 0;
    int cmp = 1;
    for (;;) {
        int32_t* link = (cmp >= 0 ? m_right : m_left) + p;
        if (*link == LZSS_NIL) {
            *link = r;
            m_parent[r] = p;
            m_matchLen = best;
            return;
        }
        p = *link;
        int i = MatchKeys(key, &m_ring[p], cmp);
        if (i > best) {
            m_matchPos = p;
            best = i;
            if (i >= LZSS_MAX_MATCH)
                break;
        }
    }
    m_matchLen = best;
    m_parent[r] = m_parent[p];
    m_left[r] = m_left[p];
    m_right[r] = m_right[p];
    m_parent[m_left[p]] = r;
    m_parent[m_right[p]] = r;
    if (m_right[m_parent[p]] == p)
        m_right[m_parent[p]] = r;
    else
        m_left[m_parent[p]] = r;
    m_parent[p] = LZSS_NIL;
}

// Removes ring position p from its tree before the position is overwritten. Links may point
// at the nil node 4096, whose parent entry is scratch; roots are only ever right parents.
void CGsLZSS::DeleteNode(int p)
{
    if (m_parent[p] == LZSS_NIL)
        return;
    int q;
    if (m_right[p] == LZSS_NIL) {
        q = m_left[p];
    } else if (m_left[p] == LZSS_NIL) {
        q = m_right[p];
    } else {
        q = m_left[p];
        if (m_right[q] != LZSS_NIL) {
            do {
                q = m_right[q];
            } while (m_right[q] != LZSS_NIL);
            m_right[m_parent[q]] = m_left[q];
            m_parent[m_left[q]] = m_parent[q];
            m_left[q] = m_left[p];
            m_parent[m_left[p]] = q;
        }
        m_right[q] = m_right[p];
        m_parent[m_right[p]] = q;
    }
    m_parent[q] = m_parent[p];
    if (m_right[m_parent[p]] == p)
        m_right[m_parent[p]] = q;
    else
        m_left[m_parent[p]] = q;
    m_parent[p] = LZSS_NIL;
}

int CGsLZSS::Compress(const void* srcData, void* dstData, int srcLen, int /*dstCapacity*/)
{
    const unsigned char* src = static_cast<const unsigned char*>(srcData);
    unsigned char* const dst = static_cast<unsigned char*>(dstData);

    m_codeSize = 0;
    m_matchPos = 0;
    m_matchLen = 0;
    for (int i = kRoot; i < kRoot + 256; ++i)
        m_right[i] = LZSS_NIL;
    for (int i = 0; i < LZSS_RING_SIZE; ++i)
        m_parent[i] = LZSS_NIL;
    // The whole ring, not only the part before the start position: the look-ahead beyond a
    // short source is compared too, and stale bytes there would make equal sources give
    // different (though equally valid) streams.
    std::memset(m_ring, 0, sizeof m_ring);
    if (srcLen <= 0)
        return 0;

    const unsigned char* const srcEnd = src + srcLen;
    int s = 0;
    int r = kStart;
    int len = 0;
    while (len < LZSS_MAX_MATCH && src < srcEnd)
        m_ring[r + len++] = *src++;
    for (int i = 1; i <= LZSS_MAX_MATCH; ++i)
        InsertNode(r - i);
    InsertNode(r);

    // Items go straight to dst; a group's flag byte is reserved when its first item comes.
    unsigned char* out = dst;
    unsigned char* flag = nullptr;
    unsigned mask = 0;
    do {
        if (mask == 0) {
            flag = out++;
            *flag = 0;
            mask = 1;
        }
        if (m_matchLen > len)
            m_matchLen = len;
        if (m_matchLen <= LZSS_THRESHOLD) {
            m_matchLen = 1;
            *flag |= static_cast<unsigned char>(mask);
            *out++ = m_ring[r];
        } else {
            out[0] = static_cast<unsigned char>(m_matchPos);
            out[1] = static_cast<unsigned char>(((m_matchPos >> 4) & 0xF0) |
                                                (m_matchLen - (LZSS_THRESHOLD + 1)));
            out += 2;
        }
        mask = (mask << 1) & 0xFF;

        const int last = m_matchLen;
        int i = 0;
        for (; i < last && src < srcEnd; ++i) {
            const unsigned char x = *src++;
            DeleteNode(s);
            m_ring[s] = x;
            if (s < kMirror)
                m_ring[s + LZSS_RING_SIZE] = x;
            s = (s + 1) & (LZSS_RING_SIZE - 1);
            r = (r + 1) & (LZSS_RING_SIZE - 1);
            InsertNode(r);
        }
        for (; i < last; ++i) {
            DeleteNode(s);
            s = (s + 1) & (LZSS_RING_SIZE - 1);
            r = (r + 1) & (LZSS_RING_SIZE - 1);
            if (--len != 0)
                InsertNode(r);
        }
    } while (len > 0);

    m_codeSize = static_cast<int32_t>(out - dst);
    return m_codeSize;
}

int CGsLZSS::Decompress(const void* srcData, void* dstData, int srcLen, int dstCapacity)
{
    const unsigned char* const src = static_cast<const unsigned char*>(srcData);
    unsigned char* const dst = static_cast<unsigned char*>(dstData);
    const size_t n = srcLen > 0 ? static_cast<size_t>(srcLen) : 0;
    const size_t cap = dstCapacity > 0 ? static_cast<size_t>(dstCapacity) : SIZE_MAX;
    constexpr size_t kGroupIn = 16;    // item bytes of a full group
    constexpr size_t kGroupOut = 144;  // most bytes a full group produces

    // The ring is not kept: ring position p holds the output byte whose ring position was p
    // most recently, so a match reads the output itself, (r - p) mod 4096 bytes back (4096
    // when p == r). Before the first 4096 bytes that reaches in front of the output, into
    // the zero-filled start of the ring (all of it, so that even a stream that reads
    // positions not yet written expands the same way every time).
    size_t in = 0;
    size_t out = 0;
    int result = 1;
    while (in < n) {
        unsigned flags = src[in++];
        if (out >= LZSS_RING_SIZE && n - in >= kGroupIn && cap - out >= kGroupOut) {
            for (int k = 0; k < 8; ++k, flags >>= 1) {
                if (flags & 1) {
                    dst[out++] = src[in++];
                } else {
                    const unsigned b0 = src[in], b1 = src[in + 1];
                    in += 2;
                    const size_t pos = b0 | ((b1 & 0xF0) << 4);
                    const size_t len = (b1 & 0x0F) + LZSS_THRESHOLD + 1;
                    const size_t dist = ((out + kStart - pos - 1) & (LZSS_RING_SIZE - 1)) + 1;
                    CopyMatch(dst + out, dist, len);
                    out += len;
                }
            }
            continue;
        }
        // Careful path: near either end, or within the first ring's worth of output.
        for (int k = 0; k < 8; ++k, flags >>= 1) {
            if (flags & 1) {
                if (in >= n)
                    goto done;
                if (out >= cap) {
                    result = 0;
                    goto done;
                }
                dst[out++] = src[in++];
            } else {
                if (n - in < 2)
                    goto done;
                const unsigned b0 = src[in], b1 = src[in + 1];
                in += 2;
                const size_t pos = b0 | ((b1 & 0xF0) << 4);
                size_t len = (b1 & 0x0F) + LZSS_THRESHOLD + 1;
                const size_t dist = ((out + kStart - pos - 1) & (LZSS_RING_SIZE - 1)) + 1;
                if (cap - out < len) {
                    len = cap - out;
                    result = 0;
                }
                for (size_t j = 0; j < len; ++j, ++out)
                    dst[out] = out >= dist ? dst[out - dist] : 0;
                if (result == 0)
                    goto done;
            }
        }
    }
done:
    m_expandedSize = out > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int32_t>(out);
    return result;
}

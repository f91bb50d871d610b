#include "pack/GsLzss.h"

#include <climits>
#include <cstddef>
#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

#if defined(__GNUC__)
#define GS_HOT_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define GS_HOT_INLINE __forceinline
#else
#define GS_HOT_INLINE inline
#endif

namespace {

constexpr int kStart = LZSS_RING_SIZE - LZSS_MAX_MATCH; // 4078, first ring position written
constexpr int kMirror = LZSS_MAX_MATCH - 1;              // ring bytes repeated after 4095
constexpr int kRoot = LZSS_RING_SIZE + 1;                // m_right index of the root for byte 0
constexpr size_t kReportStep = size_t{1} << 20;

// Eight bytes as a big-endian number, so that comparing two of them as integers orders
// them like their bytes compared one by one.
inline uint64_t LoadBE64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return v;
#elif defined(__GNUC__)
    return __builtin_bswap64(v);
#elif defined(_MSC_VER)
    return _byteswap_uint64(v);
#else
    uint64_t r = 0;
    for (int i = 0; i < 8; ++i)
        r = (r << 8) | p[i];
    return r;
#endif
}

// Number of equal leading bytes of two different big-endian words.
inline int EqualLeadingBytes(uint64_t a, uint64_t b)
{
    uint64_t x = a ^ b;
#if defined(__GNUC__)
    return __builtin_clzll(x) >> 3;
#elif defined(_MSC_VER) && defined(_M_X64)
    // Not __lzcnt64: on processors without LZCNT it silently runs as BSR.
    unsigned long bit;
    _BitScanReverse64(&bit, x);
    return static_cast<int>((63 - bit) >> 3);
#else
    int n = 0;
    while ((x & 0xFF00000000000000ull) == 0) {
        x <<= 8;
        ++n;
    }
    return n;
#endif
}

// All bits set when link is a node, none when it is nil. A shift and a subtraction: a mask
// made from a compare takes several more instructions on the walk's critical path.
static_assert(LZSS_NIL == 1 << 12, "links below nil are nodes");
inline ptrdiff_t IfNode(ptrdiff_t link)
{
    return (link >> 12) - 1;
}

// a where mask is all ones, b where it is zero; no jump.
inline ptrdiff_t Select(ptrdiff_t mask, ptrdiff_t a, ptrdiff_t b)
{
    return (a & mask) | (b & ~mask);
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

// Repeats the last dist bytes before out until len bytes are written (dist < len <= 18).
// May write up to 24 bytes.
inline void CopyRepeatWild(unsigned char* out, size_t dist, size_t len)
{
    const unsigned char* from = out - dist;
    unsigned char pattern[8];
    if (dist >= 8) {
        for (size_t i = 0; i < len; i += 8)
            std::memcpy(out + i, out + i - dist, 8);
        return;
    }
    if (dist == 1 || dist == 2 || dist == 4) {
        // Periods that divide 8: one 8-byte pattern, stored three times.
        for (size_t i = 0; i < 8; ++i)
            pattern[i] = from[i % dist];
        std::memcpy(out, pattern, 8);
        std::memcpy(out + 8, pattern, 8);
        std::memcpy(out + 16, pattern, 8);
        return;
    }
    for (size_t i = 0; i < len; ++i)
        out[i] = from[i];
}

} // namespace

CGsLZSS::CGsLZSS()
    : m_codeSize(0), m_ring(), m_parent(), m_left(), m_right(), m_matchPos(0), m_matchLen(0),
      m_expandedSize(0)
{
}

CGsLZSS::~CGsLZSS() = default;

// The right or the left link of node (or root) p, the address selected by mask: which
// side is data, as good as random to a branch predictor.
GS_HOT_INLINE int32_t* CGsLZSS::SideLink(int p, bool right)
{
    const uintptr_t toRight = reinterpret_cast<uintptr_t>(m_right) + sizeof(int32_t) * p;
    const uintptr_t toLeft = reinterpret_cast<uintptr_t>(m_left) + sizeof(int32_t) * p;
    const uintptr_t isRight = uintptr_t{0} - static_cast<uintptr_t>(right);
    return reinterpret_cast<int32_t*>(toLeft ^ ((toLeft ^ toRight) & isRight));
}

// The link of node dad that points at its child p. Which side p hangs on is data, as good
// as random to a branch predictor, hence SideLink; roots (above 4096) have only right
// links, and p is always their right child.
GS_HOT_INLINE int32_t* CGsLZSS::ChildLink(int dad, int p)
{
    return SideLink(dad, m_right[dad] == p);
}

// Adds ring position r to the tree of its first byte and leaves the longest match among the
// positions already there in m_matchPos/m_matchLen. Only a strictly longer match replaces the
// best so far, so the first node met on the way down wins among equals; at a full match r
// takes the older node's place in the tree.
//
// Keys are compared as two big-endian words (bytes 1-8 and 9-16) and byte 17; byte 0 is the
// tree's own. That gives the same lengths and directions as comparing byte by byte, in a few
// instructions.
GS_HOT_INLINE void CGsLZSS::InsertNode(int r)
{
    const unsigned char* key = &m_ring[r];
    const uint64_t k1 = LoadBE64(key + 1);
    const uint64_t k2 = LoadBE64(key + 9);
    const unsigned k3 = key[17];
    ptrdiff_t p = kRoot + key[0];
    m_right[r] = m_left[r] = LZSS_NIL;
    int best = 0;
    ptrdiff_t bestPos = m_matchPos;
    ptrdiff_t next = m_right[p];
    bool right = true;
    while (next != LZSS_NIL) {
        p = next;
        // Both children are fetched together with the key, so that choosing between them
        // does not wait for another load. The direction is data, as good as random to a
        // branch predictor: the choice compiles to a conditional move, not a jump.
        const ptrdiff_t left = m_left[p];
        const ptrdiff_t rightChild = m_right[p];
        // Indexed from the ring itself, so that each load is one addressing mode, with no
        // address computed on the way down.
        const uint64_t n1 = LoadBE64(m_ring + 1 + p);
        const uint64_t n2 = LoadBE64(m_ring + 9 + p);
        const unsigned n3 = m_ring[17 + p];
        right = k1 != n1 ? k1 > n1 : k2 != n2 ? k2 > n2 : k3 >= n3;
        next = right ? rightChild : left;
        int i;
        if (k1 != n1)
            i = 1 + EqualLeadingBytes(k1, n1);
        else if (k2 != n2)
            i = 9 + EqualLeadingBytes(k2, n2);
        else
            i = k3 != n3 ? 17 : LZSS_MAX_MATCH;
        const bool better = i > best;
        bestPos = better ? p : bestPos;
        best = better ? i : best;
        if (i == LZSS_MAX_MATCH) {
            m_matchPos = static_cast<int32_t>(bestPos);
            m_matchLen = best;
            ReplaceNode(static_cast<int>(p), r);
            return;
        }
    }
    *SideLink(static_cast<int>(p), right) = r;
    m_parent[r] = static_cast<int32_t>(p);
    m_matchPos = static_cast<int32_t>(bestPos);
    m_matchLen = best;
}

// Puts position r in p's place in its tree; p leaves the tree.
GS_HOT_INLINE void CGsLZSS::ReplaceNode(int p, int r)
{
    m_parent[r] = m_parent[p];
    m_left[r] = m_left[p];
    m_right[r] = m_right[p];
    m_parent[m_left[p]] = r;
    m_parent[m_right[p]] = r;
    *ChildLink(m_parent[p], p) = r;
    m_parent[p] = LZSS_NIL;
}

// Removes ring position p from its tree before the position is overwritten. Links may point
// at the nil node 4096, whose parent, left and right entries are scratch (they only ever hold
// link values, so reading one gives a node or nil); roots are only ever right parents.
GS_HOT_INLINE void CGsLZSS::DeleteNode(int p)
{
    const ptrdiff_t dad = m_parent[p];
    if (dad == LZSS_NIL)
        return;
    const ptrdiff_t nil = LZSS_NIL;
    const ptrdiff_t left = m_left[p];
    const ptrdiff_t right = m_right[p];
    // With at most one child, that child (or nil) takes p's place; with two, the rightmost
    // node of the left subtree does. The case, and whether the walk to that node takes a
    // step, are data, as good as random to a branch predictor: the cases meet without a
    // jump, selected by masks (compilers turn conditional expressions back into jumps
    // here), and links that only one of them needs are written to the nil node's scratch
    // entries in the others. The first two steps of the walk are taken that way too, any
    // further ones in a loop.
    const ptrdiff_t both = IfNode(left) & IfNode(right);
    ptrdiff_t q = Select(both, left, left ^ right ^ nil);
    ptrdiff_t qRight = m_right[q];
    const ptrdiff_t walked = both & IfNode(qRight);
    q = Select(walked, qRight, q);
    qRight = m_right[q];
    const ptrdiff_t walkedTwice = walked & IfNode(qRight);
    q = Select(walkedTwice, qRight, q);
    qRight = m_right[q];
    if ((walkedTwice & IfNode(qRight)) != 0) {
        do {
            q = qRight;
            qRight = m_right[q];
        } while (qRight != nil);
    }
    const ptrdiff_t qDad = m_parent[q];
    const ptrdiff_t qLeft = m_left[q];
    m_right[Select(walked, qDad, nil)] = static_cast<int32_t>(qLeft);
    m_parent[Select(walked, qLeft, nil)] = static_cast<int32_t>(qDad);
    m_left[Select(walked, q, nil)] = static_cast<int32_t>(left);
    m_parent[left] = static_cast<int32_t>(q);
    m_right[Select(both, q, nil)] = static_cast<int32_t>(right);
    m_parent[right] = static_cast<int32_t>(q);
    m_parent[q] = static_cast<int32_t>(dad);
    *ChildLink(static_cast<int>(dad), p) = static_cast<int32_t>(q);
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
    const unsigned char* const first = static_cast<const unsigned char*>(srcData);
    size_t nextReport = m_report != nullptr ? kReportStep : SIZE_MAX;
    do {
        if (static_cast<size_t>(src - first) >= nextReport) {
            m_report(m_reportContext, src - first);
            nextReport += kReportStep;
        }
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
    constexpr size_t kWild = 24;       // bytes an item moves on the fast path

    // The ring is not kept: ring position p holds the output byte whose ring position was p
    // most recently, so a match reads the output itself, (r - p) mod 4096 bytes back (4096
    // when p == r). Before the first 4096 bytes that reaches in front of the output, into
    // the zero-filled start of the ring (all of it, so that even a stream that reads
    // positions not yet written expands the same way every time).
    size_t in = 0;
    size_t out = 0;
    int result = 1;
    const bool bounded = dstCapacity > 0;
    size_t nextReport = m_report != nullptr ? kReportStep : SIZE_MAX;
    while (in < n) {
        if (in >= nextReport) {
            m_report(m_reportContext, static_cast<long long>(in));
            nextReport += kReportStep;
        }
        unsigned flags = src[in++];
        if (bounded && out >= LZSS_RING_SIZE && n - in >= kGroupIn + kWild &&
            cap - out >= kGroupOut + kWild) {
            // Far from both ends of a bounded output: every item moves a fixed 24 bytes,
            // from the stream for a literal or from the output for a match, and the output
            // advances by the item's true length. The surplus lands where later items write
            // (or beyond the output but within the capacity), and literals and matches take
            // the same path, which a branch predictor cannot guess between.
            if (flags == 0xFF) {
                // Eight literals: incompressible data comes this way.
                std::memcpy(dst + out, src + in, 8);
                out += 8;
                in += 8;
                continue;
            }
            for (int k = 0; k < 8; ++k, flags >>= 1) {
                const size_t literal = flags & 1;
                const unsigned b0 = src[in], b1 = src[in + 1];
                const size_t pos = b0 | ((b1 & 0xF0) << 4);
                const size_t len = (b1 & 0x0F) + LZSS_THRESHOLD + 1;
                const size_t dist = ((out + kStart - pos - 1) & (LZSS_RING_SIZE - 1)) + 1;
                // A match that overlaps its own output (a run): rare outside runs.
                if (static_cast<size_t>(dist < len) > literal) {
                    CopyRepeatWild(dst + out, dist, len);
                    out += len;
                    in += 2;
                    continue;
                }
                // Selected by mask: as a branch this would be mispredicted at every turn.
                const size_t isLiteral = size_t{0} - literal;
                const uintptr_t fromMatch = reinterpret_cast<uintptr_t>(dst + out - dist);
                const uintptr_t fromStream = reinterpret_cast<uintptr_t>(src + in);
                const unsigned char* from = reinterpret_cast<const unsigned char*>(
                    fromMatch ^ ((fromMatch ^ fromStream) & isLiteral));
                unsigned char chunk[16];
                std::memcpy(chunk, from, 16);
                std::memcpy(dst + out, chunk, 16);
                std::memcpy(chunk, from + 16, 8);
                std::memcpy(dst + out + 16, chunk, 8);
                out += len ^ ((len ^ 1) & isLiteral);
                in += 2 - literal;
            }
            continue;
        }
        if (out >= LZSS_RING_SIZE && n - in >= kGroupIn && cap - out >= kGroupOut) {
            // Unbounded output: nothing may be written beyond the stream's own bytes.
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

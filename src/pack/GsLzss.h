// LZSS codec: 4096-byte ring, matches of 3 to 18 bytes at absolute ring positions, binary
// search trees as match finder. Pure C++, no platform calls; the same sources build for
// Windows and natively (tests, fuzzers, benchmark).
//
// Stream: groups of one flag byte (bit 0 first; 1 = literal byte, 0 = match) and up to eight
// items. A match is two bytes b0 b1: ring position b0 | (b1 & 0xF0) << 4, length
// (b1 & 0x0F) + 3. The ring starts zero-filled with the current position at 4078. No header,
// no length, no end marker: the stream ends where its bytes end.
#pragma once

#include "pack/GsCompress.h"

#include <cstdint>

enum : int {
    LZSS_RING_SIZE = 4096,
    LZSS_MAX_MATCH = 18,
    LZSS_THRESHOLD = 2,
    LZSS_NIL = LZSS_RING_SIZE,
};

// Worst-case Compress output for srcLen bytes: every byte a literal, plus one flag byte per
// eight of them. Compress writes at most this much and never checks its destination. Counted
// in 64 bits: from 1,908,874,353 bytes on the bound no longer fits an int, and Compress, which
// counts its output in int, must not be given such a source.
constexpr long long LzssCompressBound(long long srcLen)
{
    return srcLen <= 0 ? 0 : srcLen + (srcLen + 7) / 8;
}

// Largest output a stream of srcLen bytes can expand to: a full group of 17 bytes carries
// eight matches of 18 bytes; a shorter last group, matches and at most one literal.
constexpr long long LzssExpandBound(long long srcLen)
{
    return srcLen <= 0 ? 0
         : (srcLen / 17) * 144
           + (srcLen % 17 == 0 ? 0 : (srcLen % 17 - 1) / 2 * 18 + (srcLen % 17 - 1) % 2);
}

// All working state lives in the object (about 54 KB): nothing is allocated during a call,
// one object serves one call at a time, separate objects are independent.
class CGsLZSS : public IGsCompress {
public:
    CGsLZSS();

    // dst must hold LzssCompressBound(srcLen) bytes; dstCapacity is not consulted. Returns
    // the number of bytes written (also CodeSize()); 0 for an empty or negative srcLen.
    // Equal sources always give equal streams, whatever the object compressed before.
    int Compress(const void* src, void* dst, int srcLen, int dstCapacity) override;

    // Expands the stream into dst and returns 1, or 0 when the output was cut short.
    // dstCapacity > 0: the output stops at dstCapacity bytes, and the result is 0 when the
    // stream wanted to write beyond them (a damaged or foreign stream: refuse the data).
    // Nothing beyond dst[dstCapacity - 1] is touched, but bytes after the output may be
    // used as scratch. dstCapacity <= 0: unbounded, as for callers that know the expanded
    // size; dst must hold all of the output (LzssExpandBound(srcLen) at most), and nothing
    // after the output is touched.
    // An item cut off by the end of src is dropped without notice. ExpandedSize() tells how
    // many bytes were produced.
    int Decompress(const void* src, void* dst, int srcLen, int dstCapacity) override;

    // Optional: Compress and Decompress call report(context, n) about every MiB of source
    // with the n source bytes consumed so far (gspak's progress line). Null: no calls.
    using Report = void (*)(void* context, long long done);
    void SetReport(Report report, void* context)
    {
        m_report = report;
        m_reportContext = context;
    }

    // Bytes written by the last Compress.
    int CodeSize() const { return m_codeSize; }
    // Bytes written by the last Decompress.
    int ExpandedSize() const { return m_expandedSize; }

    ~CGsLZSS() override;

private:
    void InsertNode(int r);
    void DeleteNode(int p);
    void ReplaceNode(int p, int r);
    int32_t* ChildLink(int dad, int p);
    int32_t* SideLink(int p, bool right);

    int32_t m_codeSize;
    unsigned char m_ring[LZSS_RING_SIZE + LZSS_MAX_MATCH - 1];
    int32_t m_parent[LZSS_RING_SIZE + 1];
    int32_t m_left[LZSS_RING_SIZE + 1];
    int32_t m_right[LZSS_RING_SIZE + 1 + 256];
    int32_t m_matchPos;
    int32_t m_matchLen;
    int32_t m_expandedSize;
    Report m_report = nullptr;
    void* m_reportContext = nullptr;
};

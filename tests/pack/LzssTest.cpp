#include "pack/GsLzss.h"

#include "../../bench/LzssBaseline.h"
#include "../../bench/LzssInputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes B(std::initializer_list<int> v)
{
    Bytes out;
    for (int x : v)
        out.push_back(static_cast<unsigned char>(x));
    return out;
}

Bytes S(const char* s) { return Bytes(s, s + std::strlen(s)); }

const unsigned char kGuard = 0xA5;

// Compresses into a buffer of exactly the worst case plus guard bytes and checks that the
// codec stayed within the bound and kept its size bookkeeping.
Bytes Pack(CGsLZSS& lz, const Bytes& src)
{
    const int bound = LzssCompressBound(static_cast<int>(src.size()));
    Bytes dst(bound + 16, kGuard);
    int n = lz.Compress(src.data(), dst.data(), static_cast<int>(src.size()), 0);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, bound);
    EXPECT_EQ(n, lz.CodeSize());
    for (int i = bound; i < bound + 16; ++i)
        EXPECT_EQ(dst[i], kGuard) << "Compress wrote past its worst case at " << i;
    dst.resize(n);
    return dst;
}

struct Expanded {
    Bytes data;
    int result;
};

// Expands with the given capacity (0: unbounded into a buffer of the stream's worst case),
// checking that nothing is written past what the contract allows.
Expanded Unpack(CGsLZSS& lz, const Bytes& stream, int capacity = 0)
{
    size_t room = capacity > 0 ? static_cast<size_t>(capacity)
                               : static_cast<size_t>(LzssExpandBound(stream.size()));
    Bytes dst(room + 32, kGuard);
    Expanded e;
    e.result = lz.Decompress(stream.data(), dst.data(), static_cast<int>(stream.size()), capacity);
    size_t n = static_cast<size_t>(lz.ExpandedSize());
    EXPECT_LE(n, room);
    // Bounded, the codec may use the whole capacity as scratch; unbounded, not a byte more
    // than it produced.
    for (size_t i = capacity > 0 ? room : n; i < dst.size(); ++i) {
        if (dst[i] != kGuard) {
            ADD_FAILURE() << "Decompress wrote past its output at " << i;
            break;
        }
    }
    dst.resize(n);
    e.data = dst;
    return e;
}

std::unique_ptr<CGsLZSS> NewCodec() { return std::make_unique<CGsLZSS>(); }

} // namespace

TEST(Lzss, KnownStreamsBothWays)
{
    struct Case {
        const char* name;
        Bytes plain;
        Bytes packed;
    };
    const Case cases[] = {
        {"one byte", S("A"), B({0x01, 0x41})},
        {"three literals", S("abc"), B({0x07, 0x61, 0x62, 0x63})},
        {"overlapping match", S("abcabcabcabc"), B({0x07, 0x61, 0x62, 0x63, 0xEE, 0xF6})},
        {"run", S("aaaa"), B({0x01, 0x61, 0xEE, 0xF0})},
        {"two-byte period", S("abababab"), B({0x03, 0x61, 0x62, 0xEE, 0xF3})},
        {"eight literals", S("abcdefgh"), B({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'})},
        {"ninth item opens a group", S("abcdefghi"),
         B({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'})},
        // With the whole ring cleared, the zeros after the source tie every key; the last
        // inserted of the zero positions before the start, 4060, is met first.
        {"zeros", B({0, 0, 0}), B({0x00, 0xDC, 0xF0})},
    };
    auto lz = NewCodec();
    for (const Case& c : cases) {
        EXPECT_EQ(Pack(*lz, c.plain), c.packed) << c.name;
        Expanded e = Unpack(*lz, c.packed);
        EXPECT_EQ(e.result, 1) << c.name;
        EXPECT_EQ(e.data, c.plain) << c.name;
    }
}

TEST(Lzss, ExpandsFromTheZeroFilledRing)
{
    auto lz = NewCodec();
    // Position 0xFDC (4060) lies in the zero-filled start of the ring.
    EXPECT_EQ(Unpack(*lz, B({0x00, 0xDC, 0xF0})).data, B({0, 0, 0}));
    // Positions 4078 onwards before anything was written there read as zero too, the same
    // on a fresh object and after earlier work.
    Bytes stream = B({0x00, 0xF0, 0xFF});
    Bytes first = Unpack(*lz, stream).data;
    EXPECT_EQ(first, Bytes(18, 0));
    Unpack(*lz, Pack(*lz, lzss_inputs::Random(10000, 7)));
    EXPECT_EQ(Unpack(*lz, stream).data, first);
}

TEST(Lzss, CutStreamsKeepWhatWasDecoded)
{
    struct Case {
        const char* name;
        Bytes stream;
        Bytes plain;
    };
    const Case cases[] = {
        {"empty", Bytes(), Bytes()},
        {"lone flag byte", B({0xFF}), Bytes()},
        {"after a flag byte", B({0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}), S("abcdefgh")},
        {"inside a match item", B({0x01, 0x61, 0xEE}), S("a")},
        {"literal flag without its byte", B({0x03, 0x61}), S("a")},
        {"last group short of items", B({0x07, 0x61, 0x62}), S("ab")},
    };
    auto lz = NewCodec();
    for (const Case& c : cases) {
        Expanded e = Unpack(*lz, c.stream);
        EXPECT_EQ(e.result, 1) << c.name;
        EXPECT_EQ(e.data, c.plain) << c.name;
        // A bound with room to spare changes nothing.
        Expanded bounded = Unpack(*lz, c.stream, static_cast<int>(c.plain.size()) + 1);
        EXPECT_EQ(bounded.result, 1) << c.name;
        EXPECT_EQ(bounded.data, c.plain) << c.name;
    }
}

TEST(Lzss, RoundTripsAndMatchesTheReference)
{
    const size_t sizes[] = {0, 1, 2, 3, 17, 18, 19, 4095, 4096, 4097, 3u << 20};
    struct Kind {
        const char* name;
        Bytes (*make)(size_t, uint64_t);
    };
    const Kind kinds[] = {{"random", lzss_inputs::Random},
                          {"repetitive", lzss_inputs::Repetitive},
                          {"text", lzss_inputs::Text},
                          {"game data", lzss_inputs::GameData}};
    auto lz = NewCodec();
    auto ref = std::make_unique<LzssBaseline>();
    uint64_t seed = 1;
    for (const Kind& kind : kinds) {
        for (size_t size : sizes) {
            ++seed;
            SCOPED_TRACE(std::string(kind.name) + ", size " + std::to_string(size) + ", seed " +
                         std::to_string(seed));
            Bytes plain = kind.make(size, seed);
            Bytes packed = Pack(*lz, plain);
            Bytes expected(LzssCompressBound(static_cast<int>(size)) + 1);
            expected.resize(ref->Compress(plain.data(), expected.data(), static_cast<int>(size)));
            ASSERT_EQ(packed, expected) << "stream differs from the reference";
            Expanded e = Unpack(*lz, packed);
            EXPECT_EQ(e.result, 1);
            ASSERT_EQ(e.data, plain);
            // Exactly the right capacity is enough.
            if (size > 0) {
                Expanded exact = Unpack(*lz, packed, static_cast<int>(size));
                EXPECT_EQ(exact.result, 1);
                EXPECT_EQ(exact.data.size(), size);
            }
        }
    }
}

TEST(Lzss, EqualSourcesGiveEqualStreams)
{
    auto lz = NewCodec();
    for (uint64_t seed : {11u, 12u, 13u}) {
        Bytes text = lzss_inputs::Text(20000, seed);
        Bytes first = Pack(*lz, text);
        Pack(*lz, lzss_inputs::Random(5000, seed + 100));
        EXPECT_EQ(Pack(*lz, text), first) << "seed " << seed;
        // Short sources compare the look-ahead beyond their end: nothing left from the
        // previous source may leak into the choice of match.
        Bytes zeros(3, 0);
        Bytes fresh = Pack(*NewCodec(), zeros);
        EXPECT_EQ(Pack(*lz, zeros), fresh) << "seed " << seed;
    }
}

TEST(Lzss, BoundStopsExpansionAndSaysSo)
{
    auto lz = NewCodec();
    Bytes plain = lzss_inputs::Text(50000, 21);
    Bytes packed = Pack(*lz, plain);
    // Capacities that cut a literal, cut a match, or end just short.
    for (int cap : {1, 17, 4095, 4096, 4097, 30001, 49999}) {
        Expanded e = Unpack(*lz, packed, cap);
        EXPECT_EQ(e.result, 0) << "capacity " << cap;
        ASSERT_EQ(e.data.size(), static_cast<size_t>(cap)) << "capacity " << cap;
        EXPECT_TRUE(std::equal(e.data.begin(), e.data.end(), plain.begin())) << "capacity " << cap;
    }
    // Cut inside a match item: one byte of the three still fits.
    Expanded run = Unpack(*lz, B({0x01, 0x61, 0xEE, 0xF0}), 2);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.data, S("aa"));
    // A full output followed only by an empty flag byte did not want more.
    Expanded full = Unpack(*lz, B({0x07, 0x61, 0x62, 0x63, 0x00}), 3);
    EXPECT_EQ(full.result, 1);
    EXPECT_EQ(full.data, S("abc"));
}

TEST(Lzss, ArbitraryStreamsStayInBounds)
{
    auto lz = NewCodec();
    auto ref = std::make_unique<LzssBaseline>();
    for (uint64_t seed = 100; seed < 400; ++seed) {
        lzss_inputs::Rng rng(seed);
        Bytes stream = lzss_inputs::Random(rng.Below(6000), seed);
        Bytes expected(static_cast<size_t>(LzssExpandBound(stream.size())) + 1);
        expected.resize(ref->Decompress(stream.data(), expected.data(), static_cast<int>(stream.size())));
        Expanded all = Unpack(*lz, stream);
        ASSERT_EQ(all.data, expected) << "seed " << seed;
        EXPECT_EQ(all.result, 1);
        int cap = 1 + static_cast<int>(rng.Below(static_cast<uint32_t>(expected.size()) + 50));
        Expanded part = Unpack(*lz, stream, cap);
        EXPECT_EQ(part.result, cap >= static_cast<int>(expected.size()) ? 1 : 0) << "seed " << seed;
        EXPECT_TRUE(std::equal(part.data.begin(), part.data.end(), expected.begin())) << "seed " << seed;
    }
}

TEST(Lzss, ExpandBoundIsReachedExactly)
{
    auto lz = NewCodec();
    for (size_t len : {1u, 2u, 3u, 16u, 17u, 18u, 33u, 34u, 100u}) {
        // Each group: as many 18-byte matches as its bytes allow, then a literal for an odd
        // byte left over.
        Bytes stream;
        while (stream.size() < len) {
            size_t items = std::min<size_t>(16, len - stream.size() - 1);
            size_t matches = items / 2;
            stream.push_back(static_cast<unsigned char>(items % 2 ? 1u << matches : 0u));
            for (size_t k = 0; k < matches; ++k) {
                stream.push_back(0x00);
                stream.push_back(0x0F);
            }
            if (items % 2)
                stream.push_back('x');
        }
        stream.resize(len);
        Expanded e = Unpack(*lz, stream);
        EXPECT_EQ(static_cast<long long>(e.data.size()), LzssExpandBound(len)) << "length " << len;
    }
}

TEST(Lzss, EmptyAndNegativeLengths)
{
    auto lz = NewCodec();
    unsigned char byte = kGuard;
    EXPECT_EQ(lz->Compress("x", &byte, 0, 0), 0);
    EXPECT_EQ(lz->Compress("x", &byte, -5, 0), 0);
    EXPECT_EQ(lz->CodeSize(), 0);
    EXPECT_EQ(lz->Decompress("\xff", &byte, -1, 1), 1);
    EXPECT_EQ(lz->ExpandedSize(), 0);
    EXPECT_EQ(byte, kGuard);
}

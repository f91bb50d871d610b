#include "pack/GsLzss.h"

#include "../../bench/LzssBaseline.h"
#include "../../bench/LzssInputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes S(const std::string& s) { return Bytes(s.begin(), s.end()); }

const unsigned char kGuard = 0xA5;

// Compresses into exactly the worst case plus guard bytes; checks the bound and CodeSize.
Bytes Pack(CGsLZSS& lz, const Bytes& src)
{
    const int bound = LzssCompressBound(static_cast<int>(src.size()));
    Bytes dst(bound + 16, kGuard);
    int n = lz.Compress(src.data(), dst.data(), static_cast<int>(src.size()), 0);
    EXPECT_TRUE(n >= 0 && n <= bound && n == lz.CodeSize()) << n << " of " << bound;
    EXPECT_EQ(std::count(dst.begin() + bound, dst.end(), kGuard), 16) << "Compress wrote past its worst case";
    dst.resize(n);
    return dst;
}

struct Expanded {
    Bytes data;
    int result;
};

// Expands with the given capacity (0: unbounded into the stream's worst case). Bounded, the
// codec may use the whole capacity as scratch; unbounded, not a byte past what it produced.
Expanded Unpack(CGsLZSS& lz, const Bytes& stream, int capacity = 0)
{
    size_t room = capacity > 0 ? static_cast<size_t>(capacity) : static_cast<size_t>(LzssExpandBound(stream.size()));
    Bytes dst(room + 32, kGuard);
    int result = lz.Decompress(stream.data(), dst.data(), static_cast<int>(stream.size()), capacity);
    size_t n = static_cast<size_t>(lz.ExpandedSize());
    EXPECT_LE(n, room);
    EXPECT_TRUE(std::all_of(dst.begin() + static_cast<long>(capacity > 0 ? room : n), dst.end(),
                            [](unsigned char c) { return c == kGuard; }))
        << "Decompress wrote past its output";
    dst.resize(n);
    return {dst, result};
}

} // namespace

TEST(Lzss, KnownStreamsBothWays)
{
    const struct {
        const char* name;
        Bytes plain, packed;
    } cases[] = {
        {"one byte", S("A"), {0x01, 0x41}},
        {"three literals", S("abc"), {0x07, 0x61, 0x62, 0x63}},
        {"overlapping match", S("abcabcabcabc"), {0x07, 0x61, 0x62, 0x63, 0xEE, 0xF6}},
        {"run", S("aaaa"), {0x01, 0x61, 0xEE, 0xF0}},
        {"two-byte period", S("abababab"), {0x03, 0x61, 0x62, 0xEE, 0xF3}},
        {"eight literals", S("abcdefgh"), {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}},
        {"ninth item opens a group", S("abcdefghi"), {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'}},
        // With the whole ring cleared, the zeros after the source tie every key; the last
        // inserted of the zero positions before the start, 4060, is met first.
        {"zeros", {0, 0, 0}, {0x00, 0xDC, 0xF0}},
    };
    CGsLZSS lz;
    Pack(lz, lzss_inputs::Random(5000, 3));  // earlier work must not show in any stream
    for (const auto& c : cases) {
        Expanded e = Unpack(lz, c.packed);
        EXPECT_EQ(Pack(lz, c.plain), c.packed) << c.name;
        EXPECT_TRUE(e.result == 1 && e.data == c.plain) << c.name;
    }
    // Empty and negative lengths produce nothing and touch nothing.
    unsigned char byte = kGuard;
    EXPECT_EQ(lz.Compress("x", &byte, 0, 0) + lz.Compress("x", &byte, -5, 0) + lz.CodeSize(), 0);
    EXPECT_TRUE(lz.Decompress("\xff", &byte, -1, 1) == 1 && lz.ExpandedSize() == 0 && byte == kGuard);
}

TEST(Lzss, CutAndUnusualStreamsDecodeTheSameEveryTime)
{
    const struct {
        const char* name;
        Bytes stream, plain;
    } cases[] = {
        {"empty", {}, {}},
        {"lone flag byte", {0xFF}, {}},
        {"after a flag byte", {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}, S("abcdefgh")},
        {"inside a match item", {0x01, 0x61, 0xEE}, S("a")},
        {"literal flag without its byte", {0x03, 0x61}, S("a")},
        {"last group short of items", {0x07, 0x61, 0x62}, S("ab")},
        // Positions 4078 onwards, never written, read as zero.
        {"unwritten ring", {0x00, 0xF0, 0xFF}, Bytes(18, 0)},
    };
    CGsLZSS lz;  // one that has worked before: the decoder keeps no ring between calls
    Unpack(lz, Pack(lz, lzss_inputs::Random(10000, 7)));
    for (const auto& c : cases) {
        for (int cap : {0, static_cast<int>(c.plain.size()) + 1}) {  // room to spare changes nothing
            Expanded e = Unpack(lz, c.stream, cap);
            EXPECT_EQ(e.result, 1) << c.name;
            EXPECT_EQ(e.data, c.plain) << c.name;
        }
    }
    // A bound met inside a match keeps what fits; a full output followed only by an empty
    // flag byte did not want more.
    Expanded run = Unpack(lz, {0x01, 0x61, 0xEE, 0xF0}, 2), full = Unpack(lz, {0x07, 0x61, 0x62, 0x63, 0x00}, 3);
    EXPECT_TRUE(run.result == 0 && run.data == S("aa"));
    EXPECT_TRUE(full.result == 1 && full.data == S("abc"));
}

TEST(Lzss, RoundTripsAndMatchesTheReference)
{
    const size_t sizes[] = {0, 1, 2, 3, 17, 18, 19, 4095, 4096, 4097, 3u << 20};
    const struct {
        const char* name;
        Bytes (*make)(size_t, uint64_t);
    } kinds[] = {{"random", lzss_inputs::Random},
                 {"repetitive", lzss_inputs::Repetitive},
                 {"text", lzss_inputs::Text},
                 {"game data", lzss_inputs::GameData}};
    CGsLZSS lz;
    auto ref = std::make_unique<LzssBaseline>();
    uint64_t seed = 1;
    for (const auto& kind : kinds) {
        for (size_t size : sizes) {
            ++seed;
            SCOPED_TRACE(std::string(kind.name) + ", size " + std::to_string(size) + ", seed " + std::to_string(seed));
            Bytes plain = kind.make(size, seed);
            Bytes packed = Pack(lz, plain);
            Bytes expected(LzssCompressBound(static_cast<int>(size)) + 1);
            expected.resize(ref->Compress(plain.data(), expected.data(), static_cast<int>(size)));
            ASSERT_EQ(packed, expected) << "stream differs from the reference";
            // Unbounded, exactly the right capacity, and bounds that stop it short and say so.
            const int n = static_cast<int>(size);
            for (int cap : {0, n, n - 1, n / 2, 17}) {
                if (cap < 0 || cap > n)
                    continue;
                Expanded e = Unpack(lz, packed, cap);
                EXPECT_EQ(e.result, cap == 0 || cap == n ? 1 : 0) << "capacity " << cap;
                ASSERT_EQ(e.data, Bytes(plain.begin(), plain.begin() + (cap == 0 ? n : cap))) << "capacity " << cap;
            }
        }
    }
}

TEST(Lzss, EqualSourcesGiveEqualStreams)
{
    // Short sources compare the look-ahead beyond their end: nothing left from the previous
    // source may leak into the choice of match.
    CGsLZSS lz;
    for (const Bytes& src : {lzss_inputs::Text(20000, 11), Bytes(3, 0)}) {
        CGsLZSS fresh;
        Bytes first = Pack(lz, src);
        Pack(lz, lzss_inputs::Random(5000, 111));
        EXPECT_TRUE(Pack(lz, src) == first && Pack(fresh, src) == first) << src.size();
    }
}

TEST(Lzss, ArbitraryStreamsMatchTheReferenceAndStayInBounds)
{
    CGsLZSS lz;
    auto ref = std::make_unique<LzssBaseline>();
    for (uint64_t seed = 100; seed < 400; ++seed) {
        lzss_inputs::Rng rng(seed);
        Bytes stream = lzss_inputs::Random(rng.Below(6000), seed);
        Bytes expected(static_cast<size_t>(LzssExpandBound(stream.size())) + 1);
        expected.resize(ref->Decompress(stream.data(), expected.data(), static_cast<int>(stream.size())));
        Expanded all = Unpack(lz, stream);
        ASSERT_TRUE(all.result == 1 && all.data == expected) << "seed " << seed;
        int cap = 1 + static_cast<int>(rng.Below(static_cast<uint32_t>(expected.size()) + 50));
        Expanded part = Unpack(lz, stream, cap);
        EXPECT_EQ(part.result, cap >= static_cast<int>(expected.size()) ? 1 : 0) << "seed " << seed;
        EXPECT_TRUE(std::equal(part.data.begin(), part.data.end(), expected.begin())) << "seed " << seed;
    }
}

TEST(Lzss, ExpandBoundIsReachedExactly)
{
    CGsLZSS lz;
    for (size_t len : {1u, 2u, 3u, 16u, 17u, 18u, 33u, 34u, 100u}) {
        // Each group: as many 18-byte matches as its bytes allow, then one literal for an odd byte.
        Bytes stream;
        while (stream.size() < len) {
            size_t items = std::min<size_t>(16, len - stream.size() - 1);
            stream.push_back(static_cast<unsigned char>(items % 2 ? 1u << (items / 2) : 0u));
            for (size_t k = 0; k < items / 2; ++k)
                stream.insert(stream.end(), {0x00, 0x0F});
            if (items % 2)
                stream.push_back('x');
        }
        stream.resize(len);
        EXPECT_EQ(static_cast<long long>(Unpack(lz, stream).data.size()), LzssExpandBound(len)) << "length " << len;
    }
}

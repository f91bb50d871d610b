#include "pack/GsLzss.h"

#include "../../bench/LzssBaseline.h"
#include "../../bench/LzssInputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using Bytes = std::vector<unsigned char>;
Bytes S(const std::string& s) { return Bytes(s.begin(), s.end()); }
const unsigned char kGuard = 0xA5;

// Compresses into exactly the worst case plus guard bytes; checks the bound and CodeSize.
Bytes Pack(CGsLZSS& lz, const Bytes& src)
{
    const int bound = int(LzssCompressBound(int(src.size())));
    Bytes dst(bound + 16, kGuard);
    int n = lz.Compress(src.data(), dst.data(), int(src.size()), 0);
    EXPECT_TRUE(n >= 0 && n <= bound && n == lz.CodeSize()) << n << " of " << bound;
    EXPECT_EQ(std::count(dst.begin() + bound, dst.end(), kGuard), 16) << "Compress wrote past its worst case";
    dst.resize(size_t(std::max(n, 0)));
    return dst;
}

// Expands with the given capacity (0: unbounded, into the stream's worst case); returns the
// output and, through result, whether it was whole (without result it must be). Bounded, the
// codec may use the whole capacity as scratch; unbounded, not a byte past what it produced.
Bytes Unpack(CGsLZSS& lz, const Bytes& stream, int capacity = 0, int* result = nullptr)
{
    size_t room = capacity > 0 ? size_t(capacity) : size_t(LzssExpandBound(stream.size()));
    Bytes dst(room + 32, kGuard);
    int r = lz.Decompress(stream.data(), dst.data(), int(stream.size()), capacity);
    size_t n = size_t(lz.ExpandedSize());
    EXPECT_TRUE(n <= room && std::all_of(dst.begin() + long(capacity > 0 ? room : n), dst.end(),
                                         [](int c) { return c == kGuard; }))
        << "Decompress wrote past its output";
    dst.resize(n);
    if (result != nullptr) *result = r;
    else EXPECT_EQ(r, 1) << "cut short";
    return dst;
}

TEST(Lzss, KnownAndCutStreams)
{
    Bytes most(LzssExpandBound(21), 0);
    most.back() = 'x';
    const struct {
        const char* name;
        Bytes stream, plain;
        bool both;  // also what Compress writes for plain
    } cases[] = {
        {"one byte", {0x01, 0x41}, S("A"), true},
        {"overlapping match", {0x07, 0x61, 0x62, 0x63, 0xEE, 0xF6}, S("abcabcabcabc"), true},
        {"run", {0x01, 0x61, 0xEE, 0xF0}, S("aaaa"), true},
        {"two-byte period", {0x03, 0x61, 0x62, 0xEE, 0xF3}, S("abababab"), true},
        {"ninth item opens a group", {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'}, S("abcdefghi"), true},
        // With the whole ring cleared, the zeros after the source tie every key; the last
        // inserted of the zero positions before the start, 4060, is met first.
        {"zeros", {0x00, 0xDC, 0xF0}, {0, 0, 0}, true},
        {"empty", {}, {}, true},
        {"lone flag byte", {0xFF}, {}, false},
        {"after a flag byte", {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00}, S("abcdefgh"), false},
        {"inside a match item", {0x01, 0x61, 0xEE}, S("a"), false},
        {"literal flag without its byte", {0x03, 0x61}, S("a"), false},
        // Positions 4078 onwards, never written, read as zero.
        {"unwritten ring", {0x00, 0xF0, 0xFF}, Bytes(18, 0), false},
        // The most a stream can hold: a group of eight 18-byte matches, then a short group
        // of one match and one literal. Unbounded expansion reserves exactly this.
        {"most", {0, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 0, 15, 2, 0, 15, 'x'}, most, false},
    };
    CGsLZSS lz;
    Unpack(lz, Pack(lz, lzss_inputs::Random(5000, 3)));  // earlier work must not show anywhere
    for (const auto& c : cases) {
        for (int cap : {0, int(c.plain.size()) + 1})  // room to spare changes nothing
            EXPECT_EQ(Unpack(lz, c.stream, cap), c.plain) << c.name;
        EXPECT_TRUE(!c.both || Pack(lz, c.plain) == c.stream) << c.name;
    }
    // A bound met inside a match keeps what fits and says so, also where the output moves 24
    // bytes per item (full groups of 18-byte matches, past the first 4096 bytes). A full
    // output followed by an empty flag byte or the stream's end did not want more.
    // Negative lengths produce nothing, touch nothing.
    Bytes groups;
    for (size_t i = 0; i < 60 * 17; ++i) groups.push_back(i % 17 && i % 17 % 2 == 0 ? 15 : 0);
    int cut = 1, full = 0;
    EXPECT_TRUE(Unpack(lz, {0x01, 0x61, 0xEE, 0xF0}, 2, &cut) == S("aa") && cut == 0);
    EXPECT_TRUE(Unpack(lz, groups, 5617, &cut) == Bytes(5617, 0) && cut == 0);
    for (const Bytes& stream : {Bytes{0x07, 0x61, 0x62, 0x63, 0x00}, Bytes{0xFF, 0x61, 0x62, 0x63}})
        EXPECT_TRUE(Unpack(lz, stream, 3, &full) == S("abc") && full == 1);
    unsigned char byte = kGuard;
    EXPECT_EQ(lz.Compress("x", &byte, -5, 0) + lz.CodeSize(), 0);
    EXPECT_TRUE(lz.Decompress("\xff", &byte, -1, 1) == 1 && lz.ExpandedSize() == 0 && byte == kGuard);
}

TEST(Lzss, RoundTripsAndMatchesTheReference)
{
    Bytes (*kinds[])(size_t, uint64_t) = {lzss_inputs::Random, lzss_inputs::Repetitive, lzss_inputs::Text,
                                          lzss_inputs::GameData};
    CGsLZSS lz;
    auto ref = std::make_unique<LzssBaseline>();
    uint64_t seed = 1;
    for (auto make : kinds) {
        for (int n : {0, 1, 2, 3, 17, 18, 19, 4095, 4096, 4097, 3 << 20}) {
            SCOPED_TRACE("size " + std::to_string(n) + ", seed " + std::to_string(++seed));
            Bytes plain = make(size_t(n), seed), packed = Pack(lz, plain), expected(LzssCompressBound(n) + 1);
            expected.resize(size_t(ref->Compress(plain.data(), expected.data(), n)));
            ASSERT_EQ(packed, expected) << "stream differs from the reference";
            // Unbounded, exactly the right capacity, and bounds that stop it short and say so.
            for (int cap : {0, n, std::max(n - 1, 0), n / 2, std::min(n, 17)}) {
                int result = 0;
                Bytes got = Unpack(lz, packed, cap, &result);
                ASSERT_TRUE(got == Bytes(plain.begin(), plain.begin() + (cap ? cap : n)) && result == (cap == 0 || cap == n))
                    << "capacity " << cap;
            }
        }
    }
}

}  // namespace

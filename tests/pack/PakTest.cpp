#include "pack/PakFormat.h"

#include "../../bench/PakPairwise.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace {

using Bytes = std::vector<unsigned char>;

struct E {
    std::string name, data;
    uint32_t version;
    uint64_t time;
};

Bytes Pak(const std::vector<E>& entries, uint32_t key = 0, uint32_t flags = 0, bool plain = false)
{
    std::vector<CPakMemory> data(entries.size());
    std::vector<PakNewEntry> list;
    for (size_t i = 0; i < entries.size(); ++i) {
        data[i].bytes.assign(entries[i].data.begin(), entries[i].data.end());
        list.push_back({entries[i].name, entries[i].version, entries[i].time, &data[i], 0,
                        static_cast<uint32_t>(entries[i].data.size()), nullptr});
    }
    CPakMemory out;
    EXPECT_TRUE(WritePak(out, nullptr, flags, key, list, plain, nullptr));
    return out.bytes;
}

// Every entry (a dead one with an empty name) as name=data/version/time, in table order.
std::string Listing(const Bytes& file)
{
    CPakMemory io;
    io.bytes = file;
    PakArchive pak;
    std::string problem;
    if (!ReadPak(io, pak, &problem))
        return "damaged: " + problem;
    std::string out;
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const unsigned char* e = pak.Entry(i);
        const uint32_t at = pak.Get(PAK_DATA_BASE) + PakGet32(e, PAK_OFFSET);
        out += std::string(reinterpret_cast<const char*>(e)) + "=" +
               std::string(file.begin() + at, file.begin() + at + PakGet32(e, PAK_SIZE)) + "/" +
               std::to_string(PakGet32(e, PAK_VERSION)) + "/" + std::to_string(PakGetTime(e)) + " ";
    }
    return out;
}

struct Merged {
    PakMergeResult result;
    Bytes target;
};

Merged Merge(const Bytes& source, const Bytes& target, uint32_t bit = 2)
{
    CPakMemory s, t;
    s.bytes = source;
    t.bytes = target;
    PakMergeResult r = MergePak(s, t, 0, bit, bit, nullptr);
    return {r, t.bytes};
}

const std::string kA = "\x83\x41", kSmallA = "\x83\x61";  // two katakana: second bytes 0x41, 0x61

}  // namespace

TEST(PakMerge, DecisionsAndNewTable)
{
    const struct {
        const char* what;
        std::vector<E> target, source;
        std::string after;  // live entries of the merged target, in table order
    } cases[] = {
        {"higher target version wins over a later time", {{"a", "old", 3, 1}}, {{"a", "new", 2, 9}}, "="},
        {"equal versions: the later time wins", {{"a", "old", 3, 1}}, {{"A", "new", 3, 2}}, "=old/3/1 A=new/0/0 "},
        {"equal version and time keep the target", {{"a", "old", 3, 5}}, {{"a", "new", 3, 5}}, "="},
        {"missing name appended with version and time 0", {{"a", "x", 1, 1}}, {{"b", "12345", 7, 7}},
         "a=x/1/1 b=12345/0/0 "},
        {"double-byte names differ in their second byte", {{kA, "x", 1, 1}}, {{kSmallA, "y", 1, 1}},
         kA + "=x/1/1 " + kSmallA + "=y/0/0 "},
        {"empty target table", {}, {{"a", "abcde", 1, 1}, {"b", "12345678", 1, 1}}, "a=abcde/0/0 b=12345678/0/0 "},
    };
    for (const auto& c : cases) {
        for (uint32_t key : {0u, 0x5Au, 0x1200u}) {
            const Bytes target = Pak(c.target, key);
            Merged m = Merge(Pak(c.source), target);
            std::string want = c.after;
            if (want == "=") {
                EXPECT_EQ(m.result, PakMergeResult::UpToDate) << c.what;
                want = Listing(target);
            } else {
                EXPECT_EQ(m.result, PakMergeResult::Merged) << c.what;
                // Replaced entries stay as dead entries; the old bytes stay where they were.
                EXPECT_EQ(std::string(m.target.begin() + 72, m.target.begin() + target.size()),
                          std::string(target.begin() + 72, target.end()))
                    << c.what;
                CPakMemory io;
                io.bytes = m.target;
                PakArchive pak;
                ASSERT_TRUE(ReadPak(io, pak, nullptr));
                EXPECT_EQ(pak.Get(PAK_FLAGS), 2u);
                EXPECT_EQ(pak.Get(PAK_TABLE_KEY), key);
                // Appended data starts on a 4-byte boundary and each piece is padded to 4.
                for (uint32_t i = static_cast<uint32_t>(c.target.size()); i < pak.Count(); ++i) {
                    const uint32_t at = pak.Get(PAK_DATA_BASE) + PakGet32(pak.Entry(i), PAK_OFFSET);
                    EXPECT_EQ(at % 4, 0u);
                    for (uint32_t p = at + PakGet32(pak.Entry(i), PAK_SIZE); p % 4 != 0; ++p)
                        EXPECT_EQ(m.target[p], 0) << c.what;
                }
                // A second run finds the bit and changes nothing.
                EXPECT_EQ(Merge(Pak(c.source), m.target).target, m.target) << c.what;
            }
            EXPECT_EQ(Listing(m.target), want) << c.what << ", key " << key;
        }
    }
}

TEST(PakMerge, ScrambledTableIsTheCompressedTableXoredWithTheKey)
{
    const Bytes plain = Pak({{"a", "1", 1, 1}, {"b", "2", 1, 1}}, 0);
    const Bytes scrambled = Pak({{"a", "1", 1, 1}, {"b", "2", 1, 1}}, 0x3C7F);
    const uint32_t size = PakGet32(plain.data(), PAK_TABLE_SIZE), at = PakGet32(plain.data(), PAK_TABLE_OFFSET);
    for (uint32_t i = 0; i < size; ++i)
        EXPECT_EQ(scrambled[at + i], plain[at + i] ^ (i & 0x7F)) << i;
    EXPECT_EQ(Listing(scrambled), Listing(plain));
    EXPECT_EQ(Listing(Pak({{"a", "1", 1, 1}}, 0, 0, true)), "a=1/1/1 ");
}

// Every source entry against every target entry, names cleared as the loop goes, is the
// rule; dead entries (empty names) equal each other and a cleared source name.
TEST(PakMerge, KeyedDecisionMatchesThePairwiseLoop)
{
    const char* names[] = {"", "a", "A", "b", "\x83\x41", "\x83\x61"};
    for (uint32_t seed = 1; seed <= 3000; ++seed) {
        std::mt19937 rng(seed);
        auto table = [&](uint32_t n) {
            Bytes t(n * PAK_ENTRY_SIZE, 0);
            for (uint32_t i = 0; i < n; ++i) {
                unsigned char* e = t.data() + i * PAK_ENTRY_SIZE;
                const char* name = names[rng() % 6];
                std::memcpy(e, name, std::strlen(name));
                PakPut32(e, PAK_VERSION, rng() % 3);
                PakPut32(e, PAK_TIME + (rng() % 2) * 4, rng() % 3);
            }
            return t;
        };
        const uint32_t ns = rng() % 8, nt = rng() % 8;
        Bytes s1 = table(ns), t1 = table(nt);
        Bytes s2 = s1, t2 = t1;
        ASSERT_EQ(DecideMerge(s1.data(), ns, t1.data(), nt), DecidePairwise(s2.data(), ns, t2.data(), nt))
            << "seed " << seed;
        ASSERT_EQ(s1, s2) << "seed " << seed;
        ASSERT_EQ(t1, t2) << "seed " << seed;
    }
}

TEST(PakMerge, DamagedArchivesAreRefusedAndNothingIsWritten)
{
    const std::vector<E> entries = {{"a", "hello", 1, 1}, {"b", "world!", 1, 1}};
    const struct {
        const char* what;
        bool plain;  // the table stored uncompressed after the header, so entries can be edited
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"shorter than a header", false, [](Bytes& b) { b.resize(71); }},
        {"count beyond the limit", false, [](Bytes& b) { PakPut32(b.data(), PAK_COUNT, 0x00A00000); }},
        {"count beyond the stored table", false, [](Bytes& b) { PakPut32(b.data(), PAK_COUNT, 1000); }},
        {"table expands short", false, [](Bytes& b) { PakPut32(b.data(), PAK_COUNT, 3); }},
        {"table expands long", false, [](Bytes& b) { PakPut32(b.data(), PAK_COUNT, 1); }},
        {"table outside the file", false, [](Bytes& b) { PakPut32(b.data(), PAK_TABLE_OFFSET, 0xFFFFFFF0); }},
        {"data base beyond the file", false, [](Bytes& b) { PakPut32(b.data(), PAK_DATA_BASE, 0x7FFFFFFF); }},
        {"plain table beyond the file", true, [](Bytes& b) { PakPut32(b.data(), PAK_COUNT, 5); }},
        {"data outside the file", true, [](Bytes& b) { PakPut32(b.data(), 72 + 104 + PAK_SIZE, 1000); }},
        {"name without terminator", true, [](Bytes& b) { std::memset(b.data() + 72 + 104, 'n', 64); }},
    };
    for (const auto& c : cases) {
        const Bytes good = Pak(entries, 0x11, 0, c.plain);
        Bytes bad = good;
        c.damage(bad);
        EXPECT_EQ(Merge(bad, good).result, PakMergeResult::SourceDamaged) << c.what;
        Merged m = Merge(good, bad, 4);
        EXPECT_EQ(m.result, PakMergeResult::TargetDamaged) << c.what;
        EXPECT_EQ(m.target, bad) << c.what;
    }
    // A dead entry's data is never read, so it may point anywhere.
    Bytes dead = Pak(entries, 0, 0, true);
    dead[72 + 104] = 0;
    PakPut32(dead.data(), 72 + 104 + PAK_SIZE, 1000);
    EXPECT_EQ(Merge(dead, Pak({})).result, PakMergeResult::Merged);
}

// Fails the n-th write or flush; all others succeed.
class FailingIo : public CPakMemory {
public:
    int left;
    bool WriteAt(uint64_t o, const void* b, size_t c) override { return --left != 0 && CPakMemory::WriteAt(o, b, c); }
    bool Flush() override { return --left != 0; }
};

TEST(PakMerge, FailedWriteLeavesTheTargetAsItWas)
{
    const Bytes target = Pak({{"a", "old", 1, 1}, {"b", "keep", 1, 1}}, 0x77);
    const Bytes source = Pak({{"a", std::string(3u << 20, 'x'), 2, 1}, {"c", "new", 1, 1}});
    int steps = 0;
    for (int n = 1;; ++n) {
        CPakMemory s;
        s.bytes = source;
        FailingIo t;
        t.bytes = target;
        t.left = n;
        const PakMergeResult r = MergePak(s, t, 0, 2, 2, nullptr);
        if (r == PakMergeResult::Merged)
            break;
        EXPECT_EQ(r, PakMergeResult::Failed) << n;
        EXPECT_EQ(t.bytes, target) << "failure at step " << n;
        steps = n;
    }
    EXPECT_GE(steps, 6);  // the megabyte writes, the table, flush, header, flush
}

#include "PakKit.h"

#include <algorithm>
#include <cstring>
#include <functional>

using namespace pak_kit;
static const std::string kA = "\x83\x41", kSmallA = "\x83\x61";  // katakana whose second bytes differ by 0x20

TEST(PakMerge, DecisionsAndNewTable)
{
    const struct {
        const char* what;
        std::vector<E> target, source;
        std::string after;  // every entry of the merged target; "=" for nothing to take
    } cases[] = {
        {"higher target version wins over a later time", {{"a", "old", 3, 1}}, {{"a", "new", 2, 9}}, "="},
        {"equal versions: the later time wins", {{"a", "old", 3, 1}}, {{"A", "new", 3, 2}}, "=old/3/1 A=new/3/2 "},
        {"equal version and time keep the target", {{"a", "old", 3, 5}}, {{"a", "new", 3, 5}}, "="},
        {"missing name appended with its version and time", {{"a", "x", 1, 1}}, {{"b", "12345", 7, 7}}, "a=x/1/1 b=12345/7/7 "},
        {"double-byte names", {{kA, "x", 1, 1}}, {{kSmallA, "y", 1, 1}}, kA + "=x/1/1 " + kSmallA + "=y/1/1 "},
        {"empty target table", {}, {{"a", "abcde", 1, 1}, {"b", "12345678", 1, 1}}, "a=abcde/1/1 b=12345678/1/1 "},
        {"duplicate live names: one entry added", {{"a", "1", 1, 1}, {"a", "2", 1, 1}}, {{"a", "new", 2, 1}}, "=1/1/1 =2/1/1 a=new/2/1 "},
        {"the first of duplicate names decides", {{"a", "1", 3, 1}, {"a", "2", 1, 1}}, {{"a", "new", 2, 1}}, "="},
        {"time stamps compare unsigned, high half first", {{"a", "x", 1, 1ull << 63}}, {{"a", "y", 1, 0xFFFFFFFF}}, "="},
        // Dead entries (empty names) match nothing and add nothing.
        {"a dead source entry is not taken", {{"a", "x", 1, 1}}, {{"", "dead", 9, 9}, {"b", "y", 1, 1}}, "a=x/1/1 b=y/1/1 "},
        {"a name not taken meets a later dead entry", {{"b", "x", 1, 1}, {"", "dead", 0, 0}}, {{"b", "x", 1, 1}}, "="},
    };
    for (const auto& c : cases) {
        for (uint32_t key : {0u, 0x5Au, 0x1200u}) {
            SCOPED_TRACE(std::string(c.what) + ", key " + std::to_string(key));
            const Bytes target = Pak(c.target, key);
            Bytes merged = target;
            PakArchive old, pak;
            const bool none = c.after == "=";
            EXPECT_EQ(Merge(Pak(c.source), merged), none ? PakMergeResult::UpToDate : PakMergeResult::Merged);
            EXPECT_EQ(Listing(merged, pak), none ? Listing(target, old) : c.after);
            // The old bytes stay; the header alone changes, to the bit and the same key.
            EXPECT_TRUE(std::equal(target.begin() + 72, target.end(), merged.begin() + 72));
            EXPECT_EQ(pak.Get(PAK_FLAGS) * 0x10000 + pak.Get(PAK_TABLE_KEY), (none ? 0u : 0x20000u) + key);
            // Appended data from a 4-byte boundary, each piece padded with zeros to 4.
            for (uint32_t i = uint32_t(c.target.size()), at; i < pak.Count(); ++i) {
                EXPECT_EQ((at = pak.Get(PAK_DATA_BASE) + PakGet32(pak.Entry(i), PAK_OFFSET)) % 4, 0u);
                for (at += PakGet32(pak.Entry(i), PAK_SIZE); at % 4 != 0; ++at) EXPECT_EQ(merged[at], 0);
            }
            // Run again: once the bit is set, not even a newer entry is taken.
            Bytes again = merged;
            EXPECT_EQ(Merge(none ? Pak(c.source) : Pak({{"z", "newer", 9, 9}}), again), PakMergeResult::UpToDate);
            EXPECT_EQ(again, merged) << "a second run wrote";
        }
    }
}

// Updates merged one after another, each with its own bit. The last one gives the same bytes
// as a source holding only the entries it should take (none: nothing written).
TEST(PakMerge, LaterUpdatesTakeOnlyWhatIsNewer)
{
    const std::vector<E> base = {{"a", "a1", 1, 1}, {"b", "b1", 1, 1}, {"c", "c1", 1, 1}};
    const std::vector<E> update1 = {{"a", "a2", 2, 1}};
    const struct {
        const char* what;
        std::vector<std::vector<E>> updates;
        std::vector<E> taken;  // by the last update
        std::string after;
    } cases[] = {
        {"cumulative update 2 after update 1",
         {update1, {{"a", "a3", 3, 1}, {"b", "b1", 1, 1}, {"c", "c1", 1, 1}, {"d", "d1", 1, 1}}},
         {{"a", "a3", 3, 1}, {"d", "d1", 1, 1}},
         "=a1/1/1 b=b1/1/1 c=c1/1/1 =a2/2/1 a=a3/3/1 d=d1/1/1 "},
        {"cumulative update with nothing newer", {update1, {{"a", "a2", 2, 1}, {"B", "b1", 1, 1}, {"c", "c1", 1, 1}}}, {},
         "=a1/1/1 b=b1/1/1 c=c1/1/1 a=a2/2/1 "},
        {"update 1 after update 2", {{{"a", "a3", 3, 1}}, update1}, {}, "=a1/1/1 b=b1/1/1 c=c1/1/1 a=a3/3/1 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes target = Pak(base, 0x5A);
        for (size_t i = 0; i + 1 < c.updates.size(); ++i)
            ASSERT_EQ(Merge(Pak(c.updates[i]), target, 2u << i), PakMergeResult::Merged);
        Bytes merged = target, expected = target;
        const uint32_t bit = 2u << (c.updates.size() - 1);
        const PakMergeResult r = Merge(Pak(c.updates.back()), merged, bit);
        EXPECT_EQ(r, c.taken.empty() ? PakMergeResult::UpToDate : PakMergeResult::Merged);
        EXPECT_TRUE(Merge(Pak(c.taken), expected, bit) == r && merged == expected);
        PakArchive pak;
        EXPECT_EQ(Listing(merged, pak), c.after);
    }
}

TEST(PakMerge, DamagedArchivesAreRefusedAndNothingIsWritten)
{
    const struct {
        const char* what;
        bool plain;  // the table stored uncompressed after the header, so entries can be edited
        std::function<void(unsigned char*)> damage;
    } cases[] = {
        {"count beyond the limit", false, [](unsigned char* b) { PakPut32(b, PAK_COUNT, 0x00A00000); }},
        {"count beyond the stored table", false, [](unsigned char* b) { PakPut32(b, PAK_COUNT, 1000); }},
        {"table expands short", false, [](unsigned char* b) { PakPut32(b, PAK_COUNT, 3); }},
        {"table expands long", false, [](unsigned char* b) { PakPut32(b, PAK_COUNT, 1); }},
        {"table outside the file", false, [](unsigned char* b) { PakPut32(b, PAK_TABLE_OFFSET, 0xFFFFFFF0); }},
        {"data base beyond the file", false, [](unsigned char* b) { PakPut32(b, PAK_DATA_BASE, 0x7FFFFFFF); }},
        {"plain table beyond the file", true, [](unsigned char* b) { PakPut32(b, PAK_COUNT, 5); }},
        {"data outside the file", true, [](unsigned char* b) { PakPut32(b, 72 + 104 + PAK_SIZE, 1000); }},
        {"name without terminator", true, [](unsigned char* b) { std::memset(b + 72 + 104, 'n', 64); }},
        {"shorter than a header", true, nullptr},
    };
    for (const auto& c : cases) {
        const Bytes good = Pak({{"a", "hello", 1, 1}, {"b", "world!", 1, 1}}, 0x11, c.plain);
        Bytes bad = good, target = good;
        c.damage ? c.damage(bad.data()) : bad.resize(71);
        EXPECT_EQ(Merge(bad, target), PakMergeResult::SourceDamaged) << c.what;
        target = bad;
        EXPECT_EQ(Merge(good, target, 4), PakMergeResult::TargetDamaged) << c.what;
        EXPECT_EQ(target, bad) << c.what;
    }
    // A stored table longer than its entry count can need is refused from the header alone,
    // before anything the claim sizes is read or allocated (a sparse file may back it).
    CPakMemory claim;
    claim.bytes = Pak({{"a", "hello", 1, 1}});
    PakPut32(claim.bytes.data(), PAK_TABLE_SIZE, 16u << 20);
    claim.bytes.resize(PakGet32(claim.bytes.data(), PAK_TABLE_OFFSET) + (16u << 20));
    PakArchive pak;
    std::string problem;
    EXPECT_FALSE(ReadPak(claim, pak, &problem));
    EXPECT_EQ(problem, "stored table size 16777216 is more than entry count 1 can need (117 bytes)");
    // A dead entry's data is never read, so it may point anywhere.
    Bytes dead = Pak({{"", "x", 1, 1}, {"b", "y", 1, 1}}, 0, true), target = Pak({});
    PakPut32(dead.data(), 72 + PAK_SIZE, 1000);
    EXPECT_EQ(Merge(dead, target), PakMergeResult::Merged);
}

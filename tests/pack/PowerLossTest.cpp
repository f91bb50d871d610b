// Power loss during a merge: its writes, flushes and truncations are recorded, and every state
// a cut can leave on the disk is read back. Up to the last completed flush everything is there;
// of what came after, any subset of the pieces may have landed, in any order, and a write
// longer than one 512-byte sector may be torn at a sector boundary. Each state must read as
// exactly the old or exactly the new archive, and once the merge has returned, as its result.
#include "PakKit.h"

#include <algorithm>
#include <random>

namespace {

using namespace pak_kit;
constexpr uint64_t kSector = 512;

struct Op {
    enum Kind { kWrite, kFlush, kTruncate } kind;
    uint64_t offset;  // the new size for a truncation
    Bytes data;
};

// Records every write, flush and truncation; the failAt-th write or flush (counted from 0)
// fails, a flush without effect, a write after landing its second half; with failCuts every
// truncation fails.
struct CRecorder : CPakMemory {
    std::vector<Op> ops;
    int failAt = -1, calls = 0;
    bool failCuts = false;

    bool WriteAt(uint64_t offset, const void* buffer, size_t count) override
    {
        const size_t skip = calls++ == failAt ? count / 2 + 1 : 0;
        const auto* p = static_cast<const unsigned char*>(buffer) + skip;
        ops.push_back({Op::kWrite, offset + skip, Bytes(p, p + (count - skip))});
        return CPakMemory::WriteAt(offset + skip, p, count - skip) && skip == 0;
    }
    bool Flush() override { return calls++ != failAt && (ops.push_back({Op::kFlush, 0, {}}), true); }
    bool Truncate(uint64_t size) override
    {
        return !failCuts && (ops.push_back({Op::kTruncate, size, {}}), CPakMemory::Truncate(size));
    }
};

void Apply(Bytes& disk, const Op& op)
{
    if (op.kind == Op::kTruncate) disk.resize(op.offset);
    if (op.kind == Op::kWrite) disk.resize(std::max<uint64_t>(disk.size(), op.offset + op.data.size()));
    std::copy(op.data.begin(), op.data.end(), disk.begin() + long(op.offset));  // only writes carry data
}

// The ops as pieces that land independently: writes cut at the sector boundaries they cross.
std::vector<Op> Pieces(const std::vector<Op>& ops)
{
    std::vector<Op> out;
    for (const Op& op : ops) {
        if (op.kind != Op::kWrite) out.push_back(op);
        for (uint64_t at = op.offset, end = op.offset + op.data.size(); op.kind == Op::kWrite && at < end;) {
            const uint64_t next = std::min(end, (at / kSector + 1) * kSector);
            out.push_back({Op::kWrite, at, Bytes(op.data.begin() + (at - op.offset), op.data.begin() + (next - op.offset))});
            at = next;
        }
    }
    return out;
}

std::string Contents(const Bytes& disk) { PakArchive pak; return Listing(disk, pak, true); }

struct Scenario {
    const char* what;
    uint32_t key;
    size_t junk;    // bytes a killed merge left past the table
    size_t bigger;  // size of the new entry
};

// Returns false once the merge ran through without the failure.
bool CutEverywhere(const Scenario& s, int failAt, bool failCuts)
{
    const Bytes clean = Pak({{"a.dat", std::string(300, 'a'), 1, 0}, {"b.dat", std::string(900, 'b'), 1, 0}}, s.key);
    Bytes old = clean, cleanMerged = clean;
    old.resize(old.size() + s.junk, 0xEE);
    CRecorder target;
    target.bytes = old, target.failAt = failAt, target.failCuts = failCuts;
    CPakMemory source;
    source.bytes = Pak({{"b.dat", std::string(1000, 'B'), 2, 0}, {"c.dat", std::string(s.bigger, 'c'), 2, 0}});
    Bytes whole = old;
    if (Merge(source.bytes, whole) != PakMergeResult::Merged || Contents(whole).find("damaged:") != std::string::npos)
        return ADD_FAILURE() << "the whole merge", false;
    // What a killed merge left is written over: retries never grow the archive.
    Merge(source.bytes, cleanMerged);
    EXPECT_TRUE(whole == cleanMerged) << whole.size() << " bytes, not " << cleanMerged.size();
    const PakMergeResult result = MergePak(source, target, 0, 2, 2, nullptr);
    if (failAt >= 0 && result == PakMergeResult::Merged) return false;
    // Failed: the old bytes exactly, cut back to what the header refers to; a failed cut reads as
    // the old archive. Merged: the archive a whole merge makes. A cut may leave either, a failed
    // run's too (its header may land before the failure).
    const std::string before = Contents(old), merged = Contents(whole), after = Contents(target.bytes);
    const bool cutFailed = failCuts && failAt >= 0;
    EXPECT_EQ(result, failAt < 0 ? PakMergeResult::Merged : cutFailed ? PakMergeResult::RestoreFailed : PakMergeResult::Failed);
    EXPECT_TRUE(failAt < 0 ? after == merged && merged != before : cutFailed ? after == before : target.bytes == clean);

    std::mt19937 random(static_cast<unsigned>(failAt + 2));  // the same samples every run: a failure replays
    size_t durableOps = 0;
    Bytes durable = old;
    for (size_t cut = 0; cut <= target.ops.size(); ++cut) {
        if (cut > 0 && target.ops[cut - 1].kind == Op::kFlush)
            for (; durableOps < cut; ++durableOps) Apply(durable, target.ops[durableOps]);
        const std::vector<Op> pending =
            Pieces(std::vector<Op>(target.ops.begin() + static_cast<long>(durableOps), target.ops.begin() + static_cast<long>(cut)));
        const bool enumerate = pending.size() <= 12;
        const uint64_t states = enumerate ? uint64_t{1} << pending.size() : 100;
        for (uint64_t n = 0; n < states; ++n) {
            std::vector<const Op*> landed;
            for (size_t i = 0; i < pending.size(); ++i)
                if (enumerate ? (n >> i & 1) : (random() & 1)) landed.push_back(&pending[i]);
            for (bool reversed : {false, true}) {
                Bytes disk = durable;
                if (reversed) std::reverse(landed.begin(), landed.end());
                for (const Op* op : landed) Apply(disk, *op);
                const std::string seen = Contents(disk);
                const bool returned = cut == target.ops.size();  // then it must read as its result
                EXPECT_TRUE(returned ? seen == after : seen == before || seen == merged)
                    << (returned ? "returned, then lost: " : "cut after op ") << cut << " of " << target.ops.size() << ", "
                    << landed.size() << " of " << pending.size() << " pieces landed: " << seen.substr(0, 80);
                if (testing::Test::HasFailure()) return false;
            }
        }
    }
    return true;
}

// Each scenario merges whole, then with each write or flush failing in turn, the cut back
// succeeding or failing.
TEST(PowerLoss, EveryCutLeavesTheOldOrTheNewArchive)
{
    const Scenario scenarios[] = {
        {"plain merge", 0, 0, 700}, {"into an archive a killed merge left longer", 0, 333, 700},
        {"scrambled table", 0x5A, 0, 700}, {"data past one chunk, sampled", 0, 0, PAK_CHUNK + 5000},
    };
    for (const Scenario& s : scenarios) {
        for (int failAt = -1; failAt < 100; ++failAt) {
            SCOPED_TRACE(std::string(s.what) + ", failing call " + std::to_string(failAt));
            if (!CutEverywhere(s, failAt, true) || !CutEverywhere(s, failAt, false)) break;
        }
    }
}

}  // namespace

// libFuzzer target: two archives from one input (the first two bytes split it) run through the
// checks, the merge decision and the merge. A refused or failed merge leaves the target as it
// was; a merge takes something, leaves an archive that passes the checks, keeps every old byte
// the old header refers to and adds exactly the taken entries; the keyed decision agrees with the
// pairwise loop.
#include "pack/PakFormat.h"

#include "../bench/PakPairwise.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > (1u << 16)) return 0;
    const size_t split = std::min<size_t>(data[0] | data[1] << 8, size - 2);
    CPakMemory source, target;
    source.bytes.assign(data + 2, data + 2 + split);
    target.bytes.assign(data + 2 + split, data + size);
    const std::vector<unsigned char> before = target.bytes;

    PakArchive s, t;
    int64_t taken = -1;  // unknown
    if (ReadPak(source, s, nullptr) && ReadPak(target, t, nullptr) && s.Count() < 512 && t.Count() < 512) {
        std::vector<unsigned char> s2 = s.table, t2 = t.table;
        taken = DecideMerge(s.table.data(), s.Count(), t.table.data(), t.Count());
        if (taken != DecidePairwise(s2.data(), s.Count(), t2.data(), t.Count()) || s.table != s2 || t.table != t2)
            std::abort();
    }

    const PakMergeResult r = MergePak(source, target, 0, 2, 2, nullptr);
    if (r != PakMergeResult::Merged) {
        if (target.bytes != before) std::abort();
        return 0;
    }
    PakArchive merged, old;
    CPakMemory oldBytes;
    oldBytes.bytes = before;
    if (!ReadPak(oldBytes, old, nullptr) || !ReadPak(target, merged, nullptr) || (merged.Get(PAK_FLAGS) & 2) == 0 ||
        taken == 0 || (taken > 0 && merged.Count() != t.Count() + taken) ||
        std::memcmp(target.bytes.data() + PAK_HEADER_SIZE, before.data() + PAK_HEADER_SIZE,
                    PakReferredEnd(old) - PAK_HEADER_SIZE) != 0)
        std::abort();
    return 0;
}

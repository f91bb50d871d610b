// The merge decision as a literal pairwise loop: every source entry against every target
// entry, in order, with the names cleared as it goes. The reference that DecideMerge must
// match (tests, fuzzer) and the baseline it is timed against (benchmark).
#pragma once

#include "pack/PakFormat.h"

inline uint64_t DecidePairwise(unsigned char* source, uint32_t sourceCount, unsigned char* target, uint32_t targetCount)
{
    uint64_t added = 0;
    for (uint32_t i = 0; i < sourceCount; ++i) {
        unsigned char* s = source + static_cast<size_t>(i) * PAK_ENTRY_SIZE;
        bool found = false, newer = false;
        for (uint32_t j = 0; j < targetCount; ++j) {
            unsigned char* t = target + static_cast<size_t>(j) * PAK_ENTRY_SIZE;
            if (!PakNamesEqual(s, t))
                continue;
            found = true;
            const uint32_t vs = PakGet32(s, PAK_VERSION), vt = PakGet32(t, PAK_VERSION);
            if (vs > vt || (vs == vt && PakGetTime(s) > PakGetTime(t)))
                newer = true;
            if (newer) {
                ++added;
                t[0] = 0;
            } else {
                s[0] = 0;
            }
        }
        if (!found)
            ++added;
    }
    return added;
}

// The merge decision as a literal pairwise loop: every source entry against every target
// entry, in order, with the names cleared as it goes; an empty name matches nothing, and a
// source entry is taken when its name is left. The reference that DecideMerge must match
// (tests, fuzzer) and the baseline it is timed against (benchmark).
#pragma once

#include "pack/PakFormat.h"

inline uint32_t DecidePairwise(unsigned char* source, uint32_t sourceCount, unsigned char* target, uint32_t targetCount)
{
    uint32_t taken = 0;
    for (uint32_t i = 0; i < sourceCount; ++i) {
        unsigned char* s = source + static_cast<size_t>(i) * PAK_ENTRY_SIZE;
        bool newer = false;
        for (uint32_t j = 0; j < targetCount; ++j) {
            unsigned char* t = target + static_cast<size_t>(j) * PAK_ENTRY_SIZE;
            if (s[0] == 0 || t[0] == 0 || !PakNamesEqual(s, t))
                continue;
            const uint32_t vs = PakGet32(s, PAK_VERSION), vt = PakGet32(t, PAK_VERSION);
            if (vs > vt || (vs == vt && PakGetTime(s) > PakGetTime(t)))
                newer = true;
            if (newer)
                t[0] = 0;
            else
                s[0] = 0;
        }
        if (s[0] != 0)
            ++taken;
    }
    return taken;
}

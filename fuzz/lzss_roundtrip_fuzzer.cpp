// libFuzzer target: every input compresses within the worst case, to the same stream when
// compressed again on the same object, and expands back to itself, both unbounded and with
// exactly its own size as the bound.
#include "pack/GsLzss.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20)) return 0;
    static CGsLZSS lz;
    const int n = static_cast<int>(size), bound = static_cast<int>(LzssCompressBound(n));
    // Exactly sized heap buffers, so that AddressSanitizer sees any write past them.
    std::vector<uint8_t> packed(static_cast<size_t>(bound) + 1), again(packed.size()), plain(size);
    const int packedLen = lz.Compress(data, packed.data(), n, bound);
    if (packedLen < 0 || packedLen > bound || packedLen != lz.CodeSize() ||
        lz.Compress(data, again.data(), n, bound) != packedLen || again != packed)
        std::abort();
    for (int capacity : {0, n}) {
        if (n > 0 && (lz.Decompress(packed.data(), plain.data(), packedLen, capacity) != 1 ||
                      lz.ExpandedSize() != n || std::memcmp(plain.data(), data, size) != 0))
            std::abort();
    }
    return 0;
}

// libFuzzer target: every input compresses within the worst case and expands back to itself,
// both unbounded and with exactly its own size as the bound; compressing it again on the
// same object gives the same stream.
#include "pack/GsLzss.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    static CGsLZSS lz;
    const int n = static_cast<int>(size);
    const int bound = static_cast<int>(LzssCompressBound(n));
    // Exactly sized heap buffers, so that AddressSanitizer sees any write past them.
    std::vector<uint8_t> packed(static_cast<size_t>(bound) + 1);
    const int packedLen = lz.Compress(data, packed.data(), n, bound);
    if (packedLen < 0 || packedLen > bound || packedLen != lz.CodeSize())
        std::abort();
    packed.resize(static_cast<size_t>(packedLen));

    std::vector<uint8_t> again(static_cast<size_t>(bound) + 1);
    if (lz.Compress(data, again.data(), n, bound) != packedLen ||
        (packedLen > 0 && std::memcmp(again.data(), packed.data(), packed.size()) != 0))
        std::abort();

    if (n == 0)
        return 0;
    std::vector<uint8_t> plain(size);
    if (lz.Decompress(packed.data(), plain.data(), packedLen, 0) != 1 ||
        lz.ExpandedSize() != n || std::memcmp(plain.data(), data, size) != 0)
        std::abort();
    {
        std::vector<uint8_t> bounded(size);
        if (lz.Decompress(packed.data(), bounded.data(), packedLen, n) != 1 ||
            lz.ExpandedSize() != n || std::memcmp(bounded.data(), data, size) != 0)
            std::abort();
    }
    return 0;
}

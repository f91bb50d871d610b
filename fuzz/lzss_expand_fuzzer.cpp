// libFuzzer target: arbitrary bytes as a stream, expanded into a destination whose capacity
// the first two input bytes choose. The codec must stay inside the capacity, agree with an
// unbounded expansion on every byte it wrote, and report a cut exactly when the stream holds
// more than the capacity.
#include "pack/GsLzss.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > (1u << 16)) return 0;
    const int capacity = 1 + (data[0] | data[1] << 8), n = static_cast<int>(size - 2);
    static CGsLZSS lz;
    std::vector<uint8_t> bounded(static_cast<size_t>(capacity)), full(static_cast<size_t>(LzssExpandBound(n)) + 1);
    const int result = lz.Decompress(data + 2, bounded.data(), n, capacity), produced = lz.ExpandedSize();
    if ((result != 0 && result != 1) || produced < 0 || produced > capacity || (result == 0 && produced != capacity))
        std::abort();
    if (lz.Decompress(data + 2, full.data(), n, 0) != 1 || lz.ExpandedSize() > LzssExpandBound(n) ||
        (result == 0) != (lz.ExpandedSize() > capacity) ||
        std::memcmp(bounded.data(), full.data(), static_cast<size_t>(produced)) != 0)
        std::abort();
    return 0;
}

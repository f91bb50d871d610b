// The merge decision on two tables of N entries each (default 50,000): the keyed DecideMerge
// against the literal pairwise loop, which must agree on every cleared name and the count taken.
// Names share a long prefix and differ in case, as in real archives; a third of the source is
// new, a third newer, a third older; a few dead entries on both sides.
//
//   build/host/bin/bench_pak [N]
#include "pack/PakFormat.h"

#include "PakPairwise.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

std::vector<unsigned char> Table(uint32_t n, uint32_t first, bool upper, std::mt19937& rng)
{
    std::vector<unsigned char> t(static_cast<size_t>(n) * PAK_ENTRY_SIZE, 0);
    for (uint32_t i = 0; i < n; ++i) {
        unsigned char* e = t.data() + static_cast<size_t>(i) * PAK_ENTRY_SIZE;
        if (rng() % 500 != 0)
            std::snprintf(reinterpret_cast<char*>(e), PAK_NAME_SIZE, upper ? "DATA\\GRAPHIC\\EV%06u.BMP" : "data\\graphic\\ev%06u.bmp",
                          first + i);
        PakPut32(e, PAK_VERSION, rng() % 3);
        PakPut32(e, PAK_TIME, rng());
        PakPut32(e, PAK_TIME + 4, 0x01D00000);
    }
    return t;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const uint32_t n = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 50000;
    std::mt19937 rng(12345);
    const std::vector<unsigned char> target = Table(n, 0, false, rng);
    const std::vector<unsigned char> source = Table(n, n / 3, true, rng);

    std::vector<unsigned char> s1 = source, t1 = target;
    auto start = std::chrono::steady_clock::now();
    const uint32_t keyed = DecideMerge(s1.data(), n, t1.data(), n);
    const double keyedTime = Seconds(start);
    std::printf("keyed     %u x %u: %.3f s, %u taken\n", n, n, keyedTime, keyed);
    std::fflush(stdout);

    std::vector<unsigned char> s2 = source, t2 = target;
    start = std::chrono::steady_clock::now();
    const uint32_t pairwise = DecidePairwise(s2.data(), n, t2.data(), n);
    const double pairTime = Seconds(start);
    std::printf("pairwise  %u x %u: %.3f s, %u taken\n", n, n, pairTime, pairwise);
    if (keyed != pairwise || s1 != s2 || t1 != t2) {
        std::printf("MISMATCH: the keyed decision differs from the pairwise loop\n");
        return 1;
    }
    std::printf("same decisions; keyed is %.0f times faster\n", pairTime / keyedTime);
    return 0;
}

// Seeded generators of codec inputs, shared by the tests and the benchmark. The generator is
// a fixed 64-bit mix so the same seed gives the same bytes on every platform and compiler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lzss_inputs {

struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

inline std::vector<unsigned char> Random(size_t size, uint64_t seed)
{
    Rng rng(seed);
    std::vector<unsigned char> v(size);
    for (auto& b : v)
        b = static_cast<unsigned char>(rng.Next());
    return v;
}

// Few distinct bytes in long runs and short repeating patterns.
inline std::vector<unsigned char> Repetitive(size_t size, uint64_t seed)
{
    Rng rng(seed);
    std::vector<unsigned char> v;
    v.reserve(size);
    while (v.size() < size) {
        size_t run = 1 + rng.Below(300);
        if (rng.Below(2) == 0) {
            unsigned char b = static_cast<unsigned char>(rng.Below(3));
            for (size_t i = 0; i < run && v.size() < size; ++i)
                v.push_back(b);
        } else {
            unsigned char pattern[5];
            size_t period = 2 + rng.Below(4);
            for (size_t i = 0; i < period; ++i)
                pattern[i] = static_cast<unsigned char>('a' + rng.Below(3));
            for (size_t i = 0; i < run && v.size() < size; ++i)
                v.push_back(pattern[i % period]);
        }
    }
    return v;
}

// Prose-like text: words of a fixed vocabulary drawn with a skewed (roughly Zipf) frequency,
// with punctuation and line breaks.
inline std::vector<unsigned char> Text(size_t size, uint64_t seed)
{
    Rng rng(seed);
    std::vector<std::string> words;
    for (int i = 0; i < 2000; ++i) {
        std::string w;
        size_t n = 1 + rng.Below(4) + rng.Below(6);
        for (size_t k = 0; k < n; ++k)
            w += static_cast<char>("etaoinshrdlcumwfgypbvkjxqz"[rng.Below(8) + rng.Below(19)]);
        words.push_back(w);
    }
    std::vector<unsigned char> v;
    v.reserve(size + 32);
    size_t lineLen = 0;
    bool capital = true;
    while (v.size() < size) {
        // Log-uniform rank: a few very common words, a long tail.
        uint32_t bits = rng.Below(11);
        uint32_t rank = (1u << bits) - 1 + rng.Below(1u << bits);
        std::string w = words[rank % words.size()];
        if (capital && !w.empty())
            w[0] = static_cast<char>(w[0] - 'a' + 'A');
        capital = false;
        v.insert(v.end(), w.begin(), w.end());
        lineLen += w.size() + 1;
        uint32_t punct = rng.Below(20);
        if (punct == 0) {
            v.push_back('.');
            capital = true;
        } else if (punct == 1) {
            v.push_back(',');
        }
        if (lineLen > 70) {
            v.push_back('\n');
            lineLen = 0;
        } else {
            v.push_back(' ');
        }
    }
    v.resize(size);
    return v;
}

// A game archive's mix in 4 KiB blocks: tables of little-endian records with slowly
// changing fields, 16-bit pixel rows with runs, script text, and already-compressed noise.
inline std::vector<unsigned char> GameData(size_t size, uint64_t seed)
{
    Rng rng(seed);
    std::vector<unsigned char> v;
    v.reserve(size + 4096);
    std::vector<unsigned char> script = Text(1 << 16, seed ^ 0x5C);
    uint32_t id = 1000, offset = 0;
    while (v.size() < size) {
        switch (rng.Below(4)) {
        case 0: // table records: id, offset, size, flags
            for (int i = 0; i < 256; ++i) {
                uint32_t len = 64 + rng.Below(20000);
                uint32_t rec[4] = {id++, offset, len, rng.Below(4)};
                offset += len;
                for (uint32_t f : rec)
                    for (int b = 0; b < 4; ++b)
                        v.push_back(static_cast<unsigned char>(f >> (8 * b)));
            }
            break;
        case 1: { // pixel rows: a palette of a few colours in runs
            uint16_t palette[6];
            for (auto& c : palette)
                c = static_cast<uint16_t>(rng.Next());
            for (int i = 0; i < 2048;) {
                uint16_t c = palette[rng.Below(6)];
                int run = 1 + static_cast<int>(rng.Below(40));
                for (int k = 0; k < run && i < 2048; ++k, ++i) {
                    v.push_back(static_cast<unsigned char>(c));
                    v.push_back(static_cast<unsigned char>(c >> 8));
                }
            }
            break;
        }
        case 2: { // script text
            size_t at = rng.Below(static_cast<uint32_t>(script.size() - 4096));
            v.insert(v.end(), script.begin() + at, script.begin() + at + 4096);
            break;
        }
        default: // compressed audio or images: incompressible
            for (int i = 0; i < 4096; ++i)
                v.push_back(static_cast<unsigned char>(rng.Next()));
            break;
        }
    }
    v.resize(size);
    return v;
}

} // namespace lzss_inputs

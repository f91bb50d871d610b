// What the archive tests share: archives written from entries in memory, and listings of them
// as the program's reader sees them.
#pragma once
#include "pack/PakFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pak_kit {

using Bytes = std::vector<unsigned char>;
struct E {
    std::string name, data;
    uint32_t version;
    uint64_t time;
};

inline Bytes Pak(const std::vector<E>& entries, uint32_t key = 0, bool plain = false, uint32_t flags = 0)
{
    std::vector<CPakMemory> data(entries.size());
    std::vector<PakNewEntry> list;
    for (size_t i = 0; i < entries.size(); ++i) {
        data[i].bytes.assign(entries[i].data.begin(), entries[i].data.end());
        list.push_back({entries[i].name, entries[i].version, entries[i].time, &data[i], 0, uint32_t(entries[i].data.size())});
    }
    CPakMemory out;
    EXPECT_TRUE(WritePak(out, nullptr, flags, key, list, plain, nullptr));
    return out.bytes;
}

// Every entry (a dead one with an empty name) as name=data/version/time, in table order;
// with `header`, the 72 header bytes first.
inline std::string Listing(const Bytes& file, PakArchive& pak, bool header = false)
{
    CPakMemory io;
    io.bytes = file;
    std::string out;
    if (!ReadPak(io, pak, &out)) return "damaged: " + out;
    if (header) out.assign(pak.header, pak.header + PAK_HEADER_SIZE);
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const unsigned char* e = pak.Entry(i);
        std::string data(PakGet32(e, PAK_SIZE), '\0');
        if (!io.ReadAt(pak.Get(PAK_DATA_BASE) + uint64_t{PakGet32(e, PAK_OFFSET)}, &data[0], data.size()))
            return out + "entry past the end";
        out += std::string(reinterpret_cast<const char*>(e)) + "=" + data + "/" + std::to_string(PakGet32(e, PAK_VERSION)) +
               "/" + std::to_string(PakGetTime(e)) + " ";
    }
    return out;
}

inline PakMergeResult Merge(const Bytes& source, Bytes& target, uint32_t bit = 2, CPakMemory&& t = CPakMemory())
{
    CPakMemory s;
    s.bytes = source;
    t.bytes = target;
    const PakMergeResult r = MergePak(s, t, 0, bit, bit, nullptr);
    return target = t.bytes, r;
}

}  // namespace pak_kit

#include "pack/PakFormat.h"

#include "base/GsPath.h"
#include "pack/GsLzss.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

bool CPakMemory::ReadAt(uint64_t offset, void* buffer, size_t count)
{
    if (offset > bytes.size() || count > bytes.size() - offset)
        return false;
    std::copy_n(bytes.data() + offset, count, static_cast<unsigned char*>(buffer));
    return true;
}

bool CPakMemory::WriteAt(uint64_t offset, const void* buffer, size_t count)
{
    if (offset + count > bytes.size())
        bytes.resize(static_cast<size_t>(offset + count));
    std::copy_n(static_cast<const unsigned char*>(buffer), count, bytes.data() + offset);
    return true;
}

bool CPakMemory::Truncate(uint64_t size)
{
    bytes.resize(static_cast<size_t>(size));
    return true;
}

int ScrambleTable(unsigned char key, unsigned char* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        bytes[i] ^= static_cast<unsigned char>(i & key);
    return 1;
}

namespace {


uint64_t Align4(uint64_t v) { return (v + 3) & ~uint64_t{3}; }

bool Fail(std::string* problem, const std::string& text)
{
    if (problem != nullptr)
        *problem = text;
    return false;
}

// Collects output in PAK_CHUNK pieces, so that many small entries and their padding cost one
// write per megabyte, and a large entry is never held whole.
class Appender {
public:
    Appender(IPakIo& out, uint64_t pos, size_t buffer = PAK_CHUNK) : m_out(out), m_pos(pos), m_buf(buffer) {}
    uint64_t Position() const { return m_pos + m_fill; }
    bool Copy(IPakIo& from, uint64_t offset, uint64_t count)
    {
        while (count > 0) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(count, m_buf.size() - m_fill));
            if (!from.ReadAt(offset, m_buf.data() + m_fill, n))
                return false;
            offset += n;
            count -= n;
            if (!Advance(n))
                return false;
        }
        return true;
    }
    bool Bytes(const unsigned char* p, size_t count)
    {
        while (count > 0) {
            size_t n = std::min(count, m_buf.size() - m_fill);
            std::memcpy(m_buf.data() + m_fill, p, n);
            p += n;
            count -= n;
            if (!Advance(n))
                return false;
        }
        return true;
    }
    bool PadTo4()
    {
        static const unsigned char zeros[4] = {};
        return Bytes(zeros, static_cast<size_t>(Align4(Position()) - Position()));
    }
    bool Drain()
    {
        if (m_fill == 0)
            return true;
        bool ok = m_out.WriteAt(m_pos, m_buf.data(), m_fill);
        m_pos += m_fill;
        m_fill = 0;
        return ok;
    }

private:
    bool Advance(size_t n)
    {
        m_fill += n;
        return m_fill < m_buf.size() || Drain();
    }
    IPakIo& m_out;
    uint64_t m_pos;
    std::vector<unsigned char> m_buf;
    size_t m_fill = 0;
};

// Whether source entry s is newer than target entry t: a higher version, or the same version
// and a later time stamp (CompareFileTime's order: unsigned, high part first).
bool Newer(const unsigned char* s, const unsigned char* t)
{
    const uint32_t vs = PakGet32(s, PAK_VERSION), vt = PakGet32(t, PAK_VERSION);
    return vs != vt ? vs > vt : PakGetTime(s) > PakGetTime(t);
}

// The header's numbers against each other and the file's size, before any of them sizes an
// allocation: a table within the limit and within what its stored form can expand to, a
// stored table no longer than the codec can make of that table and inside the file.
bool CheckPakHeader(const PakArchive& pak, std::string* problem)
{
    const uint64_t tableBytes = static_cast<uint64_t>(pak.Count()) * PAK_ENTRY_SIZE;
    const uint32_t stored = pak.Get(PAK_TABLE_SIZE);
    const std::string count = "entry count " + std::to_string(pak.Count());
    if (pak.Get(PAK_DATA_BASE) > pak.fileSize)
        return Fail(problem, "data base lies beyond the end of the file");
    if (tableBytes > PAK_TABLE_LIMIT)
        return Fail(problem, count + " is beyond the 256 MiB table limit");
    if (stored != 0) {
        const long long need = LzssCompressBound(static_cast<long long>(tableBytes));
        if (stored > need)
            return Fail(problem, "stored table size " + std::to_string(stored) + " is more than " + count +
                                     " can need (" + std::to_string(need) + " bytes)");
        if (static_cast<uint64_t>(pak.Get(PAK_TABLE_OFFSET)) + stored > pak.fileSize)
            return Fail(problem, "stored table lies outside the file");
        if (tableBytes > static_cast<uint64_t>(LzssExpandBound(stored)))
            return Fail(problem, count + " is more than the stored table can hold");
    } else if (PAK_HEADER_SIZE + tableBytes > pak.fileSize) {
        return Fail(problem, count + " is more than the file can hold");
    }
    return true;
}

}  // namespace

uint64_t PakReferredEnd(const PakArchive& pak)
{
    const uint32_t stored = pak.Get(PAK_TABLE_SIZE);
    uint64_t end = stored != 0 ? uint64_t{pak.Get(PAK_TABLE_OFFSET)} + stored : PAK_HEADER_SIZE + pak.table.size();
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const uint64_t data = uint64_t{pak.Get(PAK_DATA_BASE)} + PakGet32(pak.Entry(i), PAK_OFFSET) + PakGet32(pak.Entry(i), PAK_SIZE);
        end = std::max(end, std::min(data, pak.fileSize));
    }
    return std::max<uint64_t>(end, PAK_HEADER_SIZE);
}

std::string PakNameKey(const unsigned char* name)
{
    std::string key(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), PAK_NAME_SIZE));
    GsFoldCase(&key[0], key.size(), false);
    return key;
}

// The keys compared without building them: the pairwise reference of the benchmark calls this
// for every pair.
bool PakNamesEqual(const unsigned char* a, const unsigned char* b)
{
    char x[PAK_NAME_SIZE + 1] = {}, y[PAK_NAME_SIZE + 1] = {};
    std::memcpy(x, a, PAK_NAME_SIZE);
    std::memcpy(y, b, PAK_NAME_SIZE);
    GsFoldCase(x, PAK_NAME_SIZE, false);
    GsFoldCase(y, PAK_NAME_SIZE, false);
    return std::strcmp(x, y) == 0;
}

bool ReadPakHeader(IPakIo& io, PakArchive& pak, std::string* problem)
{
    pak.fileSize = io.Size();
    if (pak.fileSize < PAK_HEADER_SIZE)
        return Fail(problem, "shorter than the 72-byte header");
    if (!io.ReadAt(0, pak.header, PAK_HEADER_SIZE))
        return Fail(problem, "cannot read the header");
    return CheckPakHeader(pak, problem);
}

bool ReadPakTable(IPakIo& io, PakArchive& pak, std::string* problem)
{
    if (!CheckPakHeader(pak, problem))
        return false;
    const uint32_t count = pak.Count();
    const size_t tableBytes = static_cast<size_t>(count) * PAK_ENTRY_SIZE;
    const uint32_t stored = pak.Get(PAK_TABLE_SIZE);
    pak.table.assign(tableBytes, 0);
    if (stored != 0) {
        std::vector<unsigned char> packed(stored);
        if (!io.ReadAt(pak.Get(PAK_TABLE_OFFSET), packed.data(), stored))
            return Fail(problem, "cannot read the stored table");
        if (pak.Get(PAK_TABLE_KEY) != 0)
            ScrambleTable(static_cast<unsigned char>(pak.Get(PAK_TABLE_KEY)), packed.data(), stored);
        // Capacity 0 would mean unbounded: an empty table is checked with one byte of room.
        unsigned char none[1];
        unsigned char* out = tableBytes != 0 ? pak.table.data() : none;
        const int capacity = tableBytes != 0 ? static_cast<int>(tableBytes) : 1;
        auto lz = std::make_unique<CGsLZSS>();
        if (lz->Decompress(packed.data(), out, static_cast<int>(stored), capacity) != 1 ||
            static_cast<size_t>(lz->ExpandedSize()) != tableBytes)
            return Fail(problem, "stored table does not expand to entry count x 104 bytes");
    } else if (tableBytes != 0 && !io.ReadAt(PAK_HEADER_SIZE, pak.table.data(), tableBytes)) {
        return Fail(problem, "cannot read the table");
    }
    const uint64_t base = pak.Get(PAK_DATA_BASE);
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = pak.Entry(i);
        if (std::memchr(e, 0, PAK_NAME_SIZE) == nullptr)
            return Fail(problem, "entry " + std::to_string(i) + ": name has no terminator within 64 bytes");
        if (e[0] != 0 && base + PakGet32(e, PAK_OFFSET) + PakGet32(e, PAK_SIZE) > pak.fileSize)
            return Fail(problem, "entry " + std::to_string(i) + " (" + reinterpret_cast<const char*>(e) +
                                     "): data lies outside the file");
    }
    return true;
}

bool ReadPak(IPakIo& io, PakArchive& pak, std::string* problem)
{
    return ReadPakHeader(io, pak, problem) && ReadPakTable(io, pak, problem);
}

// A source entry with a name meets the live target entries of the same name in target order.
// Newer than the first of them, it replaces them all (each turns dead) and is taken; otherwise
// its name is cleared there. One that meets none is taken. An empty name matches nothing.
uint32_t DecideMerge(unsigned char* source, uint32_t sourceCount, unsigned char* target, uint32_t targetCount)
{
    std::unordered_map<std::string, std::vector<uint32_t>> live;
    for (uint32_t t = 0; t < targetCount; ++t) {
        const unsigned char* e = target + static_cast<size_t>(t) * PAK_ENTRY_SIZE;
        if (e[0] != 0)
            live[PakNameKey(e)].push_back(t);
    }
    uint32_t taken = 0;
    for (uint32_t s = 0; s < sourceCount; ++s) {
        unsigned char* e = source + static_cast<size_t>(s) * PAK_ENTRY_SIZE;
        if (e[0] == 0)
            continue;
        auto it = live.find(PakNameKey(e));
        if (it != live.end() && !it->second.empty()) {
            std::vector<uint32_t>& same = it->second;
            if (!Newer(e, target + static_cast<size_t>(same[0]) * PAK_ENTRY_SIZE)) {
                e[0] = 0;
                continue;
            }
            for (uint32_t t : same)
                target[static_cast<size_t>(t) * PAK_ENTRY_SIZE] = 0;
            same.clear();
        }
        ++taken;
    }
    return taken;
}

std::vector<unsigned char> EncodePakTable(const unsigned char* table, uint32_t count, uint32_t key)
{
    const int n = static_cast<int>(static_cast<size_t>(count) * PAK_ENTRY_SIZE);
    std::vector<unsigned char> out(static_cast<size_t>(LzssCompressBound(n)));
    auto lz = std::make_unique<CGsLZSS>();
    out.resize(static_cast<size_t>(lz->Compress(table, out.data(), n, static_cast<int>(out.size()))));
    if (key != 0)
        ScrambleTable(static_cast<unsigned char>(key), out.data(), out.size());
    return out;
}

bool CopyPakBytes(IPakIo& from, uint64_t fromOffset, IPakIo& to, uint64_t toOffset, uint64_t count)
{
    // A buffer no larger than the bytes: thousands of small files extracted in a row would
    // otherwise each clear a whole chunk.
    Appender out(to, toOffset, static_cast<size_t>(std::min<uint64_t>(count, PAK_CHUNK)));
    return out.Copy(from, fromOffset, count) && out.Drain();
}

PakMergeResult MergePak(IPakIo& source, IPakIo& target, uint32_t requireBase, uint32_t appliedBit,
                        uint32_t requiredBit, std::string* problem)
{
    PakArchive src, tgt;
    if (!ReadPakHeader(source, src, problem))
        return PakMergeResult::SourceDamaged;
    if (!ReadPakHeader(target, tgt, problem))
        return PakMergeResult::TargetDamaged;
    if ((tgt.Get(PAK_FLAGS) & appliedBit) != 0)
        return PakMergeResult::UpToDate;
    if (requireBase != 0 && (tgt.Get(PAK_FLAGS) & requiredBit) == 0)
        return PakMergeResult::NotUpdatable;
    if (!ReadPakTable(source, src, problem))
        return PakMergeResult::SourceDamaged;
    if (!ReadPakTable(target, tgt, problem))
        return PakMergeResult::TargetDamaged;

    const uint32_t nt = tgt.Count();
    const uint32_t taken = DecideMerge(src.table.data(), src.Count(), tgt.table.data(), nt);
    if (taken == 0)
        return PakMergeResult::UpToDate;
    const uint64_t newCount = uint64_t{nt} + taken;
    if (newCount * PAK_ENTRY_SIZE > PAK_TABLE_LIMIT) {
        Fail(problem, "the new table would have " + std::to_string(newCount) + " entries");
        return PakMergeResult::TooLarge;
    }

    // The new table and where each taken entry's data will lie, before anything is written.
    std::vector<unsigned char> table(static_cast<size_t>(newCount) * PAK_ENTRY_SIZE, 0);
    std::copy(tgt.table.begin(), tgt.table.end(), table.begin());
    // Appended after the end of what the old header refers to, not after the end of the file:
    // what a killed merge left past it belongs to nothing and is written over, not kept for good.
    // Never before the data base, though: offsets count from it and cannot be negative.
    const uint64_t oldEnd = PakReferredEnd(tgt);
    const uint64_t base = tgt.Get(PAK_DATA_BASE);
    const uint64_t start = std::max(oldEnd, base);
    uint64_t pos = Align4(start);
    uint32_t next = nt;
    for (uint32_t s = 0; s < src.Count(); ++s) {
        const unsigned char* e = src.Entry(s);
        if (e[0] == 0)
            continue;
        unsigned char* n = table.data() + static_cast<size_t>(next++) * PAK_ENTRY_SIZE;
        std::memcpy(n, e, PAK_NAME_SIZE);
        PakPut32(n, PAK_OFFSET, static_cast<uint32_t>(pos - base));
        PakPut32(n, PAK_SIZE, PakGet32(e, PAK_SIZE));
        // The source's version and time stamp go with the file, so that a later merge never
        // takes an older one over it; the 20 uninterpreted bytes stay zero.
        std::memcpy(n + PAK_VERSION, e + PAK_VERSION, 4);
        std::memcpy(n + PAK_TIME, e + PAK_TIME, 8);
        pos += Align4(PakGet32(e, PAK_SIZE));
    }
    const std::vector<unsigned char> stored =
        EncodePakTable(table.data(), static_cast<uint32_t>(newCount), tgt.Get(PAK_TABLE_KEY));
    // Offsets are 32-bit: every one written above is below pos, so this one test covers them.
    if (pos + stored.size() > UINT32_MAX) {
        Fail(problem, "the merged archive would reach 4 GiB");
        return PakMergeResult::TooLarge;
    }

    unsigned char header[PAK_HEADER_SIZE];
    std::memcpy(header, tgt.header, PAK_HEADER_SIZE);
    PakPut32(header, PAK_TABLE_SIZE, static_cast<uint32_t>(stored.size()));
    PakPut32(header, PAK_TABLE_OFFSET, static_cast<uint32_t>(pos));
    PakPut32(header, PAK_COUNT, static_cast<uint32_t>(newCount));
    PakPut32(header, PAK_FLAGS, tgt.Get(PAK_FLAGS) | appliedBit);

    Appender out(target, start);
    bool ok = out.PadTo4();
    for (uint32_t s = 0; ok && s < src.Count(); ++s) {
        const unsigned char* e = src.Entry(s);
        if (e[0] != 0)
            ok = out.Copy(source, src.Get(PAK_DATA_BASE) + uint64_t{PakGet32(e, PAK_OFFSET)}, PakGet32(e, PAK_SIZE)) &&
                 out.PadTo4();
    }
    ok = ok && out.Bytes(stored.data(), stored.size()) && out.Drain() && target.Flush();
    bool headerTried = false;
    if (ok) {
        headerTried = true;
        ok = target.WriteAt(0, header, PAK_HEADER_SIZE) && target.Flush();
    }
    if (ok)
        return PakMergeResult::Merged;
    Fail(problem, "writing the target failed");
    // The old header must be on the disk before the bytes the new one names are cut away: a
    // cut landing first would leave a header that points past the end.
    bool restored = !headerTried || (target.WriteAt(0, tgt.header, PAK_HEADER_SIZE) && target.Flush());
    restored = restored && target.Truncate(oldEnd) && target.Flush();
    return restored ? PakMergeResult::Failed : PakMergeResult::RestoreFailed;
}

bool WritePak(IPakIo& out, const unsigned char* head48, uint32_t flags, uint32_t key,
              const std::vector<PakNewEntry>& entries, bool plainTable, std::string* problem)
{
    const uint32_t count = static_cast<uint32_t>(entries.size());
    if (static_cast<uint64_t>(count) * PAK_ENTRY_SIZE > PAK_TABLE_LIMIT)
        return Fail(problem, "too many entries");
    std::vector<unsigned char> table(static_cast<size_t>(count) * PAK_ENTRY_SIZE, 0);
    const uint64_t base = plainTable ? PAK_HEADER_SIZE + table.size() : PAK_HEADER_SIZE;
    uint64_t pos = base;
    for (uint32_t i = 0; i < count; ++i) {
        const PakNewEntry& n = entries[i];
        unsigned char* e = table.data() + static_cast<size_t>(i) * PAK_ENTRY_SIZE;
        if (n.name.size() >= PAK_NAME_SIZE)
            return Fail(problem, "name longer than 63 bytes: " + n.name);
        std::memcpy(e, n.name.data(), n.name.size());
        PakPut32(e, PAK_OFFSET, static_cast<uint32_t>(pos - base));
        PakPut32(e, PAK_SIZE, n.size);
        PakPut32(e, PAK_VERSION, n.version);
        if (n.keep != nullptr)
            std::memcpy(e + PAK_VERSION + 4, n.keep, 20);
        PakPut32(e, PAK_TIME, static_cast<uint32_t>(n.time));
        PakPut32(e, PAK_TIME + 4, static_cast<uint32_t>(n.time >> 32));
        pos += Align4(n.size);
        if (pos > UINT32_MAX)
            return Fail(problem, "the archive would reach 4 GiB");
    }
    std::vector<unsigned char> stored = plainTable ? table : EncodePakTable(table.data(), count, key);
    unsigned char header[PAK_HEADER_SIZE] = {};
    if (head48 != nullptr)
        std::memcpy(header, head48, 48);
    PakPut32(header, PAK_FLAGS, flags);
    PakPut32(header, PAK_TABLE_SIZE, plainTable ? 0 : static_cast<uint32_t>(stored.size()));
    PakPut32(header, PAK_TABLE_KEY, key);
    PakPut32(header, PAK_COUNT, count);
    PakPut32(header, PAK_DATA_BASE, static_cast<uint32_t>(base));
    PakPut32(header, PAK_TABLE_OFFSET, plainTable ? 0 : static_cast<uint32_t>(pos));
    Appender a(out, 0);
    bool ok = a.Bytes(header, sizeof header);
    if (plainTable)
        ok = ok && a.Bytes(stored.data(), stored.size());
    for (const PakNewEntry& n : entries)
        ok = ok && a.Copy(*n.data, n.offset, n.size) && a.PadTo4();
    if (!plainTable)
        ok = ok && a.Bytes(stored.data(), stored.size());
    ok = ok && a.Drain() && out.Flush();
    return ok || Fail(problem, "writing the archive failed");
}

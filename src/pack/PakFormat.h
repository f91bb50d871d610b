// Update archives (.pak): the 72-byte header, the table of 104-byte entries, its checks
// against damaged or hostile files, the merge decision and the merge itself. Portable: files
// are reached only through IPakIo, so the same code runs in the program, in gspak on every
// platform, in the tests, the fuzzer and the benchmark.
//
// Header, all integers 32-bit little-endian: 48 bytes kept as they are, flags, table size
// (0: the table lies uncompressed right after the header), table key (low byte scrambles the
// stored table; 0: plain), entry count, data base, table offset.
// Entry: name[64] (zero-terminated; first byte 0 = dead), data offset (from the data base),
// data size, version, 20 bytes kept, FILETIME (low, high).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t PAK_HEADER_SIZE = 72;
constexpr uint32_t PAK_ENTRY_SIZE = 104;
constexpr uint32_t PAK_NAME_SIZE = 64;
// No table beyond this is accepted, whatever its header claims.
constexpr uint64_t PAK_TABLE_LIMIT = 256u << 20;
// Entry data is moved in pieces of this size, never loaded whole.
constexpr size_t PAK_CHUNK = 1u << 20;

enum PakHeaderField : uint32_t {
    PAK_FLAGS = 48, PAK_TABLE_SIZE = 52, PAK_TABLE_KEY = 56, PAK_COUNT = 60, PAK_DATA_BASE = 64, PAK_TABLE_OFFSET = 68
};
enum PakEntryField : uint32_t { PAK_OFFSET = 64, PAK_SIZE = 68, PAK_VERSION = 72, PAK_TIME = 96 };

inline uint32_t PakGet32(const unsigned char* p, uint32_t at)
{
    p += at;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void PakPut32(unsigned char* p, uint32_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
inline uint64_t PakGetTime(const unsigned char* entry)
{
    return PakGet32(entry, PAK_TIME) | static_cast<uint64_t>(PakGet32(entry, PAK_TIME + 4)) << 32;
}

// A file as the merge sees it. Transfers are all-or-nothing: false means the platform call
// failed or moved fewer bytes.
class IPakIo {
public:
    virtual ~IPakIo() = default;
    virtual uint64_t Size() = 0;
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
    virtual bool WriteAt(uint64_t offset, const void* buffer, size_t count) = 0;
    // Forces everything written so far onto the disk.
    virtual bool Flush() = 0;
    virtual bool Truncate(uint64_t size) = 0;
};

// A file held in memory: tests, the fuzzer and the benchmark.
class CPakMemory : public IPakIo {
public:
    std::vector<unsigned char> bytes;
    uint64_t Size() override { return bytes.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override;
    bool WriteAt(uint64_t offset, const void* buffer, size_t count) override;
    bool Flush() override { return true; }
    bool Truncate(uint64_t size) override;
};

// XORs byte i with (i mod 256) AND key; its own inverse.
int ScrambleTable(unsigned char key, unsigned char* bytes, size_t length);

// Case-insensitive name order key: ASCII letters folded, except the second byte of a
// code-page-932 double-byte character. Two names are equal when their keys are.
std::string PakNameKey(const unsigned char* name);
bool PakNamesEqual(const unsigned char* a, const unsigned char* b);

struct PakArchive {
    unsigned char header[PAK_HEADER_SIZE] = {};
    uint64_t fileSize = 0;
    std::vector<unsigned char> table;  // count entries, expanded and unscrambled

    uint32_t Get(PakHeaderField f) const { return PakGet32(header, f); }
    uint32_t Count() const { return Get(PAK_COUNT); }
    unsigned char* Entry(uint32_t i) { return table.data() + static_cast<size_t>(i) * PAK_ENTRY_SIZE; }
    const unsigned char* Entry(uint32_t i) const { return table.data() + static_cast<size_t>(i) * PAK_ENTRY_SIZE; }
};

// Reads and checks the header, the table, or both. On failure *problem (if not null) names the
// first fault found, e.g. "entry 3: data lies outside the file"; false means the archive must
// not be used. ReadPakTable checks the header's numbers again before they size anything: a
// stored table longer than the codec can make of entry count x 104 bytes is refused unread,
// and allocations stay within what the file's size justifies.
bool ReadPakHeader(IPakIo& io, PakArchive& pak, std::string* problem);
bool ReadPakTable(IPakIo& io, PakArchive& pak, std::string* problem);
bool ReadPak(IPakIo& io, PakArchive& pak, std::string* problem);

// The merge decision over two expanded tables: clears the names of source entries that are
// not taken and of target entries that are replaced, and returns how many source entries are
// taken (those whose names are left), which is how many entries the new table adds. An empty
// name, a dead entry on either side, matches nothing. Keyed lookups; the same result as
// comparing every source entry with every target entry in order.
uint32_t DecideMerge(unsigned char* source, uint32_t sourceCount, unsigned char* target, uint32_t targetCount);

// The stored form of a table: compressed, then scrambled with the key's low byte.
std::vector<unsigned char> EncodePakTable(const unsigned char* table, uint32_t count, uint32_t key);

// The end of what a header refers to: its table and every entry's data (a dead entry's too, as
// far as it lies in the file). Bytes past it belong to nothing.
uint64_t PakReferredEnd(const PakArchive& pak);

enum class PakMergeResult {
    Merged,          // entries appended, header written
    UpToDate,        // nothing to take or the bit already set: nothing written
    SourceDamaged,   // refused, nothing written
    TargetDamaged,   // refused, nothing written
    NotUpdatable,    // the target lacks the required bit
    TooLarge,        // the result would not fit 32-bit offsets; nothing written
    Failed,          // a read, write or flush failed; the target is back to its old bytes (up to
                     // the end of what its header refers to)
    RestoreFailed,   // as Failed, but the target could not be cut back: it may hold extra bytes
};

// Merges source into target: appends the source's newer or missing entries after the end of
// what the target's header refers to (its table and entries' data; bytes past that, which a
// killed merge leaves, belong to nothing and are written over), from a 4-byte boundary, each
// entry padded to 4; adds exactly those to the
// table (with their versions and time stamps; the 20 uninterpreted bytes zero), writes the new
// table after them, flushes, then writes the header in one piece and flushes again. Nothing
// taken: nothing written. Bytes the old header refers to are never overwritten, so an
// interruption leaves either archive whole. On a failed transfer the target is cut back to that
// end. requireBase 0: no check.
PakMergeResult MergePak(IPakIo& source, IPakIo& target, uint32_t requireBase, uint32_t appliedBit,
                        uint32_t requiredBit, std::string* problem);

// One entry of an archive being written: size bytes at offset of data.
struct PakNewEntry {
    std::string name;
    uint32_t version = 0;
    uint64_t time = 0;
    IPakIo* data = nullptr;
    uint64_t offset = 0;
    uint32_t size = 0;
    const unsigned char* keep = nullptr;  // the 20 uninterpreted bytes, or null for zeros
};

// Writes a whole archive into an empty out: header (first 48 bytes from head48, or zeros),
// data from offset 72, each padded to 4, then the stored table; or with plainTable, the
// uncompressed table right after the header and the data after it. Flushes at the end.
bool WritePak(IPakIo& out, const unsigned char* head48, uint32_t flags, uint32_t key,
              const std::vector<PakNewEntry>& entries, bool plainTable, std::string* problem);

// Copies count bytes between two files in PAK_CHUNK pieces.
bool CopyPakBytes(IPakIo& from, uint64_t fromOffset, IPakIo& to, uint64_t toOffset, uint64_t count);

// gspak pak: build, inspect and merge update archives with the program's own archive code.
#include "PakCommands.h"

#include "HostFs.h"
#include "Progress.h"
#include "SafeName.h"
#include "base/GsPath.h"
#include "pack/PakFile.h"
#include "pack/PakFormat.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

int Say(int code, const std::string& text)
{
    std::fprintf(stderr, "gspak: %s\n", text.c_str());
    return code;
}

// Decimal or 0x-hexadecimal, all of it; false for anything else or beyond max.
bool ParseNumber(const std::string& text, uint64_t max, uint64_t& value)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 20)
        return false;
    value = 0;
    for (char c : digits) {
        int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0 || value > (max - d) / (hex ? 16 : 10))
            return false;
        value = value * (hex ? 16 : 10) + d;
    }
    return true;
}

// An entry name fits the table's 64 bytes with its terminator, and an empty one is dead.
bool NameFits(const std::string& name) { return !name.empty() && name.size() < PAK_NAME_SIZE; }

// The open functions return kPakOk, or the exit code after a message.
int OpenInput(const std::string& path, CPakFile& file)
{
    if (file.Open(path.c_str(), CPakFile::kRead))
        return kPakOk;
    return Say(kPakFailed, "cannot open '" + path + "': " + file.Problem());
}

// An archive read and checked whole, its file kept open for the entries' data.
struct Archive : PakArchive {
    CPakFile file;
    int Open(const std::string& path)
    {
        std::string problem;
        if (int code = OpenInput(path, file))
            return code;
        if (!ReadPak(file, *this, &problem))
            return Say(kPakDamaged, "'" + path + "' is damaged: " + problem);
        return kPakOk;
    }
};

// Writes entries into a new archive that replaces path only once it is whole.
int Write(const std::string& path, const unsigned char* head48, uint32_t flags, uint32_t key,
          const std::vector<PakNewEntry>& entries, bool plain)
{
    CPakOutput out;
    if (!out.Create(path.c_str()))
        return Say(kPakFailed, "cannot create '" + path + "': " + out.Problem());
    uint64_t total = 0;
    for (const PakNewEntry& e : entries)
        total += e.size;
    CProgress progress(total);
    CProgressIo counted(out, progress);
    std::string problem;
    if (!WritePak(counted, head48, flags, key, entries, plain, &problem))
        return Say(kPakFailed, "'" + path + "': " + problem);
    if (!out.Commit())
        return Say(kPakFailed, "cannot write '" + path + "': " + out.Problem());
    std::printf("%s: %zu entries\n", path.c_str(), entries.size());
    return kPakOk;
}

// A file of a tree, opened only while its bytes are copied: thousands of them never hold
// thousands of descriptors.
class CLazyFile : public IPakIo {
public:
    const TreeFile* file = nullptr;
    uint64_t Size() override { return file->size; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override
    {
        if (!m_open && !(m_open = m_file.Open(file->path.c_str(), CPakFile::kRead)))
            return Fail(m_file.Problem());
        if (m_file.Size() != file->size)
            return Fail("it changed while being read");
        if (!m_file.ReadAt(offset, buffer, count))
            return Fail("cannot read it");
        if (offset + count >= file->size) {
            m_file.Close();
            m_open = false;
        }
        return true;
    }
    bool WriteAt(uint64_t, const void*, size_t) override { return false; }
    bool Flush() override { return true; }
    bool Truncate(uint64_t) override { return false; }

private:
    bool Fail(const std::string& why)
    {
        Say(kPakFailed, "'" + file->path + "': " + why);
        return false;
    }
    CPakFile m_file;
    bool m_open = false;
};

std::string KeyOf(const std::string& name)
{
    unsigned char padded[PAK_NAME_SIZE] = {};
    std::memcpy(padded, name.data(), std::min<size_t>(name.size(), PAK_NAME_SIZE - 1));
    return PakNameKey(padded);
}

// Orders entries by the archive's case-insensitive key, then by their bytes; refuses two
// names that the archive takes as equal.
int SortEntries(std::vector<PakNewEntry>& entries, const std::vector<std::string>& origins)
{
    std::vector<std::pair<std::string, size_t>> order;
    order.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        order.emplace_back(KeyOf(entries[i].name), i);
    std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : entries[a.second].name < entries[b.second].name;
    });
    std::vector<PakNewEntry> sorted;
    sorted.reserve(entries.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && order[i].first == order[i - 1].first)
            return Say(kPakUsage, "'" + origins[order[i - 1].second] + "' and '" + origins[order[i].second] +
                                      "' have names the archive takes as equal; nothing written");
        sorted.push_back(entries[order[i].second]);
    }
    entries.swap(sorted);
    return kPakOk;
}

int Build(const std::vector<std::string>& args)
{
    std::string out, from;
    uint64_t key = 0, flags = 0, version = 1, time = 0;
    bool plain = false, timeGiven = false;
    std::vector<std::string> items;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--key" || a == "--flags" || a == "--version" || a == "--time") {
            uint64_t& value = a == "--key" ? key : a == "--flags" ? flags : a == "--version" ? version : time;
            if (i + 1 == args.size() || !ParseNumber(args[i + 1], a == "--time" ? UINT64_MAX : UINT32_MAX, value))
                return Say(kPakUsage, a + " needs a " + (a == "--time" ? "64" : "32") + "-bit number (decimal or 0x...)");
            timeGiven = timeGiven || a == "--time";
            ++i;
        } else if (a == "--from") {
            if (i + 1 == args.size() || !from.empty())
                return Say(kPakUsage, "--from needs one folder");
            from = args[++i];
        } else if (a == "--plain-table") {
            plain = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return Say(kPakUsage, "unknown option '" + a + "'");
        } else if (out.empty()) {
            out = a;
        } else {
            items.push_back(a);
        }
    }
    if (out.empty() || (items.empty() && from.empty()))
        return Say(kPakUsage, "pak build needs OUT and --from DIR or NAME=FILE[:VERSION[:FILETIME]] arguments");
    std::vector<PakNewEntry> entries;
    std::vector<std::string> paths;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        const size_t eq = item.find('=');
        if (eq == std::string::npos)
            return Say(kPakUsage, "'" + item + "' is not NAME=FILE[:VERSION[:FILETIME]]");
        const std::string name = item.substr(0, eq);
        std::string file = item.substr(eq + 1);
        // Numbers are taken from the right, so FILE may hold colons (C:\...).
        uint64_t numbers[2];
        int found = 0;
        for (size_t colon; found < 2 && (colon = file.rfind(':')) != std::string::npos; ++found) {
            if (!ParseNumber(file.substr(colon + 1), UINT64_MAX, numbers[found]))
                break;
            file.resize(colon);
        }
        const uint64_t itemVersion = found > 0 ? numbers[found - 1] : 0;
        if (itemVersion > UINT32_MAX)
            return Say(kPakUsage, "'" + item + "': VERSION must be a 32-bit number");
        if (!NameFits(name))
            return Say(kPakUsage, "'" + item + "': NAME must have 1 to 63 bytes");
        entries.push_back({name, static_cast<uint32_t>(itemVersion), found == 2 ? numbers[0] : 0});
        paths.push_back(file);
    }
    // The tree: listed and checked whole before OUT is touched; its files opened one at a time.
    std::vector<TreeFile> tree;
    std::string problem;
    const TreeResult listed = from.empty() ? TreeResult::Ok : ListTree(from, tree, problem);
    if (listed != TreeResult::Ok)
        return Say(listed == TreeResult::Refused ? kPakUsage : kPakFailed, problem + "; nothing written");
    // What an output's run (this one's included, when OUT lies in the tree) writes meanwhile.
    tree.erase(std::remove_if(tree.begin(), tree.end(), [](const TreeFile& f) { return PakIsTempName(f.name); }),
               tree.end());
    std::vector<CLazyFile> lazy(tree.size());
    for (size_t i = 0; i < tree.size(); ++i) {
        const TreeFile& f = tree[i];
        if (!NameFits(f.name))
            return Say(kPakUsage, "'" + f.path + "': its name has 64 bytes or more in code page 932; nothing written");
        if (f.size > UINT32_MAX)
            return Say(kPakFailed, "'" + f.path + "' is 4 GiB or more; nothing written");
        lazy[i].file = &f;
        entries.push_back({f.name, static_cast<uint32_t>(version), timeGiven ? time : f.time, &lazy[i], 0,
                           static_cast<uint32_t>(f.size)});
    }
    std::vector<std::string> origins = paths;
    for (const TreeFile& f : tree)
        origins.push_back(f.path);
    if (int code = RefuseOutputOverInput(out, origins))
        return code;
    std::vector<CPakFile> files(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (int code = OpenInput(paths[i], files[i]))
            return code;
        if (files[i].Size() > UINT32_MAX)
            return Say(kPakFailed, "'" + paths[i] + "' is 4 GiB or more");
        entries[i].data = &files[i];
        entries[i].size = static_cast<uint32_t>(files[i].Size());
    }
    if (!from.empty()) {
        if (int code = SortEntries(entries, origins))
            return code;
    }
    return Write(out, nullptr, static_cast<uint32_t>(flags), static_cast<uint32_t>(key), entries, plain);
}

// A name as list prints it: code-page-932 double-byte characters and printable bytes as they
// are; as \xHH a control byte, a lead byte without its trail byte (it would swallow the next
// byte) and a backslash followed by x (it would read as such an escape).
std::string Printable(const unsigned char* name)
{
    std::string text;
    for (uint32_t i = 0; i < PAK_NAME_SIZE && name[i] != 0; ++i) {
        const unsigned char c = name[i], next = i + 1 < PAK_NAME_SIZE ? name[i + 1] : 0;
        if (GsIsLeadByte(c) && GsIsTrailByte(next)) {
            text += static_cast<char>(c);
            text += static_cast<char>(next);
            ++i;
        } else if (c < 0x20 || c == 0x7F || GsIsLeadByte(c) || (c == '\\' && next == 'x')) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

int List(const std::string& path)
{
    Archive pak;
    if (int code = pak.Open(path))
        return code;
    std::printf("# flags 0x%08" PRIX32 ", key 0x%08" PRIX32 ", %" PRIu32 " entries, data base %" PRIu32 "\n",
                pak.Get(PAK_FLAGS), pak.Get(PAK_TABLE_KEY), pak.Count(), pak.Get(PAK_DATA_BASE));
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const unsigned char* e = pak.Entry(i);
        std::printf("%" PRIu32 "\t%s\t%" PRIu32 "\t%" PRIu64 "\t%" PRIu32 "\t%" PRIu32 "\t%s\n", i,
                    Printable(e).c_str(), PakGet32(e, PAK_VERSION), PakGetTime(e), PakGet32(e, PAK_OFFSET),
                    PakGet32(e, PAK_SIZE), e[0] != 0 ? "live" : "dead");
    }
    return kPakOk;
}

// Copies entry e into out, created for target, which it replaces only once whole; flush false
// leaves the flush to the caller. shown names the entry in a message.
int CopyEntry(Archive& pak, const unsigned char* e, const std::string& shown, const std::string& target,
              CPakOutput& out, CProgress& progress, bool flush)
{
    CProgressIo counted(out, progress);
    if (!CopyPakBytes(pak.file, uint64_t{pak.Get(PAK_DATA_BASE)} + PakGet32(e, PAK_OFFSET), counted, 0,
                      PakGet32(e, PAK_SIZE)))
        return Say(kPakFailed, "cannot copy '" + shown + "' into '" + target + "'");
    if (!out.Commit(flush))
        return Say(kPakFailed, "cannot write '" + target + "': " + out.Problem());
    return kPakOk;
}

int Extract(const std::string& path, const std::string& name, const std::string& outPath)
{
    if (int code = RefuseOutputOverInput(outPath, {path}))
        return code;
    Archive pak;
    if (int code = pak.Open(path))
        return code;
    unsigned char wanted[PAK_NAME_SIZE] = {};
    if (!NameFits(name))
        return Say(kPakUsage, "NAME must have 1 to 63 bytes");
    std::memcpy(wanted, name.data(), name.size());
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const unsigned char* e = pak.Entry(i);
        if (e[0] == 0 || !PakNamesEqual(e, wanted))
            continue;
        CProgress none(0);  // one entry draws no progress line
        CPakOutput out;
        if (!out.Create(outPath.c_str()))
            return Say(kPakFailed, "cannot create '" + outPath + "': " + out.Problem());
        return CopyEntry(pak, e, name, outPath, out, none, true);
    }
    return Say(kPakNoEntry, "'" + path + "' has no live entry named '" + name + "'");
}

int ExtractAll(const std::string& path, const std::string& dir, bool force)
{
    Archive pak;
    if (int code = pak.Open(path))
        return code;
    COutputTree tree;
    if (!tree.Open(dir))
        return Say(kPakFailed, "cannot make the folder '" + dir + "'");
    uint64_t total = 0;
    for (uint32_t i = 0; i < pak.Count(); ++i)
        total += pak.Entry(i)[0] != 0 ? PakGet32(pak.Entry(i), PAK_SIZE) : 0;
    CProgress progress(total);
    uint32_t written = 0, skipped = 0, failed = 0;
    // Readers take the first live entry of a name key: only that one is written.
    std::unordered_set<std::string> keys;
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const unsigned char* e = pak.Entry(i);
        if (e[0] == 0)
            continue;
        const std::string name(reinterpret_cast<const char*>(e), strnlen(reinterpret_cast<const char*>(e), PAK_NAME_SIZE));
        std::vector<std::string> parts;
        std::string why = keys.insert(PakNameKey(e)).second ? UnsafeName(name, parts)
                                                             : "the name of an earlier entry, which readers take",
                    target, problem;
        for (std::string& part : parts) {
            std::string native;
            if (why.empty() && !NativePart(part, native))
                why = "a name this system cannot express";
            part.swap(native);
        }
        const Place place = why.empty() ? tree.Prepare(parts, target, problem) : Place::Refused;
        std::string refusal = !why.empty() ? "it has " + why : place != Place::Free && place != Place::Exists ? problem : "";
        if (place == Place::Exists && PakSameFile(target.c_str(), path.c_str()))
            refusal = "it would overwrite the archive";
        // Refused, failed or kept: said, counted and passed over.
        if (!refusal.empty())
            refusal = "refused entry '" + Printable(e) + "': " + refusal + "; nothing written for it";
        else if (place == Place::Exists && !force)
            refusal = "kept '" + target + "': it exists (--force replaces it)";
        if (!refusal.empty()) {
            Say(kPakSkipped, refusal);
            ++(place == Place::Failed ? failed : skipped);
            continue;
        }
        // One flush of the whole tree at the end costs far less than one per file.
        CPakOutput out;
        if (!tree.Create(out)) {
            Say(kPakFailed, "cannot create '" + target + "': " + out.Problem());
            ++failed;
        } else if (CopyEntry(pak, e, Printable(e), target, out, progress, false) != kPakOk) {
            ++failed;
        } else {
            ++written;
        }
    }
    if (!tree.Flush())
        return Say(kPakFailed, "'" + dir + "': the files written could not be flushed to the disk");
    std::printf("%s: %" PRIu32 " files written, %" PRIu32 " not\n", dir.c_str(), written, skipped + failed);
    return failed > 0 ? kPakFailed : skipped > 0 ? kPakSkipped : kPakOk;
}

int Verify(const std::string& path)
{
    Archive pak;
    if (int code = pak.Open(path))
        return code;
    std::printf("%s: ok, %" PRIu32 " entries\n", path.c_str(), pak.Count());
    return kPakOk;
}

// Whether two entries hold the same bytes.
bool SameData(Archive& a, const unsigned char* x, Archive& b, const unsigned char* y)
{
    uint64_t size = PakGet32(x, PAK_SIZE), at = 0;
    if (size != PakGet32(y, PAK_SIZE))
        return false;
    std::vector<unsigned char> p(PAK_CHUNK), q(PAK_CHUNK);
    for (size_t n; at < size; at += n) {
        n = static_cast<size_t>(std::min<uint64_t>(PAK_CHUNK, size - at));
        if (!a.file.ReadAt(uint64_t{a.Get(PAK_DATA_BASE)} + PakGet32(x, PAK_OFFSET) + at, p.data(), n) ||
            !b.file.ReadAt(uint64_t{b.Get(PAK_DATA_BASE)} + PakGet32(y, PAK_OFFSET) + at, q.data(), n) ||
            std::memcmp(p.data(), q.data(), n) != 0)
            return false;
    }
    return true;
}

// The entries of NEW a merge into OLD takes. An entry whose bytes differ from OLD's but which
// a merge would not take (not newer: a time stamp kept from an older copy) refuses the diff,
// naming each: the update would otherwise silently lack it.
int Diff(const std::string& oldPath, const std::string& newPath, const std::string& outPath)
{
    if (int code = RefuseOutputOverInput(outPath, {oldPath, newPath}))
        return code;
    Archive older, newer;
    if (int code = older.Open(oldPath))
        return code;
    if (int code = newer.Open(newPath))
        return code;
    std::unordered_map<std::string, uint32_t> first;  // OLD's entry that readers take, by name key
    for (uint32_t i = older.Count(); i-- > 0;)
        if (older.Entry(i)[0] != 0)
            first[PakNameKey(older.Entry(i))] = i;
    std::vector<unsigned char> taken = newer.table, olderTable = older.table;
    DecideMerge(taken.data(), newer.Count(), olderTable.data(), older.Count());
    std::vector<PakNewEntry> entries;
    int stale = 0;
    for (uint32_t i = 0; i < newer.Count(); ++i) {
        const unsigned char* e = newer.Entry(i);
        if (e[0] != 0 && taken[static_cast<size_t>(i) * PAK_ENTRY_SIZE] == 0) {
            const unsigned char* o = older.Entry(first.at(PakNameKey(e)));
            if (!SameData(older, o, newer, e) && ++stale)
                Say(kPakNotNewer, "'" + Printable(e) + "' changed, but is not newer than in OLD (version " +
                                      std::to_string(PakGet32(e, PAK_VERSION)) + ", time " + std::to_string(PakGetTime(e)) +
                                      " against " + std::to_string(PakGet32(o, PAK_VERSION)) + ", " +
                                      std::to_string(PakGetTime(o)) + "): a merge would not take it; give it a higher version");
            continue;
        }
        if (e[0] == 0)
            continue;
        entries.push_back({reinterpret_cast<const char*>(e), PakGet32(e, PAK_VERSION), PakGetTime(e), &newer.file,
                           uint64_t{newer.Get(PAK_DATA_BASE)} + PakGet32(e, PAK_OFFSET), PakGet32(e, PAK_SIZE),
                           e + PAK_VERSION + 4});
    }
    if (stale > 0)
        return Say(kPakNotNewer, std::to_string(stale) + " changed entries would be left out; nothing written");
    return Write(outPath, newer.header, newer.Get(PAK_FLAGS), newer.Get(PAK_TABLE_KEY), entries, false);
}

int Merge(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    uint64_t bit = 0, require = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--bit" || a == "--require") {
            if (i + 1 == args.size() || !ParseNumber(args[i + 1], UINT32_MAX, a == "--bit" ? bit : require))
                return Say(kPakUsage, a + " needs a 32-bit number (decimal or 0x...)");
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            return Say(kPakUsage, "unknown option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2 || bit == 0)
        return Say(kPakUsage, "pak merge needs SOURCE, TARGET and --bit B (not 0)");
    if (PakSameFile(files[0].c_str(), files[1].c_str()))
        return Say(kPakUsage, "SOURCE and TARGET are the same file");
    CPakFile source, target;
    if (int code = OpenInput(files[0], source))
        return code;
    // Held until the merge ends: a second writer of the target is refused meanwhile.
    if (!target.Open(files[1].c_str(), CPakFile::kUpdate))
        return Say(kPakFailed, "cannot open '" + files[1] + "' for writing: " + target.Problem() + "; nothing written");
    // The bytes to append are known only from the merge decision: taken here only for the line.
    uint64_t total = 0;
    PakArchive src, tgt;
    if (!g_quiet && StderrIsTerminal() && ReadPak(source, src, nullptr) && ReadPak(target, tgt, nullptr)) {
        DecideMerge(src.table.data(), src.Count(), tgt.table.data(), tgt.Count());
        for (uint32_t i = 0; i < src.Count(); ++i)
            total += src.Entry(i)[0] != 0 ? PakGet32(src.Entry(i), PAK_SIZE) : 0;
    }
    CProgress progress(total);
    CProgressIo counted(target, progress);
    std::string problem;
    switch (MergePak(source, counted, static_cast<uint32_t>(require), static_cast<uint32_t>(bit),
                     static_cast<uint32_t>(require), &problem)) {
    case PakMergeResult::Merged:
        std::printf("%s: merged\n", files[1].c_str());
        return kPakOk;
    case PakMergeResult::UpToDate:
        std::printf("%s: up to date, nothing written\n", files[1].c_str());
        return kPakOk;
    case PakMergeResult::SourceDamaged:
        return Say(kPakDamaged, "'" + files[0] + "' is damaged: " + problem + "; nothing written");
    case PakMergeResult::TargetDamaged:
        return Say(kPakDamaged, "'" + files[1] + "' is damaged: " + problem + "; nothing written");
    case PakMergeResult::NotUpdatable:
        return Say(kPakNotUpdatable, "'" + files[1] + "' lacks the required bit; nothing written");
    case PakMergeResult::TooLarge:
        return Say(kPakMergeFailed, "'" + files[1] + "': " + problem + "; nothing written");
    case PakMergeResult::Failed:
        return Say(kPakMergeFailed, "'" + files[1] + "': " + problem + "; the archive is as it was");
    case PakMergeResult::RestoreFailed:
        break;
    }
    return Say(kPakRestoreFailed, "'" + files[1] + "': " + problem +
                                      " and it could not be cut back; the archive is valid as before but may hold extra bytes");
}

}  // namespace

int RefuseOutputOverInput(const std::string& out, const std::vector<std::string>& inputs)
{
    for (const std::string& in : inputs) {
        if (PakSameFile(out.c_str(), in.c_str()))
            return Say(kPakUsage, "OUT '" + out + "' is the same file as the input '" + in + "'; nothing written");
    }
    return kPakOk;
}

int RunPak(const std::vector<std::string>& args)
{
    const std::string cmd = args.empty() ? "" : args[0];
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    for (const std::string& a : rest) {
        if (a.size() > 1 && a[0] == '-' && cmd != "build" && cmd != "merge" && cmd != "extract")
            return Say(kPakUsage, "unknown option '" + a + "'");
    }
    if (cmd == "build")
        return Build(rest);
    if (cmd == "merge")
        return Merge(rest);
    if (cmd == "list" && rest.size() == 1)
        return List(rest[0]);
    if (cmd == "verify" && rest.size() == 1)
        return Verify(rest[0]);
    if (cmd == "extract") {
        std::vector<std::string> words;
        bool all = false, force = false;
        for (const std::string& a : rest) {
            if (a == "--all" || a == "--force")
                (a == "--all" ? all : force) = true;
            else if (a.size() > 1 && a[0] == '-')
                return Say(kPakUsage, "unknown option '" + a + "'");
            else
                words.push_back(a);
        }
        if (all && words.size() == 2)
            return ExtractAll(words[0], words[1], force);
        if (!all && !force && words.size() == 3)
            return Extract(words[0], words[1], words[2]);
    }
    if (cmd == "diff" && rest.size() == 3)
        return Diff(rest[0], rest[1], rest[2]);
    return Say(kPakUsage, "unknown pak command or wrong arguments (see gspak --help)");
}

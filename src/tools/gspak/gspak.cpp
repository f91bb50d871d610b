// gspak: command-line access to the framework's pack formats, for the people who prepare
// update archives and for tests. Standard C++ only, so it builds for Windows and natively.
//
// Exit codes: 0 done, 1 input or output failed, 2 bad arguments, 3 expansion stopped at
// the --max bound because the stream holds more; 4 to 9 for archives (PakCommands.h).
#include "PakCommands.h"
#include "Progress.h"
#include "pack/GsLzss.h"
#include "pack/PakFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kStopped = 3 };

// The largest input whose worst-case compressed size can still be counted in int.
constexpr long long kMaxCompressInput = 1908874352;
static_assert(LzssCompressBound(kMaxCompressInput) <= INT_MAX &&
                  LzssCompressBound(kMaxCompressInput + 1) > INT_MAX,
              "compress input limit");

const char kUsageText[] =
    "usage: gspak COMMAND ...\n"
    "\n"
    "  gspak lzss c IN OUT            compress the whole file IN into OUT\n"
    "  gspak lzss d IN OUT [--max N]  expand IN into OUT, stopping at N bytes\n"
    "  gspak pak build OUT [--key K] [--flags F] [--plain-table] NAME=FILE[:VERSION[:FILETIME]]...\n"
    "                                 write an update archive (FILETIME: 64-bit, 100 ns units)\n"
    "  gspak pak build OUT --from DIR [--version V] [--time T] [NAME=FILE...]\n"
    "                                 every file under DIR, named by its path below DIR with\n"
    "                                 backslashes in code page 932; version V (1), time stamp T\n"
    "                                 or the file's last write. Entries, items included, are in\n"
    "                                 the order of their names with ASCII letters folded to lower\n"
    "                                 case (double-byte characters as they are), byte by byte.\n"
    "                                 Refused, OUT untouched: a name of 64 bytes or more, two\n"
    "                                 names equal but for case, one code page 932 cannot express\n"
    "  gspak pak list X               one line per entry: index, name, version, time stamp,\n"
    "                                 data offset, size, live or dead; in names a control\n"
    "                                 byte, and a backslash before x, shows as \\xHH\n"
    "  gspak pak extract X NAME OUT   copy the live entry NAME (any case) into OUT\n"
    "  gspak pak extract X --all DIR [--force]\n"
    "                                 every live entry into DIR, backslashes making folders. A\n"
    "                                 name with a '..' part, a drive, a leading separator, a\n"
    "                                 device name or a character Windows names cannot hold, or\n"
    "                                 reaching through a link, is refused, as is a later entry of\n"
    "                                 a name already written; an existing file is kept unless\n"
    "                                 --force (exit 9 for either)\n"
    "  gspak pak verify X             check header, table and entries; name the first problem\n"
    "  gspak pak diff OLD NEW OUT     an archive of the entries of NEW that a merge into OLD takes;\n"
    "                                 refused (exit 10) when an entry changed but is not newer\n"
    "  gspak pak merge SOURCE TARGET --bit B [--require R]\n"
    "                                 the program's merge: newer and missing entries of SOURCE\n"
    "                                 appended to TARGET, bit B set; crash-safe\n"
    "  gspak --help                   show this text\n"
    "\n"
    "Numbers are decimal or 0x-hexadecimal. The LZSS stream has no header: expanding needs no\n"
    "size, and --max guards against a damaged stream.\n"
    "build, extract, merge, diff and lzss show progress on standard error when it is a terminal\n"
    "and the work lasts over a second; --quiet turns it off.\n"
    "OUT is written beside itself and put in place only when whole; one that is an input is\n"
    "refused. A merge locks TARGET: another writer of it is refused meanwhile.\n"
    "Exit codes: 0 done (a merge with nothing to take included), 1 a file could not be opened,\n"
    "read or written, or is in use, 2 bad arguments, 3 expansion stopped at --max N because\n"
    "the stream holds more (OUT has N bytes), 4 damaged archive (nothing written), 5 merge\n"
    "failed (TARGET reads exactly as before), 6 TARGET lacks the --require bit, 7 no such entry,\n"
    "8 merge failed and TARGET could not be cut back to its old length (still valid as\n"
    "before, longer), 9 extract --all refused or kept entries (the others are written), 10 diff:\n"
    "an entry changed but a merge would not take it (nothing written).\n";

int Usage(const char* problem)
{
    std::fprintf(stderr, "gspak: %s\n\n%s", problem, kUsageText);
    return kUsage;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads the whole file. One longer than `limit` bytes is refused: the codec counts in int.
bool ReadFile(const std::string& path, std::vector<unsigned char>& data, long long limit)
{
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        std::fprintf(stderr, "gspak: cannot open '%s': %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    data.clear();
    // The size known up front spares reading gigabytes only to refuse them.
    std::error_code unknown;
    const unsigned long long size = std::filesystem::file_size(path, unknown);
    bool tooLarge = !unknown && size > static_cast<unsigned long long>(limit);
    unsigned char chunk[1 << 16];
    while (!tooLarge) {
        size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        data.insert(data.end(), chunk, chunk + n);
        tooLarge = data.size() > static_cast<size_t>(limit);
        if (n < sizeof chunk)
            break;
    }
    if (tooLarge) {
        std::fprintf(stderr, "gspak: '%s' is too large (more than %lld bytes)\n", path.c_str(), limit);
        return false;
    }
    if (std::ferror(f.get())) {
        std::fprintf(stderr, "gspak: cannot read '%s'\n", path.c_str());
        return false;
    }
    return true;
}

// Writes the file whole: path has the new bytes, or on failure what it had.
bool WriteFile(const std::string& path, const unsigned char* data, size_t size)
{
    CPakOutput out;
    if (!out.Create(path.c_str())) {
        std::fprintf(stderr, "gspak: cannot create '%s': %s\n", path.c_str(), out.Problem().c_str());
        return false;
    }
    if (!out.WriteAt(0, data, size) || !out.Commit()) {
        std::fprintf(stderr, "gspak: cannot write '%s': %s\n", path.c_str(), out.Problem().c_str());
        return false;
    }
    return true;
}

void Report(void* progress, long long done) { static_cast<CProgress*>(progress)->Set(static_cast<uint64_t>(done)); }

// Compresses IN into OUT, or expands it, stopping at max bytes when max > 0.
int Lzss(bool expand, const std::string& in, const std::string& out, long long max)
{
    std::vector<unsigned char> src;
    if (!ReadFile(in, src, expand ? INT_MAX - 1 : kMaxCompressInput))
        return kFailed;
    const int srcLen = static_cast<int>(src.size());
    auto lz = std::make_unique<CGsLZSS>();
    CProgress progress(src.size());
    lz->SetReport(Report, &progress);
    std::vector<unsigned char> dst;
    int result = 1, n = 0;
    if (!expand) {
        dst.resize(static_cast<size_t>(LzssCompressBound(srcLen)) + 1);
        n = lz->Compress(src.data(), dst.data(), srcLen, static_cast<int>(dst.size()));
    } else if (max > 0) {
        dst.resize(static_cast<size_t>(max));
        result = lz->Decompress(src.data(), dst.data(), srcLen, static_cast<int>(max));
    } else {
        // The output size is not recorded in the stream: grow the buffer until the stream
        // fits instead of reserving its nine-fold worst case up front.
        const long long bound = LzssExpandBound(srcLen);
        long long cap = std::min<long long>(bound, std::max<long long>(4LL * srcLen, 1 << 16));
        for (;;) {
            if (cap > INT_MAX)
                cap = INT_MAX;
            dst.resize(static_cast<size_t>(cap));
            result = lz->Decompress(src.data(), dst.data(), srcLen, static_cast<int>(cap));
            if (result || cap >= bound || cap == INT_MAX)
                break;
            cap *= 2;
        }
        if (!result) {
            std::fprintf(stderr, "gspak: '%s' expands to 2 GiB or more\n", in.c_str());
            return kFailed;
        }
    }
    progress.Set(src.size());
    if (expand)
        n = lz->ExpandedSize();
    if (!WriteFile(out, dst.data(), static_cast<size_t>(n)))
        return kFailed;
    if (!result) {
        std::fprintf(stderr, "gspak: '%s': output stopped at %d bytes; the stream holds more\n",
                     in.c_str(), n);
        return kStopped;
    }
    std::printf("%s: %d bytes -> %s: %d bytes\n", in.c_str(), srcLen, out.c_str(), n);
    return kOk;
}

// Parses a byte count of 1 to INT_MAX written in decimal; 0 when it is not one.
long long ParseCount(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return 0;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        v = v * 10 + (c - '0');
    }
    return v <= INT_MAX ? v : 0;
}

int RunLzss(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage("lzss needs a direction, c or d");
    const std::string& dir = args[0];
    if (dir != "c" && dir != "d")
        return Usage(("unknown lzss direction '" + dir + "' (use c or d)").c_str());
    std::vector<std::string> files;
    long long max = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--max" || a.rfind("--max=", 0) == 0) {
            if (dir != "d")
                return Usage("--max applies to d (expand) only");
            std::string value;
            if (a == "--max") {
                if (++i == args.size())
                    return Usage("--max needs a byte count");
                value = args[i];
            } else {
                value = a.substr(6);
            }
            max = ParseCount(value);
            if (max == 0)
                return Usage(("--max needs a byte count from 1 to 2147483647, not '" + value + "'").c_str());
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(("unknown option '" + a + "'").c_str());
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return Usage("lzss needs exactly two files, IN and OUT");
    if (int code = RefuseOutputOverInput(files[1], {files[0]}))
        return code;
    return Lzss(dir == "d", files[0], files[1], max);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    // --quiet: no progress line, for the commands that may draw one.
    const bool mayShow = args[0] == "lzss" || (args[0] == "pak" && args.size() > 1 &&
                                               (args[1] == "build" || args[1] == "extract" || args[1] == "merge" ||
                                                args[1] == "diff"));
    if (mayShow) {
        const auto quiet = std::remove(args.begin(), args.end(), std::string("--quiet"));
        g_quiet = quiet != args.end();
        args.erase(quiet, args.end());
    }
    if (args[0] == "pak")
        return RunPak(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args[0] == "lzss")
        return RunLzss(std::vector<std::string>(args.begin() + 1, args.end()));
    return Usage(("unknown command '" + args[0] + "'").c_str());
}

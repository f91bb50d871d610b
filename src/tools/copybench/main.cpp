// copybench MODE SOURCE_FOLDER DESTINATION_FOLDER NAME...
// Copies the named files from SOURCE_FOLDER into DESTINATION_FOLDER once and prints the
// seconds taken. MODE: "engine" (CGsCopyList::CopyAll), "checked" (the same, each file checked
// against its SHA-256, taken before the timing), "plain" (one CopyFileExA per file,
// no progress routine), "plain-flush" (plain, then FlushFileBuffers on each copy: the
// durability the engine adds before its rename). Existing destinations are deleted first,
// outside the timing.
// copybench hash own|plain|platform SOURCE_FOLDER NAME...: the hash's throughput in MB/s over the
// named files held in memory (own: the project's code as the processor allows; plain: without
// the SHA instructions; platform: CNG).
#include "base/ScopedWin.h"
#include "files/GsCopyList.h"
#include "files/GsFileHash.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Flush(const std::string& path)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.Get());
}
int Throughput(const std::string& kind, const std::string& from, const std::vector<std::string>& names)
{
    std::vector<std::string> contents;
    for (const std::string& name : names) {
        ScopedFile file(CreateFileA((from + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD size = file ? GetFileSize(file.Get(), nullptr) : 0, read = 0;
        contents.emplace_back(size, '\0');
        if (!file || !ReadFile(file.Get(), &contents.back()[0], size, &read, nullptr) || read != size)
            return 1;
    }
    LARGE_INTEGER start, end;
    double bytes = 0;
    QueryPerformanceCounter(&start);
    for (const std::string& content : contents) {
        GsDigest digest;
        if (kind == "plain") {
            GsSha256 hash(false);
            hash.Update(content.data(), content.size());
            digest = hash.Final();
        } else {
            CGsFileHash hash(kind == "own" ? CGsFileHash::kOwn : CGsFileHash::kPlatform);
            hash.Update(content.data(), content.size());
            if (!hash.Final(&digest))
                return 1;
        }
        bytes += static_cast<double>(content.size());
    }
    QueryPerformanceCounter(&end);
    std::printf("%.0f\n", bytes / 1e6 / Seconds(start, end));
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::string(argv[1]) == "hash")
        return Throughput(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc));
    if (argc < 5) {
        std::fprintf(stderr, "usage: copybench engine|checked|plain|plain-flush SOURCE_FOLDER DESTINATION_FOLDER NAME...\n");
        return 2;
    }
    std::string mode = argv[1];
    std::string from = argv[2], to = argv[3];
    std::vector<std::string> names(argv + 4, argv + argc);
    std::vector<GsDigest> digests(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        DeleteFileA((to + "\\" + names[i]).c_str());
        if (mode == "checked" && !GsHashFile((from + "\\" + names[i]).c_str(), &digests[i]))
            return 1;
    }

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = true;
    if (mode == "engine" || mode == "checked") {
        CGsCopyList list;
        for (size_t i = 0; i < names.size(); ++i) {
            CGsFileName source(from.c_str(), names[i].c_str()), destination(to.c_str(), names[i].c_str());
            if (mode == "checked")
                list.AddChecked(source, destination, &digests[i]);
            else
                list.Add(source, destination);
        }
        ok = list.CopyAll(nullptr, nullptr, 0, 1024) == 1;
    } else if (mode == "plain" || mode == "plain-flush") {
        for (const std::string& name : names) {
            std::string source = from + "\\" + name, destination = to + "\\" + name;
            ok = ok && CopyFileExA(source.c_str(), destination.c_str(), nullptr, nullptr, nullptr, 0);
            if (ok && mode == "plain-flush")
                ok = Flush(destination);
        }
    } else {
        std::fprintf(stderr, "copybench: unknown mode %s\n", mode.c_str());
        return 2;
    }
    QueryPerformanceCounter(&end);
    if (!ok) {
        std::fprintf(stderr, "copybench: %s copy failed (error %lu)\n", mode.c_str(), GetLastError());
        return 1;
    }
    std::printf("%.3f\n", Seconds(start, end));
    return 0;
}

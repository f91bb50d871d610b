// copybench MODE SOURCE_FOLDER DESTINATION_FOLDER NAME...
// Copies the named files from SOURCE_FOLDER into DESTINATION_FOLDER once and prints the
// seconds taken. MODE: "engine" (CGsCopyList::CopyAll), "plain" (one CopyFileExA per file,
// no progress routine), "plain-flush" (plain, then FlushFileBuffers on each copy: the
// durability the engine adds before its rename). Existing destinations are deleted first,
// outside the timing.
#include "base/ScopedWin.h"
#include "files/GsCopyList.h"

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
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: copybench engine|plain|plain-flush SOURCE_FOLDER DESTINATION_FOLDER NAME...\n");
        return 2;
    }
    std::string mode = argv[1];
    std::string from = argv[2], to = argv[3];
    std::vector<std::string> names(argv + 4, argv + argc);
    for (const std::string& name : names)
        DeleteFileA((to + "\\" + name).c_str());

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = true;
    if (mode == "engine") {
        CGsCopyList list;
        for (const std::string& name : names)
            list.Add(CGsFileName(from.c_str(), name.c_str()), CGsFileName(to.c_str(), name.c_str()));
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

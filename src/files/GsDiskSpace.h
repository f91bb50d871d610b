// The free space of a volume, asked in one place. Two rules read it: the install menu weighs
// an install against all the bytes the volume has free; the copy engine weighs each file,
// rounded up to whole clusters, against the bytes this user may still write (quotas applied).
#pragma once
#include <windows.h>

struct GsDiskSpace {
    ULONGLONG totalFree = 0;  // free on the volume
    ULONGLONG available = 0;  // free to this user
    ULONGLONG cluster = 1;    // bytes a file takes room in; 1 when unknown
};

using GsDiskFreeExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
using GsDiskFreeFn = BOOL(WINAPI*)(LPCSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD);

// Asks the volume whose root is `root`: the free bytes through `diskFreeEx` when the system
// has it (not null), else through the older `diskFree`, whose cluster counts give both figures.
// `diskFree` is always asked, for the cluster size. False when the free bytes cannot be had.
bool GsQueryDiskSpace(const char* root, GsDiskFreeExFn diskFreeEx, GsDiskFreeFn diskFree, GsDiskSpace* space);

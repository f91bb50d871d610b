#include "files/GsDiskSpace.h"

bool GsQueryDiskSpace(const char* root, GsDiskFreeExFn diskFreeEx, GsDiskFreeFn diskFree, GsDiskSpace* space)
{
    *space = GsDiskSpace();
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    const bool counted = diskFree(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters) != FALSE;
    if (counted && sectorsPerCluster * bytesPerSector > 0)
        space->cluster = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
    if (diskFreeEx != nullptr) {
        ULARGE_INTEGER available, total, totalFree;
        if (!diskFreeEx(root, &available, &total, &totalFree))
            return false;
        space->available = available.QuadPart;
        space->totalFree = totalFree.QuadPart;
        return true;
    }
    space->available = space->totalFree = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector * freeClusters;
    return counted;
}

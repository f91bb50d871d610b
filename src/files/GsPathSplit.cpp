#include "files/GsPathSplit.h"

#include <cstring>

namespace {
bool CopyPart(char* out, size_t capacity, const char* begin, const char* end)
{
    size_t n = static_cast<size_t>(end - begin);
    if (n >= capacity)
        return false;
    std::memcpy(out, begin, n);
    out[n] = '\0';
    return true;
}
}  // namespace

bool GsSplitPath(const char* path, GsLeadByteFn isLeadByte, GsPathParts* parts)
{
    parts->drive[0] = parts->dir[0] = parts->fname[0] = parts->ext[0] = '\0';

    const char* p = path;
    const char* driveEnd = p;
    if (p[0] != '\0' && p[1] == ':')
        driveEnd = p + 2;

    const char* slash = GsFindLastOf(driveEnd, "\\/", isLeadByte);
    const char* nameBegin = slash != nullptr ? slash + 1 : driveEnd;
    const char* dot = GsFindLastOf(nameBegin, ".", isLeadByte);
    const char* end = driveEnd + std::strlen(driveEnd);
    const char* extBegin = dot != nullptr ? dot : end;

    bool ok = CopyPart(parts->drive, kGsMaxDrive, p, driveEnd) &&
              CopyPart(parts->dir, kGsMaxDir, driveEnd, nameBegin) &&
              CopyPart(parts->fname, kGsMaxFname, nameBegin, extBegin) &&
              CopyPart(parts->ext, kGsMaxExt, extBegin, end);
    if (!ok)
        parts->drive[0] = parts->dir[0] = parts->fname[0] = parts->ext[0] = '\0';
    return ok;
}

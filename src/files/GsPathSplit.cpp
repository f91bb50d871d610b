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

    const char* afterSlash = nullptr;  // one past the last separator
    const char* dot = nullptr;         // the last dot
    for (const char* q = driveEnd; *q != '\0'; ++q) {
        if (isLeadByte != nullptr && isLeadByte(static_cast<unsigned char>(*q))) {
            // A lead byte at the very end has no trail byte; it stays part of the name.
            if (q[1] == '\0')
                break;
            ++q;
            continue;
        }
        if (*q == '\\' || *q == '/')
            afterSlash = q + 1;
        else if (*q == '.')
            dot = q;
    }
    const char* end = driveEnd + std::strlen(driveEnd);
    const char* nameBegin = afterSlash != nullptr ? afterSlash : driveEnd;
    const char* extBegin = (dot != nullptr && dot >= nameBegin) ? dot : end;

    bool ok = CopyPart(parts->drive, kGsMaxDrive, p, driveEnd) &&
              CopyPart(parts->dir, kGsMaxDir, driveEnd, nameBegin) &&
              CopyPart(parts->fname, kGsMaxFname, nameBegin, extBegin) &&
              CopyPart(parts->ext, kGsMaxExt, extBegin, end);
    if (!ok)
        parts->drive[0] = parts->dir[0] = parts->fname[0] = parts->ext[0] = '\0';
    return ok;
}

bool GsEndsWithBackslash(const char* text, GsLeadByteFn isLeadByte)
{
    bool last = false;
    for (const char* q = text; *q != '\0'; ++q) {
        if (isLeadByte != nullptr && isLeadByte(static_cast<unsigned char>(*q)) && q[1] != '\0') {
            ++q;
            last = false;
            continue;
        }
        last = *q == '\\';
    }
    return last;
}

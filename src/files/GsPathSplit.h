// Splits a path into drive, directory, file name and extension, stepping over double-byte
// characters. Written here because Wine's _splitpath_s is not double-byte aware: with code
// page 932 it cuts 表 (0x95 0x5C) and ソ (0x83 0x5C) at their trail bytes.
#pragma once
#include "base/GsPath.h"

#include <cstddef>

// Buffer sizes, each including the terminating zero.
constexpr size_t kGsMaxDrive = 3;
constexpr size_t kGsMaxDir = 256;
constexpr size_t kGsMaxFname = 256;
constexpr size_t kGsMaxExt = 256;

struct GsPathParts {
    char drive[kGsMaxDrive];
    char dir[kGsMaxDir];
    char fname[kGsMaxFname];
    char ext[kGsMaxExt];
};

// drive: the first two bytes when the second is ':'; dir: up to and including the last '\' or
// '/'; fname: up to the last '.' after dir; ext: from that dot to the end. A lead byte and the
// byte after it are taken together, so a trail byte is never a separator or a dot.
// Returns false, with all four parts empty, when a part does not fit its buffer.
bool GsSplitPath(const char* path, GsLeadByteFn isLeadByte, GsPathParts* parts);

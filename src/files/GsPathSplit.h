// Splits a path into drive, directory, file name and extension, stepping over double-byte
// characters. Written here because Wine's _splitpath_s is not double-byte aware: with code
// page 932 it cuts 表 (0x95 0x5C) and ソ (0x83 0x5C) at their trail bytes.
#pragma once
#include <cstddef>

// Buffer sizes, each including the terminating zero.
constexpr size_t kGsMaxDrive = 3;
constexpr size_t kGsMaxDir = 256;
constexpr size_t kGsMaxFname = 256;
constexpr size_t kGsMaxExt = 256;

// Tells whether a byte starts a double-byte character in the code page in use.
using GsLeadByteFn = bool (*)(unsigned char byte);

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

// The last character of `text` that is one of `chars`, or null. A lead byte and the byte
// after it are one character, so a trail byte of 0x5C (表, ソ) is never taken for a backslash.
// Every backslash scan of the framework goes through here.
const char* GsFindLastOf(const char* text, const char* chars, GsLeadByteFn isLeadByte);

// The first such character, stepping over double-byte characters in the same way.
const char* GsFindFirstOf(const char* text, const char* chars, GsLeadByteFn isLeadByte);

// True when the text's last character (not merely its last byte) is a backslash: a trail
// byte of 0x5C (表, ソ) does not count.
bool GsEndsWithBackslash(const char* text, GsLeadByteFn isLeadByte);

// The code page's own lead-byte test (Windows builds only).
bool GsIsAnsiLeadByte(unsigned char byte);

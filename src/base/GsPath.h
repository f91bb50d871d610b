// The rules of path text, each written once. In a double-byte code page a lead byte and the
// byte after it are one character, so a trail byte of 0x5C (表, ソ in code page 932) is never a
// backslash. Paths from the narrow file calls are in the process's code page (932 on a Japanese
// system, 1252 or 936 elsewhere) and are scanned with its rule; archive entry names are code
// page 932 by the archive's own definition, whatever the system. Paths are composed into
// callers' buffers and refused, never cut, when they do not fit. Portable: the Win32 code and
// the archive code share it.
#pragma once
#include <cstddef>
#include <string>

// Whether a byte starts a double-byte character of code page 932: 0x81-0x9F and 0xE0-0xFC.
bool GsIsLeadByte(unsigned char byte);
// Whether a byte may follow a lead byte: 0x40-0x7E and 0x80-0xFC.
inline bool GsIsTrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }
using GsLeadByteFn = bool (*)(unsigned char byte);
// Whether a byte starts a double-byte character of the code page of the narrow file calls: on
// Windows the process's ANSI code page; natively none (UTF-8 has no byte 0x5C inside a character).
bool GsIsPathLeadByte(unsigned char byte);

// The one case rule of names and paths: ASCII letters of code-page-932 text folded to upper
// (or lower) case in place, the bytes of a double-byte character as they are (its second byte
// may be a letter). Stops at a zero byte or after length bytes.
void GsFoldCase(char* text, size_t length, bool upper);

// The last (first) character of `text` that is one of `chars`, or null. A lead byte without its
// trail byte at the end is part of the text, never a match.
const char* GsFindLastOf(const char* text, const char* chars, GsLeadByteFn isLeadByte = GsIsPathLeadByte);
const char* GsFindFirstOf(const char* text, const char* chars, GsLeadByteFn isLeadByte = GsIsPathLeadByte);

// Paths: whether the last character (not merely the last byte) is a backslash.
bool GsEndsWithBackslash(const char* text);
// Removes one trailing backslash, if the last character is one.
void GsDropTrailingBackslash(char* path);
void GsDropTrailingBackslash(std::string& path);

// Composes "folder\name" into `out`, a buffer of `size` bytes. False, with `out` untouched,
// when the result and its terminating zero would not fit.
bool GsComposePath(char* out, size_t size, const char* folder, const char* name);

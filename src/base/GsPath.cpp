#include "base/GsPath.h"

#include <cstring>

bool GsIsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

void GsFoldCase(char* text, size_t length, bool upper)
{
    const char from = upper ? 'a' : 'A';
    for (size_t i = 0; i < length && text[i] != '\0'; ++i) {
        if (GsIsLeadByte(static_cast<unsigned char>(text[i]))) {
            if (i + 1 >= length || text[i + 1] == '\0')
                break;  // a lone lead byte ends the text: never step over its terminator
            ++i;
        }
        else if (text[i] >= from && text[i] <= from + 25)
            text[i] = static_cast<char>(text[i] + (upper ? -32 : 32));
    }
}

namespace {
const char* FindOf(const char* text, const char* chars, GsLeadByteFn isLeadByte, bool first)
{
    const char* found = nullptr;
    for (const char* q = text; *q != '\0'; ++q) {
        if (isLeadByte != nullptr && isLeadByte(static_cast<unsigned char>(*q))) {
            if (q[1] == '\0')
                break;  // a lead byte without its trail byte stays part of the name
            ++q;
            continue;
        }
        if (std::strchr(chars, *q) != nullptr) {
            found = q;
            if (first)
                break;
        }
    }
    return found;
}
}  // namespace

const char* GsFindLastOf(const char* text, const char* chars, GsLeadByteFn isLeadByte)
{
    return FindOf(text, chars, isLeadByte, false);
}

const char* GsFindFirstOf(const char* text, const char* chars, GsLeadByteFn isLeadByte)
{
    return FindOf(text, chars, isLeadByte, true);
}

bool GsEndsWithBackslash(const char* text)
{
    const char* last = GsFindLastOf(text, "\\");
    return last != nullptr && last[1] == '\0';
}

void GsDropTrailingBackslash(char* path)
{
    if (GsEndsWithBackslash(path))
        path[std::strlen(path) - 1] = '\0';
}

void GsDropTrailingBackslash(std::string& path)
{
    if (GsEndsWithBackslash(path.c_str()))
        path.pop_back();
}

bool GsComposePath(char* out, size_t size, const char* folder, const char* name)
{
    const size_t a = std::strlen(folder), b = std::strlen(name);
    if (a + 1 + b >= size)
        return false;
    std::memmove(out, folder, a);  // `out` may be `folder` itself
    out[a] = '\\';
    std::memcpy(out + a + 1, name, b + 1);
    return true;
}

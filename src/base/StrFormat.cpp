#include "base/StrFormat.h"

#include <cstdio>
#include <vector>

std::string StrFormatV(const char* format, va_list args)
{
    // Starts at 512 zero-filled bytes and doubles until the formatter reports a fit.
    std::vector<char> buffer(512, '\0');
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.assign(buffer.size() * 2, '\0');
    }
}

std::string StrFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string s = StrFormatV(format, args);
    va_end(args);
    return s;
}

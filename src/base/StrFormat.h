// printf-style formatting into a new string, growing the working buffer until the text fits.
#pragma once
#include <cstdarg>
#include <string>

#if defined(__GNUC__)
#define GS_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define GS_PRINTF_FORMAT(fmt, args)
#endif

std::string StrFormat(const char* format, ...) GS_PRINTF_FORMAT(1, 2);
std::string StrFormatV(const char* format, va_list args);

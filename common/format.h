// A small formatter for the program's own texts, in place of the C library's snprintf: it knows
// what the program writes (%s, %c, %d, %i, %u, %x, %X with the flags '-' and '0', a width, a
// precision, '*' for either, and the lengths l, ll and z) and nothing of floating point, whose
// conversion tables would be most of the program's size. Pure code.
#pragma once
#include <stdarg.h>
#include <stddef.h>

// As snprintf: writes at most size bytes, zero-terminated when size > 0, and returns the length the
// whole text needs. An unknown conversion is written as it stands.
int FormatText(char* out, size_t size, const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 3, 4)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
int FormatTextV(char* out, size_t size, const char* format, va_list args);

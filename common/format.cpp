#include "common/format.h"

#include <string.h>

namespace {

struct Sink {
  char* out;
  size_t size, length;
};

void Put(Sink* s, char c) {
  if (s->length + 1 < s->size) s->out[s->length] = c;
  s->length++;
}

void PutRun(Sink* s, const char* text, size_t n, int width, bool left, char pad) {
  size_t fill = width > 0 && size_t(width) > n ? size_t(width) - n : 0;
  if (!left)
    for (size_t i = 0; i < fill; i++) Put(s, pad);
  for (size_t i = 0; i < n; i++) Put(s, text[i]);
  if (left)
    for (size_t i = 0; i < fill; i++) Put(s, ' ');
}

}  // namespace

int FormatTextV(char* out, size_t size, const char* format, va_list args) {
  Sink s = {out, size, 0};
  for (const char* p = format; *p; p++) {
    if (*p != '%') {
      Put(&s, *p);
      continue;
    }
    const char* start = p++;
    bool left = false, zero = false;
    for (;; p++) {
      if (*p == '-')
        left = true;
      else if (*p == '0')
        zero = true;
      else
        break;
    }
    int width = 0, precision = -1;
    if (*p == '*') {
      width = va_arg(args, int);
      if (width < 0) left = true, width = -width;
      p++;
    } else {
      while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    }
    if (*p == '.') {
      p++;
      precision = 0;
      if (*p == '*') {
        precision = va_arg(args, int);
        p++;
      } else {
        while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
      }
    }
    int longs = 0;
    bool sized = false;
    while (*p == 'l') longs++, p++;
    if (*p == 'z') sized = true, p++;
    char digits[32];
    switch (*p) {
      case '%':
        Put(&s, '%');
        break;
      case 'c': {
        char c = char(va_arg(args, int));
        PutRun(&s, &c, 1, width, left, ' ');
        break;
      }
      case 's': {
        const char* text = va_arg(args, const char*);
        if (!text) text = "(null)";
        size_t n = precision >= 0 ? strnlen(text, size_t(precision)) : strlen(text);
        PutRun(&s, text, n, width, left, ' ');
        break;
      }
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        bool isSigned = *p == 'd' || *p == 'i';
        unsigned long long value;
        bool negative = false;
        if (isSigned) {
          long long v = longs >= 2   ? va_arg(args, long long)
                        : longs == 1 ? va_arg(args, long)
                        : sized      ? static_cast<long long>(va_arg(args, size_t))
                                     : va_arg(args, int);
          negative = v < 0;
          value = negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        } else {
          value = longs >= 2   ? va_arg(args, unsigned long long)
                  : longs == 1 ? va_arg(args, unsigned long)
                  : sized      ? va_arg(args, size_t)
                               : va_arg(args, unsigned);
        }
        unsigned base = (*p == 'x' || *p == 'X') ? 16 : 10;
        const char* set = *p == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        size_t n = 0;
        do {
          digits[sizeof digits - 1 - n++] = set[value % base];
          value /= base;
        } while (value);
        while (precision >= 0 && n < size_t(precision) && n < sizeof digits - 1)
          digits[sizeof digits - 1 - n++] = '0';
        if (negative) {
          if (zero && !left && precision < 0) {
            Put(&s, '-');
            width = width > 0 ? width - 1 : 0;
          } else {
            digits[sizeof digits - 1 - n++] = '-';
          }
        }
        PutRun(&s, digits + sizeof digits - n, n, width, left, zero && !left && precision < 0 ? '0' : ' ');
        break;
      }
      default:  // not one the program writes: shown as it stands
        for (const char* q = start; q <= p && *q; q++) Put(&s, *q);
        if (!*p) p--;
        break;
    }
  }
  if (size > 0) out[s.length < size ? s.length : size - 1] = '\0';
  return int(s.length);
}

int FormatText(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatTextV(out, size, format, args);
  va_end(args);
  return n;
}

// The program's formatter against the C library's snprintf, the reference, for every form the
// program writes, cut at every buffer size.
#include "common/format.h"

#include <gtest/gtest.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

#define CASE(...)                                                                                           \
  {                                                                                                         \
#__VA_ARGS__,                                                                                           \
        [](char* o,                                                                                         \
           size_t                                                                                           \
               n) { return FormatText(o, n, __VA_ARGS__); },                                                \
                                                          [](char* o,                                       \
                                                             size_t                                         \
                                                                 n) { return snprintf(o, n, __VA_ARGS__); } \
  }

struct Case {
  const char* name;
  int (*mine)(char*, size_t);
  int (*reference)(char*, size_t);
};

const Case kCases[] = {
    CASE("plain text"),
    CASE("Key%d", 127),
    CASE("%d|%d|%i", 0, -42, 2147483647),
    CASE("%u|%lu|%ld", 4294967295u, 4294967295ul, -7l),
    CASE("%02lld:%02lld:%02lld.%03lld", 3LL, 45LL, 0LL, 7LL),
    CASE("%05d|%-5d|%5d|%-3s|%3s", -42, 42, 42, "a", "a"),
    CASE("%02X%02x|%X", 10, 255, 0xBEEFu),
    CASE("%c+^%c", 'A', 'B'),
    CASE("%.*s%s%s", 3, "abcdef", "", "!"),
    CASE("%.2s|%s|%%|100%%", "xyz", ""),
    CASE("%zu", size_t(123456789)),
    CASE("%lld", -9223372036854775807LL - 1),
};

TEST(Format, AgreesWithTheCLibraryAtEverySize) {
  for (const Case& c : kCases) {
    char want[128], got[128];
    int wanted = c.reference(want, sizeof want);
    for (size_t size = 0; size <= size_t(wanted) + 1; size++) {
      memset(got, '#', sizeof got);
      memset(want, '#', sizeof want);
      EXPECT_EQ(c.mine(got, size), c.reference(want, size)) << c.name << " size " << size;
      EXPECT_EQ(std::string(got, size + 1), std::string(want, size + 1)) << c.name << " size " << size;
    }
  }
}

// Past the compiler's format check, for forms it would refuse.
int Unchecked(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatTextV(out, size, format, args);
  va_end(args);
  return n;
}

TEST(Format, UnknownConversionsStandAsTheyAre) {
  char out[32];
  EXPECT_EQ(Unchecked(out, sizeof out, "%q and %"), 8);
  EXPECT_STREQ(out, "%q and %");
}

}  // namespace

// Arbitrary patterns and titles through the title pattern matcher, against a plain recursive
// matcher that is obviously right (on short inputs, where its time does not matter).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "profile/title.h"

static char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

static bool Reference(const char* p, size_t pn, const char* t, size_t tn) {
  if (pn == 0) return tn == 0;
  if (*p == '*') return Reference(p + 1, pn - 1, t, tn) || (tn > 0 && Reference(p, pn, t + 1, tn - 1));
  if (tn == 0) return false;
  if (*p != '?' && Upper(*p) != Upper(*t)) return false;
  return Reference(p + 1, pn - 1, t + 1, tn - 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4000) return 0;
  size_t split = data[0] % size;
  const char* text = reinterpret_cast<const char*>(data + 1);
  size_t n = size - 1;
  if (split > n) split = n;
  bool fast = TitleMatches(text, split, text + split, n - split);
  if (n <= 24 && fast != Reference(text, split, text + split, n - split)) abort();
  return 0;
}

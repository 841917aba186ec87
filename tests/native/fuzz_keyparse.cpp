// Arbitrary texts through the keystroke parser: it reads nothing past the terminator and writes
// no more records than the text has characters (both arrays are exactly that big, so
// AddressSanitizer reports any step over).
#include <stdlib.h>
#include <string.h>

#include "actions/keyparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1000) return 0;
  char* text = static_cast<char*>(malloc(size + 1));
  memcpy(text, data, size);
  text[size] = '\0';
  size_t length = strlen(text);
  INPUT* records = static_cast<INPUT*>(malloc((length ? length : 1) * sizeof(INPUT)));
  const char* cursor = text;
  INPUT* out = records;
  for (;;) {
    INPUT* before = out;
    int token = ParseKeyToken(&cursor, &out);
    if (cursor > text + length) abort();
    if (token == kTokenEnd) {
      if (*cursor != '\0' || out != before) abort();
      if (ParseKeyToken(&cursor, &out) != kTokenEnd) abort();
      break;
    }
    if (token == kTokenSpace) {
      if (out != before) abort();
      continue;
    }
    if (token != kTokenRecord || out != before + 1) abort();
    if (before->ki.wVk == 0 || (before->ki.dwFlags != 0 && before->ki.dwFlags != KEYEVENTF_KEYUP)) abort();
  }
  if (size_t(out - records) > length) abort();
  free(records);
  free(text);
  return 0;
}

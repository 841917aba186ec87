// Arbitrary keys and modifier bits through the line generator: a line it writes fits its buffer
// and reads back through the parser as presses and releases in pairs, nothing left held down.
#include <stdlib.h>
#include <string.h>

#include "actions/keyline.h"
#include "actions/keyparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  unsigned vk = data[0] | (data[1] & 1) << 8, mods = data[2];
  size_t outSize = size > 3 ? data[3] % kKeyLineMax + 1 : kKeyLineMax;
  char* line = static_cast<char*>(malloc(outSize));
  int result = KeyLineFromHotkey(vk, mods, line, outSize);
  if (result == 0) {
    if (strncmp(line, "KEYBOARD ", 9) != 0) abort();
    INPUT records[kKeyLineMax];
    INPUT* out = records;
    const char* cursor = line + 9;
    int down = 0;
    for (int token; (token = ParseKeyToken(&cursor, &out)) != kTokenEnd;) {
      if (token != kTokenRecord) abort();
      down += out[-1].ki.dwFlags ? -1 : 1;
      if (down < 0) abort();
    }
    size_t count = size_t(out - records);
    if (down != 0 || count < 2 || records[count / 2 - 1].ki.wVk != vk) abort();
  } else if (result < kKeyLineTooLong || result > kKeyLineModifierAlone || (outSize && line[0])) {
    abort();
  }
  free(line);
  return 0;
}

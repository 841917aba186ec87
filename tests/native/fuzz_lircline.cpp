// Arbitrary server bytes in arbitrary reads through the line reader. Whatever comes, every byte is
// taken, a button it gives is one a line of the stream could name (name characters only, names
// that fit), a reply's kept data fits its buffer, and the reader never holds more than one line.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <cstdlib>

#include "receiver/lircline.h"

static void CheckName(const char* name) {
  size_t n = strnlen(name, kLircNameMax);
  if (n == 0 || n >= kLircNameMax) abort();
  for (size_t i = 0; i < n; i++) {
    char c = name[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
              c == '-' || c == '+';
    if (!ok) abort();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte seeds the read sizes: 1..16 bytes a read.
  unsigned seed = data[0];
  data++;
  size--;
  LircReader r;
  LircReaderReset(&r);
  size_t at = 0;
  while (at < size) {
    seed = seed * 1103515245u + 12345u;
    size_t n = 1 + (seed >> 16) % 16;
    if (n > size - at) n = size - at;
    size_t used;
    LircItem item;
    int got = LircReaderFeed(&r, reinterpret_cast<const char*>(data) + at, n, &used, &item);
    if (used == 0 || used > n || r.length > kLircLineMax) abort();
    if (got && item.kind == kLircButtonLine) {
      CheckName(item.button.name);
      CheckName(item.button.remote);
    } else if (got && item.kind == kLircReplyBlock) {
      if (strnlen(item.reply.data, kLircReplyDataMax) >= kLircReplyDataMax) abort();
      if (item.reply.kept > item.reply.lines || item.reply.lines > kLircReplyLinesMax) abort();
    } else if (got) {
      abort();
    }
    at += used;
  }
  return 0;
}

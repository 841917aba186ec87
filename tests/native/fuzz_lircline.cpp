// Arbitrary server bytes in arbitrary reads through the line reader (under the sanitizers): every
// byte is taken, the reader never holds more than one line, a button has both names, a reply keeps
// no more than its buffer.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <cstdlib>

#include "receiver/lircline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  unsigned seed = data[0];  // seeds the read sizes, 1..16 bytes
  LircReader r;
  LircReaderReset(&r);
  for (size_t at = 1, used; at < size; at += used) {
    seed = seed * 1103515245u + 12345u;
    size_t n = std::min(size - at, size_t(1 + (seed >> 16) % 16));
    LircItem item;
    int got = LircReaderFeed(&r, reinterpret_cast<const char*>(data) + at, n, &used, &item);
    if (used == 0 || used > n || r.length > kLircLineMax || (got && item.kind == kLircNothing)) abort();
    if (got && item.kind == kLircButtonLine && (!*item.button.name || !*item.button.remote)) abort();
    if (got && item.kind == kLircReplyBlock &&
        (strnlen(item.reply.data, kLircReplyDataMax) == kLircReplyDataMax ||
         item.reply.kept > item.reply.lines))
      abort();
  }
  return 0;
}

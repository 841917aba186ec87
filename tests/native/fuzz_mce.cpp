// Arbitrary reports of either collection through the Media Center decoder: every result is one of
// its four, a name is given exactly for a button, and a report whose code bytes are all zero is
// the release.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <cstdlib>

#include "receiver/mce.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  bool media = data[0] & 1;
  unsigned page = media ? kMcePageMediaCenter : kMcePageConsumer;
  unsigned usage = media ? kMceUsageMediaCenter : kMceUsageConsumer;
  const char* name = nullptr;
  int kind = MceDecode(page, usage, data + 1, size - 1, &name);
  if (kind < kMceUnknown || kind > kMceRelease) abort();
  if ((kind == kMceButton) != (name != nullptr)) abort();
  if (name && (strlen(name) == 0 || strlen(name) > 15)) abort();
  size_t width = media ? 1 : 2;
  bool zero = true;
  for (size_t i = 2; i < size && i < 2 + width; i++) zero = zero && data[i] == 0;
  if (size >= 2 && zero != (kind == kMceRelease)) abort();
  return 0;
}

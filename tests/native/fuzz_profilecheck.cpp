// Arbitrary profile texts through the profile check: no read outside the text (it is exactly as
// big as given, without a terminator), every problem has a line and a known kind, and the count
// returned is the number of problems reported. (The report's words are the program's, app/check.cpp.)
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "profile/profilecheck.h"

static void Count(void* context, const ProfileProblem* problem) {
  if (problem->line < 1 || problem->kind < kCheckNoKeyword || problem->kind > kCheckLastKind) abort();
  ++*static_cast<int*>(context);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 20000) return 0;
  char* text = static_cast<char*>(malloc(size ? size : 1));
  memcpy(text, data, size);
  int reported = 0;
  int count = ProfileCheckText(text, size, Count, &reported);
  if (count != reported) abort();
  free(text);
  return 0;
}

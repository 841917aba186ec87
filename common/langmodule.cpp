#include "common/langmodule.h"

#include <stdlib.h>

#include "resources/resource_ids.h"

bool LanguageCodePageShows(unsigned needed, unsigned system) {
  // A system set to UTF-8 for its ANSI functions shows every text.
  return needed == 0 || needed == system || system == CP_UTF8;
}

unsigned LanguageModuleCodePage(HMODULE module) {
  char text[16];
  if (LoadStringA(module, IDS_LANGUAGE_CODEPAGE, text, sizeof text) <= 0) return 0;
  return unsigned(strtoul(text, nullptr, 10));
}

bool LanguageModuleShows(HMODULE module) {
  return LanguageCodePageShows(LanguageModuleCodePage(module), GetACP());
}

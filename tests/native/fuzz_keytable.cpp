// Arbitrary profile text through the hook's table: a table exactly when the profile asks for the
// hook, no row without a key or with a key that may never be taken, and a decision for a window
// named by the text's first line.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <cstdlib>
#include <string>

#include "actions/keytable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  int wants = -1;
  KeyTakeTable* table = KeyTableBuild(text, size, &wants);
  if (wants < 0 || wants > (kKeyTableHook | kKeyTableMce)) abort();
  if ((table != nullptr) != ((wants & kKeyTableHook) != 0)) abort();
  if (!table) return 0;
  if (table->count < 1 || table->count > table->capacity) abort();
  for (int i = 0; i < table->count; i++) {
    bool any = false;
    for (unsigned vk = 0; vk < 256; vk++) {
      bool set = table->sections[i].keys[vk >> 3] >> (vk & 7) & 1;
      if (set && !KeyTakeKind(vk)) abort();
      any = any || set;
    }
    if (!any) abort();
  }
  std::string title(text, strnlen(text, size));
  title = title.substr(0, title.find('\n'));
  KeyTakeWindow window = {title.c_str(), title.c_str(), title.c_str()};
  static KeyTakeCache cache;
  cache.table = nullptr;  // a new table may lie where the last one was
  for (unsigned vk : {0xB3u, 0x7Cu, 0xAFu}) {
    if (KeyTakeDecide(table, vk, &window) != KeyTakeDecideCached(table, vk, &window, &cache)) abort();
  }
  KeyTakeTableFree(table);
  return 0;
}

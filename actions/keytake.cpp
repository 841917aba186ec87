// Keys that a remote sends as a keyboard are taken only when they are of the kinds no typing uses
// (F13-F24, media, volume, browser and launch keys), never when injected (our own keystrokes, or
// another program's), and only when the profile serves them in the window in front. The table
// keeps one bitmap of codes per section and one over all of them, so a key that no section names,
// nearly every key typed, costs one bit test.
#include "actions/keytake.h"

#include <stdlib.h>
#include <string.h>

#include "actions/keyparse.h"
#include "profile/title.h"
#include "common/ascii.h"

int KeyTakeKind(unsigned vk) {
  return (vk >= 0x7C && vk <= 0x87) || (vk >= 0xA6 && vk <= 0xB7);
}

int KeyTakeAllowed(unsigned vk, unsigned flags) {
  return KeyTakeKind(vk) && !(flags & kKeyTakeInjected);
}

const char* KeyTakeName(unsigned vk) {
  if (!KeyTakeKind(vk)) return nullptr;
  for (const KeyName& row : kKeyNames) {
    if (row.vk == vk) return row.name;
  }
  return nullptr;
}

static bool SameText(const char* a, size_t aLength, const char* b) {
  size_t i = 0;
  for (; i < aLength && b[i]; i++) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return i == aLength && b[i] == '\0';
}

// The code of the notation's key named by the whole of `name`: a table row or one character.
static unsigned NamedCode(const char* name) {
  for (const KeyName& row : kKeyNames) {
    if (SameText(name, strlen(name), row.name)) return row.vk;
  }
  unsigned char c = static_cast<unsigned char>(name[0]);
  if (c > 0x20 && c < 0x7F && name[1] == '\0') return AsciiUpper(char(c));
  return 0;
}

unsigned KeyTakeCode(const char* name) {
  unsigned vk = NamedCode(name);
  return KeyTakeKind(vk) ? vk : 0;
}

int KeyTakeNeverTaken(const char* name) {
  unsigned vk = NamedCode(name);
  return vk && !KeyTakeKind(vk);
}

KeyTakeTable* KeyTakeTableNew(int capacity) {
  if (capacity < 1) capacity = 1;
  KeyTakeTable* table = static_cast<KeyTakeTable*>(calloc(1, sizeof(KeyTakeTable)));
  if (!table) return nullptr;
  table->sections = static_cast<KeyTakeSection*>(calloc(size_t(capacity), sizeof(KeyTakeSection)));
  if (!table->sections) {
    free(table);
    return nullptr;
  }
  table->capacity = capacity;
  return table;
}

void KeyTakeTableFree(KeyTakeTable* table) {
  if (!table) return;
  free(table->sections);
  free(table);
}

int KeyTakeTableAdd(KeyTakeTable* table, int kind, const char* text, unsigned vk) {
  if (!KeyTakeKind(vk)) return -1;
  if (kind == kKeyTakeDefault || !text) text = "";
  size_t length = strlen(text);
  if (length >= kKeyTakeTextSize) return -1;
  KeyTakeSection* section = nullptr;
  for (int i = 0; i < table->count && !section; i++) {
    KeyTakeSection* s = &table->sections[i];
    if (s->kind == kind && SameText(text, length, s->text)) section = s;
  }
  if (!section) {
    if (table->count == table->capacity) return -1;
    section = &table->sections[table->count++];
    section->kind = kind;
    section->length = length;
    memcpy(section->text, text, length + 1);
  }
  section->keys[vk >> 3] |= uint8_t(1u << (vk & 7));
  table->any[vk >> 3] |= uint8_t(1u << (vk & 7));
  return 0;
}

static bool Serves(const KeyTakeSection* s, const KeyTakeWindow* w, const char* cut) {
  switch (s->kind) {
    case kKeyTakeDefault:
      return true;
    case kKeyTakeTitle:
      return w->title && w->title[0] && SameText(s->text, s->length, w->title);
    case kKeyTakeAlias:
      return cut[0] && SameText(s->text, s->length, cut);
    case kKeyTakePattern:
      return w->title && w->title[0] && TitleMatches(s->text, s->length, w->title, strlen(w->title));
    case kKeyTakeClass:
      return w->windowClass && w->windowClass[0] && SameText(s->text, s->length, w->windowClass);
    case kKeyTakeProgram:
      return w->program && w->program[0] && SameText(s->text, s->length, w->program);
  }
  return false;
}

static void AliasOf(const KeyTakeWindow* window, char* cut) {
  cut[0] = '\0';
  if (window->title && strlen(window->title) < kKeyTakeTextSize) {
    strcpy(cut, window->title);
    if (!CutAliasTitle(cut)) cut[0] = '\0';
  }
}

int KeyTakeDecide(const KeyTakeTable* table, unsigned vk, const KeyTakeWindow* window) {
  if (!table || vk > 0xFF || !(table->any[vk >> 3] >> (vk & 7) & 1)) return 0;
  char cut[kKeyTakeTextSize];
  AliasOf(window, cut);
  for (int i = 0; i < table->count; i++) {
    const KeyTakeSection* s = &table->sections[i];
    if ((s->keys[vk >> 3] >> (vk & 7) & 1) && Serves(s, window, cut)) return 1;
  }
  return 0;
}

// Copies a window text into a cache field; false when it does not fit (the cache is not used).
static bool Keep(char* field, const char* text) {
  size_t length = text ? strlen(text) : 0;
  if (length >= kKeyTakeTextSize) return false;
  memcpy(field, text ? text : "", length + 1);
  return true;
}

static bool Same(const char* field, const char* text) {
  return strcmp(field, text ? text : "") == 0;
}

int KeyTakeDecideCached(const KeyTakeTable* table, unsigned vk, const KeyTakeWindow* window,
                        KeyTakeCache* cache) {
  if (!table || vk > 0xFF || !(table->any[vk >> 3] >> (vk & 7) & 1)) return 0;
  bool hit = cache->table == table && Same(cache->title, window->title) &&
             Same(cache->windowClass, window->windowClass) && Same(cache->program, window->program);
  if (!hit) {
    cache->table = nullptr;
    if (!Keep(cache->title, window->title) || !Keep(cache->windowClass, window->windowClass) ||
        !Keep(cache->program, window->program)) {
      return KeyTakeDecide(table, vk, window);
    }
    char cut[kKeyTakeTextSize];
    AliasOf(window, cut);
    memset(cache->keys, 0, sizeof cache->keys);
    for (int i = 0; i < table->count; i++) {
      const KeyTakeSection* s = &table->sections[i];
      if (!Serves(s, window, cut)) continue;
      for (int b = 0; b < 32; b++) cache->keys[b] |= s->keys[b];
    }
    cache->table = table;
  }
  return cache->keys[vk >> 3] >> (vk & 7) & 1;
}

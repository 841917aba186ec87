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

uint32_t KeyTakeHash(const char* text, size_t length) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < length; i++) hash = (hash ^ uint8_t(AsciiUpper(text[i]))) * 16777619u;
  return hash;
}

uint64_t KeyTakeChars(const char* text, size_t length) {
  uint64_t chars = 0;
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(AsciiUpper(text[i]));
    unsigned bit = c >= 'A' && c <= 'Z' ? c - 'A' : c >= '0' && c <= '9' ? 26 + (c - '0') : 36 + c % 28;
    chars |= uint64_t(1) << bit;
  }
  return chars;
}

// What a title pattern's title must hold: its characters that are not wildcards.
static uint64_t PatternNeeds(const char* pattern, size_t length) {
  uint64_t needs = 0;
  for (size_t i = 0; i < length; i++) {
    if (pattern[i] != '*' && pattern[i] != '?') needs |= KeyTakeChars(pattern + i, 1);
  }
  return needs;
}

int KeyTakeTableAddKeys(KeyTakeTable* table, int kind, const char* text, const uint8_t keys[32]) {
  if (kind == kKeyTakeDefault || !text) text = "";
  size_t length = strlen(text);
  if (length >= kKeyTakeTextSize) return -1;
  uint8_t taken[32] = {};
  bool any = false;
  for (unsigned vk = 0; vk < 256; vk++) {
    if (!(keys[vk >> 3] >> (vk & 7) & 1) || !KeyTakeKind(vk)) continue;
    taken[vk >> 3] |= uint8_t(1u << (vk & 7));
    any = true;
  }
  if (!any) return 0;  // no section without keys: each would cost every decision a look
  uint32_t hash = KeyTakeHash(text, length);
  KeyTakeSection* section = nullptr;
  for (int i = 0; i < table->count && !section; i++) {
    KeyTakeSection* s = &table->sections[i];
    if (s->kind == kind && s->hash == hash && SameText(text, length, s->text)) section = s;
  }
  if (!section) {
    if (table->count == table->capacity) return -1;
    section = &table->sections[table->count++];
    section->kind = kind;
    section->length = length;
    memcpy(section->text, text, length + 1);
    section->hash = hash;
    section->needs = kind == kKeyTakePattern ? PatternNeeds(text, length) : 0;
  }
  for (int b = 0; b < 32; b++) {
    section->keys[b] |= taken[b];
    table->any[b] |= taken[b];
  }
  return 0;
}

int KeyTakeTableAdd(KeyTakeTable* table, int kind, const char* text, unsigned vk) {
  if (!KeyTakeKind(vk)) return -1;
  uint8_t keys[32] = {};
  keys[vk >> 3] = uint8_t(1u << (vk & 7));
  return KeyTakeTableAddKeys(table, kind, text, keys);
}

// What a decision knows of the window in front, worked out once for all sections: each text's
// length and hash, the title cut after its first dash, the characters the title holds.
struct Facts {
  const char* title;
  const char* windowClass;
  const char* program;
  size_t titleLength, cutLength, classLength, programLength;
  uint32_t titleHash, cutHash, classHash, programHash;
  uint64_t titleChars;
  char cut[kKeyTakeTextSize];
};

static void Measure(const char* text, const char** kept, size_t* length, uint32_t* hash) {
  *kept = text ? text : "";
  *length = strlen(*kept);
  *hash = KeyTakeHash(*kept, *length);
}

static void FactsOf(const KeyTakeWindow* w, Facts* f) {
  Measure(w->title, &f->title, &f->titleLength, &f->titleHash);
  Measure(w->windowClass, &f->windowClass, &f->classLength, &f->classHash);
  Measure(w->program, &f->program, &f->programLength, &f->programHash);
  f->titleChars = KeyTakeChars(f->title, f->titleLength);
  f->cut[0] = '\0';
  if (f->titleLength < kKeyTakeTextSize) {
    memcpy(f->cut, f->title, f->titleLength + 1);
    if (!CutAliasTitle(f->cut)) f->cut[0] = '\0';
  }
  f->cutLength = strlen(f->cut);
  f->cutHash = KeyTakeHash(f->cut, f->cutLength);
}

static bool Is(const KeyTakeSection* s, const char* text, size_t length, uint32_t hash) {
  return length && s->length == length && s->hash == hash && SameText(s->text, s->length, text);
}

static bool Serves(const KeyTakeSection* s, const Facts* f) {
  switch (s->kind) {
    case kKeyTakeDefault:
      return true;
    case kKeyTakeTitle:
      return Is(s, f->title, f->titleLength, f->titleHash);
    case kKeyTakeAlias:
      return Is(s, f->cut, f->cutLength, f->cutHash);
    case kKeyTakePattern:
      return f->titleLength && !(s->needs & ~f->titleChars) &&
             TitleMatches(s->text, s->length, f->title, f->titleLength);
    case kKeyTakeClass:
      return Is(s, f->windowClass, f->classLength, f->classHash);
    case kKeyTakeProgram:
      return Is(s, f->program, f->programLength, f->programHash);
  }
  return false;
}

int KeyTakeDecide(const KeyTakeTable* table, unsigned vk, const KeyTakeWindow* window) {
  if (!table || vk > 0xFF || !(table->any[vk >> 3] >> (vk & 7) & 1)) return 0;
  Facts facts;
  FactsOf(window, &facts);
  for (int i = 0; i < table->count; i++) {
    const KeyTakeSection* s = &table->sections[i];
    if ((s->keys[vk >> 3] >> (vk & 7) & 1) && Serves(s, &facts)) return 1;
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
    Facts facts;
    FactsOf(window, &facts);
    memset(cache->keys, 0, sizeof cache->keys);
    for (int i = 0; i < table->count; i++) {
      const KeyTakeSection* s = &table->sections[i];
      if (!Serves(s, &facts)) continue;
      for (int b = 0; b < 32; b++) cache->keys[b] |= s->keys[b];
    }
    cache->table = table;
  }
  return cache->keys[vk >> 3] >> (vk & 7) & 1;
}

// The keystroke notation of KEYBOARD action lines ("CTRL+S ^S+^CTRL"), read one token at a time.
#pragma once
#include <stdint.h>
#include "actions/winput.h"

struct KeyName {
  const char* name;  // upper case
  uint32_t vk;
  uint32_t scan;  // 0 in every row
};
enum { kKeyNameCount = 72, kKeyNameCountFirst = 49 };  // the rows up to PREV come first
extern const KeyName kKeyNames[kKeyNameCount];

// The key that types a character above 127 under the current keyboard layout: its virtual-key
// code (1-255), or 0 when the layout has no key for it. Null: no such character names a key.
typedef unsigned (*KeyCharMap)(unsigned char c);
// Set once at start-up, before any worker thread (the platform's layout on Windows).
extern KeyCharMap gKeyCharMap;

enum { kTokenRecord = 0, kTokenEnd = 1, kTokenSpace = 2 };

// Consumes one token at *cursor. kTokenRecord: one record written at *out and *out advanced;
// kTokenEnd: end of text, nothing written; kTokenSpace: a space consumed, the group ends.
// A character above 127 that no key types is skipped with its "+" (it yields no record).
// Never moves *cursor past the terminator; a text of n characters yields at most n records.
int ParseKeyToken(const char** cursor, INPUT** out);

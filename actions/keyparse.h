// The keystroke notation of KEYBOARD action lines ("CTRL+S ^S+^CTRL"), read one token at a time.
#pragma once
#include <stdint.h>
#include "actions/winput.h"

struct KeyName {
  const char* name;  // upper case
  uint32_t vk;
  uint32_t scan;     // 0 in every row
};
enum { kKeyNameCount = 35 };
extern const KeyName kKeyNames[kKeyNameCount];

enum { kTokenRecord = 0, kTokenEnd = 1, kTokenSpace = 2 };

// Consumes one token at *cursor. kTokenRecord: one record written at *out and *out advanced;
// kTokenEnd: end of text, nothing written; kTokenSpace: a space consumed, the group ends.
// Never moves *cursor past the terminator; a text of n characters yields at most n records.
int ParseKeyToken(const char** cursor, INPUT** out);

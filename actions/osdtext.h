// The words of the on-screen display: the settings osd= and osdtime= of [default], and the text a
// press shows, made from its line (or the entry's own .osd text) in the language module's words.
// Pure code, also built natively; the texts come through a loader (TextLoad on Windows).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "common/activity.h"

enum {
  kOsdTimeDefault = 1500,  // ms the display stays
  kOsdTimeLeast = 500,
  kOsdTimeMost = 10000,
  kOsdTextSize = 256,  // a display text's bytes, terminator included
};

// osd= of [default]: 1 for "1", 0 for "0" or an empty value (off), -1 for anything else (off).
// The keys with a word of their own in the language module: vk and text id. The last
// kKeyWordModifiers rows are the modifiers (Ctrl, Alt, Shift), the rows before them the named keys.
struct KeyWordRow {
  unsigned vk;
  int id;
};
extern const KeyWordRow kKeyWords[];
extern const size_t kKeyWordCount;
enum { kKeyWordModifiers = 3 };

int OsdOnParse(const char* text);
// osdtime= of [default] into *ms: 1 for a number of kOsdTimeLeast..kOsdTimeMost, 0 for an empty
// value, -1 for anything else; *ms is kOsdTimeDefault but for 1.
int OsdTimeParse(const char* text, uint32_t* ms);

// Text `id` of the language into out (size bytes); its length, 0 when there is none.
typedef int (*OsdLoadFn)(int id, char* out, size_t size);

// The keys a KEYBOARD notation presses, as a person writes them: each key pressed with the
// modifiers held at that moment ("Ctrl+S"), keys of plain characters typed in a row (no pause between) as one
// word
// ("HELLO"), the rest apart by ", ". A modifier pressed and let go alone is named alone. Returns
// the length written (cut with "..." when it does not fit).
int OsdKeysText(const char* keys, OsdLoadFn load, char* out, size_t size);

// What the display says for a press: text `id` with its arguments.
struct OsdWords {
  int id;
  char first[kOsdTextSize];
  char second[kOsdTextSize];
};
// The words for a press as the activity log records it (e->line the line that ran, e->result what
// it did), `osd` the entry's own .osd text (empty or null: none).
void OsdDescribe(const ActivityEvent* e, const char* osd, OsdLoadFn load, OsdWords* out);

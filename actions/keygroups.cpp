// Keyword matching and keystroke grouping for action lines, kept apart from the platform so
// that the native build can feed it arbitrary lines.
//
// A KEYBOARD argument goes out group by group: the parser fills the group array until a space
// or the end of the text, the group is injected in one call, and every space is followed by a
// pause. A line can be cut off in a pause (the receiver is stopping). Cutting a line like
// "CTRL+S ^S+^CTRL" after its first group would leave Ctrl and S held down for good, so the
// grouping keeps the list of keys the line has pressed and not yet released, and on a cut-off
// releases those whose release the rest of the text would still have sent. Keys that the text
// presses and never releases stay down, exactly as they would after the whole line.
#include "actions/keygroups.h"

#include <stdint.h>
#include <string.h>

#include "actions/keyparse.h"
#include "common/ascii.h"

static const struct {
  const char* name;
  int keyword;
} kKeywords[] = {
    {"COMMAND", kActionCommand},
    {"KEYBOARD", kActionKeyboard},
    {"CLOSE", kActionClose},
    {"EXEC", kActionExec},
};

int ActionSplitLine(const char* line, const char** argument) {
  while (*line == ' ') line++;
  for (const auto& k : kKeywords) {
    size_t i = 0;
    while (k.name[i] && AsciiUpper(line[i]) == k.name[i]) i++;
    if (k.name[i]) continue;
    const char* rest = line + i;
    while (*rest == ' ') rest++;
    *argument = rest;
    return k.keyword;
  }
  *argument = line;
  return kActionNone;
}

// Keys pressed by the line and not released since, in the order of their first press. The
// parser yields at most 255 distinct key codes (names and single non-zero bytes), so the list
// never fills up.
struct HeldKeys {
  WORD keys[kGroupRecords];
  unsigned count;
};

static void HeldKeysNote(HeldKeys* held, const INPUT* records, unsigned count) {
  for (unsigned r = 0; r < count; r++) {
    WORD vk = records[r].ki.wVk;
    unsigned i = 0;
    while (i < held->count && held->keys[i] != vk) i++;
    if (records[r].ki.dwFlags & KEYEVENTF_KEYUP) {
      if (i == held->count) continue;
      memmove(&held->keys[i], &held->keys[i + 1], (held->count - i - 1) * sizeof held->keys[0]);
      held->count--;
    } else if (i == held->count && held->count < kGroupRecords) {
      held->keys[held->count++] = vk;
    }
  }
}

// Builds in `group` the releases of the held keys that the unsent text `rest` leaves released,
// latest press first. Returns the number of records.
static unsigned CutOffReleases(const HeldKeys* held, const char* rest, INPUT* group) {
  uint8_t endsReleased[65536 / 8] = {};  // per key code: the rest's last record for it is a release
  INPUT scratch;
  for (;;) {
    INPUT* out = &scratch;
    int token = ParseKeyToken(&rest, &out);
    if (token == kTokenEnd) break;
    if (token != kTokenRecord) continue;
    WORD vk = scratch.ki.wVk;
    if (scratch.ki.dwFlags & KEYEVENTF_KEYUP) {
      endsReleased[vk >> 3] |= uint8_t(1u << (vk & 7));
    } else {
      endsReleased[vk >> 3] &= uint8_t(~(1u << (vk & 7)));
    }
  }
  unsigned n = 0;
  for (unsigned i = held->count; i-- > 0;) {
    WORD vk = held->keys[i];
    if (!(endsReleased[vk >> 3] & (1u << (vk & 7)))) continue;
    INPUT* r = &group[n++];
    memset(r, 0, sizeof *r);
    r->type = INPUT_KEYBOARD;
    r->ki.wVk = vk;
    r->ki.dwFlags = KEYEVENTF_KEYUP;
  }
  return n;
}

int KeyGroupsRun(const char* text, const KeyGroupOps* ops) {
  INPUT group[kGroupRecords];
  HeldKeys held;
  held.count = 0;
  const char* cursor = text;
  for (;;) {
    int result = 0;
    unsigned n = 0;
    int token;
    for (;;) {
      if (n == kGroupRecords) {  // a group of more than 256 keys: sent in parts, without pauses
        result = ops->send(ops->context, group, n);
        HeldKeysNote(&held, group, n);
        n = 0;
      }
      INPUT* out = &group[n];
      token = ParseKeyToken(&cursor, &out);
      if (token != kTokenRecord) break;
      n++;
    }
    if (n > 0) {
      result = ops->send(ops->context, group, n);
      HeldKeysNote(&held, group, n);
    }
    if (token == kTokenEnd) return result;
    if (ops->pause(ops->context)) {
      unsigned releases = CutOffReleases(&held, cursor, group);
      if (releases) ops->send(ops->context, group, releases);
      return result;
    }
  }
}

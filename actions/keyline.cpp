// Tokens come from the parser's own table, never from what a key's name seems to say: "PGUP" is
// the key 0x22 (Page Down), "p" is F1, and a key with no name and no character below 128 (F16 and
// up, the browser keys) is refused rather than written as something else.
#include "actions/keyline.h"

#include <stdio.h>
#include <string.h>

#include "actions/keyparse.h"
#include "common/format.h"

// Reads `text` through the parser; returns 1 when it gives exactly the `count` records of `want`
// (key codes, releases as negative numbers) in one group.
static int ReadsAs(const char* text, const int* want, int count) {
  INPUT records[16];
  const char* cursor = text;
  INPUT* out = records;
  int n = 0;
  for (;;) {
    INPUT* before = out;
    int token = ParseKeyToken(&cursor, &out);
    if (token == kTokenEnd) break;
    if (token != kTokenRecord || n == count) return 0;
    int got = before->ki.dwFlags & KEYEVENTF_KEYUP ? -int(before->ki.wVk) : int(before->ki.wVk);
    if (got != want[n]) return 0;
    n++;
    out = records + n % 16;  // never more than count records are kept
  }
  return n == count;
}

int KeyLineToken(unsigned vk, char* out, size_t outSize) {
  if (vk == 0 || vk > 0xFF || outSize < 6) return -1;
  int want[2] = {int(vk), -int(vk)};
  char text[16];
  for (const KeyName& row : kKeyNames) {
    if (row.vk != vk) continue;
    FormatText(text, sizeof text, "%s+^%s", row.name, row.name);
    if (ReadsAs(text, want, 2)) {
      FormatText(out, outSize, "%s", row.name);
      return 0;
    }
  }
  if (vk > 0x20 && vk < 0x7F) {
    FormatText(text, sizeof text, "%c+^%c", char(vk), char(vk));
    if (ReadsAs(text, want, 2)) {
      FormatText(out, outSize, "%c", char(vk));
      return 0;
    }
  }
  return -1;
}

int KeyLineFromHotkey(unsigned vk, unsigned mods, char* out, size_t outSize) {
  static const struct {
    unsigned bit, vk;
  } kModifiers[] = {{kKeyLineCtrl, 0x11}, {kKeyLineAlt, 0x12}, {kKeyLineShift, 0x10}};
  if (outSize) out[0] = 0;
  if (vk == 0x10 || vk == 0x11 || vk == 0x12 || (vk >= 0xA0 && vk <= 0xA5)) return kKeyLineModifierAlone;
  char key[8];
  if (KeyLineToken(vk, key, sizeof key) < 0) return kKeyLineNoName;
  char names[3][8];
  int want[8], count = 0, held = 0;
  for (const auto& m : kModifiers) {
    if (!(mods & m.bit)) continue;
    KeyLineToken(m.vk, names[held++], sizeof names[0]);  // CTRL, ALT, SHIFT: rows of the table
    want[count++] = int(m.vk);
  }
  want[count++] = int(vk);
  want[count++] = -int(vk);
  char line[kKeyLineMax];
  int n = FormatText(line, sizeof line, "KEYBOARD ");
  for (int i = 0; i < held; i++) n += FormatText(line + n, sizeof line - n, "%s+", names[i]);
  n += FormatText(line + n, sizeof line - n, "%s+^%s", key, key);
  for (int i = held; i-- > 0;) {
    n += FormatText(line + n, sizeof line - n, "+^%s", names[i]);
    want[count++] = -want[i];
  }
  if (!ReadsAs(line + 9, want, count)) return kKeyLineNoCombination;  // a token that ran into its neighbour
  if (size_t(n) >= outSize) return kKeyLineTooLong;
  memcpy(out, line, size_t(n) + 1);
  return 0;
}

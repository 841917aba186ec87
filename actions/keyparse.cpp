// The keystroke notation: every token is one key press, or a release when it begins with "^".
// A token is a key name from the table (matched in table order, any letter case) or else a
// single character that stands for the virtual key of its own code, taken as a signed byte.
// One "+" after a token is skipped; a space ends the current keystroke group.
//
// Stored profiles rely on the table exactly as it is: "PGUP" gives 0x22 and "PGDN" 0x21, and
// lower-case letters are the keys of their own codes (a is the keypad's 1, p is F1), so
// neither is "corrected" here.
#include "actions/keyparse.h"

const KeyName kKeyNames[kKeyNameCount] = {
    {"CTRL", 0x11, 0}, {"ALT", 0x12, 0},   {"SHIFT", 0x10, 0}, {"F10", 0x79, 0},  {"F11", 0x7A, 0},
    {"F12", 0x7B, 0},  {"F1", 0x70, 0},    {"F2", 0x71, 0},    {"F3", 0x72, 0},   {"F4", 0x73, 0},
    {"F5", 0x74, 0},   {"F6", 0x75, 0},    {"F7", 0x76, 0},    {"F8", 0x77, 0},   {"F9", 0x78, 0},
    {"TAB", 0x09, 0},  {"UP", 0x26, 0},    {"DOWN", 0x28, 0},  {"LEFT", 0x25, 0}, {"RIGHT", 0x27, 0},
    {"ESC", 0x1B, 0},  {"ENTER", 0x0D, 0}, {"BLANK", 0x20, 0}, {"NUM0", 0x60, 0}, {"NUM1", 0x61, 0},
    {"NUM2", 0x62, 0}, {"NUM3", 0x63, 0},  {"NUM4", 0x64, 0},  {"NUM5", 0x65, 0}, {"NUM6", 0x66, 0},
    {"NUM7", 0x67, 0}, {"NUM8", 0x68, 0},  {"NUM9", 0x69, 0},  {"PGUP", 0x22, 0}, {"PGDN", 0x21, 0},
};

static char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// Length of `name` when the text begins with it (any letter case), else 0. Stops at the
// text's terminator, which never equals a name character.
static int MatchName(const char* text, const char* name) {
  int i = 0;
  for (; name[i]; i++) {
    if (UpperAscii(text[i]) != name[i]) return 0;
  }
  return i;
}

int ParseKeyToken(const char** cursor, INPUT** out) {
  const char* p = *cursor;
  if (*p == '\0') return kTokenEnd;
  if (*p == ' ') {
    *cursor = p + 1;
    return kTokenSpace;
  }
  DWORD flags = 0;
  if (*p == '^') {
    flags = KEYEVENTF_KEYUP;
    p++;
    if (*p == '\0') {
      *cursor = p;
      return kTokenEnd;
    }
  }
  WORD vk = 0;
  WORD scan = 0;
  for (const KeyName& row : kKeyNames) {
    int length = MatchName(p, row.name);
    if (length) {
      vk = WORD(row.vk);
      scan = WORD(row.scan);
      p += length;
      break;
    }
  }
  if (!vk) {
    vk = WORD(int(static_cast<signed char>(*p)));  // 0xE9 becomes 0xFFE9
    p++;
  }
  if (*p == '+') p++;

  INPUT* record = *out;
  record->type = INPUT_KEYBOARD;
  record->ki.wVk = vk;
  record->ki.wScan = scan;
  record->ki.dwFlags = flags;
  record->ki.time = 0;
  record->ki.dwExtraInfo = 0;
  *out = record + 1;
  *cursor = p;
  return kTokenRecord;
}

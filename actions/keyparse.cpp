// The keystroke notation: every token is one key press, or a release when it begins with "^".
// A token is a key name from the table (matched in table order, any letter case) or else a
// single character. Characters up to 127 stand for the virtual key of their own code; those
// above 127 for the key that types them under the keyboard layout (gKeyCharMap), without the
// Shift or AltGr that the character may need besides; one that no key types yields nothing.
// One "+" after a token is skipped; a space ends the current keystroke group.
//
// Stored profiles rely on the table exactly as it is: "PGUP" gives 0x22 and "PGDN" 0x21, and
// lower-case letters are the keys of their own codes (a is the keypad's 1, p is F1), so
// neither is "corrected" here. Names added later stand after the first 35 rows, so every text
// that the older rows matched still matches them. Of the rows that match, the longest wins (the
// first of the older rows, which never begin one another): "F13" is F13, while "F1" is still F1.
#include "actions/keyparse.h"

#include "common/ascii.h"

const KeyName kKeyNames[kKeyNameCount] = {
    {"CTRL", 0x11, 0},
    {"ALT", 0x12, 0},
    {"SHIFT", 0x10, 0},
    {"F10", 0x79, 0},
    {"F11", 0x7A, 0},
    {"F12", 0x7B, 0},
    {"F1", 0x70, 0},
    {"F2", 0x71, 0},
    {"F3", 0x72, 0},
    {"F4", 0x73, 0},
    {"F5", 0x74, 0},
    {"F6", 0x75, 0},
    {"F7", 0x76, 0},
    {"F8", 0x77, 0},
    {"F9", 0x78, 0},
    {"TAB", 0x09, 0},
    {"UP", 0x26, 0},
    {"DOWN", 0x28, 0},
    {"LEFT", 0x25, 0},
    {"RIGHT", 0x27, 0},
    {"ESC", 0x1B, 0},
    {"ENTER", 0x0D, 0},
    {"BLANK", 0x20, 0},
    {"NUM0", 0x60, 0},
    {"NUM1", 0x61, 0},
    {"NUM2", 0x62, 0},
    {"NUM3", 0x63, 0},
    {"NUM4", 0x64, 0},
    {"NUM5", 0x65, 0},
    {"NUM6", 0x66, 0},
    {"NUM7", 0x67, 0},
    {"NUM8", 0x68, 0},
    {"NUM9", 0x69, 0},
    {"PGUP", 0x22, 0},
    {"PGDN", 0x21, 0},
    {"HOME", 0x24, 0},
    {"END", 0x23, 0},
    {"INS", 0x2D, 0},
    {"DEL", 0x2E, 0},
    {"BKSP", 0x08, 0},
    {"WIN", 0x5B, 0},
    {"APPS", 0x5D, 0},
    {"VOLUP", 0xAF, 0},
    {"VOLDN", 0xAE, 0},
    {"MUTE", 0xAD, 0},
    {"PLAY", 0xB3, 0},
    {"STOP", 0xB2, 0},
    {"NEXT", 0xB0, 0},
    {"PREV", 0xB1, 0},
    // The keys of USB and Media Center remotes: F13-F24, the browser, mail, media and launch keys.
    {"F13", 0x7C, 0},
    {"F14", 0x7D, 0},
    {"F15", 0x7E, 0},
    {"F16", 0x7F, 0},
    {"F17", 0x80, 0},
    {"F18", 0x81, 0},
    {"F19", 0x82, 0},
    {"F20", 0x83, 0},
    {"F21", 0x84, 0},
    {"F22", 0x85, 0},
    {"F23", 0x86, 0},
    {"F24", 0x87, 0},
    {"BBACK", 0xA6, 0},
    {"BFWD", 0xA7, 0},
    {"BREFR", 0xA8, 0},
    {"BSTOP", 0xA9, 0},
    {"BSRCH", 0xAA, 0},
    {"BFAV", 0xAB, 0},
    {"BHOME", 0xAC, 0},
    {"LMAIL", 0xB4, 0},
    {"LMED", 0xB5, 0},
    {"LAPP1", 0xB6, 0},
    {"LAPP2", 0xB7, 0},
};

KeyCharMap gKeyCharMap;

// Length of `name` when the text begins with it (any letter case), else 0. Stops at the
// text's terminator, which never equals a name character.
static int MatchName(const char* text, const char* name) {
  int i = 0;
  for (; name[i]; i++) {
    if (AsciiUpper(text[i]) != name[i]) return 0;
  }
  return i;
}

int ParseKeyToken(const char** cursor, INPUT** out) {
  const char* p = *cursor;
  WORD vk = 0;
  WORD scan = 0;
  DWORD flags = 0;
  while (!vk) {  // more than once only past characters that no key types
    if (*p == '\0') {
      *cursor = p;
      return kTokenEnd;
    }
    if (*p == ' ') {
      *cursor = p + 1;
      return kTokenSpace;
    }
    flags = 0;
    if (*p == '^') {
      flags = KEYEVENTF_KEYUP;
      p++;
      if (*p == '\0') {
        *cursor = p;
        return kTokenEnd;
      }
    }
    int matched = 0;
    for (const KeyName& row : kKeyNames) {
      int length = MatchName(p, row.name);
      if (length > matched) {
        vk = WORD(row.vk);
        scan = WORD(row.scan);
        matched = length;
      }
    }
    p += matched;
    if (!vk) {
      unsigned char c = static_cast<unsigned char>(*p++);
      vk = c < 0x80 ? c : gKeyCharMap ? WORD(gKeyCharMap(c) & 0xFF) : 0;
    }
    if (*p == '+') p++;
  }

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

#include "actions/keyline.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "actions/keyparse.h"
#include "profile/profilecheck.h"

// The presses and releases of a KEYBOARD line's argument as "+11 +53 -53 -11".
static std::string Keys(const char* text) {
  INPUT records[64];
  INPUT* out = records;
  const char* cursor = text;
  std::string shown;
  for (int token; (token = ParseKeyToken(&cursor, &out)) != kTokenEnd;) {
    if (token == kTokenSpace) {
      shown += " |";
      continue;
    }
    char entry[16];
    snprintf(entry, sizeof entry, "%s%c%X", shown.empty() ? "" : " ", out[-1].ki.dwFlags ? '-' : '+',
             unsigned(out[-1].ki.wVk));
    shown += entry;
  }
  return shown;
}

static int Problems(const char* line) {
  std::string text = std::string("[default]\r\nKey9=") + line + "\r\n";
  return ProfileCheckText(
      text.data(), text.size(), [](void*, const ProfileProblem*) {}, nullptr);
}

TEST(KeyLine, Examples) {
  static const struct {
    unsigned vk, mods;
    const char* line;
  } kCases[] = {
      {'S', kKeyLineCtrl | kKeyLineShift, "KEYBOARD CTRL+SHIFT+S+^S+^SHIFT+^CTRL"},
      {'S', kKeyLineShift | kKeyLineAlt | kKeyLineCtrl, "KEYBOARD CTRL+ALT+SHIFT+S+^S+^SHIFT+^ALT+^CTRL"},
      {0x22, 0, "KEYBOARD PGUP+^PGUP"},            // Page Down is the table's PGUP
      {0x21, kKeyLineExt, "KEYBOARD PGDN+^PGDN"},  // and Page Up its PGDN
      {0x70, kKeyLineAlt, "KEYBOARD ALT+F1+^F1+^ALT"},
      {0x6A, 0, "KEYBOARD j+^j"},      // keypad *: the lower-case letter of its code
      {0x7C, 0, "KEYBOARD F13+^F13"},  // a row of its own now, no longer the "|" of its code
      {0x20, kKeyLineCtrl, "KEYBOARD CTRL+BLANK+^BLANK+^CTRL"},
      {0x2E, 0, "KEYBOARD DEL+^DEL"},
      {0xAF, 0, "KEYBOARD VOLUP+^VOLUP"},
      {'7', kKeyLineShift, "KEYBOARD SHIFT+7+^7+^SHIFT"},
      {0x2B, kKeyLineCtrl, "KEYBOARD CTRL+++^++^CTRL"},  // 0x2B is "+"; one "+" after it is skipped
  };
  for (const auto& c : kCases) {
    char line[kKeyLineMax];
    EXPECT_EQ(KeyLineFromHotkey(c.vk, c.mods, line, sizeof line), 0) << c.line;
    EXPECT_STREQ(line, c.line);
  }
}

TEST(KeyLine, Refused) {
  // Keys with no name (above F24, past the launch keys), a modifier alone, keys whose code is "^"
  // or above 127, no key.
  static const struct {
    unsigned vk;
    int refusal;
  } kCases[] = {{0x88, kKeyLineNoName},  {0x92, kKeyLineNoName},        {0xB8, kKeyLineNoName},
                {0xE0, kKeyLineNoName},  {0x10, kKeyLineModifierAlone}, {0xA2, kKeyLineModifierAlone},
                {0x5E, kKeyLineNoName},  {0xBA, kKeyLineNoName},        {0xFF, kKeyLineNoName},
                {0x100, kKeyLineNoName}, {0, kKeyLineNoName},           {0x13, kKeyLineNoName}};
  for (const auto& c : kCases) {
    char line[kKeyLineMax] = "x";
    EXPECT_EQ(KeyLineFromHotkey(c.vk, kKeyLineCtrl, line, sizeof line), c.refusal) << c.vk;
    EXPECT_STREQ(line, "");
  }
  char small[20];
  EXPECT_EQ(KeyLineFromHotkey('S', kKeyLineCtrl, small, sizeof small), kKeyLineTooLong);
}

// Every key the hotkey control can give (virtual keys 1 to 254 but the modifiers) with every
// combination of Ctrl, Alt and Shift: a line that is written reads back through the parser as the
// modifiers' presses, the key, and the releases in reverse, and the profile check finds nothing.
TEST(KeyLine, EveryKeyAndModifiers) {
  int written = 0, refused = 0;
  for (unsigned vk = 1; vk <= 0xFE; vk++) {
    if (vk == 0x10 || vk == 0x11 || vk == 0x12 || (vk >= 0xA0 && vk <= 0xA5)) continue;
    for (unsigned mods = 0; mods < 8; mods++) {
      char line[kKeyLineMax];
      if (KeyLineFromHotkey(vk, mods, line, sizeof line) < 0) {
        refused++;
        continue;
      }
      written++;
      char want[64] = "", key[8];
      snprintf(key, sizeof key, "%X", vk);
      std::string w;
      if (mods & kKeyLineCtrl) w += "+11 ";
      if (mods & kKeyLineAlt) w += "+12 ";
      if (mods & kKeyLineShift) w += "+10 ";
      w += std::string("+") + key + " -" + key;
      if (mods & kKeyLineShift) w += " -10";
      if (mods & kKeyLineAlt) w += " -12";
      if (mods & kKeyLineCtrl) w += " -11";
      snprintf(want, sizeof want, "%s", w.c_str());
      ASSERT_EQ(strncmp(line, "KEYBOARD ", 9), 0);
      EXPECT_EQ(Keys(line + 9), want) << line;
      EXPECT_EQ(Problems(line), 0) << line;
    }
  }
  printf("generator table: %d cases, %d lines written, %d refused\n", written + refused, written, refused);
  EXPECT_EQ(written + refused, 8 * 245);
  // The 93 characters from "!" to "~" but "^", and the 12 named keys outside them (Backspace, Tab,
  // Enter, Esc, the space bar, volume and media keys), and the 20 added for USB remotes (F16-F24,
  // the browser, mail, media and launch keys; F13-F15 are the characters "|", "}" and "~").
  EXPECT_EQ(written, 8 * 125);
}

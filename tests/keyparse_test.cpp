#include "actions/keyparse.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

// Parses the whole text and writes it as "+1B -1B | +53": one entry per record (+ press,
// - release, the 16-bit key code in hex) and "|" for every space that ends a group.
static std::string Parse(const std::string& text) {
  std::vector<INPUT> records(text.size() + 1);
  const char* cursor = text.c_str();
  INPUT* out = records.data();
  std::string shown;
  for (;;) {
    INPUT* before = out;
    int token = ParseKeyToken(&cursor, &out);
    if (token == kTokenEnd) {
      EXPECT_EQ(out, before);
      EXPECT_EQ(*cursor, '\0');
      break;
    }
    if (!shown.empty()) shown += ' ';
    if (token == kTokenSpace) {
      EXPECT_EQ(out, before);
      shown += '|';
      continue;
    }
    EXPECT_EQ(token, kTokenRecord);
    EXPECT_EQ(out, before + 1);
    EXPECT_EQ(before->type, DWORD(INPUT_KEYBOARD));
    EXPECT_EQ(before->ki.wScan, 0);
    EXPECT_EQ(before->ki.time, 0u);
    EXPECT_EQ(before->ki.dwExtraInfo, ULONG_PTR(0));
    EXPECT_NE(before->ki.wVk, 0);
    EXPECT_TRUE(before->ki.dwFlags == 0 || before->ki.dwFlags == KEYEVENTF_KEYUP);
    char entry[8];
    snprintf(entry, sizeof entry, "%c%02X", before->ki.dwFlags ? '-' : '+', before->ki.wVk);
    shown += entry;
  }
  return shown;
}

struct ParseCase {
  const char* text;
  const char* records;
};

static const ParseCase kParseCases[] = {
    {"", ""},
    {"ESC+^ESC", "+1B -1B"},
    {"esc+^Esc", "+1B -1B"},
    {"CTRL+S ^S+^CTRL", "+11 +53 | -53 -11"},
    {"CTRLS", "+11 +53"},  // no separator needed
    {"F10", "+79"},
    {"F1", "+70"},
    {"F13", "+70 +33"},  // F1 then the digit 3
    {"f12F11", "+7B +7A"},
    {"pgup", "+22"},  // kept as profiles rely on it: Page Down's code
    {"PGDN", "+21"},
    {"a", "+61"},  // the keypad's 1, not A
    {"A", "+41"},
    {"p", "+70"},  // F1's code
    {"7", "+37"},
    {",-.", "+2C +2D +2E"},
    {"UP", "+26"},
    {"U", "+55"},  // a name cut short by the end is no name
    {"TABLE", "+09 +4C +45"},
    {"BLANK", "+20"},
    {"NUM0num9", "+60 +69"},
    {"ALT+SHIFT+ENTER", "+12 +10 +0D"},
    {"LEFT RIGHT DOWN", "+25 | +27 | +28"},
    {"^", ""},  // a lone "^" yields nothing
    {"A^", "+41"},
    {"^ A", "-20 +41"},       // "^" + space: the space bar released, no group end
    {"A++B", "+41 +2B +42"},  // only one "+" is skipped
    {"+", "+2B"},
    {"A  B", "+41 | | +42"},
    {" ", "|"},
    {"A ", "+41 |"},
    {"\xE9", "+FFE9"},  // a signed byte widened
    {"^\x80", "-FF80"},
    {"\x7F", "+7F"},
    {"\t", "+09"},  // only the space separates
};

TEST(KeyParse, TokensGiveTheirRecords) {
  for (const ParseCase& c : kParseCases) EXPECT_EQ(Parse(c.text), c.records) << "text: " << c.text;
}

TEST(KeyParse, FurtherCallsAtTheEndKeepReturningEnd) {
  const char* text = "A^";
  const char* cursor = text;
  INPUT records[2];
  INPUT* out = records;
  EXPECT_EQ(ParseKeyToken(&cursor, &out), kTokenRecord);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(ParseKeyToken(&cursor, &out), kTokenEnd);
    EXPECT_EQ(cursor, text + 2);
    EXPECT_EQ(out, records + 1);
  }
}

TEST(KeyParse, TableHoldsTheNamesInMatchingOrder) {
  // A name that begins another name must stand after it, or the longer one could never match.
  for (int i = 0; i < kKeyNameCount; i++) {
    for (int j = i + 1; j < kKeyNameCount; j++) {
      EXPECT_NE(strncmp(kKeyNames[i].name, kKeyNames[j].name, strlen(kKeyNames[i].name)), 0)
          << kKeyNames[i].name << " hides " << kKeyNames[j].name;
    }
    EXPECT_LE(strlen(kKeyNames[i].name), 5u);
    EXPECT_EQ(kKeyNames[i].scan, 0u);
  }
  EXPECT_STREQ(kKeyNames[0].name, "CTRL");
  EXPECT_STREQ(kKeyNames[34].name, "PGDN");
}

TEST(KeyParse, TextOfNCharactersGivesAtMostNRecords) {
  // Every text over a small alphabet up to four characters long, plus each byte on its own.
  const char alphabet[] = {'^', '+', ' ', 'F', '1', 'P', 'G', 'U', '\xE9'};
  const int k = sizeof alphabet;
  for (int length = 1; length <= 4; length++) {
    int total = 1;
    for (int i = 0; i < length; i++) total *= k;
    for (int n = 0; n < total; n++) {
      char text[5] = {};
      for (int i = 0, v = n; i < length; i++, v /= k) text[i] = alphabet[v % k];
      INPUT records[4];
      INPUT* out = records;
      const char* cursor = text;
      int token;
      while ((token = ParseKeyToken(&cursor, &out)) != kTokenEnd) ASSERT_LE(cursor, text + length);
      ASSERT_LE(out - records, length) << text;
    }
  }
}

TEST(KeyParse, EveryOtherSingleByteIsTheKeyOfItsSignedCode) {
  for (int c = 1; c < 256; c++) {
    if (c == ' ' || c == '^') continue;
    char text[2] = {char(c), 0};
    char expected[8];
    snprintf(expected, sizeof expected, "+%02X", c < 0x80 ? c : 0xFF00 + c);
    EXPECT_EQ(Parse(text), expected) << c;
  }
}

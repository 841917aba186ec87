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
    {"F13", "+7C"},  // the longest name wins
    {"F1+3", "+70 +33"},
    {"f24F25", "+87 +71 +35"},  // no F25: F2 then the digit 5
    {"BBACKbfwdBREFRBSTOPBSRCHBFAVBHOME", "+A6 +A7 +A8 +A9 +AA +AB +AC"},
    {"LMAILLMEDLAPP1LAPP2^F19", "+B4 +B5 +B6 +B7 -82"},
    {"BLANKBKSPB", "+20 +08 +42"},
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
    {"\x7F", "+7F"},
    {"\t", "+09"},  // only the space separates
    // Names added after the first 35: every older name and text keeps its meaning.
    {"HOME END INS DEL BKSP", "+24 | +23 | +2D | +2E | +08"},
    {"win+apps^APPS^WIN", "+5B +5D -5D -5B"},
    {"VOLUPvoldnMUTE", "+AF +AE +AD"},
    {"PLAY+STOP+NEXT+PREV", "+B3 +B2 +B0 +B1"},
    {"ENTEREND", "+0D +23"},      // ENTER still ahead of END
    {"ENDENTER", "+23 +0D"},      //
    {"DOWNDEL", "+28 +2E"},       //
    {"NUM1NEXT", "+61 +B0"},      //
    {"HOM", "+48 +4F +4D"},       // a name cut short is single characters
    {"$#-.", "+24 +23 +2D +2E"},  // the same keys by their codes, as before
    // Characters above 127: the key the layout (here a stand-in) gives, without its Shift.
    {"\xE9+^\xE9", "+45 -45"},
    {"\xE0", "+30"},
    {"A\xA4+B", "+41 +42"},  // no key types it: nothing, with its "+"
    {"^\xA4", ""},
    {"\xA4\xA4 A", "| +41"},
    {"\xA4^", ""},
};

// The layout stand-in: e acute needs Shift and E (0x145), a grave is the 0 key, nothing else has a key.
static unsigned StandInLayout(unsigned char c) {
  return c == 0xE9 ? 0x145u : c == 0xE0 ? 0x30u : 0u;
}

TEST(KeyParse, TokensGiveTheirRecords) {
  gKeyCharMap = StandInLayout;
  for (const ParseCase& c : kParseCases) EXPECT_EQ(Parse(c.text), c.records) << "text: " << c.text;
  gKeyCharMap = nullptr;
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
  // Among the older rows a name that begins another stands after it, so the first match was the
  // longest; later rows may begin with an older name (F13), never two names alike.
  for (int i = 0; i < kKeyNameCount; i++) {
    for (int j = i + 1; j < kKeyNameCount; j++) {
      EXPECT_STRNE(kKeyNames[i].name, kKeyNames[j].name);
      EXPECT_NE(kKeyNames[i].vk, kKeyNames[j].vk) << kKeyNames[i].name << " " << kKeyNames[j].name;
      if (j >= kKeyNameCountFirst) continue;
      EXPECT_NE(strncmp(kKeyNames[i].name, kKeyNames[j].name, strlen(kKeyNames[i].name)), 0)
          << kKeyNames[i].name << " hides " << kKeyNames[j].name;
    }
    EXPECT_LE(strlen(kKeyNames[i].name), 5u);
    EXPECT_EQ(kKeyNames[i].scan, 0u);
  }
  EXPECT_STREQ(kKeyNames[0].name, "CTRL");
  EXPECT_STREQ(kKeyNames[34].name, "PGDN");
  EXPECT_STREQ(kKeyNames[35].name, "HOME");
  EXPECT_STREQ(kKeyNames[kKeyNameCountFirst - 1].name, "PREV");
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

TEST(KeyParse, EveryOtherSingleByteIsTheKeyOfItsCodeOrOfTheLayout) {
  for (KeyCharMap map : {StandInLayout, static_cast<KeyCharMap>(nullptr)}) {
    gKeyCharMap = map;
    for (int c = 1; c < 256; c++) {
      if (c == ' ' || c == '^') continue;
      char text[2] = {char(c), 0};
      char expected[8] = "";
      unsigned vk = c < 0x80 ? unsigned(c) : map ? map(uint8_t(c)) & 0xFF : 0;
      if (vk) snprintf(expected, sizeof expected, "+%02X", vk);
      EXPECT_EQ(Parse(text), expected) << c;
    }
  }
  gKeyCharMap = nullptr;
}

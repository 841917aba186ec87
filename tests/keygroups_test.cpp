#include "actions/keygroups.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

struct SplitCase {
  const char* line;
  int keyword;
  const char* argument;
};

static const SplitCase kSplitCases[] = {
    {"COMMAND 57", kActionCommand, "57"},
    {"   keyboard esc+^esc", kActionKeyboard, "esc+^esc"},
    {"KEYBOARDESC", kActionKeyboard, "ESC"},
    {"KeyBoard   A B ", kActionKeyboard, "A B "},  // spaces at the end belong to the argument
    {"KEYBOARD", kActionKeyboard, ""},
    {"EXECUTE X", kActionExec, "UTE X"},
    {"exec", kActionExec, ""},
    {"COMMANDS 5", kActionCommand, "S 5"},
    {"CLOSE now", kActionClose, "now"},
    {"close", kActionClose, ""},
    {"CLOS", kActionNone, nullptr},  // a keyword cut short by the end is none
    {"KEYBOAR", kActionNone, nullptr},
    {"TYPE X", kActionNone, nullptr},
    {"", kActionNone, nullptr},
    {"    ", kActionNone, nullptr},
    {"\tKEYBOARD A", kActionNone, nullptr},  // only the space is skipped
};

TEST(ActionSplit, KeywordsMatchInOrderOverTheirOwnLength) {
  for (const SplitCase& c : kSplitCases) {
    const char* argument = nullptr;
    EXPECT_EQ(ActionSplitLine(c.line, &argument), c.keyword) << c.line;
    if (c.argument) {
      EXPECT_STREQ(argument, c.argument) << c.line;
    }
  }
}

// A recording run: "[+41 -41] ~ [+42]" for groups and pauses; "~!" is the pause that cut off.
struct Recording {
  std::string trace;
  int pauses = 0;
  int cutAtPause = 0;  // 1-based; 0 never cuts
  int failGroup = 0;   // 1-based group whose send reports -5; 0 none
  int groups = 0;
};

static int RecordSend(void* context, INPUT* records, unsigned count) {
  Recording* r = static_cast<Recording*>(context);
  EXPECT_GE(count, 1u);
  EXPECT_LE(count, unsigned(kGroupRecords));
  if (!r->trace.empty()) r->trace += ' ';
  r->trace += '[';
  for (unsigned i = 0; i < count; i++) {
    char entry[8];
    snprintf(entry, sizeof entry, "%s%c%02X", i ? " " : "", records[i].ki.dwFlags ? '-' : '+',
             records[i].ki.wVk);
    r->trace += entry;
  }
  r->trace += ']';
  return ++r->groups == r->failGroup ? -5 : int(count);
}

static int RecordPause(void* context) {
  Recording* r = static_cast<Recording*>(context);
  int cut = ++r->pauses == r->cutAtPause;
  r->trace += r->trace.empty() ? "" : " ";
  r->trace += cut ? "~!" : "~";
  return cut;
}

struct GroupCase {
  const char* text;
  int cutAtPause;
  const char* trace;
  int result;
};

static const GroupCase kGroupCases[] = {
    {"esc+^esc", 0, "[+1B -1B]", 2},
    {"A B", 0, "[+41] ~ [+42]", 1},
    {"A  B", 0, "[+41] ~ ~ [+42]", 1},  // the empty group between is not sent
    {"A ", 0, "[+41] ~", 0},            // a trailing space pauses and ends with an empty group
    {"", 0, "", 0},
    {"^", 0, "", 0},
    {" ", 0, "~", 0},
    {"CTRL+S ^S+^CTRL", 0, "[+11 +53] ~ [-53 -11]", 2},
    // Cut off in a pause: the keys whose release is still to come go up, latest press first.
    {"CTRL+S ^S+^CTRL", 1, "[+11 +53] ~! [-53 -11]", 2},
    {"CTRL+S A ^S+^CTRL", 1, "[+11 +53] ~! [-53 -11]", 2},
    {"CTRL+S ^S A ^CTRL", 2, "[+11 +53] ~ [-53] ~! [-11]", 1},
    // Keys the text itself leaves down stay down; so does one the rest presses again at its end.
    {"SHIFT+CTRL+S A ^S+^CTRL", 1, "[+10 +11 +53] ~! [-53 -11]", 3},
    {"ALT+X ^X Y ^ALT ALT", 1, "[+12 +58] ~! [-58]", 2},
    {"A+^A B", 1, "[+41 -41] ~!", 2},  // nothing held: no release group
    {"ESC ESC ^ESC", 1, "[+1B] ~! [-1B]", 1},
    {"A ", 1, "[+41] ~!", 1},
};

TEST(KeyGroups, GroupsPausesAndCutOffs) {
  for (const GroupCase& c : kGroupCases) {
    Recording r;
    r.cutAtPause = c.cutAtPause;
    KeyGroupOps ops = {RecordSend, RecordPause, &r};
    EXPECT_EQ(KeyGroupsRun(c.text, &ops), c.result) << c.text;
    EXPECT_EQ(r.trace, c.trace) << c.text;
  }
}

TEST(KeyGroups, ResultIsThatOfTheLastGroupAndFailuresDoNotStopTheLine) {
  Recording first;
  first.failGroup = 1;
  KeyGroupOps ops = {RecordSend, RecordPause, &first};
  EXPECT_EQ(KeyGroupsRun("A+B C", &ops), 1);
  EXPECT_EQ(first.trace, "[+41 +42] ~ [+43]");

  Recording last;
  last.failGroup = 2;
  ops.context = &last;
  EXPECT_EQ(KeyGroupsRun("A+B C", &ops), -5);
}

TEST(KeyGroups, OverlongGroupGoesOutInFullPartsOfTheArray) {
  struct LongCase {
    int letters;
    const char* counts;
    int result;
  };
  static const LongCase kLong[] = {{256, "256", 256}, {257, "256 1", 1}, {600, "256 256 88", 88}};
  for (const LongCase& c : kLong) {
    struct Counts {
      std::string shown;
      int pauses = 0;
    } counts;
    KeyGroupOps ops = {[](void* context, INPUT*, unsigned count) {
                         Counts* k = static_cast<Counts*>(context);
                         k->shown += (k->shown.empty() ? "" : " ") + std::to_string(count);
                         return int(count);
                       },
                       [](void* context) {
                         static_cast<Counts*>(context)->pauses++;
                         return 0;
                       },
                       &counts};
    std::string text(c.letters, 'A');
    EXPECT_EQ(KeyGroupsRun(text.c_str(), &ops), c.result);
    EXPECT_EQ(counts.shown, c.counts) << c.letters;
    EXPECT_EQ(counts.pauses, 0);

    counts = Counts();
    text += " B";
    EXPECT_EQ(KeyGroupsRun(text.c_str(), &ops), 1);
    EXPECT_EQ(counts.shown, std::string(c.counts) + " 1");
    EXPECT_EQ(counts.pauses, 1);
  }
}

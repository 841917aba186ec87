#include "profile/title.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

struct CutCase {
  const char* title;
  int cut;
  const char* result;
};

static const CutCase kCutCases[] = {
    {"Untitled - Notepad", 1, "Untitled -"},
    {"a-b-c", 1, "a-"},  // the first dash decides
    {"-x", 1, "-"},
    {"Setup-", 0, "Setup-"},  // a dash at the end: no alias
    {"Calculator", 0, "Calculator"},
    {"", 0, ""},
    {"-", 0, "-"},
};

TEST(Title, CutsAfterTheFirstDashWhenTextFollows) {
  for (const CutCase& c : kCutCases) {
    char title[256];
    strcpy(title, c.title);
    EXPECT_EQ(CutAliasTitle(title), c.cut) << c.title;
    EXPECT_STREQ(title, c.result);
  }
}

struct MatchCase {
  std::string pattern, title;
  bool matches;
};

static const std::string kRunOfA(4000, 'a');

static const MatchCase kMatchCases[] = {
    {"", "", true},
    {"", "x", false},
    {"*", "", true},
    {"*", "anything at all", true},
    {"*YouTube*", "(3) Holiday - YouTube - Browser", true},
    {"*YouTube*", "YouTube", true},  // the runs may be empty
    {"*YouTube*", "You Tube", false},
    {"*youtube*", "Holiday - YOUTUBE - Browser", true},  // letter case
    {"Inbox*", "Inbox - Mail", true},
    {"Inbox*", "My Inbox", false},
    {"* - Browser", "Inbox - Mail - Browser", true},
    {"* - Browser", "Inbox - Mail - Browser 2", false},
    {"Mail*Browser", "Mail - Inbox - Browser", true},  // inner
    {"Mail*Browser", "Mail - Inbox - Browsers", false},
    {"*a*b*c*", "xxaxxbxxcxx", true},  // several
    {"*a*b*c*", "xxcxxbxxaxx", false},
    {"*a*b*", "ab", true},
    {"*ab", "aab", true},  // the first "a" is not the start of the match
    {"?", "", false},
    {"?", "x", true},
    {"??", "x", false},
    {"Doc - ?", "Doc - A", true},
    {"Doc - ?", "Doc - AB", false},
    {"*?", "", false},
    {"?*?", "ab", true},
    {"**", "", true},
    {"Caf\xE9*", "Caf\xE9 - Player", true},  // above 127: compared as they are
    {"caf\xE9*", "CAF\xC9 - Player", false},
    {"\xE9?*", "\xE9\xE8", true},
    {"*" + std::string(253, 'x') + "y*", std::string(255, 'x'), false},
    {"*" + std::string(253, 'x') + "*", std::string(1, 'y') + std::string(253, 'x') + "z", true},
    {std::string(255, '?'), std::string(255, 't'), true},
    {"*a*a*a*a*b", kRunOfA, false},  // must not take exponential (or quadratic) time
    {"*a*a*a*a*b", kRunOfA + "b", true},
    {"*" + kRunOfA.substr(0, 100) + "b", kRunOfA, false},
};

TEST(TitleMatches, WholeTitleWithStarAndQuestionMark) {
  for (const MatchCase& c : kMatchCases) {
    EXPECT_EQ(TitleMatches(c.pattern.data(), c.pattern.size(), c.title.data(), c.title.size()), c.matches)
        << "[" << c.pattern.substr(0, 40) << "] " << c.title.substr(0, 40);
  }
}

// The section that serves a title: the title itself, or, for a title a section header cannot hold
// ("]" would end it), a title pattern that the lookup matches against that title.
TEST(Title, SectionNameOfATitle) {
  static const struct {
    const char* title;
    int form;
    const char* section;
  } kCases[] = {
      {"Untitled - Notepad", 1, "Untitled - Notepad"},
      {"Doc [Compatibility Mode]", 2, "Doc [Compatibility Mode*"},
      {"[Draft] Doc [Compatibility Mode]", 2, "[Draft? Doc [Compatibility Mode*"},
      {"a]b]c", 2, "a?b*c"},
      {"a]b*", 2, "a?b*"},  // a star of its own already makes it a pattern
      {"] ]", -1, ""},
      {"", -1, ""},
      {"two\nlines", -1, ""},
  };
  for (const auto& c : kCases) {
    char out[64] = "x";
    EXPECT_EQ(TitleSectionName(c.title, out, sizeof out), c.form) << c.title;
    EXPECT_STREQ(out, c.section);
    if (c.form == 2) {
      EXPECT_TRUE(TitleMatches(out, strlen(out), c.title, strlen(c.title))) << c.title;
    }
  }
}

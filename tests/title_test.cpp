#include "actions/title.h"

#include <gtest/gtest.h>

#include <string.h>

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

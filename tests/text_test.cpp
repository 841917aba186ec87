// The program's texts: result codes and values worded by the English module's strings (REMOT001.DLL,
// built from the same list the program keeps), and the loader's rules (placeholders in a
// translation's order, the program's English for a text a module lacks, plural forms).
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "actions/profilecheck.h"
#include "actions/profiletext.h"
#include "app/check.h"
#include "common/process.h"
#include "common/text.h"
#include "resources/resource_ids.h"

namespace {

class EnglishModule : public ::testing::Test {
 protected:
  void SetUp() override {
    gLanguageModule = LoadLibraryA("REMOT001.DLL");
    ASSERT_NE(gLanguageModule, nullptr);
  }
  void TearDown() override {
    FreeLibrary(gLanguageModule);
    gLanguageModule = nullptr;
  }
};

ProfileProblem Problem(int kind, int line, const char* section, const char* key, const char* detail) {
  ProfileProblem p;
  memset(&p, 0, sizeof p);
  p.kind = kind;
  p.line = line;
  strcpy(p.section, section);
  strcpy(p.key, key);
  strcpy(p.detail, detail);
  return p;
}

TEST_F(EnglishModule, ProfileProblems) {
  const struct {
    ProfileProblem problem;
    const char* text;
  } cases[] = {
      {Problem(kCheckNoKeyword, 2, "x", "Key1", ""),
       "Line 2, [x] Key1: begins with none of KEYBOARD, COMMAND, CLOSE, EXEC: does nothing"},
      {Problem(kCheckKeysHeld, 3, "Editor", "Key3", "CTRL, \"T\""),
       "Line 3, [Editor] Key3: leaves keys held down: CTRL, \"T\""},
      {Problem(kCheckNotAButton, 4, "x", "Key07", ""),
       "Line 4, [x] Key07: no button has this name (Key0 to Key127)"},
      {Problem(kCheckNoSection, 4, "title -", "Ghost -", "Nowhere"),
       "Line 4, [title -] Ghost -: names the section [Nowhere], which does not exist"},
      {Problem(kCheckTooLong, 2, "x", "Key1", "4097"),
       "Line 2, [x] Key1: 4097 characters long: lines over 4096 characters do not run"},
      {Problem(kCheckShadowed, 12, "YouTube*", "", "Yo*"),
       "Line 12, [YouTube*]: never serves: [Yo*] before it serves the same titles with every key it holds"},
      {Problem(kCheckNoClass, 1, "class:", "", ""),
       "Line 1, [class:]: a class section needs the class name after \"class:\""},
      {Problem(kCheckLongPattern, 5, "*p", "", "256"),
       "Line 5, [*p]: a pattern of 256 characters: no title is longer than 255"},
      {Problem(kCheckNoSection, 7, "title -", "100% -", "50%1"),  // a value is never read as a placeholder
       "Line 7, [title -] 100% -: names the section [50%1], which does not exist"},
  };
  for (const auto& c : cases) {
    char text[1024];
    CheckDescribe(&c.problem, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST_F(EnglishModule, ProfileReportListsProblemsAndEndsWithTheCount) {
  char message[kCheckMessageSize];
  EXPECT_EQ(CheckReport(kProfileAnsi, "[default]\nKey1=CLOSE\n", 21, message, sizeof message), 0);
  EXPECT_STREQ(message, "No problems found");

  std::string two = "[x]\nKey1=X\nKey2=KEYBOARD A\n";
  EXPECT_EQ(CheckReport(kProfileAnsi, two.data(), two.size(), message, sizeof message), 2);
  EXPECT_STREQ(message,
               "Line 2, [x] Key1: begins with none of KEYBOARD, COMMAND, CLOSE, EXEC: does nothing\n"
               "Line 3, [x] Key2: leaves keys held down: \"A\"\n\n2 problems found");

  // A profile full of mistakes: the box lists the first ones and counts the rest.
  std::string many = "[x]\n";
  for (int i = 0; i < 128; i++) many += "Key" + std::to_string(i) + "=X\n";
  EXPECT_EQ(CheckReport(kProfileAnsi, many.data(), many.size(), message, sizeof message), 128);
  std::string text = message;
  EXPECT_NE(text.find("Line 51, [x] Key49:"), std::string::npos);
  EXPECT_EQ(text.find("Key50:"), std::string::npos);
  EXPECT_NE(text.find("\n... and 78 more\n\n128 problems found"), std::string::npos);

  // A small buffer holds what fits, terminated.
  char small[40];
  EXPECT_EQ(CheckReport(kProfileAnsi, two.data(), two.size(), small, sizeof small), 2);
  EXPECT_EQ(strlen(small), sizeof small - 1);
}

TEST_F(EnglishModule, ProfileReportNamesAFileItCannotRead) {
  char message[1024];
  const std::string utf16("[\0d\0]\0\n\0K\0e\0y\0001\0=\0x\0", 20);
  EXPECT_EQ(CheckReport(ProfileTextEncoding(utf16.data(), utf16.size()), utf16.data(), utf16.size(), message,
                        sizeof message),
            1);
  EXPECT_STREQ(
      message,
      "The file is saved as UTF-16 without a byte order mark: save it again as UTF-8 or Unicode\n\n1 "
      "problem found");
  const std::string nul("[d]\nKey1=KEYBOARD A+\0^A\nKey2=TYPE\n", 33);
  EXPECT_EQ(CheckReport(ProfileTextEncoding(nul.data(), nul.size()), nul.data(), nul.size(), message,
                        sizeof message),
            3);
  EXPECT_NE(std::string(message).find("The file is holding NUL bytes"), std::string::npos) << message;
}

}  // namespace

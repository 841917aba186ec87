// The program's texts: result codes and values worded by the English module's strings (REMOT001.DLL,
// built from the same list the program keeps), and the loader's rules (placeholders in a
// translation's order, the program's English for a text a module lacks, plural forms).
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "profile/profilecheck.h"
#include "profile/profiletext.h"
#include "app/activitytext.h"
#include "app/check.h"
#include "app/tray.h"
#include "common/process.h"
#include "common/text.h"
#include "resources/resource_ids.h"
#include "tests/activity_events.h"

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

std::string Column(const ActivityEvent& e, int column) {
  char text[512];
  ActivityColumnText(&e, column, text, sizeof text);
  return text;
}

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
      {Problem(kCheckHoldValue, 6, "default", "Key1.hold", "always"),
       "Line 6, [default] Key1.hold: \"always\" is no way of acting on a held button (every, once, repeat)"},
      {Problem(kCheckTiming, 3, "default", "release", "49"),
       "Line 3, [default] release: \"49\" is no time of 50 to 5000 ms: the program uses its default"},
      {Problem(kCheckOsd, 4, "default", "osdtime", "20000"),
       "Line 4, [default] osdtime: \"20000\" cannot be used (osd= takes 0 or 1, osdtime= 500 to 10000 ms): "
       "the "
       "display is off or keeps its default time"},
      {Problem(kCheckLirc, 2, "default", "lirc", "pi:0"),
       "Line 2, [default] lirc: \"pi:0\" is no address of a network receiver (HOST or HOST:PORT, port 1 to "
       "65535): the network receiver stays off"},
      {Problem(kCheckNoSection, 7, "title -", "100% -", "50%1"),  // a value is never read as a placeholder
       "Line 7, [title -] 100% -: names the section [50%1], which does not exist"},
  };
  for (const auto& c : cases) {
    char text[1024];
    CheckDescribe(&c.problem, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
  for (int kind = 1; kind <= kCheckLastKind; kind++) {  // every kind of problem has its text
    char text[1024];
    ProfileProblem p = Problem(kind, 2, "x", "Key1", "v");
    CheckDescribe(&p, text, sizeof text);
    EXPECT_NE(text[0], '\0') << kind;
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

TEST_F(EnglishModule, ActivityResults) {
  struct Case {
    ActivityEvent e;
    int sent;
    int blocked;
    const char* reason;
    const char* text;
  } cases[] = {
      {Press(9, kActivityNoEntry), 0, 0, "", "nothing done"},
      {Press(9, kActivityKeysSent, 4), 0, 0, "", "4 keystrokes sent"},
      {Press(9, kActivityKeysSent, 1), 0, 0, "", "1 keystroke sent"},
      {Press(9, kActivityKeysSent, 0), 0, 0, "", "0 keystrokes sent"},
      {Press(9, kActivityKeysSent, 4), 0, 1, "",
       "4 keystrokes sent; probably blocked: the window runs with higher rights"},
      {Press(9, kActivityKeysRefused, 5), 2, 0, "",
       "keystrokes refused by the system (error 5) after 2 sent"},
      {Press(9, kActivityAnswered, -1), 0, 0, "", "sent; the window answered -1"},
      {Press(9, kActivityNoAnswer), 0, 0, "", "window did not answer within 2 s"},
      {Press(9, kActivityOwnWindow), 0, 0, "", "not sent: a window of this program"},
      {Press(9, kActivityNothingSent), 0, 0, "", "nothing sent: no window or no command number"},
      {Press(9, kActivityStarted), 0, 0, "", "program started"},
      {Press(9, kActivityNotStarted, 2), 0, 0, "File not found",
       "program not started: File not found (error 2)"},
      {Press(9, kActivityNotStarted, 5), 0, 0, "", "program not started: unknown reason (error 5)"},
      {Press(9, kActivityCutOff), 1, 0, "", "cut off by Setup or Exit after 1 keystroke"},
      {Press(9, kActivityCutOff), 3, 0, "", "cut off by Setup or Exit after 3 keystrokes"},
      {Press(9, kActivityTooLong), 0, 0, "", "not run (line too long)"},
      {Press(9, kActivityNoKeyword), 0, 0, "", "not run: no COMMAND, KEYBOARD, CLOSE or EXEC at its start"},
      {Press(9, kActivityNoEntry, 1), 0, 0, "", "nothing done"},
      {Press(9, kActivityNoEntry, 28), 0, 0, "", "nothing done (28 signals)"},
      {Press(9, kActivityRepeatsSkipped, 9), 1, 0, "", "held: acted 1 time; signals absorbed: 9"},
      {Press(9, kActivityRepeatsSkipped, 5), 23, 0, "", "held: acted 23 times; signals absorbed: 5"},
      {Press(9, 99), 0, 0, "", "result 99"},
      {Other(kActivityReceiver, kActivityPortOpened, 1), 0, 0, "", "port COM1 opened"},
      {Other(kActivityReceiver, kActivityPortGone, 2), 0, 0, "", "receiver on COM2 gone"},
      {Other(kActivityReceiver, kActivityPortWaiting, 12), 0, 0, "", "waiting for the receiver on COM12"},
      {Other(kActivityReceiver, kActivityNoPort, 0), 0, 0, "", "no receiver port set up"},
      {Other(kActivityReceiver, kActivityNoise, 1), 0, 0, "", "keys ignored: noise on the line"},
      {Other(kActivityReceiver, kActivityQuiet, 1), 0, 0, "", "line quiet again: keys act"},
      {Other(kActivityReceiver, kActivityNetworkConnected, 0), 0, 0, "pi:8765",
       "network receiver connected to pi:8765"},
      {Other(kActivityReceiver, kActivityNetworkNotConnected, 0), 0, 0, "[::1]:99",
       "network receiver not connected to [::1]:99"},
      {Other(kActivityReceiver, 9, 1), 0, 0, "", "receiver state 9"},
      {Other(kActivityRejected, 0, 1), 0, 0, "", "1 packet rejected (more than two bits wrong)"},
      {Other(kActivityRejected, 0, 3), 0, 0, "", "3 packets rejected (more than two bits wrong)"},
  };
  for (Case& c : cases) {
    c.e.sent = c.sent;
    c.e.blocked = c.blocked;
    strcpy(c.e.reason, c.reason);
    EXPECT_EQ(Column(c.e, 6), c.text) << c.e.kind << " " << c.e.result;
  }
  EXPECT_EQ(Column(Other(kActivityRejected, 0, 3), 1), "Packet");
}

TEST_F(EnglishModule, ActivityCopyText) {
  static ActivityRing ring;
  ActivityRingClear(&ring);
  ActivityEvent served = Press(12, kActivityKeysSent, 4);
  ActivityEvent none = Press(9, kActivityNoEntry);
  none.section[0] = none.line[0] = '\0';
  strcpy(none.title, "Movie\tPlayer");  // a tab in a title must not add a column
  strcpy(none.program, "vlc.exe");
  ActivityEvent back = Other(kActivityReceiver, kActivityPortBack, 3);
  back.time = kNoon + 86400000LL * 3;  // only the time of day is shown
  ActivityEvent guide = Named(3, "mce", "GUIDE", kActivityKeysSent, 1);
  ActivityEvent odd = Named(7, "x", "KEY_UP", kActivityKeysSent, 1);  // a source this program does not know
  ActivityRingAdd(&ring, &served);
  ActivityRingAdd(&ring, &guide);
  ActivityRingAdd(&ring, &odd);
  ActivityRingAdd(&ring, &none);
  ActivityRingAdd(&ring, &back);
  const std::string expected =
      "Time\tEvent\tWindow\tProgram\tSection\tAction\tResult\r\n"
      "12:34:56.789\tKey12\tUntitled - Notepad\tnotepad.exe\t[notepad.exe]\tKEYBOARD CTRL+S+^S+^CTRL\t4 "
      "keystrokes sent\r\n"
      "12:34:56.789\tGUIDE (remote mce, Media Center)\tUntitled - "
      "Notepad\tnotepad.exe\t[notepad.exe]\tKEYBOARD "
      "CTRL+S+^S+^CTRL\t1 keystroke sent\r\n"
      "12:34:56.789\tKEY_UP (remote x)\tUntitled - Notepad\tnotepad.exe\t[notepad.exe]\tKEYBOARD "
      "CTRL+S+^S+^CTRL\t1 keystroke sent\r\n"
      "12:34:56.789\tKey9\tMovie Player\tvlc.exe\tno entry\t\tnothing done\r\n"
      "12:34:56.789\tReceiver\t\t\t\t\treceiver on COM3 back\r\n";
  size_t need = ActivityCopyText(&ring, nullptr, 0);
  EXPECT_EQ(need, expected.size());
  std::string text(need + 1, 'x');
  EXPECT_EQ(ActivityCopyText(&ring, &text[0], text.size()), need);
  EXPECT_EQ(text.c_str(), expected);
  char small[20];
  EXPECT_EQ(ActivityCopyText(&ring, small, sizeof small), need);  // cut, terminated, length still told
  EXPECT_EQ(std::string(small), expected.substr(0, 19));
}

TEST_F(EnglishModule, Notices) {
  ActivityEvent none = Press(9, kActivityNoEntry);
  strcpy(none.program, "vlc.exe");
  ActivityEvent untitled = Press(9, kActivityNoEntry);
  untitled.program[0] = untitled.title[0] = '\0';
  ActivityEvent blocked = Press(3, kActivityKeysSent, 2);
  blocked.blocked = 1;
  strcpy(blocked.program, "regedit.exe");
  ActivityEvent failed = Press(4, kActivityNotStarted, 2);
  strcpy(failed.reason, "File not found");
  ActivityEvent silent = Press(5, kActivityNoAnswer);
  silent.program[0] = '\0';
  ActivityEvent named = Named(1, "DEMO", "KEY_OK", kActivityNoEntry);
  strcpy(named.program, "vlc.exe");
  ActivityEvent namedFailed = Named(2, "keyboard", "MAIL", kActivityNotStarted, 2);
  strcpy(namedFailed.reason, "File not found");
  const struct {
    ActivityEvent e;
    const char* text;
  } cases[] = {
      {none, "Key9 does nothing in vlc.exe. Click to assign it."},
      {untitled, "Key9 does nothing in this window. Click to assign it."},
      {blocked, "Key3 was probably blocked: regedit.exe runs with higher rights. Click to see the activity."},
      {failed, "Key4 could not start the program: File not found. Click to see the activity."},
      {silent, "Key5: Untitled - Notepad did not answer within 2 s. Click to see the activity."},
      {named, "KEY_OK (remote DEMO, network receiver) does nothing in vlc.exe. Click to assign it."},
      {namedFailed,
       "MAIL (remote keyboard, USB remote key) could not start the program: File not found. Click to see the "
       "activity."},
      {Other(kActivityReceiver, kActivityPortGone, 2),
       "The receiver on COM2 is gone. Keys work again when it is back."},
      {Other(kActivityReceiver, kActivityPortWaiting, 4), "Waiting for the receiver on COM4."},
      {Other(kActivityReceiver, kActivityPortBack, 4), "The receiver on COM4 is back."},
      {Press(4, kActivityKeysSent, 2), ""},
  };
  for (const auto& c : cases) {
    char text[256];
    NoticeText(&c.e, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

// A module with a few texts, some with their placeholders in another order, and French plurals.
class TestModule : public ::testing::Test {
 protected:
  void SetUp() override {
    gLanguageModule = LoadLibraryA("texttest.dll");
    ASSERT_NE(gLanguageModule, nullptr);
  }
  void TearDown() override {
    FreeLibrary(gLanguageModule);
    gLanguageModule = nullptr;
  }
};

TEST_F(TestModule, PlaceholdersComeOutInTheTranslationsOrder) {
  ActivityEvent refused = Press(9, kActivityKeysRefused, 5);
  refused.sent = 2;
  EXPECT_EQ(Column(refused, 6), "after 2 sent: refused by the system (error 5)");
  ActivityEvent none = Press(9, kActivityNoEntry);
  strcpy(none.program, "vlc.exe");
  char text[256];
  NoticeText(&none, text, sizeof text);
  EXPECT_STREQ(text, "In vlc.exe, Key9 does nothing.");
  ProfileProblem shadowed = Problem(kCheckShadowed, 12, "YouTube*", "", "Yo*");
  CheckDescribe(&shadowed, text, sizeof text);
  EXPECT_STREQ(text, "[Yo*] first, so [YouTube*] (line 12) never serves");
}

TEST_F(TestModule, ATextTheModuleLacksIsTheProgramsEnglish) {
  EXPECT_EQ(Column(Press(9, kActivityNoAnswer), 6), "window did not answer within 2 s");
  char tip[kTrayTipSize];
  TrayTipText(1, 3, tip);
  EXPECT_STREQ(tip, "Halvesta Remote Control - COM3");
  char text[16] = "x";
  EXPECT_EQ(TextLoad(9999, text, sizeof text), 0);  // neither has it: empty
  EXPECT_STREQ(text, "");
}

TEST_F(TestModule, PluralFormsByTheModulesRule) {
  const struct {
    long count;
    const char* french;
    const char* english;
  } cases[] = {
      {0, "0 probleme trouve", "0 problems found"},
      {1, "1 probleme trouve", "1 problem found"},
      {2, "2 problemes trouves", "2 problems found"},
  };
  for (const auto& c : cases) {
    char count[16], text[64];
    snprintf(count, sizeof count, "%ld", c.count);
    TextFormatCount(text, sizeof text, IDS_CHECK_COUNT, c.count, {count});
    EXPECT_STREQ(text, c.french);
    HMODULE french = gLanguageModule;
    gLanguageModule = nullptr;  // the program's English: "1" only
    TextFormatCount(text, sizeof text, IDS_CHECK_COUNT, c.count, {count});
    gLanguageModule = french;
    EXPECT_STREQ(text, c.english);
  }
}

TEST(Text, CutToTheBufferAndPercentSignsKept) {
  char small[8];
  EXPECT_EQ(TextFormat(small, sizeof small, IDS_ACTIVITY_NOT_STARTED, {"File not found", "2"}), 7);
  EXPECT_STREQ(small, "program");
  char text[64];
  TextFormat(text, sizeof text, IDS_ACTIVITY_ANSWERED, {"%1%%"});
  EXPECT_STREQ(text, "sent; the window answered %1%%");
}

}  // namespace

// The command lines that make the program check or open its profile instead of starting.
TEST(CheckCommand, TakesTheWordAloneInAnyCase) {
  struct Case {
    const char* line;
    bool check, edit;
  } cases[] = {
      {"/check", true, false},    {" \t/CHECK  ", true, false}, {"/edit", false, true},
      {"  /Edit\t", false, true}, {"/edit x", false, false},    {"/checks", false, false},
      {"/edi", false, false},     {"", false, false},           {nullptr, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckRequested(c.line), c.check) << (c.line ? c.line : "(null)");
    EXPECT_EQ(CheckEditRequested(c.line), c.edit) << (c.line ? c.line : "(null)");
  }
}

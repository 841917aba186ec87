// The activity ring, its texts and the notice rules (pure code, also run natively).
#include "common/activity.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "app/notice.h"

namespace {

const int64_t kNoon = 12LL * 3600000 + 34 * 60000 + 56 * 1000 + 789;  // 12:34:56.789

ActivityEvent Press(int code, int result, long detail = 0) {
  ActivityEvent e;
  memset(&e, 0, sizeof e);
  e.kind = kActivityPress;
  e.time = kNoon;
  e.code = code;
  e.result = result;
  e.detail = detail;
  strcpy(e.title, "Untitled - Notepad");
  strcpy(e.program, "notepad.exe");
  strcpy(e.section, "notepad.exe");
  strcpy(e.line, "KEYBOARD CTRL+S+^S+^CTRL");
  return e;
}

std::string Column(const ActivityEvent& e, int column) {
  char text[512];
  ActivityColumnText(&e, column, text, sizeof text);
  return text;
}

TEST(ActivityRing, KeepsTheLast200InOrder) {
  static ActivityRing ring;
  ActivityRingClear(&ring);
  for (int i = 0; i < 250; i++) {
    ActivityEvent e = Press(i % 128, kActivityKeysSent, i);
    EXPECT_EQ(ActivityRingAdd(&ring, &e), uint32_t(i + 1));
  }
  ASSERT_EQ(ring.count, 200u);
  EXPECT_EQ(ActivityRingAt(&ring, 0)->detail, 50);  // the 50 oldest made room
  EXPECT_EQ(ActivityRingAt(&ring, 199)->detail, 249);
  EXPECT_EQ(ActivityRingAt(&ring, 199)->sequence, 250u);
  EXPECT_EQ(ActivityRingAt(&ring, 200), nullptr);
}

TEST(ActivityRing, RejectedPacketsOfOneSecondShareALine) {
  static ActivityRing ring;
  ActivityRingClear(&ring);
  const int64_t second = 1000000;
  ActivityRingAddRejected(&ring, second + 1);
  ActivityRingAddRejected(&ring, second + 500);
  ActivityRingAddRejected(&ring, second + 999);
  ActivityRingAddRejected(&ring, second + 1000);  // the next second: a new line
  ActivityEvent e = Press(5, kActivityKeysSent, 2);
  ActivityRingAdd(&ring, &e);
  ActivityRingAddRejected(&ring, second + 1001);  // after a press: a new line too
  ASSERT_EQ(ring.count, 4u);
  EXPECT_EQ(ActivityRingAt(&ring, 0)->detail, 3);
  EXPECT_EQ(ActivityRingAt(&ring, 1)->detail, 1);
  EXPECT_EQ(ActivityRingAt(&ring, 3)->detail, 1);
  EXPECT_EQ(Column(*ActivityRingAt(&ring, 0), 6), "3 packets rejected (more than two bits wrong)");
  EXPECT_EQ(Column(*ActivityRingAt(&ring, 1), 6), "1 packet rejected (more than two bits wrong)");
  EXPECT_EQ(Column(*ActivityRingAt(&ring, 0), 1), "Packet");
}

TEST(ActivityText, ResultOfEachKind) {
  struct Case {
    int result;
    long detail;
    int sent;
    int blocked;
    const char* reason;
    const char* text;
  } cases[] = {
      {kActivityNoEntry, 0, 0, 0, "", "nothing done"},
      {kActivityKeysSent, 4, 0, 0, "", "4 keystrokes sent"},
      {kActivityKeysSent, 1, 0, 0, "", "1 keystroke sent"},
      {kActivityKeysSent, 4, 0, 1, "",
       "4 keystrokes sent; probably blocked: the window runs with higher rights"},
      {kActivityKeysRefused, 5, 2, 0, "", "keystrokes refused by the system (error 5) after 2 sent"},
      {kActivityAnswered, 0, 0, 0, "", "sent; the window answered 0"},
      {kActivityNoAnswer, 0, 0, 0, "", "window did not answer within 2 s"},
      {kActivityOwnWindow, 0, 0, 0, "", "not sent: a window of this program"},
      {kActivityNothingSent, 0, 0, 0, "", "nothing sent: no window or no command number"},
      {kActivityStarted, 0, 0, 0, "", "program started"},
      {kActivityNotStarted, 2, 0, 0, "File not found", "program not started: File not found (error 2)"},
      {kActivityCutOff, 0, 3, 0, "", "cut off by Setup or Exit after 3 keystrokes"},
      {kActivityTooLong, 0, 0, 0, "", "not run (line too long)"},
      {kActivityNoKeyword, 0, 0, 0, "", "not run: no COMMAND, KEYBOARD, CLOSE or EXEC at its start"},
  };
  for (const Case& c : cases) {
    ActivityEvent e = Press(9, c.result, c.detail);
    e.sent = c.sent;
    e.blocked = c.blocked;
    strcpy(e.reason, c.reason);
    EXPECT_EQ(Column(e, 6), c.text) << c.result;
  }
}

TEST(ActivityText, ColumnsOfAPressAndTheCopyText) {
  static ActivityRing ring;
  ActivityRingClear(&ring);
  ActivityEvent served = Press(12, kActivityKeysSent, 4);
  ActivityEvent none = Press(9, kActivityNoEntry);
  none.section[0] = none.line[0] = '\0';
  strcpy(none.title, "Movie\tPlayer");  // a tab in a title must not add a column
  strcpy(none.program, "vlc.exe");
  ActivityEvent back;
  memset(&back, 0, sizeof back);
  back.kind = kActivityReceiver;
  back.time = kNoon + 86400000LL * 3;  // only the time of day is shown
  back.result = kActivityPortBack;
  back.detail = 3;
  ActivityRingAdd(&ring, &served);
  ActivityRingAdd(&ring, &none);
  ActivityRingAdd(&ring, &back);
  const std::string expected =
      "Time\tEvent\tWindow\tProgram\tSection\tAction\tResult\r\n"
      "12:34:56.789\tKey12\tUntitled - Notepad\tnotepad.exe\t[notepad.exe]\tKEYBOARD CTRL+S+^S+^CTRL\t4 "
      "keystrokes sent\r\n"
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

TEST(ActivityText, LongLinesEndInDots) {
  char field[8];
  ActivityCopyField(field, sizeof field, "KEYBOARD A+^A");
  EXPECT_STREQ(field, "KEYB...");
  ActivityCopyField(field, sizeof field, "CLOSE");
  EXPECT_STREQ(field, "CLOSE");
}

TEST(ActivityReceiver, StateChangesAsEvents) {
  struct Case {
    int before, state, event;
  } cases[] = {
      {-1, 1, kActivityPortOpened},
      {0, 1, kActivityPortOpened},
      {2, 1, kActivityPortBack},
      {1, 2, kActivityPortGone},
      {-1, 2, kActivityPortWaiting},
      {0, 2, kActivityPortWaiting},
      {1, 3, kActivityNoise},
      {3, 1, kActivityQuiet},
      {3, 2, kActivityPortGone},
      {-1, 0, kActivityNoPort},
      {1, 1, -1},
      {2, 2, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ActivityReceiverEventOf(c.before, c.state), c.event) << c.before << c.state;
}

TEST(Notice, EachKindAtMostOnceAMinuteNoEntryOncePerKeyAndProgram) {
  static NoticeState state;
  NoticeReset(&state);
  struct Step {
    int kind;
    int64_t at;
    int code;
    const char* program;
    int shown;
  } steps[] = {
      {kNoticeBlocked, 1000, 1, "", 1},
      {kNoticeBlocked, 60999, 1, "", 0},  // within the minute
      {kNoticeNoAnswer, 2000, 1, "", 1},  // another kind has its own minute
      {kNoticeBlocked, 61000, 1, "", 1},
      {kNoticeNoEntry, 1000, 9, "vlc.exe", 1},
      {kNoticeNoEntry, 70000, 9, "VLC.EXE", 0},  // the same key and program: told once per run
      {kNoticeNoEntry, 70000, 8, "vlc.exe", 1},
      {kNoticeNoEntry, 80000, 7, "vlc.exe", 0},  // within the minute: not told, so told later
      {kNoticeNoEntry, 200000, 7, "vlc.exe", 1},
      {kNoticeReceiverGone, 5000, 0, "", 1},
      {kNoticeReceiverBack, 6000, 0, "", 1},
      {kNoticeReceiverGone, 7000, 0, "", 0},
      {-1, 0, 0, "", 0},
  };
  for (const Step& s : steps)
    EXPECT_EQ(NoticeDecide(&state, s.kind, s.at, s.code, s.program), s.shown) << s.kind << " at " << s.at;
}

TEST(Notice, KindAndTextOfEvents) {
  ActivityEvent none = Press(9, kActivityNoEntry);
  strcpy(none.program, "vlc.exe");
  ActivityEvent blocked = Press(3, kActivityKeysSent, 2);
  blocked.blocked = 1;
  strcpy(blocked.program, "regedit.exe");
  ActivityEvent failed = Press(4, kActivityNotStarted, 2);
  strcpy(failed.reason, "File not found");
  ActivityEvent fine = Press(4, kActivityKeysSent, 2);
  ActivityEvent gone;
  memset(&gone, 0, sizeof gone);
  gone.kind = kActivityReceiver;
  gone.result = kActivityPortGone;
  gone.detail = 2;
  struct Case {
    const ActivityEvent* e;
    int kind;
    const char* text;
  } cases[] = {
      {&none, kNoticeNoEntry, "Key9 does nothing in vlc.exe. Click to assign it."},
      {&blocked, kNoticeBlocked,
       "Key3 was probably blocked: regedit.exe runs with higher rights. Click to see the activity."},
      {&failed, kNoticeNotStarted,
       "Key4 could not start the program: File not found. Click to see the activity."},
      {&gone, kNoticeReceiverGone, "The receiver on COM2 is gone. Keys work again when it is back."},
      {&fine, -1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NoticeKindOf(c.e), c.kind);
    char text[256];
    NoticeText(c.e, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace

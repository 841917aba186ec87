// The activity ring and the notice rules (pure code, also run natively).
#include "common/activity.h"

#include <gtest/gtest.h>
#include <string.h>

#include "app/notice.h"
#include "tests/activity_events.h"

namespace {

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
    const char* remote = "";  // a named button's remote and name
    const char* name = "";
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
      {kNoticeNoEntry, 300000, 0, "vlc.exe", 1, "DEMO", "KEY_OK"},  // a named button, not Key0
      {kNoticeNoEntry, 400000, 0, "vlc.exe", 0, "demo", "key_ok"},
      {kNoticeNoEntry, 500000, 0, "vlc.exe", 1, "", "KEY_OK"},  // another remote's: another button
      {kNoticeNoEntry, 600000, 0, "vlc.exe", 1},
      {kNoticeReceiverGone, 5000, 0, "", 1},
      {kNoticeReceiverBack, 6000, 0, "", 1},
      {kNoticeReceiverGone, 7000, 0, "", 0},
      {-1, 0, 0, "", 0},
  };
  for (const Step& s : steps) {
    ActivityEvent e = Press(s.code, kActivityNoEntry);
    strcpy(e.program, s.program);
    strcpy(e.remote, s.remote);
    strcpy(e.name, s.name);
    EXPECT_EQ(NoticeDecide(&state, s.kind, s.at, &e), s.shown) << s.kind << " at " << s.at;
  }
}

TEST(Notice, KindOfEvents) {
  ActivityEvent blocked = Press(3, kActivityKeysSent, 2);
  blocked.blocked = 1;
  ActivityEvent gone;
  memset(&gone, 0, sizeof gone);
  gone.kind = kActivityReceiver;
  gone.result = kActivityPortGone;
  const struct {
    ActivityEvent e;
    int kind;
  } cases[] = {
      {Press(9, kActivityNoEntry), kNoticeNoEntry},
      {blocked, kNoticeBlocked},
      {Press(4, kActivityNotStarted), kNoticeNotStarted},
      {Press(4, kActivityNoAnswer), kNoticeNoAnswer},
      {gone, kNoticeReceiverGone},
      {Press(4, kActivityKeysSent, 2), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(NoticeKindOf(&c.e), c.kind) << c.e.result;
}

}  // namespace

#include "receiver/reconnect.h"

#include <gtest/gtest.h>

// Each step is an event and the wait it gives: 'f' a failed attempt or a lost connection, 'c' a
// connection made (no wait), 'r' a resume.
TEST(Reconnect, WaitsAfterEachEvent) {
  struct {
    const char* what;
    const char* events;
    std::vector<int> waits;
  } rows[] = {
      {"doubling to the cap", "ffffffff", {1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}},
      {"a connection starts again from 1 s", "fffcff", {1000, 2000, 4000, -1, 1000, 2000}},
      {"a resume tries at once, then from 1 s", "ffffrff", {1000, 2000, 4000, 8000, 0, 1000, 2000}},
  };
  for (auto& row : rows) {
    Reconnect r = {};
    std::vector<int> got;
    for (const char* e = row.events; *e; e++) {
      if (*e == 'f') got.push_back(ReconnectFailed(&r));
      if (*e == 'r') got.push_back(ReconnectResumed(&r));
      if (*e == 'c') ReconnectReset(&r), got.push_back(-1);
    }
    EXPECT_EQ(got, row.waits) << row.what;
  }
}

// A server away for an hour costs one attempt every 30 s, and the count never wraps to a short wait.
TEST(Reconnect, AnHourAway) {
  Reconnect r = {};
  int attempts = 0;
  for (int spent = 0; spent < 3600000; spent += ReconnectFailed(&r)) attempts++;
  EXPECT_LE(attempts, 125);
  for (int i = 0; i < 100000; i++) ASSERT_EQ(ReconnectFailed(&r), 30000);
}

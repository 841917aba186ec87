#include "receiver/retry.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Retry, DelayBeforeEachReopenAttempt) {
  struct {
    int attempt;
    int ms;
  } rows[] = {{-1, 200}, {0, 200}, {1, 500}, {2, 1000}, {3, 1000}, {100, 1000}, {INT_MAX, 1000}};
  for (auto& r : rows) EXPECT_EQ(RetryDelayMs(r.attempt), r.ms) << "attempt " << r.attempt;
}

// While the adapter stays away the reader tries about once a second, not more often; and a short
// glitch is over within the first second.
TEST(Retry, AttemptsPerMinuteWhileAway) {
  int attempts = 0;
  for (int spent = 0; spent < 60000; spent += RetryDelayMs(attempts)) attempts++;
  EXPECT_LE(attempts, 62);
  EXPECT_GE(attempts, 58);
  EXPECT_LE(RetryDelayMs(0) + RetryDelayMs(1), 1000);
}

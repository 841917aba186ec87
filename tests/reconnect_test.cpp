#include "receiver/reconnect.h"

#include <gtest/gtest.h>

// Each event and the wait it gives: 'f' a failed attempt or a lost connection, 'c' a connection
// made (no wait: -1), 'r' a resume. The count never wraps to a short wait.
TEST(Reconnect, WaitsAfterEachEvent) {
  struct {
    std::string events;
    std::vector<int> waits;
  } rows[] = {
      {"fffffff", {1000, 2000, 4000, 8000, 16000, 30000, 30000}},
      {"fffcff", {1000, 2000, 4000, -1, 1000, 2000}},
      {"ffffrff", {1000, 2000, 4000, 8000, 0, 1000, 2000}},
      {std::string(100000, 'f') + "f", std::vector<int>(100001, 30000)},
  };
  for (auto& row : rows) {
    Reconnect r = {};
    std::vector<int> got;
    for (char e : row.events)
      got.push_back(e == 'f'   ? ReconnectFailed(&r)
                    : e == 'r' ? ReconnectResumed(&r)
                               : (ReconnectReset(&r), -1));
    if (row.waits.size() > 1000) got.erase(got.begin(), got.begin() + 5), row.waits.resize(got.size());
    EXPECT_EQ(got, row.waits) << row.events.substr(0, 10);
  }
}

#include "receiver/press.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// Signals as "code@time" steps; the expected kinds as a string of N (new) and R (repeat).
struct PressCase {
  const char* name;
  std::vector<std::pair<int, uint32_t>> signals;
  const char* kinds;
  uint32_t release;
};

static std::vector<std::pair<int, uint32_t>> Held(int code, uint32_t from, int count, uint32_t gap,
                                                  int jitter = 0) {
  std::vector<std::pair<int, uint32_t>> v;
  for (int i = 0; i < count; i++)
    v.push_back({code, from + i * gap + uint32_t((i % 2 ? 1 : -1) * jitter * (i > 0))});
  return v;
}

TEST(PressFeed, TellsPressesFromRepeats) {
  const uint32_t wrap = 0xFFFFFFFFu - 150;  // 49.7 days after the clock started
  const PressCase cases[] = {
      {"lone frames far apart", {{5, 0}, {5, 1000}, {5, 2000}}, "NNN", 250},
      {"held at 110 ms", Held(5, 0, 6, 110), "NRRRRR", 250},
      {"held with jitter of 40 ms", Held(5, 0, 7, 110, 40), "NRRRRRR", 250},
      {"gap just under the release", {{5, 0}, {5, 250}}, "NR", 250},
      {"gap just over the release", {{5, 0}, {5, 251}}, "NN", 250},
      {"two buttons alternating", {{5, 0}, {6, 110}, {5, 220}, {6, 330}}, "NNNN", 250},
      {"tap of three frames", {{9, 0}, {9, 40}, {9, 80}, {9, 600}}, "NRRN", 250},
      {"held across the wrap of the clock", Held(5, wrap, 4, 110), "NRRR", 250},
      {"new press after the wrap", {{5, wrap}, {5, wrap + 400}}, "NN", 250},
      {"a time a little before the last", {{5, 1000}, {5, 995}}, "NR", 250},
      {"short release time", Held(5, 0, 3, 110), "NNN", 100},
  };
  for (const PressCase& c : cases) {
    PressTracker t;
    PressReset(&t);
    std::string kinds;
    for (auto [code, time] : c.signals)
      kinds += PressFeed(&t, code, time, c.release) == kPressNew ? 'N' : 'R';
    EXPECT_EQ(kinds, c.kinds) << c.name;
  }
}

TEST(PressFeed, ReleaseAndPace) {
  PressTracker t;
  PressReset(&t);
  EXPECT_TRUE(PressReleased(&t, 0, 250));  // no press yet
  for (auto [code, time] : Held(5, 0xFFFFFF00u, 11, 110, 20)) PressFeed(&t, code, time, 250);
  uint32_t last = 0xFFFFFF00u + 1100 - 20;
  EXPECT_FALSE(PressReleased(&t, last + 250, 250));
  EXPECT_TRUE(PressReleased(&t, last + 251, 250));
  PressPace pace = PressPaceOf(&t);
  EXPECT_EQ(pace.longestGap, 150u);
  EXPECT_EQ(pace.meanGap, 108u);
  EXPECT_EQ(pace.perSecond, 9u);
  EXPECT_TRUE(PressReleaseFits(&pace, 250));
  EXPECT_FALSE(PressReleaseFits(&pace, 150));
  EXPECT_EQ(PressReleaseFor(&pace), 230u);
  PressPace slow = {0, 0, 40};
  EXPECT_EQ(PressReleaseFor(&slow), uint32_t(kPressReleaseLeast));
}

TEST(PressStream, TellsASlowReceiverFromPresses) {
  const struct {
    const char* name;
    std::vector<std::pair<int, uint32_t>> signals;
    uint32_t release;
    uint32_t wanted;  // the release time offered; 0: no slow receiver seen
  } cases[] = {
      {"held, 300 ms apart", Held(5, 0, 5, 300), 250, 450},
      {"with jitter of 15 ms, across the wrap of the clock", Held(5, 0xFFFFFFFFu - 500, 6, 300, 15), 250,
       500},
      {"too few signals to tell", Held(5, 0, 3, 300), 250, 0},
      {"taps at an uneven pace", {{5, 0}, {5, 400}, {5, 1100}, {5, 1400}, {5, 2300}}, 250, 0},
      {"slower than a receiver repeats", Held(5, 0, 6, 1200), 250, 0},
      {"a release time that fits: repeats", Held(5, 0, 6, 300), 400, 0},
      {"the newest press repeats", {{5, 0}, {5, 300}, {5, 600}, {5, 900}, {5, 1000}}, 250, 0},
  };
  for (const auto& c : cases) {
    PressTracker t;
    PressStream s;
    PressReset(&t);
    PressStreamReset(&s);
    for (auto [code, time] : c.signals) PressStreamFeed(&s, code, time, PressFeed(&t, code, time, c.release));
    PressPace pace = {};
    EXPECT_EQ(PressStreamSlow(&s, &pace) ? PressReleaseFor(&pace) : 0u, c.wanted) << c.name;
  }
}

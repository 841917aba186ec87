#include "actions/hold.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/keygroups.h"
#include "receiver/press.h"

struct Signal {
  int code;
  uint32_t time;
};

// A button held from `from`, one signal per gapMs, the last one no later than from + heldMs.
static std::vector<Signal> Held(int code, uint32_t from, uint32_t heldMs, uint32_t gapMs = 110) {
  std::vector<Signal> v;
  for (uint32_t t = 0; t <= heldMs; t += gapMs) v.push_back({code, from + t});
  return v;
}

struct HoldRun {
  std::string steps;  // "S@0 L@700": the short or long line run, at its start
  uint32_t lastEnd = 0;
  uint32_t skipped = 0;
};

// The dispatch thread on a fake clock: takes every signal that has arrived, asks the policy what is
// due once none waits, and sleeps until the next signal or the policy's next time. An action
// holds the clock for actionMs. Times in signals and steps count from the start; the policy sees
// them as clock values from `origin`.
static HoldRun Simulate(const std::vector<Signal>& signals, int policy, int longCode, uint32_t actionMs,
                        uint32_t origin = 0) {
  const HoldTimings t = {{250, 500, 125, 700}};
  HoldRun run;
  PressTracker press;
  PressReset(&press);
  HoldPress hold = {};
  uint64_t now = signals.empty() ? 0 : signals[0].time;
  auto act = [&](int step) {
    if (step & kHoldRunShort) run.steps += "S@" + std::to_string(uint32_t(now)) + " ";
    if (step & kHoldRunLong) run.steps += "L@" + std::to_string(uint32_t(now)) + " ";
    if (step & (kHoldRunShort | kHoldRunLong)) now += actionMs, run.lastEnd = uint32_t(now);
    if (step & kHoldEnded) run.skipped += HoldSkipped(&hold);
  };
  size_t next = 0;
  for (int guard = 0; guard < 10000; guard++) {
    while (next < signals.size() && signals[next].time <= now) {
      Signal s = signals[next++];
      if (PressFeed(&press, s.code, origin + s.time, t.ms[kHoldRelease]) == kPressNew) {
        act(HoldEnd(&hold));
        act(HoldBegin(&hold, s.code, policy, s.code == longCode, origin + s.time, &t));
      } else {
        act(HoldRepeat(&hold, origin + s.time));
      }
    }
    int step = HoldTick(&hold, uint32_t(origin + now), &t);
    act(step);
    if (step & (kHoldRunShort | kHoldRunLong)) continue;
    uint32_t wait = HoldWaitMs(&hold, uint32_t(origin + now), &t);
    if (wait == kHoldNoWait && next == signals.size()) break;
    uint64_t until = wait == kHoldNoWait ? UINT64_MAX : now + wait;
    if (next < signals.size() && signals[next].time < until) until = signals[next].time;
    now = until;
  }
  if (!run.steps.empty()) run.steps.pop_back();
  return run;
}

TEST(HoldPolicy, ActsAsItsPolicySays) {
  struct Case {
    const char* name;
    std::vector<Signal> signals;
    int policy;
    int longCode;
    uint32_t actionMs;
    const char* steps;
    uint32_t skipped;
  };
  const Case cases[] = {
      {"every: each signal", Held(5, 0, 440), kHoldEvery, -1, 0, "S@0 S@110 S@220 S@330 S@440", 0},
      {"every, slow action: each signal waits its turn", Held(5, 0, 440), kHoldEvery, -1, 200,
       "S@0 S@200 S@400 S@600 S@800", 0},
      {"once: the first signal only", Held(5, 0, 990), kHoldOnce, -1, 0, "S@0", 9},
      {"once: a tap of three frames", {{5, 0}, {5, 40}, {5, 80}}, kHoldOnce, -1, 100, "S@0", 2},
      {"once: two presses", {{5, 0}, {5, 110}, {5, 600}, {5, 710}}, kHoldOnce, -1, 0, "S@0 S@600", 2},
      {"repeat: delay, then interval, until let go", Held(5, 0, 990), kHoldRepeat, -1, 0,
       "S@0 S@500 S@625 S@750 S@875 S@1000 S@1125", 3},
      {"repeat, 100 ms action", Held(5, 0, 990), kHoldRepeat, -1, 100,
       "S@0 S@500 S@625 S@750 S@875 S@1000 S@1125", 3},
      {"repeat, 200 ms action: never behind", Held(5, 0, 990), kHoldRepeat, -1, 200,
       "S@0 S@500 S@700 S@900 S@1100", 5},
      {"repeat: let go before the delay", Held(5, 0, 220), kHoldRepeat, -1, 0, "S@0", 2},
      {"long press: let go early runs the short line at the release", Held(5, 0, 220), kHoldEvery, 5, 0,
       "S@471", 2},
      {"long press: held runs the long line only", Held(5, 0, 990), kHoldEvery, 5, 200, "L@770", 9},
      {"long press: held just to the long time: its last signal before it",
       {{5, 0}, {5, 110}, {5, 220}, {5, 330}, {5, 450}},
       kHoldRepeat,
       5,
       0,
       "S@701",
       4},
      {"long press: last signal at 550 ms", Held(5, 0, 550), kHoldEvery, 5, 0, "S@801", 5},
      {"long press: a signal at the long time", Held(5, 0, 700, 175), kHoldOnce, 5, 0, "L@700", 4},
      {"long press: a signal 1 ms before it", Held(5, 0, 699, 233), kHoldOnce, 5, 0, "S@950", 3},
      {"long press: another button lets it go",
       {{5, 0}, {5, 110}, {6, 220}},
       kHoldOnce,
       5,
       0,
       "S@220 S@220",
       1},
      {"no long line: acts at its first signal", {{6, 1000}}, kHoldOnce, 5, 0, "S@1000", 0},
  };
  for (const Case& c : cases) {
    // The same again with the clock wrapping around during the press (49.7 days after it started).
    for (uint32_t origin : {0u, 0xFFFFFF00u}) {
      HoldRun run = Simulate(c.signals, c.policy, c.longCode, c.actionMs, origin);
      EXPECT_EQ(run.steps, c.steps) << c.name << " from " << origin;
      EXPECT_EQ(run.skipped, c.skipped) << c.name << " from " << origin;
    }
  }
}

TEST(HoldPolicy, RepeatStopsSoonAfterTheLastSignal) {
  // A 200 ms line held 6 s: the actions end within one action and the release time of the last
  // signal; acting on every signal, the queue would run on for seconds.
  for (uint32_t actionMs : {0u, 100u, 200u}) {
    std::vector<Signal> held = Held(12, 0, 6000);
    uint32_t lastSignal = held.back().time;
    HoldRun run = Simulate(held, kHoldRepeat, -1, actionMs);
    EXPECT_LE(run.lastEnd, lastSignal + actionMs + 250) << actionMs;
    EXPECT_GT(run.lastEnd + 500, lastSignal) << actionMs;
  }
  HoldRun every = Simulate(Held(12, 0, 6000), kHoldEvery, -1, 200);
  EXPECT_GT(every.lastEnd, 6000u + 4000u);
}

TEST(HoldPolicy, PolicyOfAnEntry) {
  struct Case {
    const char* entry;
    const char* byDefault;
    int kind;
    int policy;
  };
  const Case cases[] = {
      {nullptr, nullptr, kActionKeyboard, kHoldEvery},   {nullptr, nullptr, kActionCommand, kHoldEvery},
      {nullptr, nullptr, kActionExec, kHoldOnce},        {"", "", kActionClose, kHoldOnce},
      {"every", nullptr, kActionExec, kHoldEvery},       {nullptr, "repeat", kActionKeyboard, kHoldRepeat},
      {nullptr, "Once", kActionExec, kHoldOnce},         {" REPEAT ", "once", kActionKeyboard, kHoldRepeat},
      {"twice", "repeat", kActionKeyboard, kHoldRepeat}, {"twice", "never", kActionClose, kHoldOnce},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HoldPolicyFor(c.entry, c.byDefault, c.kind), c.policy)
        << (c.entry ? c.entry : "-") << " / " << (c.byDefault ? c.byDefault : "-");
}

TEST(HoldPolicy, Timings) {
  struct Case {
    const char* text;
    int timing;
    int result;
    uint32_t ms;
  };
  const Case cases[] = {
      {"300", kHoldRelease, 1, 300},          {" 50 ", kHoldLongPress, 1, 50},
      {"5000", kHoldRepeatDelay, 1, 5000},    {"", kHoldRelease, 0, 250},
      {"49", kHoldRelease, -1, 250},          {"5001", kHoldRepeatDelay, -1, 500},
      {"12ms", kHoldRepeatInterval, -1, 125}, {"-100", kHoldLongPress, -1, 700},
      {"99999999999", kHoldRelease, -1, 250},
  };
  for (const Case& c : cases) {
    uint32_t ms = 0;
    EXPECT_EQ(HoldTimingParse(c.text, c.timing, &ms), c.result) << c.text;
    EXPECT_EQ(ms, c.ms) << c.text;
  }
}

#include "actions/press.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "actions/keygroups.h"

// Key events written as "BUTTON@TIME" separated by blanks: BUTTON a serial code (12) or a named
// button of the network receiver (DEMO.KEY_UP); "b:", "r:" or "x:" before it for a counted begin,
// a counted repeat or a release, as the receiver says.
static std::vector<KeyEvent> Events(const std::string& text, uint32_t origin = 0) {
  std::vector<KeyEvent> v;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    std::string token = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    KeyEvent e = {1, 0, 0};
    if (token[1] == ':') {
      e.signal = uint8_t(token[0] == 'b'   ? kKeySignalBegin
                         : token[0] == 'r' ? kKeySignalRepeat
                                           : kKeySignalRelease);
      token = token.substr(2);
    }
    std::string button = token.substr(0, token.find('@'));
    e.time = origin + uint32_t(strtoul(token.c_str() + token.find('@') + 1, nullptr, 10));
    size_t dot = button.find('.');
    if (dot == std::string::npos) {
      e.code = uint8_t(atoi(button.c_str()));
    } else {
      e.source = kKeyFromNetwork;
      snprintf(e.remote, sizeof e.remote, "%s", button.substr(0, dot).c_str());
      snprintf(e.name, sizeof e.name, "%s", button.substr(dot + 1).c_str());
    }
    v.push_back(e);
  }
  return v;
}

// A button held from `from`, one signal per gapMs, the last one no later than from + heldMs; with
// `counted`, the receiver counts them (a begin, then repeats).
static std::string Held(const std::string& button, uint32_t from, uint32_t heldMs, uint32_t gapMs = 110,
                        bool counted = false, int jitter = 0) {
  std::string text;
  for (uint32_t t = 0, i = 0; t <= heldMs; t += gapMs, i++) {
    uint32_t at = from + t + uint32_t((i % 2 ? 1 : -1) * jitter * (i > 0));
    text += std::string(text.empty() ? "" : " ") + (counted ? (i ? "r:" : "b:") : "") + button + "@" +
            std::to_string(at);
  }
  return text;
}

TEST(PressFeed, TellsPressesFromRepeats) {
  const uint32_t wrap = 0xFFFFFFFFu - 150;  // 49.7 days after the clock started
  // Each event: N begins a press, R repeats it, E ends it without a new one, - does nothing.
  const struct {
    const char* name;
    std::string events;
    const char* kinds;
    uint32_t release;
    uint32_t origin;
  } cases[] = {
      {"lone frames far apart", "5@0 5@1000 5@2000", "NNN", 250, 0},
      {"held at 110 ms", Held("5", 0, 550), "NRRRRR", 250, 0},
      {"held with jitter of 40 ms", Held("5", 0, 660, 110, false, 40), "NRRRRRR", 250, 0},
      {"gap just under the release", "5@0 5@250", "NR", 250, 0},
      {"gap just over the release", "5@0 5@251", "NN", 250, 0},
      {"two buttons alternating", "5@0 6@110 5@220 6@330", "NNNN", 250, 0},
      {"tap of three frames", "9@0 9@40 9@80 9@600", "NRRN", 250, 0},
      {"held across the wrap of the clock", Held("5", 0, 330), "NRRR", 250, wrap},
      {"new press after the wrap", "5@0 5@400", "NN", 250, wrap},
      {"a time a little before the last", "5@1000 5@995", "NR", 250, 0},
      {"short release time", Held("5", 0, 220), "NNN", 100, 0},
      // Named buttons: the remote and the name without regard to case; the serial code is another.
      {"named, held", "DEMO.KEY_UP@0 demo.key_up@110 Demo.Key_Up@220", "NRR", 250, 0},
      {"named, another remote or name", "DEMO.KEY_UP@0 TV.KEY_UP@110 TV.KEY_OK@220", "NNN", 250, 0},
      {"named against a serial code", "0@0 .KEY_UP@110 0@220", "NNN", 250, 0},
      // Counted: a begin begins, whatever the time; a repeat repeats within the release time.
      {"counted, held", Held("DEMO.KEY_UP", 0, 330, 110, true), "NRRR", 250, 0},
      {"counted, two quick taps", "b:DEMO.KEY_UP@0 r:DEMO.KEY_UP@60 b:DEMO.KEY_UP@120", "NRN", 250, 0},
      {"counted lines that stopped: the press ended", "b:DEMO.KEY_UP@0 r:DEMO.KEY_UP@400", "NN", 250, 0},
      {"counted repeat of another button", "b:DEMO.KEY_UP@0 r:DEMO.KEY_OK@110", "NN", 250, 0},
      // Releases end the press at once; the next signal begins another.
      {"released", "b:DEMO.KEY_UP@0 x:DEMO.KEY_UP@50 DEMO.KEY_UP@100", "NEN", 250, 0},
      {"released twice, or another button", "5@0 x:5@50 x:5@60 6@70 x:5@80", "NE-N-", 250, 0},
  };
  for (const auto& c : cases) {
    Press p;
    PressReset(&p);
    PressTimings t = kPressDefaultTimings;
    t.ms[kPressRelease] = c.release;
    std::string kinds;
    for (const KeyEvent& e : Events(c.events, c.origin)) {
      int step = PressFeed(&p, &e, &t);
      kinds += step & kPressBegins ? 'N' : step & kPressEnded ? 'E' : step & kPressAgain ? 'R' : '-';
    }
    EXPECT_EQ(kinds, c.kinds) << c.name;
  }
}

TEST(PressFeed, ReleaseAndPace) {
  Press p;
  PressReset(&p);
  for (const KeyEvent& e : Events(Held("5", 0, 1100, 110, false, 20), 0xFFFFFF00u))
    PressFeed(&p, &e, &kPressDefaultTimings);
  PressPace pace = PressPaceOf(&p);
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
    std::string events;
    uint32_t release;
    uint32_t wanted;  // the release time offered; 0: no slow receiver seen
  } cases[] = {
      {"held, 300 ms apart", Held("5", 0, 1200, 300), 250, 450},
      {"with jitter of 15 ms, across the wrap of the clock",
       Held("5", 0xFFFFFFFFu - 500, 1500, 300, false, 15), 250, 500},
      {"too few signals to tell", Held("5", 0, 600, 300), 250, 0},
      {"taps at an uneven pace", "5@0 5@400 5@1100 5@1400 5@2300", 250, 0},
      {"slower than a receiver repeats", Held("5", 0, 6000, 1200), 250, 0},
      {"a release time that fits: repeats", Held("5", 0, 1500, 300), 400, 0},
      {"the newest press repeats", "5@0 5@300 5@600 5@900 5@1000", 250, 0},
      {"a named button, in either case", "TV.OK@0 tv.ok@300 TV.OK@600 tv.ok@900", 250, 450},
  };
  for (const auto& c : cases) {
    Press p;
    PressStream s;
    PressReset(&p);
    PressStreamReset(&s);
    PressTimings t = kPressDefaultTimings;
    t.ms[kPressRelease] = c.release;
    for (const KeyEvent& e : Events(c.events)) PressStreamFeed(&s, &e, PressFeed(&p, &e, &t));
    PressPace pace = {};
    EXPECT_EQ(PressStreamSlow(&s, &pace) ? PressReleaseFor(&pace) : 0u, c.wanted) << c.name;
  }
}

struct PressRun {
  std::string steps;  // "S@0 L@700": the short or long line run, at its start
  uint32_t lastEnd = 0;
  uint32_t skipped = 0;
};

// The dispatch thread on a fake clock: takes every signal that has arrived, asks what is due once
// none waits, and sleeps until the next signal or the module's next time. An action holds the
// clock for actionMs. Times in events and steps count from the start; the module sees them as clock
// values from `origin`. The button whose code (or name) is longButton has a long line.
static PressRun Simulate(const std::string& events, int policy, const char* longButton, uint32_t actionMs,
                         uint32_t origin = 0) {
  const std::vector<KeyEvent> signals = Events(events);
  const PressTimings t = kPressDefaultTimings;
  PressRun run;
  Press p;
  PressReset(&p);
  uint64_t now = signals.empty() ? 0 : signals[0].time;
  auto act = [&](int step) {
    if (step & (kPressRunShort | kPressAgain)) run.steps += "S@" + std::to_string(uint32_t(now)) + " ";
    if (step & kPressRunLong) run.steps += "L@" + std::to_string(uint32_t(now)) + " ";
    if (step & (kPressRunShort | kPressRunLong | kPressAgain)) now += actionMs, run.lastEnd = uint32_t(now);
    if (step & kPressEnded) run.skipped += PressSkipped(&p);
  };
  size_t next = 0;
  for (int guard = 0; guard < 10000; guard++) {
    while (next < signals.size() && signals[next].time <= now) {
      KeyEvent e = signals[next++];
      e.time += origin;
      int step = PressFeed(&p, &e, &t);
      act(step);
      bool hasLong = (e.name[0] ? std::string(e.name) : std::to_string(e.code)) == longButton;
      if (step & kPressBegins) act(PressFollow(&p, policy, hasLong, &t));
    }
    int step = PressTick(&p, uint32_t(origin + now), &t);
    act(step);
    if (step & (kPressRunShort | kPressRunLong)) continue;
    uint32_t wait = PressWaitMs(&p, uint32_t(origin + now), &t);
    if (wait == kPressNoWait && next == signals.size()) break;
    uint64_t until = wait == kPressNoWait ? UINT64_MAX : now + wait;
    if (next < signals.size() && signals[next].time < until) until = signals[next].time;
    now = until;
  }
  if (!run.steps.empty()) run.steps.pop_back();
  return run;
}

TEST(PressPolicy, ActsAsItsPolicySays) {
  struct Case {
    const char* name;
    std::string events;
    int policy;
    const char* longButton;
    uint32_t actionMs;
    const char* steps;
    uint32_t skipped;
  };
  const Case cases[] = {
      {"every: each signal", Held("5", 0, 440), kPressEvery, "", 0, "S@0 S@110 S@220 S@330 S@440", 0},
      {"every, slow action: each signal waits its turn", Held("5", 0, 440), kPressEvery, "", 200,
       "S@0 S@200 S@400 S@600 S@800", 0},
      {"once: the first signal only", Held("5", 0, 990), kPressOnce, "", 0, "S@0", 9},
      {"once: a tap of three frames", "5@0 5@40 5@80", kPressOnce, "", 100, "S@0", 2},
      {"once: two presses", "5@0 5@110 5@600 5@710", kPressOnce, "", 0, "S@0 S@600", 2},
      {"repeat: delay, then interval, until let go", Held("5", 0, 990), kPressRepeat, "", 0,
       "S@0 S@500 S@625 S@750 S@875 S@1000 S@1125", 3},
      {"repeat, 100 ms action", Held("5", 0, 990), kPressRepeat, "", 100,
       "S@0 S@500 S@625 S@750 S@875 S@1000 S@1125", 3},
      {"repeat, 200 ms action: never behind", Held("5", 0, 990), kPressRepeat, "", 200,
       "S@0 S@500 S@700 S@900 S@1100", 5},
      {"repeat: let go before the delay", Held("5", 0, 220), kPressRepeat, "", 0, "S@0", 2},
      {"long press: let go early runs the short line at the release", Held("5", 0, 220), kPressEvery, "5", 0,
       "S@471", 2},
      {"long press: held runs the long line only", Held("5", 0, 990), kPressEvery, "5", 200, "L@770", 9},
      {"long press: held just to the long time: its last signal before it", "5@0 5@110 5@220 5@330 5@450",
       kPressRepeat, "5", 0, "S@701", 4},
      {"long press: last signal at 550 ms", Held("5", 0, 550), kPressEvery, "5", 0, "S@801", 5},
      {"long press: a signal at the long time", Held("5", 0, 700, 175), kPressOnce, "5", 0, "L@700", 4},
      {"long press: a signal 1 ms before it", Held("5", 0, 699, 233), kPressOnce, "5", 0, "S@950", 3},
      {"long press: another button lets it go", "5@0 5@110 6@220", kPressOnce, "5", 0, "S@220 S@220", 1},
      {"no long line: acts at its first signal", "6@1000", kPressOnce, "5", 0, "S@1000", 0},
      // Counted signals and releases.
      {"repeat by the receiver's count", Held("TV.UP", 0, 990, 110, true), kPressRepeat, "", 0,
       "S@0 S@500 S@625 S@750 S@875 S@1000 S@1125", 3},
      {"a release ends a repeat at once", Held("TV.UP", 0, 770, 110, true) + " x:TV.UP@800", kPressRepeat, "",
       0, "S@0 S@500 S@625 S@750", 4},
      {"a release before the long time: the short line at once", "b:TV.OK@0 r:TV.OK@110 x:TV.OK@150",
       kPressOnce, "OK", 0, "S@150", 1},
      {"a counted begin is a new press", "b:TV.UP@0 r:TV.UP@100 b:TV.UP@200", kPressOnce, "", 0, "S@0 S@200",
       1},
  };
  for (const Case& c : cases) {
    // The same again with the clock wrapping around during the press (49.7 days after it started).
    for (uint32_t origin : {0u, 0xFFFFFF00u}) {
      PressRun run = Simulate(c.events, c.policy, c.longButton, c.actionMs, origin);
      EXPECT_EQ(run.steps, c.steps) << c.name << " from " << origin;
      EXPECT_EQ(run.skipped, c.skipped) << c.name << " from " << origin;
    }
  }
}

TEST(PressPolicy, RepeatStopsSoonAfterTheLastSignal) {
  // A 200 ms line held 6 s: the actions end within one action and the release time of the last
  // signal; acting on every signal, the queue would run on for seconds.
  for (uint32_t actionMs : {0u, 100u, 200u}) {
    PressRun run = Simulate(Held("12", 0, 6000), kPressRepeat, "", actionMs);
    uint32_t lastSignal = 6000 / 110 * 110;
    EXPECT_LE(run.lastEnd, lastSignal + actionMs + 250) << actionMs;
    EXPECT_GT(run.lastEnd + 500, lastSignal) << actionMs;
  }
  PressRun every = Simulate(Held("12", 0, 6000), kPressEvery, "", 200);
  EXPECT_GT(every.lastEnd, 6000u + 4000u);
}

TEST(PressPolicy, PolicyOfAnEntry) {
  struct Case {
    const char* entry;
    const char* byDefault;
    int kind;
    int policy;
  };
  const Case cases[] = {
      {nullptr, nullptr, kActionKeyboard, kPressEvery},   {nullptr, nullptr, kActionCommand, kPressEvery},
      {nullptr, nullptr, kActionExec, kPressOnce},        {"", "", kActionClose, kPressOnce},
      {"every", nullptr, kActionExec, kPressEvery},       {nullptr, "repeat", kActionKeyboard, kPressRepeat},
      {nullptr, "Once", kActionExec, kPressOnce},         {" REPEAT ", "once", kActionKeyboard, kPressRepeat},
      {"twice", "repeat", kActionKeyboard, kPressRepeat}, {"twice", "never", kActionClose, kPressOnce},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PressPolicyFor(c.entry, c.byDefault, c.kind), c.policy)
        << (c.entry ? c.entry : "-") << " / " << (c.byDefault ? c.byDefault : "-");
}

TEST(PressPolicy, Timings) {
  struct Case {
    const char* text;
    int timing;
    int result;
    uint32_t ms;
  };
  const Case cases[] = {
      {"300", kPressRelease, 1, 300},          {" 50 ", kPressLongPress, 1, 50},
      {"5000", kPressRepeatDelay, 1, 5000},    {"", kPressRelease, 0, 250},
      {"49", kPressRelease, -1, 250},          {"5001", kPressRepeatDelay, -1, 500},
      {"12ms", kPressRepeatInterval, -1, 125}, {"-100", kPressLongPress, -1, 700},
      {"99999999999", kPressRelease, -1, 250},
  };
  for (const Case& c : cases) {
    uint32_t ms = 0;
    EXPECT_EQ(PressTimingParse(c.text, c.timing, &ms), c.result) << c.text;
    EXPECT_EQ(ms, c.ms) << c.text;
  }
}

// Arbitrary signals and clock steps through the press decision and the held-button policies, as
// the dispatch thread feeds them, with what must hold whatever comes: a press that acts once (once,
// or a button with a long line) acts at most once; no repeat acts once the press was let go; a
// policy that waits always names a time, and an ended press never counts more skipped repeats than
// it had signals.
#include <stdint.h>
#include <stdlib.h>

#include "actions/hold.h"
#include "receiver/press.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  HoldTimings t = {{uint32_t(50 + data[0] * 4), 500, uint32_t(50 + data[1]), 700}};
  PressTracker press;
  PressReset(&press);
  HoldPress hold = {};
  uint32_t now = 0xFFFFF000u;  // the clock wraps during longer inputs
  uint32_t actions = 0;        // of the current press
  auto count = [&](int step) {
    if (step & (kHoldRunShort | kHoldRunLong)) actions++;
    if ((step & kHoldEnded) && HoldSkipped(&hold) > hold.signals) abort();
  };
  for (size_t i = 2; i + 1 < size; i += 2) {
    uint8_t op = data[i], arg = data[i + 1];
    now += uint32_t(arg) * 4;
    if (op < 200) {
      int code = op % 3;
      if (PressFeed(&press, code, now, t.ms[kHoldRelease]) == kPressNew) {
        count(HoldEnd(&hold));
        actions = 0;
        count(HoldBegin(&hold, code, op / 3 % 3, code == 2, now, &t));
      } else {
        count(HoldRepeat(&hold, now));
      }
    } else {
      bool released = PressElapsed(hold.last, now) > t.ms[kHoldRelease];
      bool wasActive = hold.active;
      int step = HoldTick(&hold, now, &t);
      if (wasActive && released && hold.policy == kHoldRepeat && !hold.hasLong && (step & kHoldRunShort))
        abort();
      count(step);
    }
    if ((hold.policy == kHoldOnce || hold.hasLong) && hold.active && actions > 1) abort();
    if (hold.active && HoldWaitMs(&hold, now, &t) == kHoldNoWait) abort();
  }
  return 0;
}

// Arbitrary key events (serial and named buttons, counted signals, releases) and clock steps through
// the press module, as the dispatch thread feeds it, with what must hold whatever comes: a press
// that acts once (once, or a button with a long line) acts at most once; no repeat acts once the
// press was let go; a press that waits always names a time; an ended press never counts more
// skipped repeats than it had signals; a release ends the press at once.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "actions/press.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  PressTimings t = {{uint32_t(50 + data[0] * 4), 500, uint32_t(50 + data[1]), 700}};
  Press press;
  PressReset(&press);
  uint32_t now = 0xFFFFF000u;  // the clock wraps during longer inputs
  uint32_t actions = 0;        // of the current press
  auto count = [&](int step) {
    if (step & (kPressRunShort | kPressRunLong | kPressAgain)) actions++;
    if ((step & kPressEnded) && PressSkipped(&press) > press.endedSignals) abort();
  };
  for (size_t i = 2; i + 1 < size; i += 2) {
    uint8_t op = data[i], arg = data[i + 1];
    now += uint32_t(arg) * 4;
    if (op < 200) {
      KeyEvent e = {1, uint8_t(op % 3), now};
      e.source = op & 0x40 ? kKeyFromNetwork : kKeyFromSerial;
      e.signal = uint8_t((op >> 3) & 3);
      strcpy(e.remote, op & 0x80 ? "DEMO" : "demo");  // the same remote, in either case
      strcpy(e.name, op % 3 ? "KEY_UP" : "key_ok");
      bool its = press.live && PressSameButton(&press.button, &e);
      int step = PressFeed(&press, &e, &t);
      if (e.signal == kKeySignalRelease && its && press.live) abort();
      if (step & kPressBegins) {
        count(step & ~kPressBegins);
        actions = 0;
        count(PressFollow(&press, op / 3 % 3, e.code == 2, &t));
      } else {
        count(step);
      }
    } else {
      bool released = PressElapsed(press.last, now) > t.ms[kPressRelease];
      bool wasLive = press.live;
      int step = PressTick(&press, now, &t);
      if (wasLive && released && press.policy == kPressRepeat && !press.hasLong && (step & kPressRunShort))
        abort();
      count(step);
    }
    if ((press.policy == kPressOnce || press.hasLong) && press.live && actions > 1) abort();
    if (press.live && press.followed && PressWaitMs(&press, now, &t) == kPressNoWait) abort();
  }
  return 0;
}

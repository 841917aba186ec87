// Presses and repeats. An infrared remote repeats its packet while a button is held (about every
// 110 ms), and some remotes send one tap as two to four frames. A signal begins a new press when no
// signal of its button came within the release time before it, or when another button's signal came
// in between; otherwise it repeats the press. A press ends when no signal of it came for the release
// time. Pure code: fed key codes and the millisecond clock values the reader stamped them with
// (timeGetTime, which wraps around after 49.7 days: times are compared by their differences only).
#pragma once
#include <stdint.h>

enum PressKind { kPressNew = 1, kPressRepeat = 2 };

struct PressTracker {
  int code;             // button of the current press; -1 before the first signal
  uint32_t start;       // its first signal
  uint32_t last;        // its newest signal
  uint32_t signals;     // its signals so far, the first included
  uint32_t longestGap;  // the longest gap between two of its signals
};

void PressReset(PressTracker* t);
// Milliseconds from `earlier` to `later`; 0 when `later` is in fact the earlier one (clock values
// read on two threads may cross by a little).
uint32_t PressElapsed(uint32_t earlier, uint32_t later);
// A signal of `code` at `time`: kPressNew or kPressRepeat of the current press.
int PressFeed(PressTracker* t, int code, uint32_t time, uint32_t releaseMs);
// 1 when the current press has ended by `now` (no signal of it for more than releaseMs), or there is
// none; else 0.
int PressReleased(const PressTracker* t, uint32_t now, uint32_t releaseMs);

// The receiver's pace over one held press: signals per second (0 with fewer than two signals), the
// mean gap between signals and the longest, in milliseconds.
struct PressPace {
  uint32_t perSecond;
  uint32_t meanGap;
  uint32_t longestGap;
};
PressPace PressPaceOf(const PressTracker* t);
// Whether a release time tells this pace's repeats from new presses: the longest gap seen fits in
// it with a margin of a quarter (jitter). The release time the pace would want: the longest gap
// and half of it again, rounded up to 10 ms, at least kPressReleaseLeast.
enum { kPressReleaseLeast = 150 };
int PressReleaseFits(const PressPace* pace, uint32_t releaseMs);
uint32_t PressReleaseFor(const PressPace* pace);

// A receiver slower than the release time: each signal of a held button comes more than the
// release time after the one before, so each one is a new press. A steady stream of such presses of
// one button, each of one signal, kPressStreamLeast of them or more, at gaps no more than a quarter
// apart and at most kPressStreamGapMost each, is taken for a held button.
enum { kPressStreamLeast = 4, kPressStreamGapMost = 1000 };
struct PressStream {
  int code;           // button of the stream; -1 before the first press
  uint32_t first;     // the stream's first signal
  uint32_t last;      // its newest
  uint32_t presses;   // its presses so far, each of one signal; 0 once a repeat came
  uint32_t shortest;  // the shortest and the longest gap between them
  uint32_t longest;
};
void PressStreamReset(PressStream* s);
// A signal of `code` at `time`, kind as PressFeed said of it.
void PressStreamFeed(PressStream* s, int code, uint32_t time, int kind);
// 1 when the newest presses are such a stream, with its pace in *pace (longestGap its longest gap,
// so that PressReleaseFor gives a release time that fits it); else 0.
int PressStreamSlow(const PressStream* s, PressPace* pace);

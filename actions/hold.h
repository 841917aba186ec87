// What a held button does, per entry of the profile. Beside KeyN=LINE a section may hold
// KeyN.hold=every|once|repeat and KeyN.long=LINE; [default] may hold hold= (the policy of every entry
// without its own) and the timings release=, repeatdelay=, repeatinterval=, longpress= in
// milliseconds.
//  - every: every signal acts, as received (queued like any key event);
//  - once: the press acts at its first signal, its repeats do nothing;
//  - repeat: the press acts at once, again after the repeat delay, then once per repeat interval
//    while held, and stops when the button is let go; repeats that come while its action runs are
//    not queued (the dispatch thread takes them all before it asks whether an action is due);
//  - a button with a long line waits: seen held at the long-press time (a signal of the press at or
//    after it), the long line runs, once, at that signal; a press whose last signal came before it
//    runs the short line, once, when it ends. A button without one acts at its first signal.
// Pure code, also built natively: fed the signals of one press and the clock, it says when to act.
#pragma once
#include <stdint.h>

enum HoldPolicy { kHoldEvery = 0, kHoldOnce = 1, kHoldRepeat = 2 };

enum HoldTiming {
  kHoldRelease = 0,
  kHoldRepeatDelay = 1,
  kHoldRepeatInterval = 2,
  kHoldLongPress = 3,
  kHoldTimings = 4
};
enum { kHoldTimingLeast = 50, kHoldTimingMost = 5000 };
extern const char* const kHoldTimingNames[kHoldTimings];  // "release", "repeatdelay", ...
extern const uint32_t kHoldTimingDefaults[kHoldTimings];  // 250, 500, 125, 700

struct HoldTimings {
  uint32_t ms[kHoldTimings];  // by HoldTiming
};

// The policy a .hold or hold= value names ("every", "once", "repeat", without regard to case and
// blanks around it); -1 for any other text.
int HoldPolicyParse(const char* text);
// The policy of a line without a .hold entry when [default] has no hold= either: once for EXEC and
// CLOSE (a held button must not start a program a dozen times, or close window after window),
// every signal for the others. kind: an ActionKind of actions/keygroups.h.
int HoldPolicyOfKind(int kind);
// A timing's value: the decimal number in text (blanks around it allowed) when it lies within
// kHoldTimingLeast..kHoldTimingMost. Returns 1 with it in *ms; 0 with the default for an empty
// text; -1 with the default for anything else.
int HoldTimingParse(const char* text, int timing, uint32_t* ms);

enum HoldStep { kHoldNothing = 0, kHoldRunShort = 1, kHoldRunLong = 2, kHoldEnded = 4 };
enum : uint32_t { kHoldNoWait = 0xFFFFFFFFu };

// The press being followed: one at a time, since another button's signal begins a new press.
struct HoldPress {
  int active;  // 0: no press followed (none yet, ended, or acting on every signal)
  int code;
  int policy;
  int hasLong;
  int decided;  // a button with a long line: the short or the long line has run
  uint32_t start;
  uint32_t last;
  uint32_t due;      // repeat: when it acts next
  uint32_t signals;  // the first included
  uint32_t actions;  // actions run for it
};

// A new press of `code` at `time`. Returns kHoldRunShort when it acts now (no long line), else
// kHoldNothing. A press acting on every signal without a long line is not followed (active 0).
int HoldBegin(HoldPress* p, int code, int policy, int hasLong, uint32_t time, const HoldTimings* t);
// A repeat of the followed press at `time`: kHoldRunShort for a press acting on every signal (never
// followed), kHoldNothing otherwise.
int HoldRepeat(HoldPress* p, uint32_t time);
// What is due at `now`, once the queue is empty: kHoldRunShort or kHoldRunLong, with kHoldEnded
// added when the press has ended (no signal for more than the release time). An ended press keeps
// its counts for the caller; it is no longer active.
int HoldTick(HoldPress* p, uint32_t now, const HoldTimings* t);
// The press ends because another button's signal came: kHoldRunShort when a button with a long
// line was let go before its time, with kHoldEnded.
int HoldEnd(HoldPress* p);
// Signals of an ended press that did not act (its repeats skipped).
uint32_t HoldSkipped(const HoldPress* p);
// Milliseconds from `now` until HoldTick has something to do; kHoldNoWait when nothing is followed.
uint32_t HoldWaitMs(const HoldPress* p, uint32_t now, const HoldTimings* t);

// The policy of an entry: its .hold value when that names one, else [default]'s hold= when that
// does, else HoldPolicyOfKind(kind). Either text may be empty or null.
int HoldPolicyFor(const char* entryHold, const char* defaultHold, int kind);

// Presses: one module follows a button from its first signal to its release and says what acts
// when. The dispatch thread feeds it every key event and the clock, looks up the lines it is told
// to look up, and runs what it is told to run; the test dialog feeds it to show a receiver's pace.
//
// Signals, presses and repeats. A remote repeats its signal while a button is held (an infrared
// one about every 110 ms), and some remotes send one tap as two to four frames. A press begins at a
// button's first signal and goes on while signals of that button follow, each within the release
// time of the one before; it ends when no signal came for longer than the release time, when
// another button signals, or when the receiver says the button was let go. That is the one notion
// of the release: whether a signal repeats the press (its gap, by the time its receiver stamped on
// it) and whether the press has ended (the clock, once no signal waits) are the same rule, and a
// signal that comes after the press was seen to end begins a new one.
//
// The three kinds of receiver. Each key event says what its receiver knows (KeySignal,
// receiver/keyring.h):
//  - the serial receiver only says that a signal came (kKeySignal): the gap alone tells a new press
//    from a repeat;
//  - a LIRC or WinLIRC server counts its lines, 0 for a new press (kKeySignalBegin, then
//    kKeySignalRepeat): a begin always begins a press, even within the release time of the last
//    signal (two quick taps of one button are two presses), and a repeat within the release time
//    repeats it. A counted press whose lines stop still ends after the release time, since the
//    server never says when a button was let go (a repeat that comes later begins a press: the
//    line that began it was lost);
//  - the keyboard hook and raw input see the key go up (kKeySignalRelease): the press ends at once,
//    with no release time to wait; until then it goes on, however long the gap before a held key's
//    first auto-repeat (a bound of 1.1 s stands in for a key-up that never came).
// A button is its serial code, or its receiver, remote and name, the names compared without regard
// to case (the same button may come as "KEY_UP" from one configuration and "key_up" from another).
//
// Policies, per entry of the profile (KeyN.hold=, Key.NAME.hold=, [default] hold=):
//  - every: every signal acts, as received (queued like any key event);
//  - once: the press acts at its first signal, its repeats do nothing;
//  - repeat: the press acts at once, again after the repeat delay, then once per repeat interval
//    while held, and stops when the button is let go. Repeats that came while its action ran are
//    not a backlog: the dispatch thread takes every waiting signal before it asks what is due, and
//    after a slow action the next one is due at once, but only one.
// A button with a long line (KeyN.long=) waits: seen held at the long-press time (a signal of the
// press at or after it), the long line runs, once, at that signal; a press whose last signal came
// before it runs the short line, once, when it ends (the release time running on past a last signal
// before the long-press time does not make a long press). A press held past the long-press time is
// told once (kPressHeldLong), whatever its entries: the Assign dialog teaches such a press a long
// line.
//
// What the caller gets: PressFeed and PressTick return steps. kPressBegins asks for the new press's
// lines (then PressFollow with its policy); kPressAgain asks to look the line up and run it (a
// signal of a press acting on every signal); kPressRunShort and kPressRunLong run the line found at
// the press's first signal; kPressEnded tells that a press ended, with its signals that did nothing
// in PressSkipped. When one event both ends a press and begins the next, the steps of the press
// that ended come first, while the caller still holds its lines.
//
// Rejected: three records of one press (the decision, the policy, the dispatch thread's glue), each
// with its own last signal and release, needed a work-around where they disagreed about whether a
// press had ended; here there is one record. Pure code, also built natively: time is the
// millisecond clock (timeGetTime), which wraps around after 49.7 days, so times are compared by
// their differences only.
#pragma once
#include <stdint.h>

#include "receiver/keyring.h"

enum PressPolicy { kPressEvery = 0, kPressOnce = 1, kPressRepeat = 2 };

enum PressTiming {
  kPressRelease = 0,
  kPressRepeatDelay = 1,
  kPressRepeatInterval = 2,
  kPressLongPress = 3,
  kPressTimings = 4
};
enum { kPressTimingLeast = 50, kPressTimingMost = 5000 };
extern const char* const kPressTimingNames[kPressTimings];  // "release", "repeatdelay", ...

struct PressTimings {
  uint32_t ms[kPressTimings];  // by PressTiming
};
extern const PressTimings kPressDefaultTimings;  // 250, 500, 125, 700

// A number of milliseconds: the decimal number in text (blanks around it allowed) when it lies
// within least..most. 1 with it in *ms; 0 for an empty or null text and -1 for anything else, both
// with *ms as it was.
int PressMsParse(const char* text, uint32_t least, uint32_t most, uint32_t* ms);
// The policy a .hold or hold= value names ("every", "once", "repeat", without regard to case and
// blanks around it); -1 for any other text.
int PressPolicyParse(const char* text);
// The policy of a line without a .hold entry when [default] has no hold= either: once for EXEC and
// CLOSE (a held button must not start a program a dozen times, or close window after window),
// every signal for the others. kind: an ActionKind of actions/keygroups.h.
int PressPolicyOfKind(int kind);
// The policy of an entry: its .hold value when that names one, else [default]'s hold= when that
// does, else PressPolicyOfKind(kind). Either text may be empty or null.
int PressPolicyFor(const char* entryHold, const char* defaultHold, int kind);
// A timing's value: the decimal number in text (blanks around it allowed) when it lies within
// kPressTimingLeast..kPressTimingMost. Returns 1 with it in *ms; 0 with the default for an empty
// text; -1 with the default for anything else.
int PressTimingParse(const char* text, int timing, uint32_t* ms);

// A button: the serial code, or the receiver, remote and name.
struct PressButton {
  uint8_t source;  // KeySource
  uint8_t code;    // serial receiver only
  char remote[kKeyNameSize];
  char name[kKeyNameSize];
};
void PressButtonOf(const KeyEvent* e, PressButton* out);
bool PressSameButton(const PressButton* b, const KeyEvent* e);

enum PressStep {
  kPressRunShort = 1,   // run the short line found at the press's first signal
  kPressRunLong = 2,    // run its long line
  kPressEnded = 4,      // a press ended (PressSkipped tells of it)
  kPressBegins = 8,     // this signal begins a press: look up its lines, then PressFollow
  kPressAgain = 16,     // a signal of a press acting on every signal: look its line up and run it
  kPressHeldLong = 32,  // the press is seen held past the long-press time (once per press)
};
enum : uint32_t { kPressNoWait = 0xFFFFFFFFu };

// The press followed: one at a time, since another button's signal ends it.
struct Press {
  PressButton button;   // of the current (or last) press
  int live;             // the press goes on: not yet ended
  uint32_t start;       // its first signal
  uint32_t last;        // its newest signal
  uint32_t signals;     // its signals, the first included; 0 before the first press
  uint32_t longestGap;  // the longest gap between two of its signals
  int policy;           // as PressFollow was told
  int hasLong;
  int followed;  // the policy decides (not every signal acting as received)
  int decided;   // a press with a long line: the short or the long line has run
  int toldHeld;  // kPressHeldLong was told
  uint32_t due;  // repeat: when it acts next
  uint32_t actions;
  uint32_t endedSignals;  // of the press that ended last
  uint32_t endedActions;
};

void PressReset(Press* p);
// Milliseconds from `earlier` to `later`; 0 when `later` is in fact the earlier one (clock values
// read on two threads may cross by a little).
uint32_t PressElapsed(uint32_t earlier, uint32_t later);
// One key event (its button, its time, what its receiver says of it): PressSteps.
int PressFeed(Press* p, const KeyEvent* e, const PressTimings* t);
// The policy of the press that just began, and whether its button has a long line: kPressRunShort
// when its first signal acts now, else 0.
int PressFollow(Press* p, int policy, int hasLong, const PressTimings* t);
// What is due at `now`, once no signal waits: kPressRunShort or kPressRunLong, with kPressEnded
// when the press has ended (no signal for more than the release time).
int PressTick(Press* p, uint32_t now, const PressTimings* t);
// Milliseconds from `now` until PressTick has something to do; kPressNoWait when nothing would be.
uint32_t PressWaitMs(const Press* p, uint32_t now, const PressTimings* t);
// Signals of the press that ended last that did nothing (its repeats skipped).
uint32_t PressSkipped(const Press* p);

// The receiver's pace over one held press: signals per second (0 with fewer than two signals), the
// mean gap between signals and the longest, in milliseconds.
struct PressPace {
  uint32_t perSecond;
  uint32_t meanGap;
  uint32_t longestGap;
};
PressPace PressPaceOf(const Press* p);
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
  PressButton button;  // of the stream
  uint32_t first;      // the stream's first signal
  uint32_t last;       // its newest
  uint32_t presses;    // its presses so far, each of one signal; 0 once a repeat came
  uint32_t shortest;   // the shortest and the longest gap between them
  uint32_t longest;
};
void PressStreamReset(PressStream* s);
// The event just fed to PressFeed, with the steps it returned.
void PressStreamFeed(PressStream* s, const KeyEvent* e, int steps);
// 1 when the newest presses are such a stream, with its pace in *pace (longestGap its longest gap,
// so that PressReleaseFor gives a release time that fits it); else 0.
int PressStreamSlow(const PressStream* s, PressPace* pace);

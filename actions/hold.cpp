#include "actions/hold.h"

#include <stdlib.h>
#include <string.h>

#include "actions/keygroups.h"
#include "receiver/press.h"

const char* const kHoldTimingNames[kHoldTimings] = {kProfileTimingNames[0], kProfileTimingNames[1],
                                                    kProfileTimingNames[2], kProfileTimingNames[3]};
const uint32_t kHoldTimingDefaults[kHoldTimings] = {250, 500, 125, 700};

static const char* const kPolicyNames[] = {"every", "once", "repeat"};

// The text without blanks around it: start in *from, length returned.
static size_t Trimmed(const char* text, const char** from) {
  while (*text == ' ' || *text == '\t') text++;
  size_t n = strlen(text);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) n--;
  *from = text;
  return n;
}

int HoldPolicyParse(const char* text) {
  const char* from;
  size_t n = Trimmed(text, &from);
  for (int i = 0; i < 3; i++) {
    if (strlen(kPolicyNames[i]) != n) continue;
    size_t k = 0;
    while (k < n && (from[k] | 0x20) == kPolicyNames[i][k]) k++;
    if (k == n) return i;
  }
  return -1;
}

int HoldPolicyOfKind(int kind) {
  return kind == kActionExec || kind == kActionClose ? kHoldOnce : kHoldEvery;
}

int HoldTimingParse(const char* text, int timing, uint32_t* ms) {
  *ms = kHoldTimingDefaults[timing];
  const char* from;
  size_t n = Trimmed(text, &from);
  if (n == 0) return 0;
  uint32_t value = 0;
  for (size_t i = 0; i < n; i++) {
    if (from[i] < '0' || from[i] > '9' || value > kHoldTimingMost) return -1;
    value = value * 10 + uint32_t(from[i] - '0');
  }
  if (value < kHoldTimingLeast || value > kHoldTimingMost) return -1;
  *ms = value;
  return 1;
}

int HoldBegin(HoldPress* p, int code, int policy, int hasLong, uint32_t time, const HoldTimings* t) {
  *p = {};
  p->code = code;
  p->policy = policy;
  p->hasLong = hasLong;
  p->start = p->last = time;
  p->signals = 1;
  p->due = time + t->ms[kHoldRepeatDelay];
  p->active = hasLong || policy != kHoldEvery;
  if (hasLong) return kHoldNothing;
  p->actions = 1;
  return kHoldRunShort;
}

int HoldRepeat(HoldPress* p, uint32_t time) {
  if (!p->active) return kHoldRunShort;
  p->last = time;
  p->signals++;
  return kHoldNothing;
}

static uint32_t Until(uint32_t now, uint32_t at) {
  uint32_t d = at - now;
  return d > 0x80000000u ? 0 : d;
}

static int Released(const HoldPress* p, uint32_t now, const HoldTimings* t) {
  return PressElapsed(p->last, now) > t->ms[kHoldRelease];
}

int HoldTick(HoldPress* p, uint32_t now, const HoldTimings* t) {
  if (!p->active) return kHoldNothing;
  int step = kHoldNothing;
  int released = Released(p, now, t);
  if (p->hasLong && !p->decided) {
    // Seen held at the long-press time: a signal of the press came at or after it. The release time
    // running on past a last signal before it does not make a long press.
    if (PressElapsed(p->start, p->last) >= t->ms[kHoldLongPress]) {
      step = kHoldRunLong;
    } else if (released) {
      step = kHoldRunShort;
    }
    if (step) {
      p->decided = 1;
      p->actions++;
    }
  } else if (!p->hasLong && p->policy == kHoldRepeat && !released && Until(now, p->due) == 0) {
    step = kHoldRunShort;
    p->actions++;
    // Never behind: after a slow action the next one is due at once, but only one.
    p->due += t->ms[kHoldRepeatInterval];
    if (PressElapsed(p->due, now) > 0) p->due = now;
  }
  if (released) {
    p->active = 0;
    step |= kHoldEnded;
  }
  return step;
}

int HoldEnd(HoldPress* p) {
  if (!p->active) return kHoldNothing;
  p->active = 0;
  if (p->hasLong && !p->decided) {
    p->decided = 1;
    p->actions++;
    return kHoldRunShort | kHoldEnded;
  }
  return kHoldEnded;
}

uint32_t HoldSkipped(const HoldPress* p) {
  return p->signals > p->actions ? p->signals - p->actions : 0;
}

uint32_t HoldWaitMs(const HoldPress* p, uint32_t now, const HoldTimings* t) {
  if (!p->active) return kHoldNoWait;
  uint32_t wait = Until(now, p->last + t->ms[kHoldRelease] + 1);
  uint32_t other = kHoldNoWait;
  if (!p->hasLong && p->policy == kHoldRepeat) other = Until(now, p->due);
  return other < wait ? other : wait;
}

int HoldPolicyFor(const char* entryHold, const char* defaultHold, int kind) {
  int policy = entryHold ? HoldPolicyParse(entryHold) : -1;
  if (policy < 0 && defaultHold) policy = HoldPolicyParse(defaultHold);
  return policy < 0 ? HoldPolicyOfKind(kind) : policy;
}

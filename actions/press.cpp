#include "actions/press.h"

#include <string.h>

#include "actions/keygroups.h"
#include "profile/profiletext.h"

static_assert(int(kProfileTimingCount) == int(kPressTimings), "a name for every timing");

const char* const kPressTimingNames[kPressTimings] = {kProfileTimingNames[0], kProfileTimingNames[1],
                                                      kProfileTimingNames[2], kProfileTimingNames[3]};
const PressTimings kPressDefaultTimings = {{250, 500, 125, 700}};

static const char* const kPolicyNames[] = {"every", "once", "repeat"};

// The text without blanks around it: start in *from, length returned.
static size_t Trimmed(const char* text, const char** from) {
  while (*text == ' ' || *text == '\t') text++;
  size_t n = strlen(text);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) n--;
  *from = text;
  return n;
}

static char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

static bool SameText(const char* a, const char* b) {
  while (*a && Lower(*a) == Lower(*b)) a++, b++;
  return Lower(*a) == Lower(*b);
}

int PressPolicyParse(const char* text) {
  const char* from;
  size_t n = Trimmed(text, &from);
  for (int i = 0; i < 3; i++) {
    if (strlen(kPolicyNames[i]) != n) continue;
    size_t k = 0;
    while (k < n && Lower(from[k]) == kPolicyNames[i][k]) k++;
    if (k == n) return i;
  }
  return -1;
}

int PressPolicyOfKind(int kind) {
  return kind == kActionExec || kind == kActionClose ? kPressOnce : kPressEvery;
}

int PressPolicyFor(const char* entryHold, const char* defaultHold, int kind) {
  int policy = entryHold ? PressPolicyParse(entryHold) : -1;
  if (policy < 0 && defaultHold) policy = PressPolicyParse(defaultHold);
  return policy < 0 ? PressPolicyOfKind(kind) : policy;
}

int PressMsParse(const char* text, uint32_t least, uint32_t most, uint32_t* ms) {
  const char* from;
  size_t n = Trimmed(text ? text : "", &from);
  if (n == 0) return 0;
  uint32_t value = 0;
  for (size_t i = 0; i < n; i++) {
    if (from[i] < '0' || from[i] > '9' || value > most) return -1;
    value = value * 10 + uint32_t(from[i] - '0');
  }
  if (value < least || value > most) return -1;
  *ms = value;
  return 1;
}

int PressTimingParse(const char* text, int timing, uint32_t* ms) {
  *ms = kPressDefaultTimings.ms[timing];
  return PressMsParse(text, kPressTimingLeast, kPressTimingMost, ms);
}

static void CopyName(char* out, const char* name) {
  size_t n = strnlen(name, kKeyNameSize - 1);
  memcpy(out, name, n);
  out[n] = '\0';
}

void PressButtonOf(const KeyEvent* e, PressButton* out) {
  out->source = e->source;
  out->code = e->source == kKeyFromSerial ? e->code : 0;
  CopyName(out->remote, e->source == kKeyFromSerial ? "" : e->remote);
  CopyName(out->name, e->source == kKeyFromSerial ? "" : e->name);
}

bool PressSameButton(const PressButton* b, const KeyEvent* e) {
  if (b->source != e->source) return false;
  if (e->source == kKeyFromSerial) return b->code == e->code;
  return SameText(b->remote, e->remote) && SameText(b->name, e->name);
}

void PressReset(Press* p) {
  memset(p, 0, sizeof *p);
}

uint32_t PressElapsed(uint32_t earlier, uint32_t later) {
  uint32_t d = later - earlier;
  return d > 0x80000000u ? 0 : d;
}

// A receiver that sees the key go up (the keyboard hook, raw input): its press goes on until then,
// whatever the gaps between its signals (a keyboard's first auto-repeat comes only after its delay,
// up to a second; the release time would end the press before it and make that repeat a new
// press, and no such press could ever be long). Should the key-up be lost (Windows removed the hook
// while the key was down), the press still ends once no signal came for kPressToldMostMs.
enum { kPressToldMostMs = 1100 };
static bool TellsRelease(const Press* p) {
  return p->button.source == kKeyFromKeyboard || p->button.source == kKeyFromMce;
}
static uint32_t ReleaseMs(const Press* p, const PressTimings* t) {
  uint32_t ms = t->ms[kPressRelease];
  return TellsRelease(p) && ms < kPressToldMostMs ? uint32_t(kPressToldMostMs) : ms;
}

// The press ends now (another button, a begin, a release): a press with a long line let go before
// its time runs its short line.
static int PressEnd(Press* p) {
  if (!p->live) return 0;
  p->live = 0;
  int step = kPressEnded;
  if (p->followed && p->hasLong && !p->decided) {
    p->decided = 1;
    p->actions++;
    step |= kPressRunShort;
  }
  p->endedSignals = p->signals;
  p->endedActions = p->actions;
  return step;
}

int PressFeed(Press* p, const KeyEvent* e, const PressTimings* t) {
  bool same = p->live && PressSameButton(&p->button, e);
  if (e->signal == kKeySignalRelease) return same ? PressEnd(p) : 0;
  uint32_t gap = PressElapsed(p->last, e->time);
  if (same && e->signal != kKeySignalBegin && gap <= ReleaseMs(p, t)) {
    p->last = e->time;
    p->signals++;
    if (gap > p->longestGap) p->longestGap = gap;
    int step = 0;
    if (!p->toldHeld && PressElapsed(p->start, e->time) >= t->ms[kPressLongPress]) {
      p->toldHeld = 1;
      step |= kPressHeldLong;
    }
    if (!p->followed) {
      p->actions++;
      step |= kPressAgain;
    }
    return step;
  }
  int step = PressEnd(p);
  uint32_t endedSignals = p->endedSignals, endedActions = p->endedActions;
  PressReset(p);
  PressButtonOf(e, &p->button);
  p->live = 1;
  p->start = p->last = e->time;
  p->signals = 1;
  p->endedSignals = endedSignals;
  p->endedActions = endedActions;
  return step | kPressBegins;
}

int PressFollow(Press* p, int policy, int hasLong, const PressTimings* t) {
  p->policy = policy;
  p->hasLong = hasLong;
  p->due = p->start + t->ms[kPressRepeatDelay];
  p->followed = hasLong || policy != kPressEvery;
  if (hasLong) return 0;
  p->actions = 1;
  return kPressRunShort;
}

static uint32_t Until(uint32_t now, uint32_t at) {
  uint32_t d = at - now;
  return d > 0x80000000u ? 0 : d;
}

int PressTick(Press* p, uint32_t now, const PressTimings* t) {
  if (!p->live || !p->followed) return 0;
  int step = 0;
  bool released = PressElapsed(p->last, now) > ReleaseMs(p, t);
  if (p->hasLong && !p->decided) {
    // Held to now when its receiver would have told the release; else to its last signal.
    if (PressElapsed(p->start, TellsRelease(p) ? now : p->last) >= t->ms[kPressLongPress]) {
      step = kPressRunLong;
    } else if (released) {
      step = kPressRunShort;
    }
    if (step) {
      p->decided = 1;
      p->actions++;
    }
  } else if (!p->hasLong && p->policy == kPressRepeat && !released && Until(now, p->due) == 0) {
    step = kPressRunShort;
    p->actions++;
    // Never behind: after a slow action the next one is due at once, but only one.
    p->due += t->ms[kPressRepeatInterval];
    if (PressElapsed(p->due, now) > 0) p->due = now;
  }
  if (released) step |= PressEnd(p);
  return step;
}

uint32_t PressWaitMs(const Press* p, uint32_t now, const PressTimings* t) {
  if (!p->live || !p->followed) return kPressNoWait;
  uint32_t wait = Until(now, p->last + ReleaseMs(p, t) + 1);
  uint32_t other = kPressNoWait;
  if (!p->hasLong && p->policy == kPressRepeat) other = Until(now, p->due);
  if (p->hasLong && !p->decided && TellsRelease(p)) other = Until(now, p->start + t->ms[kPressLongPress]);
  return other < wait ? other : wait;
}

uint32_t PressSkipped(const Press* p) {
  return p->endedSignals > p->endedActions ? p->endedSignals - p->endedActions : 0;
}

PressPace PressPaceOf(const Press* p) {
  PressPace pace = {0, 0, p->longestGap};
  if (p->signals < 2) return pace;
  uint32_t span = PressElapsed(p->start, p->last);
  pace.meanGap = span / (p->signals - 1);
  pace.perSecond = span ? uint32_t((uint64_t(p->signals - 1) * 1000 + span / 2) / span) : 0;
  return pace;
}

int PressReleaseFits(const PressPace* pace, uint32_t releaseMs) {
  return uint64_t(pace->longestGap) * 5 / 4 <= releaseMs;
}

uint32_t PressReleaseFor(const PressPace* pace) {
  uint32_t want = (pace->longestGap * 3 / 2 + 9) / 10 * 10;
  return want < kPressReleaseLeast ? uint32_t(kPressReleaseLeast) : want;
}

void PressStreamReset(PressStream* s) {
  memset(s, 0, sizeof *s);
}

void PressStreamFeed(PressStream* s, const KeyEvent* e, int steps) {
  if (e->signal == kKeySignalRelease) return;
  if (!(steps & kPressBegins)) {
    s->presses = 0;
    return;
  }
  uint32_t time = e->time;
  uint32_t gap = PressElapsed(s->last, time);
  uint32_t shortest = s->presses > 1 && s->shortest < gap ? s->shortest : gap;
  uint32_t longest = s->presses > 1 && s->longest > gap ? s->longest : gap;
  bool steady = uint64_t(shortest) * 5 / 4 >= longest;
  bool same = s->presses > 0 && PressSameButton(&s->button, e) && gap > 0 && gap <= kPressStreamGapMost;
  if (same && steady) {
    s->last = time;
    s->presses++;
    s->shortest = shortest;
    s->longest = longest;
  } else if (same) {  // the pace changed: a stream from the press before
    s->first = s->last;
    s->last = time;
    s->presses = 2;
    s->shortest = s->longest = gap;
  } else {
    PressButtonOf(e, &s->button);
    s->first = s->last = time;
    s->presses = 1;
    s->shortest = s->longest = 0;
  }
}

int PressStreamSlow(const PressStream* s, PressPace* pace) {
  if (s->presses < kPressStreamLeast) return 0;
  uint32_t span = PressElapsed(s->first, s->last);
  pace->meanGap = span / (s->presses - 1);
  pace->perSecond = span ? uint32_t((uint64_t(s->presses - 1) * 1000 + span / 2) / span) : 0;
  pace->longestGap = s->longest;
  return 1;
}

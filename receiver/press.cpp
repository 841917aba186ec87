#include "receiver/press.h"

void PressReset(PressTracker* t) {
  *t = {-1, 0, 0, 0, 0};
}

uint32_t PressElapsed(uint32_t earlier, uint32_t later) {
  uint32_t d = later - earlier;
  return d > 0x80000000u ? 0 : d;
}

int PressFeed(PressTracker* t, int code, uint32_t time, uint32_t releaseMs) {
  uint32_t gap = PressElapsed(t->last, time);
  if (t->code == code && t->signals > 0 && gap <= releaseMs) {
    t->last = time;
    t->signals++;
    if (gap > t->longestGap) t->longestGap = gap;
    return kPressRepeat;
  }
  *t = {code, time, time, 1, 0};
  return kPressNew;
}

int PressReleased(const PressTracker* t, uint32_t now, uint32_t releaseMs) {
  return t->signals == 0 || PressElapsed(t->last, now) > releaseMs;
}

PressPace PressPaceOf(const PressTracker* t) {
  PressPace pace = {0, 0, t->longestGap};
  if (t->signals < 2) return pace;
  uint32_t span = PressElapsed(t->start, t->last);
  pace.meanGap = span / (t->signals - 1);
  pace.perSecond = span ? uint32_t((uint64_t(t->signals - 1) * 1000 + span / 2) / span) : 0;
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
  *s = {-1, 0, 0, 0, 0, 0};
}

void PressStreamFeed(PressStream* s, int code, uint32_t time, int kind) {
  if (kind != kPressNew) {
    s->presses = 0;
    return;
  }
  uint32_t gap = PressElapsed(s->last, time);
  uint32_t shortest = s->presses > 1 && s->shortest < gap ? s->shortest : gap;
  uint32_t longest = s->presses > 1 && s->longest > gap ? s->longest : gap;
  bool steady = uint64_t(shortest) * 5 / 4 >= longest;
  if (s->presses > 0 && s->code == code && gap > 0 && gap <= kPressStreamGapMost && steady) {
    *s = {code, s->first, time, s->presses + 1, shortest, longest};
  } else if (s->presses > 0 && s->code == code && gap > 0 && gap <= kPressStreamGapMost) {
    *s = {code, s->last, time, 2, gap, gap};  // the pace changed: a stream from the press before
  } else {
    *s = {code, time, time, 1, 0, 0};
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

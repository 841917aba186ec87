// The activity ring. The ring is a plain array used circularly; a full
// ring drops its oldest event. Rejected packets come in bursts when the receiver is disturbed, so
// all those of one second share one line with their count instead of pushing the presses out.
#include "common/activity.h"

#include <string.h>

void ActivityRingClear(ActivityRing* ring) {
  ring->first = 0;
  ring->count = 0;
  ring->nextSequence = 1;
}

uint32_t ActivityRingAdd(ActivityRing* ring, const ActivityEvent* e) {
  if (ring->nextSequence == 0) ring->nextSequence = 1;  // a ring that was never cleared
  unsigned at;
  if (ring->count < kActivityCapacity) {
    at = (ring->first + ring->count++) % kActivityCapacity;
  } else {
    at = ring->first;
    ring->first = (ring->first + 1) % kActivityCapacity;
  }
  ring->events[at] = *e;
  ring->events[at].sequence = ring->nextSequence++;
  return ring->events[at].sequence;
}

ActivityEvent* ActivityRingAt(ActivityRing* ring, unsigned index) {
  if (index >= ring->count) return nullptr;
  return &ring->events[(ring->first + index) % kActivityCapacity];
}

const ActivityEvent* ActivityRingAt(const ActivityRing* ring, unsigned index) {
  return ActivityRingAt(const_cast<ActivityRing*>(ring), index);
}

uint32_t ActivityRingAddRejected(ActivityRing* ring, int64_t time) {
  ActivityEvent* newest = ring->count ? ActivityRingAt(ring, ring->count - 1) : nullptr;
  if (newest && newest->kind == kActivityRejected && newest->time / 1000 == time / 1000) {
    newest->detail++;
    return newest->sequence;
  }
  ActivityEvent e;
  memset(&e, 0, sizeof e);
  e.kind = kActivityRejected;
  e.time = time;
  e.detail = 1;
  return ActivityRingAdd(ring, &e);
}

void ActivityCopyField(char* field, size_t size, const char* text) {
  if (size == 0) return;
  size_t n = strlen(text);
  if (n < size) {
    memcpy(field, text, n + 1);
    return;
  }
  n = size - 1;
  memcpy(field, text, n);
  field[n] = '\0';
  if (n >= 3) memcpy(field + n - 3, "...", 3);
}

int ActivityReceiverEventOf(int before, int state) {
  enum { kNoPort = 0, kOpen = 1, kWaiting = 2, kNoise = 3 };
  if (state == before) return -1;
  switch (state) {
    case kNoPort:
      return kActivityNoPort;
    case kOpen:
      if (before == kWaiting) return kActivityPortBack;
      if (before == kNoise) return kActivityQuiet;
      return kActivityPortOpened;
    case kWaiting:
      return before == kOpen || before == kNoise ? kActivityPortGone : kActivityPortWaiting;
    case kNoise:
      return kActivityNoise;
  }
  return -1;
}

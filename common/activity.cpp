// The activity ring and the texts of its lines. The ring is a plain array used circularly; a full
// ring drops its oldest event. Rejected packets come in bursts when the receiver is disturbed, so
// all those of one second share one line with their count instead of pushing the presses out.
#include "common/activity.h"

#include <stdio.h>
#include <string.h>

const char* const kActivityColumnNames[kActivityColumns] = {"Time",    "Event",  "Window", "Program",
                                                            "Section", "Action", "Result"};

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

void (*gActivityResultWords)(const ActivityEvent* e, char* out, size_t size);

static void ResultText(const ActivityEvent* e, char* out, size_t size) {
  const char* plural = e->detail == 1 ? "" : "s";
  switch (e->result) {
    case kActivityNoEntry:
      snprintf(out, size, "nothing done");
      return;
    case kActivityKeysSent:
      snprintf(out, size, "%ld keystroke%s sent%s", e->detail, plural,
               e->blocked ? "; probably blocked: the window runs with higher rights" : "");
      return;
    case kActivityKeysRefused:
      snprintf(out, size, "keystrokes refused by the system (error %ld) after %d sent", e->detail, e->sent);
      return;
    case kActivityAnswered:
      snprintf(out, size, "sent; the window answered %ld", e->detail);
      return;
    case kActivityNoAnswer:
      snprintf(out, size, "window did not answer within 2 s");
      return;
    case kActivityOwnWindow:
      snprintf(out, size, "not sent: a window of this program");
      return;
    case kActivityNothingSent:
      snprintf(out, size, "nothing sent: no window or no command number");
      return;
    case kActivityStarted:
      snprintf(out, size, "program started");
      return;
    case kActivityNotStarted:
      snprintf(out, size, "program not started: %s (error %ld)", e->reason[0] ? e->reason : "unknown reason",
               e->detail);
      return;
    case kActivityCutOff:
      snprintf(out, size, "cut off by Setup or Exit after %d keystroke%s", e->sent, e->sent == 1 ? "" : "s");
      return;
    case kActivityTooLong:
      snprintf(out, size, "not run (line too long)");
      return;
    case kActivityNoKeyword:
      snprintf(out, size, "not run: no COMMAND, KEYBOARD, CLOSE or EXEC at its start");
      return;
    case kActivityRepeatsSkipped:
      if (gActivityResultWords) {
        gActivityResultWords(e, out, size);
      } else {
        snprintf(out, size, "%ld", e->detail);
      }
      return;
  }
  snprintf(out, size, "result %d", e->result);
}

static void ReceiverText(const ActivityEvent* e, char* out, size_t size) {
  switch (e->result) {
    case kActivityPortOpened:
      snprintf(out, size, "port COM%ld opened", e->detail);
      return;
    case kActivityPortGone:
      snprintf(out, size, "receiver on COM%ld gone", e->detail);
      return;
    case kActivityPortWaiting:
      snprintf(out, size, "waiting for the receiver on COM%ld", e->detail);
      return;
    case kActivityPortBack:
      snprintf(out, size, "receiver on COM%ld back", e->detail);
      return;
    case kActivityNoPort:
      snprintf(out, size, "no receiver port set up");
      return;
    case kActivityNoise:
      snprintf(out, size, "keys ignored: noise on the line");
      return;
    case kActivityQuiet:
      snprintf(out, size, "line quiet again: keys act");
      return;
  }
  snprintf(out, size, "receiver state %d", e->result);
}

void ActivityColumnText(const ActivityEvent* e, int column, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  bool press = e->kind == kActivityPress;
  switch (column) {
    case 0: {
      long long ms = (long long)(e->time % 86400000);
      if (ms < 0) ms += 86400000;
      snprintf(out, size, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
               ms % 1000);
      return;
    }
    case 1:
      if (press) snprintf(out, size, "Key%d", e->code);
      if (e->kind == kActivityReceiver) snprintf(out, size, "Receiver");
      if (e->kind == kActivityRejected) snprintf(out, size, "Packet");
      return;
    case 2:
      if (press) snprintf(out, size, "%s", e->title);
      return;
    case 3:
      if (press) snprintf(out, size, "%s", e->program);
      return;
    case 4:
      if (press) snprintf(out, size, e->section[0] ? "[%s]" : "no entry", e->section);
      return;
    case 5:
      if (press) snprintf(out, size, "%s", e->line);
      return;
    case 6:
      if (press) ResultText(e, out, size);
      if (e->kind == kActivityReceiver) ReceiverText(e, out, size);
      if (e->kind == kActivityRejected)
        snprintf(out, size, "%ld packet%s rejected (more than two bits wrong)", e->detail,
                 e->detail == 1 ? "" : "s");
      return;
  }
}

// Appends text to out at *used (size bytes in all), counting what does not fit.
static void Append(char* out, size_t size, size_t* used, const char* text) {
  size_t n = strlen(text);
  if (*used < size) {
    size_t room = size - 1 - *used;
    memcpy(out + *used, text, n < room ? n : room);
    out[*used + (n < room ? n : room)] = '\0';
  }
  *used += n;
}

void ActivityLineText(const ActivityEvent* e, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  size_t used = 0;
  char text[kActivityTitleSize + kActivityReasonSize + 64];
  for (int c = 0; c < kActivityColumns; c++) {
    if (c) Append(out, size, &used, "\t");
    ActivityColumnText(e, c, text, sizeof text);
    for (char* t = text; *t; t++) {
      if (*t == '\t' || *t == '\r' || *t == '\n') *t = ' ';  // a title must not break the columns
    }
    Append(out, size, &used, text);
  }
}

size_t ActivityCopyText(const ActivityRing* ring, char* out, size_t size) {
  if (size > 0) out[0] = '\0';
  size_t used = 0;
  for (int c = 0; c < kActivityColumns; c++) {
    if (c) Append(out, size, &used, "\t");
    Append(out, size, &used, kActivityColumnNames[c]);
  }
  Append(out, size, &used, "\r\n");
  char line[kActivityTitleSize + kActivityProgramSize + kActivitySectionSize + kActivityLineSize +
            kActivityReasonSize + 200];
  for (unsigned i = 0; i < ring->count; i++) {
    ActivityLineText(ActivityRingAt(ring, i), line, sizeof line);
    Append(out, size, &used, line);
    Append(out, size, &used, "\r\n");
  }
  return used;
}

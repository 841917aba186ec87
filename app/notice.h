// Which events deserve a notice in the notification area, and its text. Pure code (also built
// natively): app/activitywin.cpp shows the balloons, app/activitytext.h words them. Each kind shows at most
// once a minute; a key with no entry in a program is told once per run, and only its first notice counts as
// told.
#pragma once
#include <stdint.h>

#include "common/activity.h"

enum NoticeKind {
  kNoticeBlocked = 0,
  kNoticeNoAnswer,
  kNoticeNotStarted,
  kNoticeReceiverGone,
  kNoticeReceiverWaiting,
  kNoticeReceiverBack,
  kNoticeNoEntry,
  kNoticeKinds,
};
enum { kNoticeIntervalMs = 60000, kNoticeNoEntryMemory = 128 };

struct NoticeState {
  int64_t last[kNoticeKinds];  // time of the last notice of each kind
  bool shown[kNoticeKinds];
  struct {
    int code;
    char remote[sizeof(ActivityEvent::remote)], name[sizeof(ActivityEvent::name)];  // a named button's
    char program[kActivityProgramSize];
  } told[kNoticeNoEntryMemory];  // the buttons with no entry already told, by program
  int toldCount;
};

void NoticeReset(NoticeState* state);
// The notice kind an event calls for, -1 for none.
int NoticeKindOf(const ActivityEvent* e);
// 1 when a notice of that kind for event `e` may be shown at `now` (ms), which then counts as shown;
// else 0. kNoticeNoEntry is told once for each button (its code, or its remote and name) in each
// program (its file, else its window's title; names compared without regard to case).
int NoticeDecide(NoticeState* state, int kind, int64_t now, const ActivityEvent* e);

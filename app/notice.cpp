#include "app/notice.h"

#include <string.h>

void NoticeReset(NoticeState* state) {
  memset(state, 0, sizeof *state);
}

int NoticeKindOf(const ActivityEvent* e) {
  if (e->kind == kActivityReceiver) {
    if (e->result == kActivityPortGone) return kNoticeReceiverGone;
    if (e->result == kActivityPortWaiting) return kNoticeReceiverWaiting;
    if (e->result == kActivityPortBack) return kNoticeReceiverBack;
    return -1;
  }
  if (e->kind != kActivityPress) return -1;
  if (e->blocked) return kNoticeBlocked;
  if (e->result == kActivityNoAnswer) return kNoticeNoAnswer;
  if (e->result == kActivityNotStarted) return kNoticeNotStarted;
  if (e->result == kActivityNoEntry) return kNoticeNoEntry;
  return -1;
}

static bool SameName(const char* a, const char* b) {
  for (;; a++, b++) {
    char x = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
    char y = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
    if (x != y) return false;
    if (!x) return true;
  }
}

int NoticeDecide(NoticeState* state, int kind, int64_t now, int code, const char* program) {
  if (kind < 0 || kind >= kNoticeKinds) return 0;
  if (state->shown[kind] && now - state->last[kind] < kNoticeIntervalMs) return 0;
  if (kind == kNoticeNoEntry) {
    if (!program) program = "";
    for (int i = 0; i < state->toldCount; i++) {
      if (state->told[i].code == code && SameName(state->told[i].program, program)) return 0;
    }
    if (state->toldCount == kNoticeNoEntryMemory) return 0;  // enough told for one run
    state->told[state->toldCount].code = code;
    ActivityCopyField(state->told[state->toldCount].program, kActivityProgramSize, program);
    state->toldCount++;
  }
  state->shown[kind] = true;
  state->last[kind] = now;
  return 1;
}

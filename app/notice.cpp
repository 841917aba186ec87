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

int NoticeDecide(NoticeState* state, int kind, int64_t now, const ActivityEvent* e) {
  if (kind < 0 || kind >= kNoticeKinds) return 0;
  if (state->shown[kind] && now - state->last[kind] < kNoticeIntervalMs) return 0;
  if (kind == kNoticeNoEntry) {
    const char* program = e->program[0] ? e->program : e->title;
    for (int i = 0; i < state->toldCount; i++) {
      const auto& told = state->told[i];
      if (told.code == e->code && SameName(told.remote, e->remote) && SameName(told.name, e->name) &&
          SameName(told.program, program))
        return 0;
    }
    if (state->toldCount == kNoticeNoEntryMemory) return 0;  // enough told for one run
    auto& told = state->told[state->toldCount++];
    told.code = e->code;
    ActivityCopyField(told.remote, sizeof told.remote, e->remote);
    ActivityCopyField(told.name, sizeof told.name, e->name);
    ActivityCopyField(told.program, sizeof told.program, program);
  }
  state->shown[kind] = true;
  state->last[kind] = now;
  return 1;
}

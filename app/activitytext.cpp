#include "app/activitytext.h"

#include <stdio.h>
#include <string.h>

#include "app/notice.h"
#include "common/format.h"
#include "common/text.h"
#include "receiver/keyring.h"
#include "resources/resource_ids.h"

void ActivityButtonText(const ActivityEvent* e, char* out, size_t size) {
  if (!e->name[0]) {
    FormatText(out, size, "Key%d", e->code);
    return;
  }
  int source = e->source >= kKeyFromNetwork && e->source <= kKeyFromMce ? e->source : 0;
  TextFormat(out, size, IDS_BUTTON_NAMED + source, {e->name, e->remote});
}

void ActivityColumnName(int column, char* out, size_t size) {
  TextLoad(IDS_ACTIVITY_COLUMN + column, out, size);
}

static void ResultText(const ActivityEvent* e, char* out, size_t size) {
  char detail[24], sent[24];
  FormatText(detail, sizeof detail, "%ld", e->detail);
  FormatText(sent, sizeof sent, "%d", e->sent);
  if (e->result == kActivityNoEntry && e->detail > 1) {  // a held button
    TextFormat(out, size, IDS_HOLD_NO_ENTRY, {detail});
    return;
  }
  static const struct {
    int result, id;
  } kPlain[] = {
      {kActivityNoEntry, IDS_ACTIVITY_NOTHING_DONE}, {kActivityNoAnswer, IDS_ACTIVITY_NO_ANSWER},
      {kActivityOwnWindow, IDS_ACTIVITY_OWN_WINDOW}, {kActivityNothingSent, IDS_ACTIVITY_NOTHING_SENT},
      {kActivityStarted, IDS_ACTIVITY_STARTED},      {kActivityTooLong, IDS_ACTIVITY_TOO_LONG},
      {kActivityNoKeyword, IDS_ACTIVITY_NO_KEYWORD}, {kActivityKeyPassed, IDS_ACTIVITY_KEY_PASSED}};
  for (const auto& text : kPlain)
    if (text.result == e->result) {
      TextLoad(text.id, out, size);
      return;
    }
  switch (e->result) {
    case kActivityKeysSent:
      TextFormatCount(out, size, e->blocked ? IDS_ACTIVITY_KEYS_BLOCKED : IDS_ACTIVITY_KEYS_SENT, e->detail,
                      {detail});
      return;
    case kActivityKeysRefused:
      TextFormat(out, size, IDS_ACTIVITY_KEYS_REFUSED, {detail, sent});
      return;
    case kActivityAnswered:
      TextFormat(out, size, IDS_ACTIVITY_ANSWERED, {detail});
      return;
    case kActivityNotStarted: {
      char reason[kActivityReasonSize];
      if (e->reason[0]) {
        ActivityCopyField(reason, sizeof reason, e->reason);
      } else {
        TextLoad(IDS_ACTIVITY_UNKNOWN_REASON, reason, sizeof reason);
      }
      TextFormat(out, size, IDS_ACTIVITY_NOT_STARTED, {reason, detail});
      return;
    }
    case kActivityCutOff:
      TextFormatCount(out, size, IDS_ACTIVITY_CUT_OFF, e->sent, {sent});
      return;
    case kActivityRepeatsSkipped:
      TextFormatCount(out, size, IDS_HOLD_SUMMARY, e->sent, {sent, detail});
      return;
  }
  char result[16];
  FormatText(result, sizeof result, "%d", e->result);
  TextFormat(out, size, IDS_ACTIVITY_RESULT_OTHER, {result});
}

static void ReceiverText(const ActivityEvent* e, char* out, size_t size) {
  char port[24];
  FormatText(port, sizeof port, "%ld", e->detail);
  if (e->result >= kActivityPortOpened && e->result <= kActivityQuiet) {
    TextFormat(out, size, IDS_ACTIVITY_RECEIVER + e->result, {port});
    return;
  }
  if (e->result == kActivityNetworkConnected || e->result == kActivityNetworkNotConnected) {
    TextFormat(out, size, IDS_ACTIVITY_NETWORK + (e->result - kActivityNetworkConnected), {e->reason});
    return;
  }
  char state[16];
  FormatText(state, sizeof state, "%d", e->result);
  TextFormat(out, size, IDS_ACTIVITY_RECEIVER_OTHER, {state});
}

void ActivityColumnText(const ActivityEvent* e, int column, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  bool press = e->kind == kActivityPress;
  switch (column) {
    case 0: {
      long long ms = (long long)(e->time % 86400000);
      if (ms < 0) ms += 86400000;
      FormatText(out, size, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                 ms % 1000);
      return;
    }
    case 1:
      if (press) ActivityButtonText(e, out, size);
      if (e->kind == kActivityReceiver) TextLoad(IDS_ACTIVITY_EVENT_RECEIVER, out, size);
      if (e->kind == kActivityRejected) TextLoad(IDS_ACTIVITY_EVENT_PACKET, out, size);
      return;
    case 2:
      if (press) FormatText(out, size, "%s", e->title);
      return;
    case 3:
      if (press) FormatText(out, size, "%s", e->program);
      return;
    case 4:
      if (press && e->section[0]) FormatText(out, size, "[%s]", e->section);
      if (press && !e->section[0]) TextLoad(IDS_ACTIVITY_NO_ENTRY, out, size);
      return;
    case 5:
      if (press) FormatText(out, size, "%s", e->line);
      return;
    case 6:
      if (press) ResultText(e, out, size);
      if (e->kind == kActivityReceiver) ReceiverText(e, out, size);
      if (e->kind == kActivityRejected) {
        char count[24];
        FormatText(count, sizeof count, "%ld", e->detail);
        TextFormatCount(out, size, IDS_ACTIVITY_REJECTED, e->detail, {count});
      }
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
  char text[kActivityTitleSize + kActivityReasonSize + 512];
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
  char name[kActivityColumnNameSize];
  for (int c = 0; c < kActivityColumns; c++) {
    if (c) Append(out, size, &used, "\t");
    ActivityColumnName(c, name, sizeof name);
    Append(out, size, &used, name);
  }
  Append(out, size, &used, "\r\n");
  char line[kActivityTitleSize + kActivityProgramSize + kActivitySectionSize + kActivityLineSize +
            kActivityReasonSize + 1024];
  for (unsigned i = 0; i < ring->count; i++) {
    ActivityLineText(ActivityRingAt(ring, i), line, sizeof line);
    Append(out, size, &used, line);
    Append(out, size, &used, "\r\n");
  }
  return used;
}

void NoticeText(const ActivityEvent* e, char* out, size_t size) {
  if (size) out[0] = '\0';
  int kind = NoticeKindOf(e);
  if (kind < 0) return;
  char code[16], port[24], window[kActivityTitleSize], button[2 * kKeyNameSize + 96];
  FormatText(code, sizeof code, "%d", e->code);
  ActivityButtonText(e, button, sizeof button);
  FormatText(port, sizeof port, "%ld", e->detail);
  // The program of a press as the notice names it: its file, else its title, else "this window";
  // a program not started: the system's reason.
  if (kind == kNoticeNotStarted) {
    if (e->reason[0]) {
      ActivityCopyField(window, sizeof window, e->reason);
    } else {
      TextLoad(IDS_ACTIVITY_UNKNOWN_REASON, window, sizeof window);
    }
  } else if (e->program[0]) {
    ActivityCopyField(window, sizeof window, e->program);
  } else if (e->title[0]) {
    ActivityCopyField(window, sizeof window, e->title);
  } else {
    TextLoad(IDS_NOTICE_THIS_WINDOW, window, sizeof window);
  }
  bool receiver =
      kind == kNoticeReceiverGone || kind == kNoticeReceiverWaiting || kind == kNoticeReceiverBack;
  if (!receiver && e->name[0]) {
    TextFormat(out, size, IDS_NOTICE_NAMED + kind, {button, window});
  } else {
    TextFormat(out, size, IDS_NOTICE + kind, {receiver ? port : code, window});
  }
}

// The words of the Activity window (its columns, each event's result, Copy's text) and of the
// notices: the activity log's codes and values in the language module's texts.
#pragma once
#include <stddef.h>

#include "common/activity.h"

enum {
  kActivityColumns = 7,
  kActivityColumnNameSize = 64,  // a column header's bytes, terminator included
  kNoticeTextSize = 256,         // a notice's bytes (the balloon's limit), terminator included
};

// How a press names its button: "Key12" for a serial code (the entry's name in the profile), a
// named button by its name, its remote and where it came from ("KEY_PLAY (remote DEMO, network
// receiver)"). Writes at most size bytes (zero-terminated).
void ActivityButtonText(const ActivityEvent* e, char* out, size_t size);
// Column header `column` (0 time, 1 event, 2 window, 3 program, 4 section, 5 action, 6 result).
void ActivityColumnName(int column, char* out, size_t size);
// Column texts of one event. Writes at most size bytes (zero-terminated).
void ActivityColumnText(const ActivityEvent* e, int column, char* out, size_t size);
// The event as one line of tab-separated columns, no line end.
void ActivityLineText(const ActivityEvent* e, char* out, size_t size);
// The Copy text: the header line, then every event, oldest first, each line ending in CR LF.
// Writes at most size bytes (zero-terminated when size > 0) and returns the length the whole text
// needs (without the terminator): call with size 0 to learn it.
size_t ActivityCopyText(const ActivityRing* ring, char* out, size_t size);
// The notice's text for the event (NoticeKindOf in app/notice.h), size bytes; empty for none.
void NoticeText(const ActivityEvent* e, char* out, size_t size);

// The process-wide activity log: the ring of common/activity.h under one lock. The dispatch thread
// adds a line per key press, the reader thread counts rejected packets, the main thread adds the
// receiver's state changes. Whoever adds posts kMsgActivity to the window set here (the main
// window), and only its thread reads the log for windows and notices: no window function is ever
// called under the lock, and no worker thread sends a message.
#pragma once
#include <windows.h>

#include "common/activity.h"

enum { kMsgActivity = WM_APP + 10 };  // posted when events were added since the last ActivityLogTaken

// Main thread, before the worker threads start; null: nobody is told.
void ActivityLogSetWindow(HWND window);
// Local time in milliseconds, as ActivityEvent.time.
int64_t ActivityNow();
// Appends a copy of e (its time set now when 0). Returns its sequence. The window is told by
// ActivityLogTell, which the dispatch thread calls when its queue is empty: the message costs more
// than the record, and so stays off the way of the next key.
uint32_t ActivityLogAdd(const ActivityEvent* e);
// Posts kMsgActivity when events were added that the window has not been told of.
void ActivityLogTell();
// A rejected packet, now; tells the window.
void ActivityLogRejected();
// The window's thread, on kMsgActivity before it reads: the next addition posts again.
void ActivityLogTaken();
// Runs read(ring, context) under the lock. read must be quick and call no window function.
void ActivityLogRead(void (*read)(ActivityRing* ring, void* context), void* context);
// Empties the log (tests).
void ActivityLogClear();

// The on-screen display: a short text at the bottom of the screen for each press (osd=1 in
// [default]), readable from across a room. The dispatch thread only posts what to show; the main
// thread words it and draws it. The window never takes the front, a click or the keys, and is
// never the target of a press.
#pragma once
#include <windows.h>

#include <stddef.h>

#include "common/activity.h"

enum { kMsgOsd = WM_APP + 11 };  // posted to the main window: a press to show

// Main thread, when the main window is created: the dispatch thread's presses are shown from now.
void OsdStart(HWND mainWindow);
// Main thread, when the main window goes: the display goes with it.
void OsdStop();
// Dispatch thread: a press acted or found nothing (its record as logged), the count-th signal of
// its button in a row. Shown when osd=1; the entry's own .osd text read from the profile here.
void OsdPressed(const ActivityEvent* record, int count);
// Main thread, on kMsgOsd: shows the newest press, replacing the text shown.
void OsdOnMessage();

// The display's text for a press: OsdDescribe's words in the language module, with " ×N" for the
// N-th signal of a held button (N > 1). Wide, as it is drawn.
void OsdText(const ActivityEvent* e, const char* osd, int count, WCHAR* out, size_t size);
// Main thread: shows `text` for `ms` milliseconds over the window in front (the benchmark's and
// the tests' way in).
void OsdShow(const WCHAR* text, unsigned ms);
// The display's window (null before the first text).
HWND OsdWindow();

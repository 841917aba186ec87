// The action line interpreter: COMMAND, KEYBOARD, CLOSE and EXEC lines from profiles.ini.
#pragma once
#include <windows.h>

enum { kActionMessageLimitMs = 2000 };  // longest wait for a window to handle COMMAND or CLOSE

// Runs one action line against `window` (may be null). Returns -1 for a line without a keyword,
// otherwise the action's result. Returns only when the action is complete or cut off.
// COMMAND and CLOSE: the window's result; -1 when it did not answer within kActionMessageLimitMs;
// 0, with nothing sent, for a window of this process.
int RunActionLine(HWND window, const char* line, BYTE enable);

// What an action did, for the activity log: an ActivityResult (common/activity.h) with its detail.
struct ActionReport {
  int result;
  long detail;
  int sent;          // keystrokes the system took
  char reason[160];  // a program that did not start: the system's reason
};
// RunActionLine that also tells in *report (may be null) what the action did; same result.
int RunActionLineReport(HWND window, const char* line, BYTE enable, ActionReport* report);

// Event that cuts a running KEYBOARD action off at its next pause (the receiver's quit event).
// Null: pauses cannot be cut off. Set before the dispatch thread starts.
void ActionSetCancelEvent(HANDLE cancel);

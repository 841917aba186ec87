// The action line interpreter. The line's syntax and the keystroke grouping live in
// keygroups.cpp; this file adds what touches the platform: the window messages, the program
// start, the keystroke back end, and the 100 ms pauses, which wait on the receiver's quit event
// so that stopping the receiver cuts a long KEYBOARD line off instead of waiting for its end.
#include "actions/interp.h"

#include <stdlib.h>

#include "actions/inject.h"
#include "actions/keygroups.h"

enum { kPauseMs = 100 };

static HANDLE cancelEvent;  // written before the dispatch thread starts, read on it

void ActionSetCancelEvent(HANDLE cancel) {
  cancelEvent = cancel;
}

static int SendGroup(void*, INPUT* records, unsigned count) {
  if (!gKeystrokeBackEnd) return -1;
  InjectMarkExtended(records, count);
  UINT accepted = gKeystrokeBackEnd(count, records, sizeof(INPUT));
  if (accepted == count) return int(count);
  return int(GetLastError());
}

// Waits at least kPauseMs, measured on the performance counter (a wait may end a little early
// by the coarser system tick). Returns 1 as soon as the cancel event is signalled.
static int PauseOrCancel(void*) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const LONGLONG span = frequency.QuadPart * kPauseMs / 1000;
  for (;;) {
    QueryPerformanceCounter(&now);
    LONGLONG left = span - (now.QuadPart - start.QuadPart);
    if (left <= 0) return 0;
    DWORD ms = DWORD((left * 1000 + frequency.QuadPart - 1) / frequency.QuadPart);
    if (!cancelEvent) {
      Sleep(ms);
    } else if (WaitForSingleObject(cancelEvent, ms) == WAIT_OBJECT_0) {
      return 1;
    }
  }
}

int RunActionLine(HWND window, const char* line, BYTE enable) {
  if (!line) return -1;
  const char* argument;
  switch (ActionSplitLine(line, &argument)) {
    case kActionCommand: {
      if (!window) return 0;
      // strtol is atol's conversion with a defined result for numbers out of range.
      WORD command = WORD(strtol(argument, nullptr, 10));
      if (!command) return 0;
      return int(SendMessageA(window, WM_COMMAND, command, 0));
    }
    case kActionKeyboard: {
      if (!enable) return 0;
      KeyGroupOps ops = {SendGroup, PauseOrCancel, nullptr};
      return KeyGroupsRun(argument, &ops);
    }
    case kActionClose:
      if (!window || !enable) return 0;
      return int(SendMessageA(window, WM_CLOSE, 0, 0));
    case kActionExec:
      if (!enable) return 0;
      return int(WinExec(argument, SW_SHOW));
  }
  return -1;
}

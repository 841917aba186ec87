// The action line interpreter. The line's syntax and the keystroke grouping live in
// keygroups.cpp; this file adds what touches the platform: the window messages, the program
// start, the keystroke back end, and the 100 ms pauses, which wait on the receiver's quit event
// so that stopping the receiver cuts a long KEYBOARD line off instead of waiting for its end.
//
// COMMAND and CLOSE wait for the target to handle the message, so that the next key acts on what
// the previous one left, but never for longer than kActionMessageLimitMs: a window that is hung, or
// that asks "save changes?" inside its close handler, must not hold the dispatch thread, and with
// it Setup and Exit, which wait for that thread. SMTO_ABORTIFHUNG gives up at once on a window the
// system already knows to be hung. A message that timed out is still handled by the window later.
//
// EXEC starts the program as WinExec does, with the same results (above 31 on success, else the
// system's error code), but does not wait, as WinExec does, up to 30 s for the new program to become
// idle: that wait would hold the dispatch thread, and Setup and Exit with it.
//
// A window of this program (the hidden main window, which is in front after its tray menu closed,
// or a dialog) gets nothing: its thread is the main thread, which may itself be waiting for the
// dispatch thread to end, and a command such as Setup would stop the receiver from inside the
// dispatch thread's own send.
#include "actions/interp.h"

#include <stdlib.h>

#include "actions/inject.h"
#include "actions/keygroups.h"
#include "common/activity.h"
#include "common/process.h"

enum { kPauseMs = 100, kActionExecLineSize = 32768 };

static HANDLE cancelEvent;  // written before the dispatch thread starts, read on it

void ActionSetCancelEvent(HANDLE cancel) {
  cancelEvent = cancel;
}

// What a KEYBOARD line has done so far.
struct KeyboardRun {
  int sent;     // records the back end took
  int refused;  // the last refusal's error code, 0 when none
  int cutOff;
};

static int SendGroup(void* context, INPUT* records, unsigned count) {
  KeyboardRun* run = static_cast<KeyboardRun*>(context);
  if (!gKeystrokeBackEnd) {
    run->refused = -1;
    return -1;
  }
  InjectMarkExtended(records, count);
  UINT accepted = gKeystrokeBackEnd(count, records, sizeof(INPUT));
  if (accepted <= count) run->sent += int(accepted);
  if (accepted == count) return int(count);
  int error = int(GetLastError());
  run->refused = error ? error : -1;
  return error;
}

// Waits at least kPauseMs, measured on the performance counter (a wait may end a little early
// by the coarser system tick). Returns 1 as soon as the cancel event is signalled.
static int PauseOrCancel(void* context) {
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
      static_cast<KeyboardRun*>(context)->cutOff = 1;
      return 1;
    }
  }
}

// Starts the command line with its window shown. 33 when it started, else the error code (0 to 31),
// with the system's own code in *systemError.
static int StartProgram(const char* commandLine, DWORD* systemError) {
  char line[kActionExecLineSize];
  *systemError = ERROR_BAD_FORMAT;
  if (lstrlenA(commandLine) >= int(sizeof line)) return ERROR_BAD_FORMAT;
  lstrcpyA(line, commandLine);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION started;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    DWORD error = GetLastError();
    *systemError = error;
    return error < 32 ? int(error) : ERROR_BAD_FORMAT;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return 33;
}

// Sends message to window with the bounded wait. Returns the window's result, 0 when the window
// belongs to this process (nothing sent), -1 when it did not answer in time or is gone.
static int SendBounded(HWND window, UINT message, WPARAM wParam) {
  DWORD owner = 0;
  if (!GetWindowThreadProcessId(window, &owner)) return -1;
  if (owner == GetCurrentProcessId()) return 0;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, 0, SMTO_ABORTIFHUNG, kActionMessageLimitMs, &result))
    return -1;
  return int(result);
}

static int Report(ActionReport* report, int result, long detail, int value) {
  if (report) {
    report->result = result;
    report->detail = detail;
  }
  return value;
}

// COMMAND and CLOSE: what SendBounded's result means.
static int ReportSent(ActionReport* report, HWND window, int sent) {
  DWORD owner = 0;
  if (sent == -1) return Report(report, kActivityNoAnswer, 0, sent);
  if (sent == 0 && GetWindowThreadProcessId(window, &owner) && owner == GetCurrentProcessId())
    return Report(report, kActivityOwnWindow, 0, sent);
  return Report(report, kActivityAnswered, sent, sent);
}

int RunActionLine(HWND window, const char* line, BYTE enable) {
  return RunActionLineReport(window, line, enable, nullptr);
}

int RunActionLineReport(HWND window, const char* line, BYTE enable, ActionReport* report) {
  if (report) ZeroMemory(report, sizeof *report);
  if (!line) return Report(report, kActivityNoKeyword, 0, -1);
  const char* argument;
  switch (ActionSplitLine(line, &argument)) {
    case kActionCommand: {
      if (!window) return Report(report, kActivityNothingSent, 0, 0);
      // strtol is atol's conversion with a defined result for numbers out of range.
      WORD command = WORD(strtol(argument, nullptr, 10));
      if (!command) return Report(report, kActivityNothingSent, 0, 0);
      return ReportSent(report, window, SendBounded(window, WM_COMMAND, command));
    }
    case kActionKeyboard: {
      if (!enable) return Report(report, kActivityNothingSent, 0, 0);
      KeyboardRun run = {0, 0, 0};
      KeyGroupOps ops = {SendGroup, PauseOrCancel, &run};
      int result = KeyGroupsRun(argument, &ops);
      if (report) report->sent = run.sent;
      if (run.cutOff) return Report(report, kActivityCutOff, run.sent, result);
      if (run.refused) return Report(report, kActivityKeysRefused, run.refused, result);
      return Report(report, kActivityKeysSent, run.sent, result);
    }
    case kActionClose:
      if (!window || !enable) return Report(report, kActivityNothingSent, 0, 0);
      return ReportSent(report, window, SendBounded(window, WM_CLOSE, 0));
    case kActionExec: {
      if (!enable) return Report(report, kActivityNothingSent, 0, 0);
      DWORD error = 0;
      int started = StartProgram(argument, &error);
      if (started > 31) return Report(report, kActivityStarted, 0, started);
      if (report) ProcessErrorText(error, report->reason, sizeof report->reason);
      return Report(report, kActivityNotStarted, long(error), started);
    }
  }
  return Report(report, kActivityNoKeyword, 0, -1);
}

// Profile lookup and the dispatch thread: for each queued key, find the action line that
// profiles.ini gives for the foreground window and hand it to the action handler.
#pragma once
#include <windows.h>
#include "actions/keygroups.h"
#include "actions/title.h"

// A value buffer holds an action line of up to kActionLineMax characters, its terminator, and one
// character more: a value that fills it is longer than any line that runs.
enum { kProfileValueSize = kActionLineMax + 2, kTitleSize = 256 };

struct ActionReport;
// The handler of action lines; RunActionLineReport by default, replaceable by tests. It tells what
// it did in *report for the activity log.
typedef int (*ActionHandler)(HWND window, const char* line, BYTE enable, ActionReport* report);
extern ActionHandler gActionHandler;

// Looks "Key<code>" up for `title` in the profile at `path`: title section, "title -" alias,
// the section named `program` (the file name of the window's program; null or empty: skipped),
// then "default". Returns 1 with the line in out (kProfileValueSize bytes), 0 when none, and -1
// with out empty when the first entry found is longer than kActionLineMax (it is not run, and
// the sections after it are not consulted).
int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out);

// File name of the program that owns `window` ("notepad.exe"), into out (MAX_PATH bytes).
// Returns 0, or -1 with out empty when it cannot be read.
int ProfileProgramName(HWND window, char* out);

struct DispatchContext {
  HANDLE keyReady;  // set once per queued key event
  HANDLE quit;      // manual-reset; ends the thread
};
// Thread entry; arg is a DispatchContext* that outlives the thread.
DWORD WINAPI DispatchThread(LPVOID arg);

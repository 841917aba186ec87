// Profile lookup and the dispatch thread: for each queued key, find the action line that
// profiles.ini gives for the foreground window and hand it to the action handler.
#pragma once
#include <windows.h>
#include "actions/title.h"

enum { kProfileValueSize = 256, kTitleSize = 256 };

// The handler of action lines; RunActionLine by default, replaceable by tests.
typedef int (*ActionHandler)(HWND window, const char* line, BYTE enable);
extern ActionHandler gActionHandler;

// Looks "Key<code>" up for `title` in the profile at `path`: title section, "title -" alias,
// then "default". Returns 1 with the line in out (kProfileValueSize bytes), 0 when none.
int ProfileLookup(const char* path, const char* title, int code, char* out);

struct DispatchContext {
  HANDLE keyReady;  // set once per queued key event
  HANDLE quit;      // manual-reset; ends the thread
};
// Thread entry; arg is a DispatchContext* that outlives the thread.
DWORD WINAPI DispatchThread(LPVOID arg);

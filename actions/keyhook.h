// The low-level keyboard hook that takes the keys of USB remotes from the window in front, on a
// thread of its own that does nothing else.
#pragma once
#include <windows.h>

#include "actions/keytake.h"

enum { kKeyHookDown = 0, kKeyHookRepeat = 1, kKeyHookUp = 2 };
struct KeyHookEvent {
  unsigned vk;
  int phase;         // kKeyHookDown (the press), kKeyHookRepeat (auto-repeat), kKeyHookUp (its end)
  const char* name;  // the button name (KeyTakeName), remote kKeyTakeRemote
  DWORD time;        // the event's time stamp (milliseconds, GetTickCount's clock)
};
// Called on the hook thread for every key taken. It must return at once (enqueue, never wait).
typedef void (*KeyHookHandler)(const KeyHookEvent* event, void* context);

// Starts the hook thread and installs the hook; it takes no key until a table is published.
// Returns 0, or -1 when it runs already or the hook cannot be installed.
int KeyHookStart(KeyHookHandler handler, void* context);
// Hands the hook a new table (its own from now on: the hook thread frees it when the next one
// comes or at the stop). From any thread; a null table takes nothing. When the hook does not run
// the table is freed here. Returns 0, -1 when it did not run.
int KeyHookPublish(KeyTakeTable* table);
// Ends the hook thread within limitMs: 0 ended (hook removed, table freed), -1 still running.
int KeyHookStop(DWORD limitMs);
// How many times the hook was found removed by Windows and put back since the start.
LONG KeyHookReinstalls();
// The interval of the self-check (an injected probe key the hook must see within half of it);
// for tests. 0 keeps the interval of 2000 ms.
void KeyHookSetCheckInterval(DWORD ms);
// Removes the hook as Windows does when the hook answered too slowly (for tests): the next
// self-check finds it gone and puts it back.
void KeyHookDropForTest();

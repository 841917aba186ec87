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
  int passed;        // 1: a key that may be taken that no entry serves in the window in front; it
                     // went on to the window and is told only (its press and its key-up, no repeats)
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
// Queues a key taken as a key event of the remote kKeyTakeRemote (source kKeyFromKeyboard; its
// press, auto-repeat and key-up as a press's begin, repeat and release) and sets the process's
// key-ready event: the handler of the key path and of the test dialog. `context` is unused.
void KeyHookQueue(const KeyHookEvent* event, void* context);
// Starts the hook with KeyHookQueue and a table that takes every key that may be taken, whatever
// the profile says: the test dialog shows each one's name. Stop it with KeyHookStop. 0, or -1.
int KeyHookStartAll();
// Ends the hook thread within limitMs: 0 ended (hook removed, table freed), -1 still running.
int KeyHookStop(DWORD limitMs);

// Follows the profile in use (ProfilePathCopy): builds the hook's table from it (KeyTableBuild) at
// once and again whenever the file changes, runs the hook (KeyHookStart, KeyHookPublish) while the
// profile names a key to take and stops it once it names none, all on a thread of its own that
// sleeps on a change notification of the profile's folder. 0, or -1 when it runs already or cannot
// start.
int KeyHookFollow(KeyHookHandler handler, void* context);
// Ends the following thread and with it the hook, within limitMs: 0 ended, -1 still running.
int KeyHookUnfollow(DWORD limitMs);
// Looks at the profile again now, its path included (after a save that may have switched it).
void KeyHookRecheck();
// The window told, by posting `message` with what the profile asks (the kKeyTable bits of
// actions/keytable.h) as wParam, at the start of following and whenever it changes. Main thread,
// before KeyHookFollow; null: nobody.
void KeyHookNotify(HWND window, UINT message);
// How many tables the following thread has built since its start (tests).
LONG KeyHookBuilds();
// How many times the hook was found removed by Windows and put back since the start.
LONG KeyHookReinstalls();
// The interval of the self-check (an injected probe key the hook must see within half of it);
// for tests. 0 keeps the interval of 2000 ms.
void KeyHookSetCheckInterval(DWORD ms);
// Removes the hook as Windows does when the hook answered too slowly (for tests): the next
// self-check finds it gone and puts it back.
void KeyHookDropForTest();

// The dispatch thread: for each queued key, find the action line that
// profiles.ini gives for the foreground window and hand it to the action handler.
#pragma once
#include <windows.h>
#include "actions/keygroups.h"
#include "actions/press.h"
#include "profile/profile.h"
#include "profile/title.h"

struct ActionReport;
// The handler of action lines; RunActionLineReport by default, replaceable by tests. It tells what
// it did in *report for the activity log.
typedef int (*ActionHandler)(HWND window, const char* line, BYTE enable, ActionReport* report);
extern ActionHandler gActionHandler;

// The lookup itself is the profile module's (ProfileLookup, profile/profile.h).
struct ActivityEvent;
// Told of every press that acted or found nothing, with its record as logged and the count of its
// button's signals that acted in a row (1 for a new press): the on-screen display. Null: nobody.
// Called on the dispatch thread; it must only post, never wait.
typedef void (*PressShowFn)(const ActivityEvent* record, int count);
extern PressShowFn gPressShow;

// File name of the program that owns `window` ("notepad.exe"), into out (MAX_PATH bytes).
// Returns 0, or -1 with out empty when it cannot be read. For a Store app's frame (a window of
// ApplicationFrameHost.exe) it is the program of the app inside, when a child window of the frame
// belongs to another process; else ApplicationFrameHost.exe.
int ProfileProgramName(HWND window, char* out);

// The first child window of `frame` (at any depth) whose process is not frameProcess; null when
// there is none.
HWND ProfileAppWindow(HWND frame, DWORD frameProcess);

// The window and process queries behind ProfileProgramName; tests replace them (this machine has
// no Store apps).
struct ProgramQueries {
  DWORD (*processOf)(HWND window);                    // the window's process id, 0 when none
  int (*imageName)(DWORD process, char* out);         // the program's file name (MAX_PATH bytes); 0 or -1
  HWND (*appWindow)(HWND frame, DWORD frameProcess);  // ProfileAppWindow
};
extern ProgramQueries gProgramQueries;

// Tells `window` of each press held past the long-press time, by posting `message` once per press
// with its button as wParam; null stops it (the Assign dialog while it is open). Main thread.
// wParam is a serial button's code (0-127), or, for a named button, a number from
// kDispatchHeldNamed on: the dispatch thread keeps the last kDispatchHeldKept named buttons it told
// of under a lock, and DispatchHeldButton reads the one a wParam names. Both kinds read through it.
enum { kDispatchHeldNamed = 0x100, kDispatchHeldKept = 8 };
void DispatchWatchHeld(HWND window, UINT message);
// The button of a held message's wParam into *out: 1, or 0 when it is no longer kept (more than
// kDispatchHeldKept named buttons were told of since) or names none. Any thread.
int DispatchHeldButton(WPARAM which, PressButton* out);

struct DispatchContext {
  HANDLE keyReady;  // set once per queued key event
  HANDLE quit;      // manual-reset; ends the thread
};
// Thread entry; arg is a DispatchContext* that outlives the thread.
DWORD WINAPI DispatchThread(LPVOID arg);

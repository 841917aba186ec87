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

struct ActivityEvent;
// Told of every press that acted or found nothing, with its record as logged and the count of its
// button's signals that acted in a row (1 for a new press): the on-screen display. Null: nobody.
// Called on the dispatch thread; it must only post, never wait.
typedef void (*PressShowFn)(const ActivityEvent* record, int count);
extern PressShowFn gPressShow;

// Looks "Key<code>" up for `title` in the profile at `path`: title section, "title -" alias,
// title patterns (sections whose name holds "*"), the section "class:" + the window's class, the
// section named `program` (the file name of the window's program; null or empty: skipped),
// then "default"; each step only when the steps before found no value. Returns 1 with the line in out
// (kProfileValueSize bytes), 0 when none, and -1 with out empty when the first entry found is longer than
// kActionLineMax (it is not run, and the sections after it are not consulted).
int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out);
// The same with the window's class (null or empty: its step skipped), and the name of the section
// that served, as the lookup named it ("Editor", "*YouTube*", "class:Notepad", "default"), into
// served (kTitleSize bytes, may be null); empty when none did.
int ProfileLookupServed(const char* path, const char* title, const char* windowClass, const char* program,
                        int code, char* out, char* served);

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

struct DispatchContext {
  HANDLE keyReady;  // set once per queued key event
  HANDLE quit;      // manual-reset; ends the thread
};
// Thread entry; arg is a DispatchContext* that outlives the thread.
DWORD WINAPI DispatchThread(LPVOID arg);

// What the whole process shares: values written once on the main thread during start-up, before
// any worker thread exists, and only read afterwards, without locks. Every layer may read them.
#pragma once
#include <windows.h>

extern HINSTANCE gProgramInstance;
extern HMODULE gLanguageModule;      // strings and dialogs of the chosen language
extern char gProfilePath[MAX_PATH];  // the program's folder + "profiles.ini"

// The full path of module's file into path (MAX_PATH bytes). Its length, or -1 with path empty
// when the path cannot be had or would be cut short.
int ProcessModulePath(HMODULE module, char* path);

// The system's text for an error code, without its line end or closing full stop, into out (size
// bytes); empty when the system has no text for it.
void ProcessErrorText(unsigned long error, char* out, size_t size);

// The window in front, to be given back after the program's own menu or dialog took the front.
HWND ProcessFrontRemember();
// Gives the front back to `before` when it still exists and a window of this program (or none)
// is in front now. Main thread.
void ProcessFrontGiveBack(HWND before);

// The program's own tools (the Activity window, the Assign dialog) are never the target of a press:
// while one of them (or a box it owns) is in front, a press is looked up and acted on for the window
// that was in front before it. Any thread.
void ProcessToolAdd(HWND tool);
void ProcessToolRemove(HWND tool);
// Notes `window` as the last window in front that is not this program's (ignored otherwise).
void ProcessFrontNote(HWND window);
// The last window noted, when it still exists and is not this program's; else null.
HWND ProcessFrontNoted();
// The window a press made while `front` is in front is meant for: `front` itself, or, when `front`
// is one of the tools, the last window noted (when it still exists), else null.
HWND ProcessPressTarget(HWND front);

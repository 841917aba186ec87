// The application shell: start-up, the hidden main window with its tray icon and menu,
// the language module, and shutdown. It sets the process-wide values of common/process.h.
#pragma once
#include <windows.h>

#include "common/process.h"

// Written once on the main thread during start-up, before any worker thread; read-only after.
extern UINT gTrayMessage;  // registered "HalvestaRemoteUserMessage"

enum {
  kCmdExit = 100,
  kCmdSetup = 101,
  kCmdActivity = 102,
  kStartOk = 0,
  kStartNoBackEnd = -2,
  kStartOtherInstance = -3,
  kStartNoLanguage = -4,
  kTrayIconId = 1,          // the program's one icon in the notification area (notices show over it)
  kTrayTipSize = 64,        // the tip's bytes, terminator included
  kTrayMenuTextSize = 256,  // a menu item's bytes, terminator included
};

// Loads "REMOT<code>.DLL" beside the program, else "REMOT001.DLL". The code is the machine's
// "Language" value of the user, else of the machine (the machine's only with machineOnly: run with
// administrator rights); not a module this system cannot show.
HMODULE LoadLanguageModule(HINSTANCE instance, bool machineOnly = false);
// 1 when code is a name fit for a module's file name: letters, digits, '-' and '_' only, at most
// kLanguageCodeMax of them. 0 for anything else, a path above all.
enum { kLanguageCodeMax = 32 };
int LanguageCodeValid(const char* code);
// Single instance, keystroke back end, profile path, receiver start. 0, -2 or -3.
int Initialise(HINSTANCE instance, HWND mainWindow);
void Shutdown();
// Makes ShellStartAgain start a new instance of the program (Setup's restart for a new language).
void ShellRestartAfterExit();
// After Shutdown, which let the single-instance mutex go: starts the program again when asked to.
void ShellStartAgain(HINSTANCE instance);
int ShowStartupError(HWND owner, int code);
// Sets path to the folder of moduleFile followed by "profiles.ini" (or the bare name).
void ProfilePathFor(const char* moduleFile, char* path /* MAX_PATH bytes */);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The tip over the icon for a receiver state (ReceiverState) on COM`port`, into tip (kTrayTipSize bytes).
void TrayTipText(int state, int port, char* tip);
// Called by the main window when a COM port appears (ReceiverPortArrived; a test may replace it).
extern void (*gTrayPortArrived)();
// The tray menu as shown for one press: Exit (string 1) on top, Setup (string 2, default) below,
// then Activity (string 3) when the module has that string.
HMENU BuildTrayMenu(HMODULE language);

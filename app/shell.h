// The application shell: start-up and shutdown around the message loop (the single-instance
// guard, the keystroke back end, the profile path, the key path). It sets the process-wide values
// of common/process.h.
#pragma once
#include <windows.h>

#include "common/process.h"

enum {
  kStartOk = 0,
  kStartNoBackEnd = -2,
  kStartOtherInstance = -3,
  kStartNoLanguage = -4,
};

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

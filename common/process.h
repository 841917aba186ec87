// What the whole process shares: values written once on the main thread during start-up, before
// any worker thread exists, and only read afterwards, without locks. Every layer may read them.
#pragma once
#include <windows.h>

extern HINSTANCE gProgramInstance;
extern HMODULE gLanguageModule;      // strings and dialogs of the chosen language
extern char gProfilePath[MAX_PATH];  // the program's folder + "profiles.ini"

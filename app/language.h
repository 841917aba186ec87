// The language module the program shows its dialogs and texts from.
#pragma once
#include <windows.h>

// Loads "REMOT<code>.DLL" beside the program, else "REMOT001.DLL". The code is the machine's
// "Language" value of the user, else of the machine (the machine's only with machineOnly: run with
// administrator rights); not a module this system cannot show.
HMODULE LoadLanguageModule(HINSTANCE instance, bool machineOnly = false);
// 1 when code is a name fit for a module's file name: letters, digits, '-' and '_' only, at most
// kLanguageCodeMax of them. 0 for anything else, a path above all.
enum { kLanguageCodeMax = 32 };
int LanguageCodeValid(const char* code);

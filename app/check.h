// "remote.exe /check": checks profiles.ini beside the program and shows what it found in one
// message box. It starts nothing else (no receiver, no icon, no single-instance mutex), so it
// also runs while the resident program does.
#pragma once
#include <windows.h>

// True when the command line is "/check" (any letter case, blanks around it allowed).
bool CheckRequested(const char* commandLine);
// Checks the profile beside the program `instance` and shows the report. Returns the number of
// problems (the process's exit code); a profile that cannot be read counts as one.
int CheckRun(HINSTANCE instance);

// "remote.exe /check": checks profiles.ini beside the program and shows what it found in one
// message box. It starts nothing else (no receiver, no icon, no single-instance mutex), so it
// also runs while the resident program does.
#pragma once
#include <windows.h>

#include <stddef.h>

struct ProfileProblem;

enum {
  kCheckShownMax = 50,  // problems listed in one message; the rest are counted
  kCheckMessageSize = 32768,
  kCheckCaptionSize = 128,
};

// True when the command line is "/check" (any letter case, blanks around it allowed).
bool CheckRequested(const char* commandLine);
// "remote.exe /edit": opens the profile in use (the user's own, or the one beside the program) in
// Notepad and ends. 0, or -1 when Notepad cannot be started.
bool CheckEditRequested(const char* commandLine);
int CheckEditRun(HINSTANCE instance);
// Checks the profile beside the program `instance` and shows the report. Returns the number of
// problems (the process's exit code); a profile that cannot be read counts as one.
int CheckRun(HINSTANCE instance);

// One problem as the user reads it: "Line 12, [Editor] Key5: leaves keys held down: CTRL, "S"".
void CheckDescribe(const ProfileProblem* problem, char* out, size_t outSize);
// The report of `size` bytes of profile text read in `encoding` (ProfileTextEncoding): one line per
// problem (the first kCheckShownMax; a file the program cannot read as text is named first, as one
// problem), then "No problems found" or the count. Written into out (outSize bytes, always
// terminated). Returns the number of problems.
int CheckReport(int encoding, const char* text, size_t size, char* out, size_t outSize);

// Whether the window in front runs with higher rights than this program. Windows drops keystrokes
// sent into a process of a higher integrity level without telling the sender; the program still
// sends them (nothing is lost if the check is wrong), but tells the user why nothing happened.
#pragma once
#include <windows.h>

// Integrity level of a process (a SECURITY_MANDATORY_*_RID value), pid 0 this process; -1 when it
// cannot be read (no such process, no right to ask, or a system without integrity levels).
typedef long (*IntegrityLevelFn)(DWORD pid);
extern IntegrityLevelFn gIntegrityLevelOf;  // IntegrityLevelOfProcess; replaceable by tests
long IntegrityLevelOfProcess(DWORD pid);

// 1 when process pid's level is known and above this program's, else 0. The last answer is kept
// for that pid, so a run of keys into one window asks once. One thread at a time (the dispatch thread).
int IntegrityIsHigher(DWORD pid);
// Forgets the kept answers (tests, after replacing gIntegrityLevelOf).
void IntegrityForget();

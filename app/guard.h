// Administrator rights only from a safe place. Run elevated (a scheduled task with the highest
// rights, "Run as administrator"), the program loads a language module from its folder and runs
// the EXEC lines of the profile there: whoever may change those files runs code with administrator
// rights. So an elevated start goes on only when the folder, its language modules and its profile
// can be changed by administrators alone; otherwise one message box says why and the program ends.
#pragma once
#include <windows.h>

// The platform's answers the guard goes by. A test stands in for them: Wine has no administrator
// boundary (it reports every process elevated and gives the user every file), and no test machine
// has a folder guarded by Windows' rights.
struct GuardQueries {
  int (*elevation)();   // the token's elevation: 1 elevated, 0 not, -1 when the query fails
  long (*integrity)();  // the token's integrity level (SECURITY_MANDATORY_*_RID), -1 when it fails
  PSID (*user)();       // the account's SID (LocalFree it), null when it cannot be had
  // Owner, DACL and mandatory label of the file or folder at path (LocalFree it); a system error code.
  DWORD (*security)(const char* path, PSECURITY_DESCRIPTOR* descriptor);
  int (*unguarded)();  // 1 on a system without an administrator boundary (Wine)
};
extern GuardQueries gGuardQueries;

// 1 when the program runs with administrator rights: its token is elevated, or its integrity level
// is above medium. A query that fails counts as not elevated; so does Wine.
int GuardElevated();
// 1 when the object the descriptor guards can be changed from the medium level by the user's own
// account, Users, Authenticated Users, Interactive or Everyone: write, append, delete, change
// permissions or owner, through an entry, a missing DACL, or ownership.
int GuardChangeable(PSECURITY_DESCRIPTOR descriptor, PSID user);
// The start-up decision for the program in folder (ending in a backslash): 0 to start, with
// *elevated; -1 when it runs elevated and the folder, a REMOT*.DLL in it or its profiles.ini can
// be changed without administrator rights (or cannot be told), the first such path in unsafe
// (MAX_PATH bytes).
int GuardCheckStart(const char* folder, int* elevated, char* unsafe);
// The start-up message box for an unsafe place (caption "OVRA Remote Error").
void GuardRefuse(const char* unsafe);

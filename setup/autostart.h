// Starting the program with Windows: the value "OVRARemote", the program's full path, under the
// Run key of the machine (HKEY_LOCAL_MACHINE) where the program may write there, else of the user.
#pragma once
#include <windows.h>

// Opens a registry key. The platform's RegOpenKeyExA unless a test stands in for it: Wine lets
// every process write everywhere, so a machine key that refuses writing has to be played.
extern LONG(WINAPI* gAutostartOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);

// 1 when either Run key holds the value, 0 when neither does, -1 when neither key can be opened.
// Where the program may write, a value naming the program in another place is brought up to date
// and one that cannot be read is deleted.
int AutostartRead();
// Writes the value (on) or removes it wherever it is (off). 0, or -1 with the key that refused
// ("HKEY_...\...\Run") and the system's error code.
int AutostartSave(int on, const char** failedKey, LONG* error);
// 1 when an installation for all users starts the program at logon through its scheduled task (the
// machine's "LogonTask" value under the maker's key names the task): the Run values are then not
// the program's to manage. 0 otherwise.
int AutostartByTask();

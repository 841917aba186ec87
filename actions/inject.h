// Keystroke injection: the process-wide keystroke back end (SendInput, or the Windows 95
// keystroke driver), chosen once at start-up.
#pragma once
#include <windows.h>

typedef UINT(WINAPI* KeystrokeBackEnd)(UINT count, LPINPUT records, int size);
// Written once during start-up before any worker thread exists; only read afterwards.
extern KeystrokeBackEnd gKeystrokeBackEnd;

// True when the version record names Windows 95 (platform 1, minor version 0).
bool UsesKeyDriver(const OSVERSIONINFOA* version);
// Sets gKeystrokeBackEnd for the given version (and opens the driver on Windows 95), and the
// parser's character mapping (gKeyCharMap) to the keyboard layout.
// Returns 0, or -2 when the chosen back end is not available.
int ChooseKeystrokeBackEnd(const OSVERSIONINFOA* version);

// Sets KEYEVENTF_EXTENDEDKEY on the records whose keys belong to the extended block (the keys
// the driver back end sends with a 0xE0 prefix). Other records stay as they are.
void InjectMarkExtended(INPUT* records, UINT count);
// The key that types character c (above 127) under the current layout, 0 when none: the
// keystroke parser's gKeyCharMap, set by ChooseKeystrokeBackEnd.
unsigned KeyCharFromLayout(unsigned char c);

// Driver back end: scan-code list 0xE0-prefixed for extended keys, bit 7 on releases.
UINT WINAPI DriverSendInput(UINT count, LPINPUT records, int size);
int OpenKeyDriver();   // 0, or the system error code
int CloseKeyDriver();  // 0
int SendKeyDriverControl(DWORD controlCode, void* input);

// Seam in front of the device control call, for tests (the driver cannot exist here).
typedef int (*KeyDriverControlFn)(DWORD controlCode, void* input);
extern KeyDriverControlFn gKeyDriverControl;  // default: SendKeyDriverControl

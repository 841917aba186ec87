// Port probe and automatic receiver detection of the setup dialog.
#pragma once
#include <windows.h>

enum { kSetupMaxPort = 256 };  // ports COM1..COM256 are offered

// The serial port calls of the probe and the detection. They go through this table so that a
// test can stand in for a receiver: a pseudo-terminal has no modem lines, so nothing on this
// machine can answer a raised RTS on CTS, nor can a driver be made to hold a wait for ever.
// Holds the platform's own functions unless a test swaps them.
struct SetupPortApi {
  HANDLE(WINAPI* open)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* getState)(HANDLE, LPDCB);
  BOOL(WINAPI* setState)(HANDLE, LPDCB);
  BOOL(WINAPI* setMask)(HANDLE, DWORD);
  BOOL(WINAPI* waitEvent)(HANDLE, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* escape)(HANDLE, DWORD);
  BOOL(WINAPI* result)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
  BOOL(WINAPI* cancel)(HANDLE);
  BOOL(WINAPI* close)(HANDLE);
};
extern SetupPortApi gSetupPorts;
extern const SetupPortApi kSetupPlatformPorts;

// The detection wait record: what a pending port wait writes when it ends. It must stay valid
// until then, so a record whose wait could not be ended is never used or freed again.
struct SetupWait {
  OVERLAPPED overlapped;  // hEvent: the detection event (manual reset)
  DWORD events;
};
// A record with a new event of that name (null: unnamed). Null when either cannot be had.
SetupWait* SetupWaitNew(const char* eventName);
void SetupWaitFree(SetupWait* wait);

// 1 when COM<port> can be opened (overlapped, not shared) and its settings read, else 0.
int SetupProbePort(int port);
// Searches the available ports (available[1..kSetupMaxPort], in that order) for the receiver,
// writing the status texts and port choice of `dialog` as it goes. `wait` is the detection wait
// record; one left to a port that never ends its wait is replaced (by null when no new one can
// be had, which ends the search). Returns the port that answered, or 0.
int SetupDetectPort(HWND dialog, const int available[kSetupMaxPort + 1], SetupWait** wait);

// Port probe and automatic receiver detection of the setup dialog.
#pragma once
#include <windows.h>

// The serial port calls of the probe and the detection. They go through this table so that a
// test can stand in for a receiver: a pseudo-terminal has no modem lines, so nothing on this
// machine can answer a raised RTS on CTS. Holds the platform's own functions unless a test swaps them.
struct SetupPortApi {
  HANDLE(WINAPI* open)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* getState)(HANDLE, LPDCB);
  BOOL(WINAPI* setState)(HANDLE, LPDCB);
  BOOL(WINAPI* setMask)(HANDLE, DWORD);
  BOOL(WINAPI* waitEvent)(HANDLE, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* escape)(HANDLE, DWORD);
  BOOL(WINAPI* result)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
  BOOL(WINAPI* close)(HANDLE);
};
extern SetupPortApi gSetupPorts;
extern const SetupPortApi kSetupPlatformPorts;

// 1 when COM<port> can be opened (overlapped, not shared) and its settings read, else 0.
int SetupProbePort(int port);
// Searches the available ports (available[1..4]) for the receiver, writing the status texts and
// radio buttons of `dialog` as it goes; `wait` is the detection wait record (its hEvent is the
// detection event). Returns the port that answered, or 0.
int SetupDetectPort(HWND dialog, const int available[5], OVERLAPPED* wait);

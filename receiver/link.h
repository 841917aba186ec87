// The serial receiver link: opens the receiver's COM port, runs the reader thread that queues key
// events, opens the port again when its adapter comes back after being pulled out, and gives the
// port back as it was found at stop. The consumer of the key events is started by the caller.
#pragma once
#include <windows.h>

enum { kReceiverNormal = 0, kReceiverTest = 1 };

// Mode kReceiverNormal takes the port from the profile ("default"/"port"); kReceiverTest uses
// `port`. Returns 0 when the receiver runs, -1 when it does not.
int ReceiverStart(int mode, int port);
// Ends the reader (it is never killed), closes the events, restores and closes the port that is
// open then. Safe to call when nothing runs. Returns 0.
int ReceiverStop();

// Set by the reader thread once per queued key event (auto-reset); null while stopped.
extern HANDLE gKeyReadyEvent;
// Set by the test dialog's Cancel to end its indicator thread (auto-reset); null while stopped.
extern HANDLE gStopEvent;

// The receiver's state, posted to the window given to ReceiverSetStateWindow whenever it changes:
// wParam = ReceiverState, lParam = port number (0 with kReceiverNoPort).
enum ReceiverState { kReceiverNoPort = 0, kReceiverOpen = 1, kReceiverWaiting = 2, kReceiverNoise = 3 };
enum { kMsgReceiverState = WM_APP + 1 };
void ReceiverSetStateWindow(HWND window);

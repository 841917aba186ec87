// The serial receiver link: opens the receiver's COM port, runs the reader thread that queues key
// events, opens the port again when its adapter comes back after being pulled out, and gives the
// port back as it was found at stop. The consumer of the key events is started by the caller.
#pragma once
#include <windows.h>

enum { kReceiverNormal = 0, kReceiverTest = 1 };

enum ReceiverState { kReceiverNoPort = 0, kReceiverOpen = 1, kReceiverWaiting = 2, kReceiverNoise = 3 };
// Posted to the window given to ReceiverSetStateWindow whenever the state changes:
// wParam = ReceiverState, lParam = port number (0 with kReceiverNoPort). Normal mode only.
enum { kMsgReceiverState = WM_APP + 1 };
void ReceiverSetStateWindow(HWND window);
HWND ReceiverStateWindow();  // the window given there (null before)

// Starts the reader on COM`port`. 0 when the receiver runs, -1 when it does not (port 0, settings
// that cannot be read or written). A port that cannot be opened is -1 in kReceiverTest; in
// kReceiverNormal the reader waits for it (kReceiverWaiting) and opens it once it is there.
int ReceiverStart(int mode, int port);
// Ends the reader (it is never killed), closes the events, restores and closes the port that is
// open then. Safe to call when nothing runs. Returns 0.
int ReceiverStop();

// A COM port appeared (a device notification): a reader waiting for its port tries it at once
// instead of at its next back-off step. Main thread.
void ReceiverPortArrived();

// Set once per queued key event by whichever receiver queued it (auto-reset). One for the whole
// process, made before main and never closed: the serial reader and the network client start and
// stop apart, and neither may close it under the other.
extern HANDLE gKeyReadyEvent;

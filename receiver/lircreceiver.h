// The network receiver as a receiver of the key path: the LIRC / WinLIRC client whose button lines
// become key events in the process-wide queue (source kKeyFromNetwork, the server's repeat count as
// kKeySignalBegin or kKeySignalRepeat), and whose connection changes are told to the window the
// serial receiver tells its states to.
#pragma once
#include <windows.h>

enum NetworkState { kNetworkOff = 0, kNetworkNotConnected = 1, kNetworkConnected = 2 };
// Posted to the serial receiver's state window (ReceiverSetStateWindow) at every change:
// wParam = NetworkState. kNetworkOff when a running client is stopped; the first of the others
// after the client's first try.
enum { kMsgNetworkState = WM_APP + 2 };

// Starts the client for `address` (HOST[:PORT]); a running one is stopped first. 0 when it runs
// (connected or still trying), -1 for an address that is not HOST[:PORT] or when it cannot start.
int LircReceiverStart(const char* address);
// Ends the client; safe when none runs. Returns 0.
int LircReceiverStop();
// 1 while a client runs (whether or not connected), else 0.
int LircReceiverRunning();
// The NetworkState of now (any thread).
int LircReceiverState();
// The address the running client was started with ("" when none). Main thread.
const char* LircReceiverAddress();

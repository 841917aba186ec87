// The hidden main window with its icon in the notification area and the icon's menu.
#pragma once
#include <windows.h>

// Written once on the main thread during start-up, before any worker thread; read-only after.
extern UINT gTrayMessage;  // registered "HalvestaRemoteUserMessage"

enum {
  kCmdExit = 100,
  kCmdSetup = 101,
  kCmdActivity = 102,
  kTrayIconId = 1,          // the program's one icon in the notification area (notices show over it)
  kTrayTipSize = 64,        // the tip's bytes, terminator included
  kTrayMenuTextSize = 256,  // a menu item's bytes, terminator included
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The tip over the icon for the serial receiver's state (ReceiverState) on COM`port` and the network
// receiver's (NetworkState, receiver/lircreceiver.h), into tip (kTrayTipSize bytes). While the
// network receiver is not connected the tip says so, beside the port's state where a port is set.
void TrayTipText(int state, int port, char* tip, int network = 0);
// The tray icon's resource for the receivers' states: IDI_REMOTE while the port is open or the
// network receiver connected, else IDI_REMOTE_AWAY.
int TrayIconFor(int state, int network = 0);
// Called by the main window when a COM port appears (ReceiverPortArrived; a test may replace it).
extern void (*gTrayPortArrived)();
// The tray menu as shown for one press: Exit (string 1) on top, Setup (string 2, default) below,
// then Activity (string 3) when the module has that string.
HMENU BuildTrayMenu(HMODULE language);

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
// The tip over the icon for a receiver state (ReceiverState) on COM`port`, into tip (kTrayTipSize bytes).
void TrayTipText(int state, int port, char* tip);
// The tray icon's resource for a receiver state: IDI_REMOTE while the port is open, else
// IDI_REMOTE_AWAY.
int TrayIconFor(int state);
// Called by the main window when a COM port appears (ReceiverPortArrived; a test may replace it).
extern void (*gTrayPortArrived)();
// The tray menu as shown for one press: Exit (string 1) on top, Setup (string 2, default) below,
// then Activity (string 3) when the module has that string.
HMENU BuildTrayMenu(HMODULE language);

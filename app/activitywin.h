// The Activity window (dialog 106 of the language module): the activity log listed live, newest
// last, with Copy (all lines as tab-separated text) and Assign (the Assign dialog for a press); and
// the notices in the notification area that the log's events call for. Main thread only.
#pragma once
#include <windows.h>

#include "common/activity.h"

// Opens the window over owner, or brings the open one to the front. 0, or -1 when the language
// module has no such template.
int ActivityWindowOpen(HMODULE language, HWND owner);
// The open window, null when none (the message loop hands it its keyboard messages).
HWND ActivityWindowHandle();
// kMsgActivity reached the main window: names the new presses' programs, shows their notices and
// the new lines.
void ActivityOnNewEvents(HWND mainWindow);
// kMsgReceiverState reached the main window: the log's line and notice for the change.
void ActivityOnReceiverState(WPARAM state, LPARAM port);
// kMsgNetworkState reached the main window: a line when the network receiver connected or is not
// connected (not for each restart of the client in the same state), and the first time in the run
// that it is not connected, a notice.
void ActivityOnNetworkState(WPARAM state);
// The last notice was clicked: the Assign dialog for a press with no entry, else the window.
void ActivityOnNoticeClick(HWND mainWindow);

// The Assign dialog: teaches a remote button a line of profiles.ini for the press it was opened
// for, without editing the file by hand.
#pragma once
#include <windows.h>

struct AssignPress {
  int code;                // a serial button, 0-127 ("Key9")
  char title[256];         // the title of the window that was in front (ANSI)
  char program[MAX_PATH];  // its program file ("notepad.exe"), or empty
  int source = 0;          // a named button's KeySource (receiver/keyring.h), its remote and name:
  char remote[64] = "";    // taught as Key.NAME, or Key.REMOTE.NAME with "only this remote";
  char name[64] = "";      // name "" for a serial button
};

// Runs the Assign dialog (template IDD_ASSIGN from the language module) modally over owner for that press.
// 1 when a line was written, 0 when cancelled, -1 when the language module lacks the template.
int AssignDialogRun(HMODULE language, HWND owner, const AssignPress* press);

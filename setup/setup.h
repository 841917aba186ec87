// The port setup dialog (dialog 104) and the receiver test dialog (dialog 105).
#pragma once
#include <windows.h>

// What Setup stops while it runs and starts again after it: the program's key path (receivers and
// the dispatch thread). The program sets it at start-up; both null, nothing is stopped or started.
struct SetupKeyPath {
  int (*stop)();
  int (*start)();
};
extern SetupKeyPath gSetupKeyPath;

// Stops the key path, runs the setup dialog, starts the key path again.
// A call while the dialog is open does nothing. Returns 0.
int OpenSetupDialog(HMODULE language, HWND owner);
// 1 while the setup dialog (and with it the test dialog) is open: it owns the port then.
int SetupDialogIsOpen();
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Whether notices are shown: "notify" in [default] of the profile, on when missing.
int SetupNotificationsOn();

// The release time the test dialog's "Set release time" chose during this Setup, in ms; 0 when none.
// It is saved with Setup's OK, in the same save as the port; Cancel drops it.
unsigned TestReleaseChosen();
// Forgets the chosen release time: Setup begins with none.
void TestReleaseForget();

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
// Runs the setup dialog (template IDD_SETUP of `language`) modally over owner, without stopping or
// starting anything: IDOK, IDCANCEL, or -1 when it cannot be shown.
INT_PTR SetupDialogRun(HMODULE language, HWND owner);
// Runs the receiver test dialog (template IDD_TEST) modally over owner; it shows the keys of the
// receivers that run (the caller starts them in test mode and stops them afterwards). IDCANCEL, or -1.
INT_PTR TestDialogRun(HMODULE language, HWND owner);

// Whether notices are shown: "notify" in [default] of the profile, on when missing.
int SetupNotificationsOn();

// The release time the test dialog's "Set release time" chose during this Setup, in ms; 0 when none.
// It is saved with Setup's OK, in the same save as the port; Cancel drops it.
unsigned TestReleaseChosen();
// Forgets the chosen release time: Setup begins with none.
void TestReleaseForget();

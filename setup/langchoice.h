// Setup's "Language" list (control IDC_LANGUAGE of dialog 104, where the template has it): the
// language modules beside the program, each by its own name, and the choice kept for the current
// user as "Language" under the maker's key in HKEY_CURRENT_USER. The module is loaded once per
// start, so a new choice shows at the next start; Setup offers to restart the program for it.
#pragma once
#include <windows.h>

// Fills the list with the modules this system can show and selects the user's choice, else the
// language running now.
void SetupLanguageList(HWND dialog);
// Keeps a changed choice for the user. 1 when the language to load at the next start is not the one
// running now, 0 when it is (or there is no list), -1 with the key that refused and the system's
// error code.
int SetupLanguageSave(HWND dialog, const char** failedKey, LONG* error);
// Asks whether to restart now for the new language (a yes is kept for SetupRestartWanted).
void SetupLanguageAskRestart(HWND dialog);
// 1, once, after the user answered yes: the program should end and start again.
int SetupRestartWanted();

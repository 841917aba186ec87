// The port choice of the setup dialog: radio buttons COM1..COM4 with their status texts and, where
// the dialog template has them, the choice "Other" with a list of the ports above COM4 and one
// status text for the port the list shows.
#pragma once
#include <windows.h>

// 1 when the dialog has the choice "Other" and its list.
int SetupHasPortList(HWND dialog);
// Adds COM<port> (above 4) to the end of the list.
void SetupListPort(HWND dialog, int port);
// The port the list shows, or 0.
int SetupListedPort(HWND dialog);
// Checks the choice of port (none for 0); a port above 4 is also shown in the list.
void SetupCheckPort(HWND dialog, int port);
// The port checked: COM1..COM4, or the list's when "Other" is checked. 0 for none.
int SetupCheckedPort(HWND dialog);
// Writes the status text of port; a port above 4 is shown in the list first.
void SetupShowStatus(HWND dialog, int port, const char* text);

// Setup's network receiver box (controls IDC_LIRC_* of dialog 104, where the template has them): the
// host and port of a LIRC or WinLIRC server, `lirc=HOST[:PORT]` of [default], and the Test button
// that asks the server for its version and remotes on a thread of its own, so that the dialog stays
// responsive while it waits (a few seconds at most).
#pragma once
#include <windows.h>

#include <stddef.h>

#include "receiver/lircaddress.h"

// The room the value of [default] lirc= (kProfileLirc) takes.
enum { kSetupLircAddressSize = kLircHostMax + 16 };

// Posted to the dialog when the Test button's question is answered (lParam: the answer's record,
// for SetupLircAnswered).
enum { kSetupLircAnswer = WM_APP + 30 };

// 1 when the dialog has the box.
int SetupLircHasBox(HWND dialog);
// The host and port of the profile's lirc= entry into the box (the port left empty when the entry
// names none).
void SetupLircRead(HWND dialog);
// Enables the Test button while the host's box holds a name and no question is out (EN_CHANGE of
// IDC_LIRC_HOST).
void SetupLircHostChanged(HWND dialog);
// The entry the box gives, into out (size bytes): "HOST:PORT", "HOST" when the port is empty, "" when
// the host is. 0; -1 when host and port are no address, which the box's result text then says.
int SetupLircEntry(HWND dialog, char* out, size_t size);
// The Test button: asks the server the box names; the answer arrives as kSetupLircAnswer. The button
// is disabled until then.
void SetupLircTest(HWND dialog);
// Shows the answer in the result text, enables the button again and frees the record.
void SetupLircAnswered(HWND dialog, LPARAM record);
// Frees the answers still waiting for the dialog (WM_DESTROY); one that comes later is freed by its
// thread.
void SetupLircEnd(HWND dialog);

// The port choice: COM1..COM4 are radio buttons 1001 + port with status texts 1005 + port; ports
// above are items of one drop-down list, chosen with the radio button "Other" beside it, sharing
// one status text. Every call here is harmless on a dialog without the list controls.
#include "setup/portchoice.h"

#include <stdio.h>

#include "common/format.h"
#include "resources/resource_ids.h"

int SetupHasPortList(HWND dialog) {
  return GetDlgItem(dialog, IDC_PORT_LIST) && GetDlgItem(dialog, IDC_PORT_OTHER) ? 1 : 0;
}

void SetupListPort(HWND dialog, int port) {
  char name[16];
  FormatText(name, sizeof name, "COM%d", port);
  LRESULT item = SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_ADDSTRING, 0, (LPARAM)name);
  if (item >= 0) SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_SETITEMDATA, item, port);
}

int SetupListedPort(HWND dialog) {
  LRESULT item = SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_GETCURSEL, 0, 0);
  if (item == CB_ERR) return 0;
  LRESULT port = SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_GETITEMDATA, item, 0);
  return port == CB_ERR ? 0 : int(port);
}

// Shows port in the list; 0 when the list does not hold it.
static int SetupShowListed(HWND dialog, int port) {
  LRESULT count = SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; i++) {
    if (SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_GETITEMDATA, i, 0) == port) {
      SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_SETCURSEL, i, 0);
      return 1;
    }
  }
  return 0;
}

void SetupCheckPort(HWND dialog, int port) {
  // Separate calls: a single range from COM1 to "Other" would take in the status texts and the
  // autostart box that lie between their identifiers.
  CheckRadioButton(dialog, IDC_PORT1, IDC_PORT4, port >= 1 && port <= 4 ? IDC_PORT1 - 1 + port : 0);
  int listed = port > 4 && SetupShowListed(dialog, port);
  CheckDlgButton(dialog, IDC_PORT_OTHER, listed ? BST_CHECKED : BST_UNCHECKED);
}

int SetupCheckedPort(HWND dialog) {
  for (int n = 1; n <= 4; n++) {
    if (IsDlgButtonChecked(dialog, IDC_PORT1 - 1 + n) == BST_CHECKED) return n;
  }
  if (IsDlgButtonChecked(dialog, IDC_PORT_OTHER) == BST_CHECKED) return SetupListedPort(dialog);
  return 0;
}

void SetupShowStatus(HWND dialog, int port, const char* text) {
  if (port <= 4) {
    SetDlgItemTextA(dialog, IDC_STATUS1 - 1 + port, text);
    return;
  }
  SetupShowListed(dialog, port);
  SetDlgItemTextA(dialog, IDC_STATUS_OTHER, text);
}

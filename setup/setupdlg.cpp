// The port setup dialog (dialog 104 of the language module): choosing or detecting the receiver's
// port, trying it in the test dialog, and starting the program with Windows.
//
// The receiver is stopped while the dialog is open, so the dialog can open the ports itself; it
// runs again in normal mode, on whatever port the profile then names, when the dialog has closed.
// The port is saved to the profile and the autostart value to the Run key only at OK, except that
// opening the dialog brings an existing autostart value up to date with the program's current
// path, and deletes one that cannot be read.
#include <stdio.h>

#include "actions/keypath.h"
#include "common/process.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/detect.h"
#include "setup/setup.h"

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kRunValue[] = "OVRARemote";

// Used on the main thread only.
static int setupOpen;          // 1 while OpenSetupDialog runs
static int selectedPort;       // the port the Test button tries
static int portAvailable[5];   // [1..4]: opened and read at dialog start
static OVERLAPPED detectWait;  // hEvent: the detection event, from dialog start to dialog end

int OpenSetupDialog(HMODULE language, HWND owner) {
  if (setupOpen) return 0;
  setupOpen = 1;
  KeyPathStop();
  DialogBoxParamA(language, MAKEINTRESOURCEA(IDD_SETUP), owner, SetupDialogProc, 0);
  KeyPathStart();
  setupOpen = 0;
  return 0;
}

static int ProgramPath(char path[MAX_PATH]) {
  DWORD n = GetModuleFileNameA(gProgramInstance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1;  // failed, or cut short
  return 0;
}

static void WriteAutostart(HKEY run) {
  char path[MAX_PATH];
  if (ProgramPath(path) < 0) return;
  RegSetValueExA(run, kRunValue, 0, REG_SZ, (const BYTE*)path, lstrlenA(path) + 1);
}

static void EnableItem(HWND dialog, int id, BOOL enable) {
  EnableWindow(GetDlgItem(dialog, id), enable);
}

// Puts the dialog in the middle of the work area, measured from where the dialog stands, above
// all windows that are not topmost.
static void PlaceDialog(HWND dialog) {
  RECT r, work;
  GetWindowRect(dialog, &r);
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    return;
  }
  int left = r.left + ((work.right - work.left) - (r.right - r.left)) / 2;
  int top = r.top + ((work.bottom - work.top) - (r.bottom - r.top)) / 2;
  SetWindowPos(dialog, HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE);
}

// Sets the check box from the autostart value; a value that cannot be read is deleted.
static void ReadAutostart(HWND dialog) {
  HKEY run;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &run) != ERROR_SUCCESS)
    return;
  char value[MAX_PATH];
  DWORD size = sizeof value;
  LONG read = RegQueryValueExA(run, kRunValue, nullptr, nullptr, (BYTE*)value, &size);
  // A value that fills the whole buffer without its terminating zero is too long as well.
  if (read == ERROR_SUCCESS && size < sizeof value) value[size] = 0;
  if (read == ERROR_SUCCESS && size == sizeof value && value[size - 1] != 0) read = ERROR_MORE_DATA;

  UINT check = BST_UNCHECKED;
  if (read != ERROR_SUCCESS) {
    RegDeleteValueA(run, kRunValue);
  } else {
    check = BST_CHECKED;
    char path[MAX_PATH];
    if (ProgramPath(path) == 0 && lstrcmpiA(path, value) != 0) WriteAutostart(run);
  }
  CheckDlgButton(dialog, IDC_AUTOSTART, check);
  RegCloseKey(run);
}

// Marks the ports that are missing or busy, and checks the configured port when it is there.
static void ProbePorts(HWND dialog) {
  for (int n = 1; n <= 4; n++) {
    portAvailable[n] = SetupProbePort(n);
    if (!portAvailable[n]) {
      EnableItem(dialog, IDC_PORT1 - 1 + n, FALSE);
      SetDlgItemTextA(dialog, IDC_STATUS1 - 1 + n, "---");
    } else if (n == selectedPort) {
      CheckRadioButton(dialog, IDC_PORT1, IDC_PORT4, IDC_PORT1 - 1 + n);
      EnableItem(dialog, IDC_TEST, TRUE);
    }
  }
}

static void OnInit(HWND dialog) {
  PlaceDialog(dialog);
  ZeroMemory(&detectWait, sizeof detectWait);
  detectWait.hEvent = CreateEventA(nullptr, TRUE, FALSE, "MyEventHere");
  EnableItem(dialog, IDC_TEST, FALSE);
  ReadAutostart(dialog);
  selectedPort = GetPrivateProfileIntA("default", "port", 0, gProfilePath);
  ProbePorts(dialog);
}

static void OnDetect(HWND dialog) {
  HWND detect = GetDlgItem(dialog, IDC_DETECT);
  EnableWindow(detect, FALSE);
  EnableItem(dialog, IDC_TEST, FALSE);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  int found = SetupDetectPort(dialog, portAvailable, &detectWait);
  if (found) {
    selectedPort = found;
    EnableItem(dialog, IDC_TEST, TRUE);
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EnableWindow(detect, TRUE);
  // Disabling the button took the keyboard focus away; give it back.
  if (!GetFocus()) SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)detect, TRUE);
}

static void OnTest(HWND dialog) {
  ReceiverStart(kReceiverTest, selectedPort);
  DialogBoxParamA(gLanguageModule, MAKEINTRESOURCEA(IDD_TEST), dialog, TestDialogProc, 0);
  ReceiverStop();
  QueueClear();  // a key that arrived after the test dialog had cleared the queue
}

static void OnOk(HWND dialog) {
  int port = 0;
  for (int n = 1; n <= 4 && !port; n++) {
    if (IsDlgButtonChecked(dialog, IDC_PORT1 - 1 + n) == BST_CHECKED) port = n;
  }
  char text[2] = {char('0' + port), 0};
  WritePrivateProfileStringA("default", "port", text, gProfilePath);

  HKEY run;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    if (IsDlgButtonChecked(dialog, IDC_AUTOSTART) == BST_CHECKED) {
      WriteAutostart(run);
    } else {
      RegDeleteValueA(run, kRunValue);
    }
    RegCloseKey(run);
  }
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog);
      return TRUE;
    case WM_DESTROY:
      if (detectWait.hEvent) CloseHandle(detectWait.hEvent);
      detectWait.hEvent = nullptr;
      return FALSE;
    case WM_COMMAND:
      break;
    default:
      return FALSE;
  }
  if (HIWORD(wParam) != 0) return FALSE;
  int id = LOWORD(wParam);
  switch (id) {
    case IDC_PORT1:
    case IDC_PORT2:
    case IDC_PORT3:
    case IDC_PORT4:
      selectedPort = id - IDC_PORT1 + 1;
      EnableItem(dialog, IDC_TEST, TRUE);
      break;
    case IDC_DETECT:
      OnDetect(dialog);
      break;
    case IDC_TEST:
      OnTest(dialog);
      break;
    case IDOK:
      OnOk(dialog);
      break;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      break;
  }
  return FALSE;
}

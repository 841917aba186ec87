// The port setup dialog (dialog 104 of the language module): choosing or detecting the receiver's
// port, trying it in the test dialog, and starting the program with Windows.
//
// The receiver is stopped while the dialog is open, so the dialog can open the ports itself; it
// runs again in normal mode, on whatever port the profile then names, when the dialog has closed.
// The port is saved to the profile and the autostart value to the Run key only at OK, except that
// opening the dialog brings an existing autostart value up to date with the program's current
// path, and deletes one that cannot be read.
//
// COM1 to COM4 have radio buttons of their own; the ports above are offered in a list beside the
// choice "Other", when the dialog template has those controls (an older language module offers
// COM1 to COM4 only, as before). A save that fails is told in a message box that names the file or
// key and the system's reason, and the dialog stays open: the user can choose again or cancel.
//
// The network receiver box (setup/lircbox.h) and "Take the keys of USB remotes" are saved with the
// port, in the same save; a template without them leaves lirc= and keys= as they are.
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "actions/press.h"
#include "actions/keyhook.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "common/format.h"
#include "common/process.h"
#include "common/text.h"
#include "receiver/keyqueue.h"
#include "receiver/lircreceiver.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/autostart.h"
#include "setup/detect.h"
#include "setup/langchoice.h"
#include "setup/lircbox.h"
#include "setup/portchoice.h"
#include "setup/savetext.h"
#include "setup/setup.h"

// The entry of [default] that "Take the keys of USB remotes" writes: keys=0 off, absent on.

namespace {

// One run of the dialog; main thread only.
struct SetupState {
  int selectedPort;                      // the port the Test button tries
  int portAvailable[kSetupMaxPort + 1];  // [1..]: opened and read at dialog start
  SetupWait* detectWait;                 // from dialog start to dialog end (null: none to be had)
  int configuredPort;                    // the profile's port at dialog start
  bool detectFoundNone;                  // the last detection found no receiver
};

}  // namespace

static int setupOpen;  // 1 while OpenSetupDialog runs; main thread only

SetupKeyPath gSetupKeyPath;

int OpenSetupDialog(HMODULE language, HWND owner) {
  if (setupOpen) return 0;
  setupOpen = 1;
  HWND before = ProcessFrontRemember();
  if (gSetupKeyPath.stop) gSetupKeyPath.stop();
  SetupDialogRun(language, owner);
  if (gSetupKeyPath.start) gSetupKeyPath.start();
  setupOpen = 0;
  // Closed, the dialog leaves the hidden main window in front: the keys go to the user's window.
  ProcessFrontGiveBack(before);
  return 0;
}

int SetupDialogIsOpen() {
  return setupOpen;
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

// Sets the check box from the autostart value; with neither Run key to read it keeps the
// template's state.
static void ReadAutostart(HWND dialog) {
  if (AutostartByTask()) {  // the installation's task starts it: shown, not changed here
    char text[256];
    TextLoad(IDS_AUTOSTART_TASK, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_AUTOSTART, text);
    CheckDlgButton(dialog, IDC_AUTOSTART, BST_CHECKED);
    EnableItem(dialog, IDC_AUTOSTART, FALSE);
    return;
  }
  int on = AutostartRead();
  if (on >= 0) CheckDlgButton(dialog, IDC_AUTOSTART, on ? BST_CHECKED : BST_UNCHECKED);
}

// Marks the ports that are missing or busy, lists the ports above COM4 that are there, and
// checks the configured port when it is there.
static void ProbePorts(HWND dialog, SetupState* state) {
  int* portAvailable = state->portAvailable;
  int selectedPort = state->selectedPort;
  char notThere[16];
  TextLoad(IDS_SETUP_NOT_THERE, notThere, sizeof notThere);
  ZeroMemory(state->portAvailable, sizeof state->portAvailable);
  for (int n = 1; n <= 4; n++) {
    portAvailable[n] = SetupProbePort(n);
    if (!portAvailable[n]) {
      EnableItem(dialog, IDC_PORT1 - 1 + n, FALSE);
      SetDlgItemTextA(dialog, IDC_STATUS1 - 1 + n, notThere);
    }
  }
  if (SetupHasPortList(dialog)) {
    int listed = 0;
    for (int n = 5; n <= kSetupMaxPort; n++) {
      portAvailable[n] = SetupProbePort(n);
      if (portAvailable[n]) SetupListPort(dialog, n);
      listed += portAvailable[n];
    }
    if (listed) {
      SendDlgItemMessageA(dialog, IDC_PORT_LIST, CB_SETCURSEL, 0, 0);
    } else {
      EnableItem(dialog, IDC_PORT_OTHER, FALSE);
      EnableItem(dialog, IDC_PORT_LIST, FALSE);
      SetDlgItemTextA(dialog, IDC_STATUS_OTHER, notThere);
    }
  }
  if (selectedPort >= 1 && selectedPort <= kSetupMaxPort && portAvailable[selectedPort]) {
    SetupCheckPort(dialog, selectedPort);
    EnableItem(dialog, IDC_TEST, TRUE);
  }
}

int SetupNotificationsOn() {
  return ProfileReadInt(gProfilePath, kProfileDefault, kProfileNotify, 1) != 0;
}

// "Show notifications", "Show each press on the screen" (osd=1; off when missing) and "Take the keys
// of USB remotes" (keys=0 off; on when missing), when the template has the boxes.
static void ReadNotify(HWND dialog) {
  if (GetDlgItem(dialog, IDC_NOTIFY))
    CheckDlgButton(dialog, IDC_NOTIFY, SetupNotificationsOn() ? BST_CHECKED : BST_UNCHECKED);
  if (GetDlgItem(dialog, IDC_OSD)) {
    bool on = ProfileReadInt(gProfilePath, kProfileDefault, kProfileOsd, 0) == 1;
    CheckDlgButton(dialog, IDC_OSD, on ? BST_CHECKED : BST_UNCHECKED);
  }
  if (GetDlgItem(dialog, IDC_KEYS)) {
    bool on = ProfileReadInt(gProfilePath, kProfileDefault, kProfileKeys, 1) != 0;
    CheckDlgButton(dialog, IDC_KEYS, on ? BST_CHECKED : BST_UNCHECKED);
  }
}

// The profile's network receiver, lirc= of [default], into out (kSetupLircAddressSize bytes).
static void ProfileLirc(char* out) {
  ProfileReadString(gProfilePath, kProfileDefault, kProfileLirc, out, kSetupLircAddressSize - 1);
}

// Whether a network receiver is named: in the box, else (a template without it) in the profile.
static bool NetworkReceiverNamed(HWND dialog) {
  char entry[kSetupLircAddressSize];
  if (SetupLircHasBox(dialog)) return GetWindowTextLengthA(GetDlgItem(dialog, IDC_LIRC_HOST)) > 0;
  ProfileLirc(entry);
  return entry[0] != '\0';
}

// With no port and a network receiver, no port is missing: the status says which receiver is in use.
static void ShowReceiverInUse(HWND dialog, const SetupState* state) {
  char entry[kSetupLircAddressSize], text[kSetupLircAddressSize + 256];
  if (state->configuredPort != 0) return;
  ProfileLirc(entry);
  if (!entry[0]) return;
  TextFormat(text, sizeof text, IDS_LIRC_IN_USE, {entry});
  SetDlgItemTextA(dialog, IDC_DETECT_RESULT, text);
}

// The profile in use: the user's own or the shared one, its path, and the way back to the shared
// one while the own one is in use (a template without them shows nothing).
static void ShowProfile(HWND dialog) {
  if (!GetDlgItem(dialog, IDC_PROFILE_KIND)) return;
  bool own = ProfileInUse() == kProfileOwn;
  char text[256];
  TextLoad(own ? IDS_PROFILE_OWN : IDS_PROFILE_SHARED, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_PROFILE_KIND, text);
  SetDlgItemTextA(dialog, IDC_PROFILE_PATH, gProfilePath);
  ShowWindow(GetDlgItem(dialog, IDC_PROFILE_SHARED), own ? SW_SHOW : SW_HIDE);
  EnableItem(dialog, IDC_PROFILE_SHARED, own);
}

// The folder of `path` (the profile's), into out (MAX_PATH bytes).
static void ProfileFolder(const char* path, char* out) {
  FormatText(out, MAX_PATH, "%s", path);
  char* slash = strrchr(out, '\\');
  if (slash) *slash = '\0';
}

static void OnProfileFolder(HWND dialog) {
  char folder[MAX_PATH];
  ProfileFolder(gProfilePath, folder);
  ShellExecuteA(dialog, "open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}

// Back to the shared profile, once the user agrees: the own one kept as profiles.ini.bak, and Setup
// closed, since what it shows was read from the own one.
static void OnProfileShared(HWND dialog) {
  char folder[MAX_PATH], text[1024], caption[64], why[1024];
  ProfileFolder(ProfileOwnPath(), folder);
  TextFormat(text, sizeof text, IDS_PROFILE_BACK_ASK, {folder});
  TextLoad(IDS_SETUP_CAPTION, caption, sizeof caption);
  if (MessageBoxA(dialog, text, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) return;
  unsigned long error = 0;
  if (ProfileUseShared(&error) < 0) {
    SaveSystemText(why, sizeof why, error);
    SaveShowFailure(dialog, IDS_PROFILE_KEEP, folder, why);
    return;
  }
  EndDialog(dialog, IDCANCEL);
}

// Test also shows a network receiver's buttons: with a server named it needs no port. Emptied
// again, the button follows the port alone.
static void TestForNetwork(HWND dialog) {
  if (GetWindowTextLengthA(GetDlgItem(dialog, IDC_LIRC_HOST)) > 0) {
    EnableItem(dialog, IDC_TEST, TRUE);
  } else if (SetupCheckedPort(dialog) == 0) {
    EnableItem(dialog, IDC_TEST, FALSE);
  }
}

static void OnInit(HWND dialog, SetupState* state) {
  PlaceDialog(dialog);
  state->detectWait = SetupWaitNew("MyEventHere");
  EnableItem(dialog, IDC_TEST, FALSE);
  ReadAutostart(dialog);
  state->selectedPort = ProfileReadInt(gProfilePath, kProfileDefault, kProfilePort, 0);
  state->configuredPort = state->selectedPort;
  state->detectFoundNone = false;
  TestReleaseForget();
  ProbePorts(dialog, state);
  ReadNotify(dialog);
  if (SetupLircHasBox(dialog)) {
    SetupLircRead(dialog);
    TestForNetwork(dialog);
  }
  ShowReceiverInUse(dialog, state);
  SetupLanguageList(dialog);
  ShowProfile(dialog);
}

static void OnDetect(HWND dialog, SetupState* state) {
  HWND detect = GetDlgItem(dialog, IDC_DETECT);
  EnableWindow(detect, FALSE);
  EnableItem(dialog, IDC_TEST, FALSE);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  SetDlgItemTextA(dialog, IDC_DETECT_RESULT, "");
  int found = SetupDetectPort(dialog, state->portAvailable, &state->detectWait);
  if (found) {
    state->selectedPort = found;
    EnableItem(dialog, IDC_TEST, TRUE);
  } else {
    char text[256];
    TextLoad(IDS_SETUP_NO_RECEIVER, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_DETECT_RESULT, text);
  }
  state->detectFoundNone = found == 0;
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EnableWindow(detect, TRUE);
  // Disabling the button took the keyboard focus away; give it back.
  if (!GetFocus()) SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)detect, TRUE);
}

// The test dialog, with the receivers it shows: the serial one on the chosen port and the network
// one the box names (the profile's, for a template without the box), both in the state the dialog
// shows, not yet saved.
enum { kTestHookStopMs = 2000 };  // the hook's thread answers at once: a bound, never a wait

static void OnTest(HWND dialog, const SetupState* state) {
  char lirc[kSetupLircAddressSize] = "";
  if (!SetupLircHasBox(dialog)) {
    ProfileLirc(lirc);
  } else if (SetupLircEntry(dialog, lirc, sizeof lirc) < 0) {
    lirc[0] = '\0';
  }
  // The keys of USB remotes, all of them while the test dialog is open: it names each one.
  bool keys = GetDlgItem(dialog, IDC_KEYS)
                  ? IsDlgButtonChecked(dialog, IDC_KEYS) == BST_CHECKED
                  : ProfileReadInt(gProfilePath, kProfileDefault, kProfileKeys, 1) != 0;
  ReceiverStart(kReceiverTest, state->selectedPort);
  if (lirc[0]) LircReceiverStart(lirc);
  if (keys) KeyHookStartAll();
  TestDialogRun(gLanguageModule, dialog);
  if (keys) KeyHookStop(kTestHookStopMs);
  LircReceiverStop();
  ReceiverStop();
  QueueClear();  // a key that arrived after the test dialog had cleared the queue
}

// After a detection that found nothing, OK with no port chosen while the profile named one asks
// first, unless a network receiver is named. True when the port may be saved.
static bool MaySaveNoPort(HWND dialog, const SetupState* state) {
  if (!state->detectFoundNone || state->configuredPort == 0 || SetupCheckedPort(dialog) != 0 ||
      NetworkReceiverNamed(dialog))
    return true;
  char text[512], port[16], caption[64];
  FormatText(port, sizeof port, "%d", state->configuredPort);
  TextFormat(text, sizeof text, IDS_SETUP_ASK_NO_PORT, {port});
  TextLoad(IDS_SETUP_CAPTION, caption, sizeof caption);
  return MessageBoxA(dialog, text, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// Saves the port and "Show notifications", then the autostart choice, and closes the dialog. A save that
// fails is told and keeps the dialog open; what was saved before it stays saved.
static void OnOk(HWND dialog, const SetupState* state) {
  char text[16], release[16], lirc[kSetupLircAddressSize], why[1024];
  // An address that cannot be used is told in the box and nothing is saved.
  if (SetupLircHasBox(dialog) && SetupLircEntry(dialog, lirc, sizeof lirc) < 0) {
    SendMessageA(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, IDC_LIRC_HOST)), TRUE);
    return;
  }
  if (!MaySaveNoPort(dialog, state)) return;
  FormatText(text, sizeof text, "%d", SetupCheckedPort(dialog));
  // The port, "Show notifications" (notify=1 or 0), "Show each press on the screen" (osd=1 or 0),
  // the network receiver (lirc=, none for an empty host), "Take the keys of USB remotes" (keys=0, none
  // when ticked) and the release time the test dialog chose, in one save, so that the backup keeps
  // the profile as it was before; a template without a box leaves its entry alone.
  ProfileSetting entries[6] = {{kProfilePort, text}};
  size_t count = 1;
  if (GetDlgItem(dialog, IDC_NOTIFY))
    entries[count++] = {kProfileNotify, IsDlgButtonChecked(dialog, IDC_NOTIFY) == BST_CHECKED ? "1" : "0"};
  if (GetDlgItem(dialog, IDC_OSD))
    entries[count++] = {kProfileOsd, IsDlgButtonChecked(dialog, IDC_OSD) == BST_CHECKED ? "1" : "0"};
  if (SetupLircHasBox(dialog)) entries[count++] = {kProfileLirc, lirc[0] ? lirc : nullptr};
  if (GetDlgItem(dialog, IDC_KEYS))
    entries[count++] = {kProfileKeys, IsDlgButtonChecked(dialog, IDC_KEYS) == BST_CHECKED ? nullptr : "0"};
  if (TestReleaseChosen()) {
    FormatText(release, sizeof release, "%u", TestReleaseChosen());
    entries[count++] = {kPressTimingNames[kPressRelease], release};
  }
  unsigned long error;
  int result = ProfileSaveEntries(kProfileDefault, entries, count, &error);
  if (result < 0) {
    SaveReasonText(why, sizeof why, result, error, gProfilePath);
    SaveShowFailure(dialog, IDS_SAVE_PORT, gProfilePath, why);
    return;
  }
  const char* key;
  LONG failed;
  if (!AutostartByTask() &&
      AutostartSave(IsDlgButtonChecked(dialog, IDC_AUTOSTART) == BST_CHECKED, &key, &failed) < 0) {
    SaveSystemText(why, sizeof why, DWORD(failed));
    SaveShowFailure(dialog, IDS_SAVE_AUTOSTART, key, why);
    return;
  }
  int language = SetupLanguageSave(dialog, &key, &failed);
  if (language < 0) {
    SaveSystemText(why, sizeof why, DWORD(failed));
    SaveShowFailure(dialog, IDS_LANGUAGE_SETTING, key, why);
    return;
  }
  if (language > 0) SetupLanguageAskRestart(dialog);
  EndDialog(dialog, IDOK);
}

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  SetupState* state = reinterpret_cast<SetupState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<SetupState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, LONG_PTR(state));
      OnInit(dialog, state);
      return TRUE;
    case kSetupLircAnswer:
      SetupLircAnswered(dialog, lParam);
      return TRUE;
    case WM_DESTROY:
      SetupLircEnd(dialog);
      if (!state) return FALSE;
      SetupWaitFree(state->detectWait);
      state->detectWait = nullptr;
      return FALSE;
    case WM_COMMAND:
      if (state) break;
      return FALSE;
    default:
      return FALSE;
  }
  // Choosing a port from the list chooses "Other".
  if (LOWORD(wParam) == IDC_PORT_LIST && HIWORD(wParam) == CBN_SELCHANGE) {
    int port = SetupListedPort(dialog);
    if (port) {
      SetupCheckPort(dialog, port);
      state->selectedPort = port;
      EnableItem(dialog, IDC_TEST, TRUE);
    }
    return FALSE;
  }
  if (LOWORD(wParam) == IDC_LIRC_HOST && HIWORD(wParam) == EN_CHANGE) {
    SetupLircHostChanged(dialog);
    TestForNetwork(dialog);
    return FALSE;
  }
  if (HIWORD(wParam) != 0) return FALSE;
  int id = LOWORD(wParam);
  switch (id) {
    case IDC_PORT1:
    case IDC_PORT2:
    case IDC_PORT3:
    case IDC_PORT4:
      state->selectedPort = id - IDC_PORT1 + 1;
      EnableItem(dialog, IDC_TEST, TRUE);
      break;
    case IDC_PORT_OTHER:
      if (SetupListedPort(dialog)) {
        state->selectedPort = SetupListedPort(dialog);
        EnableItem(dialog, IDC_TEST, TRUE);
      }
      break;
    case IDC_DETECT:
      OnDetect(dialog, state);
      break;
    case IDC_TEST:
      OnTest(dialog, state);
      break;
    case IDC_LIRC_TEST:
      SetupLircTest(dialog);
      break;
    case IDOK:
      OnOk(dialog, state);
      break;
    case IDC_PROFILE_FOLDER:
      OnProfileFolder(dialog);
      break;
    case IDC_PROFILE_SHARED:
      OnProfileShared(dialog);
      break;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      break;
  }
  return FALSE;
}

INT_PTR SetupDialogRun(HMODULE language, HWND owner) {
  SetupState state = {};
  return DialogBoxParamA(language, MAKEINTRESOURCEA(IDD_SETUP), owner, SetupDialogProc, LPARAM(&state));
}

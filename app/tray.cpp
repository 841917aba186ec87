// The hidden main window: its procedure keeps the notification-area icon for the window's life,
// shows the menu when the icon is clicked, and runs the Exit and Setup commands. The left button's
// menu waits for the double-click time after its release, so that a double click can open Setup
// instead; the right button's opens at once.
//
// It also keeps the receivers going through the day: the tip tells the receivers' states as the
// serial reader and the network client report them; a resume from sleep starts the key path again
// (some serial drivers keep the handle open before the sleep valid but dead; the network client
// then tries its server at once); and a COM port that appears ends the reader's back-off wait at
// once. The window that was in front before the menu is given the front back.
#include "app/tray.h"
#include "app/shell.h"

#include <dbt.h>
#include <shellapi.h>
#include <stdio.h>

#include <cstddef>

#include "actions/keyhook.h"
#include "actions/keytable.h"
#include "app/keypath.h"
#include "app/activitywin.h"
#include "app/rawinput.h"
#include "app/osd.h"
#include "common/activitylog.h"
#include "common/format.h"
#include "common/text.h"
#include "receiver/link.h"
#include "receiver/lirc.h"
#include "receiver/lircreceiver.h"
#include "resources/resource_ids.h"
#include "setup/langchoice.h"
#include "setup/setup.h"

UINT gTrayMessage;
void (*gTrayPortArrived)() = ReceiverPortArrived;

// The device interface class of COM ports.
static const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

// On 32-bit Windows the tray icon record and the menu item record have the sizes of their first
// forms, 88 and 44 bytes.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88, "tray icon record size");
static_assert(sizeof(void*) != 4 || offsetof(MENUITEMINFOA, hbmpItem) == 44, "menu item record size");
static_assert(sizeof(NOTIFYICONDATAA::szTip) >= kTrayTipSize, "tip size");

// Filled when the icon is added and used again, unchanged, to delete it and to add it again
// after the shell restarted. Main thread only.
static NOTIFYICONDATAA sTrayIcon;
// Broadcast by a shell that (re)started: every icon it showed before is gone.
static UINT sTaskbarCreated;
static bool sTrayAdded;         // from window creation until WM_DESTROY
static HDEVNOTIFY sPortNotify;  // COM port arrivals, from window creation until WM_DESTROY
static bool sResumeHandled;     // a resume has restarted the key path since the last suspend
static bool sDoubleClicked;     // a double click came: its own release opens no menu
static int sSerialState = kReceiverNoPort, sSerialPort;  // as last reported
static int sNetworkState = kNetworkOff;
enum { kTrayMenuTimer = 1 };            // a left click's menu, due when no second click came in time
enum { kMsgKeysWanted = WM_APP + 31 };  // what the profile asks of remote keys (kKeyTable bits)

void TrayTipText(int state, int port, char* tip, int network) {
  if (state != kReceiverOpen && state != kReceiverWaiting && state != kReceiverNoise) state = kReceiverNoPort;
  char number[16];
  FormatText(number, sizeof number, "%d", port);
  UINT id = IDS_TIP_STATE + state;
  if (network == kNetworkNotConnected) id = IDS_TIP_NETWORK_LOST + state;
  if (network == kNetworkConnected && state == kReceiverNoPort) id = IDS_TIP_NETWORK;
  TextFormat(tip, kTrayTipSize, id, {number});
}

int TrayIconFor(int state, int network) {
  bool works = state == kReceiverOpen || state == kReceiverNoise || network == kNetworkConnected;
  return works ? IDI_REMOTE : IDI_REMOTE_AWAY;
}

// Puts the receivers' states into the tip and the icon (the program's own while a receiver works,
// the dimmed one while none does); the record keeps both for an icon added again.
static void TraySetState() {
  TrayTipText(sSerialState, sSerialPort, sTrayIcon.szTip, sNetworkState);
  HICON icon = LoadIconA(gProgramInstance, MAKEINTRESOURCEA(TrayIconFor(sSerialState, sNetworkState)));
  if (icon) sTrayIcon.hIcon = icon;
  if (sTrayAdded) Shell_NotifyIconA(NIM_MODIFY, &sTrayIcon);
}

static void TrayWatchPorts(HWND window) {
  DEV_BROADCAST_DEVICEINTERFACE_A filter;
  ZeroMemory(&filter, sizeof filter);
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kComPortInterface;
  // Where this is not to be had, the reader's back-off alone finds the port.
  sPortNotify = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

static void TrayDeviceChange(WPARAM event, LPARAM data) {
  const DEV_BROADCAST_HDR* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (event != DBT_DEVICEARRIVAL || !header) return;
  bool port = header->dbch_devicetype == DBT_DEVTYP_PORT;
  if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
    const DEV_BROADCAST_DEVICEINTERFACE_A* device =
        reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(data);
    port = IsEqualGUID(device->dbcc_classguid, kComPortInterface) != 0;
  }
  if (port) gTrayPortArrived();
}

// After a resume the port is opened afresh and the server tried at once: once per resume (Windows
// may send both resume events). While the setup or test dialog owns the port, only a network client
// that runs for the dialog tries again; closing the dialog starts the key path anew.
static void TrayPowerEvent(WPARAM event) {
  if (event == PBT_APMSUSPEND) sResumeHandled = false;
  if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND) return;
  if (sResumeHandled) return;
  if (SetupDialogIsOpen()) {
    LircResume();
    return;
  }
  sResumeHandled = true;
  KeyPathStart();
}

static void TrayAddIcon(HWND window) {
  ZeroMemory(&sTrayIcon, sizeof sTrayIcon);
  sTrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the form every shell version accepts
  sTrayIcon.hWnd = window;
  sTrayIcon.uID = kTrayIconId;
  sTrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  sTrayIcon.uCallbackMessage = gTrayMessage;
  sTrayIcon.hIcon = LoadIconA(gProgramInstance, MAKEINTRESOURCEA(IDI_REMOTE));
  TextLoad(IDS_TIP, sTrayIcon.szTip, kTrayTipSize);  // the receiver's state follows once it is started
  sTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  TrayWatchPorts(window);
  sTrayAdded = true;
  Shell_NotifyIconA(NIM_ADD, &sTrayIcon);  // without an icon the program runs on all the same
}

static void TrayDeleteIcon() {
  sTrayAdded = false;
  Shell_NotifyIconA(NIM_DELETE, &sTrayIcon);
  if (sPortNotify) UnregisterDeviceNotification(sPortNotify);
  sPortNotify = nullptr;
}

// String id of the language module into text (kTrayMenuTextSize bytes); empty when the module lacks it.
static void TrayLoadText(HMODULE language, UINT id, char* text) {
  if (LoadStringA(language, id, text, kTrayMenuTextSize) <= 0) text[0] = '\0';
}

// The Activity item below Setup, when the language module has its text (an older module's menu
// stays as it was).
static void TrayAddActivityItem(HMENU menu, HMODULE language, MENUITEMINFOA* item) {
  if (LoadStringA(language, IDS_MENU_ACTIVITY, item->dwTypeData, kTrayMenuTextSize) <= 0) return;
  item->fState = 0;
  item->wID = kCmdActivity;
  InsertMenuItemA(menu, kCmdActivity, FALSE, item);
}

HMENU BuildTrayMenu(HMODULE language) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  char text[kTrayMenuTextSize];
  MENUITEMINFOA item;
  ZeroMemory(&item, sizeof item);
  item.cbSize = offsetof(MENUITEMINFOA, hbmpItem);  // the form without the item bitmap
  item.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
  item.fType = MFT_STRING;
  item.dwTypeData = text;

  TrayLoadText(language, IDS_MENU_EXIT, text);
  item.fState = 0;
  item.wID = kCmdExit;
  InsertMenuItemA(menu, kCmdExit, FALSE, &item);

  TrayLoadText(language, IDS_MENU_SETUP, text);
  item.fState = MFS_DEFAULT;
  item.wID = kCmdSetup;
  InsertMenuItemA(menu, kCmdSetup, FALSE, &item);

  TrayAddActivityItem(menu, language, &item);
  return menu;
}

static void TrayShowMenu(HWND window) {
  POINT at = {0, 0};
  GetCursorPos(&at);
  HWND before = ProcessFrontRemember();
  // The menu closes on a click elsewhere only while its owner is the foreground window.
  SetForegroundWindow(window);
  HMENU menu = BuildTrayMenu(gLanguageModule);
  if (menu) {
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
  }
  // The hidden window in front would take the next keys; the window the user was in gets them.
  ProcessFrontGiveBack(before);
  // Without a message after the menu the next press on the icon can open the menu only to close it at
  // once (a quirk of menus whose owner is a hidden window).
  PostMessageA(window, WM_NULL, 0, 0);
}

static void TrayCallback(HWND window, LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
      sDoubleClicked = false;
      break;
    case WM_LBUTTONUP:
      if (!sDoubleClicked) SetTimer(window, kTrayMenuTimer, GetDoubleClickTime(), nullptr);
      sDoubleClicked = false;
      break;
    case WM_RBUTTONDOWN:
      KillTimer(window, kTrayMenuTimer);
      TrayShowMenu(window);
      break;
    case WM_LBUTTONDBLCLK:
      KillTimer(window, kTrayMenuTimer);
      sDoubleClicked = true;
      PostMessageA(window, WM_COMMAND, kCmdSetup, 0);
      break;
    case NIN_BALLOONUSERCLICK:
      ActivityOnNoticeClick(window);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      TrayAddIcon(window);
      ActivityLogSetWindow(window);
      OsdStart(window);
      KeyHookNotify(window, kMsgKeysWanted);
      return 0;
    case WM_DESTROY:
      OsdStop();
      TrayDeleteIcon();
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCmdExit) PostMessageA(window, WM_DESTROY, 0, 0);
      if (LOWORD(wParam) == kCmdSetup) {
        OpenSetupDialog(gLanguageModule, window);
        if (SetupRestartWanted()) {  // for a new language: end, and start again once ended
          ShellRestartAfterExit();
          PostMessageA(window, WM_DESTROY, 0, 0);
        }
      }
      if (LOWORD(wParam) == kCmdActivity) ActivityWindowOpen(TextDialogModule(IDD_ACTIVITY), window);
      return 0;
    case kMsgActivity:
      ActivityOnNewEvents(window);
      return 0;
    case WM_TIMER:
      if (wParam != kTrayMenuTimer) break;
      KillTimer(window, kTrayMenuTimer);
      TrayShowMenu(window);
      return 0;
    case kMsgOsd:
      OsdOnMessage();
      return 0;
    case kMsgReceiverState:
      sSerialState = int(wParam);
      sSerialPort = int(lParam);
      TraySetState();
      ActivityOnReceiverState(wParam, lParam);
      return 0;
    case kMsgNetworkState:
      sNetworkState = int(wParam);
      TraySetState();
      ActivityOnNetworkState(wParam);
      return 0;
    case WM_POWERBROADCAST:
      TrayPowerEvent(wParam);
      return TRUE;
    case WM_DEVICECHANGE:
      TrayDeviceChange(wParam, lParam);
      return TRUE;
    case kMsgKeysWanted:  // Media Center buttons come as raw input while the profile names one
      if (wParam & kKeyTableMce) {
        RawInputRegister(window);
      } else {
        RawInputUnregister();
      }
      return 0;
    case WM_INPUT:
      RawInputHandle(lParam);
      break;  // and on to DefWindowProc, which cleans the input up
    default:
      break;
  }
  if (gTrayMessage != 0 && message == gTrayMessage) {
    TrayCallback(window, lParam);
    return 0;
  }
  if (sTaskbarCreated != 0 && message == sTaskbarCreated) {
    if (sTrayAdded) Shell_NotifyIconA(NIM_ADD, &sTrayIcon);  // not after Exit took it away
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

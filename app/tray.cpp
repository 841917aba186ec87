// The hidden main window: its procedure keeps the notification-area icon for the window's life,
// shows the two-item menu when the icon is pressed, and runs the Exit and Setup commands.
#include "app/shell.h"

#include <shellapi.h>

#include <cstddef>

#include "app/activity.h"
#include "common/activitylog.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/setup.h"

// On 32-bit Windows the tray icon record and the menu item record have the sizes of their first
// forms, 88 and 44 bytes.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88, "tray icon record size");
static_assert(sizeof(void*) != 4 || offsetof(MENUITEMINFOA, hbmpItem) == 44, "menu item record size");

static const char kTrayTip[] = "Halvesta Remote Control";
static const int kTrayIconId = 1;

// Filled when the icon is added and used again, unchanged, to delete it and to add it again
// after the shell restarted. Main thread only.
static NOTIFYICONDATAA sTrayIcon;
// Broadcast by a shell that (re)started: every icon it showed before is gone.
static UINT sTaskbarCreated;
static bool sTrayAdded;  // from window creation until WM_DESTROY

static void TrayAddIcon(HWND window) {
  ZeroMemory(&sTrayIcon, sizeof sTrayIcon);
  sTrayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the form every shell version accepts
  sTrayIcon.hWnd = window;
  sTrayIcon.uID = kTrayIconId;
  sTrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  sTrayIcon.uCallbackMessage = gTrayMessage;
  sTrayIcon.hIcon = LoadIconA(gProgramInstance, MAKEINTRESOURCEA(IDI_REMOTE));
  lstrcpynA(sTrayIcon.szTip, kTrayTip, 64);
  sTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  sTrayAdded = true;
  Shell_NotifyIconA(NIM_ADD, &sTrayIcon);  // without an icon the program runs on all the same
}

static void TrayDeleteIcon() {
  sTrayAdded = false;
  Shell_NotifyIconA(NIM_DELETE, &sTrayIcon);
}

// String id of the language module into text (256 bytes); empty when the module lacks it.
static void TrayLoadText(HMODULE language, UINT id, char* text) {
  if (LoadStringA(language, id, text, 256) <= 0) text[0] = '\0';
}

// The Activity item below Setup, when the language module has its text (an older module's menu
// stays as it was).
static void TrayAddActivityItem(HMENU menu, HMODULE language, MENUITEMINFOA* item) {
  if (LoadStringA(language, IDS_MENU_ACTIVITY, item->dwTypeData, 256) <= 0) return;
  item->fState = 0;
  item->wID = kCmdActivity;
  InsertMenuItemA(menu, kCmdActivity, FALSE, item);
}

HMENU BuildTrayMenu(HMODULE language) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  char text[256];
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
  // The menu closes on a click elsewhere only while its owner is the foreground window.
  SetForegroundWindow(window);
  HMENU menu = BuildTrayMenu(gLanguageModule);
  if (menu) {
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
  }
  // Without a message after the menu the next press on the icon can open the menu only to close it at
  // once (a quirk of menus whose owner is a hidden window).
  PostMessageA(window, WM_NULL, 0, 0);
}

static void TrayCallback(HWND window, LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      TrayShowMenu(window);
      break;
    case WM_LBUTTONDBLCLK:
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
      return 0;
    case WM_DESTROY:
      TrayDeleteIcon();
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCmdExit) PostMessageA(window, WM_DESTROY, 0, 0);
      if (LOWORD(wParam) == kCmdSetup) OpenSetupDialog(gLanguageModule, window);
      if (LOWORD(wParam) == kCmdActivity) ActivityWindowOpen(gLanguageModule, window);
      return 0;
    case kMsgActivity:
      ActivityOnNewEvents(window);
      return 0;
    case kMsgReceiverState:
      ActivityOnReceiverState(wParam, lParam);
      return 0;
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

// The program's entry: brings the shell up, runs the message loop of the hidden main window,
// and takes everything down again when the Exit command (or WM_CLOSE) ends the loop. Started as
// "remote.exe /check" it only checks the profile and ends; "remote.exe /edit" opens it in Notepad.
#include "common/process.h"
#include "app/activitywin.h"
#include "app/check.h"
#include "app/guard.h"
#include "app/shell.h"
#include "app/tray.h"
#include "app/language.h"

#include <commctrl.h>

#include "resources/resource_ids.h"

static const char kWindowClass[] = "HalvestaRemoteTBClass";
static const char kWindowTitle[] = "Halvesta Remote Control";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  if (CheckRequested(commandLine)) return CheckRun(instance);
  if (CheckEditRequested(commandLine)) return CheckEditRun(instance);
  InitCommonControls();
  gProgramInstance = instance;
  // Run with administrator rights, only from a place that administrators alone may change.
  char folder[MAX_PATH], unsafe[MAX_PATH];
  int length = ProcessModulePath(instance, folder);
  while (length > 0 && folder[length - 1] != '\\') folder[--length] = '\0';
  if (length < 0) folder[0] = '\0';
  int elevated = 0;
  if (GuardCheckStart(folder, &elevated, unsafe) < 0) {
    GuardRefuse(unsafe);
    return -1;
  }
  gLanguageModule = LoadLanguageModule(instance, elevated != 0);
  if (!gLanguageModule) {
    ShowStartupError(nullptr, kStartNoLanguage);
    return 0;
  }
  // The window procedure needs the message while the window is created (it adds the tray icon then).
  gTrayMessage = RegisterWindowMessageA("HalvestaRemoteUserMessage");

  WNDCLASSEXA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_REMOTE));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);  // never painted
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&windowClass)) return -1;

  HWND window =
      CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (!window) return -1;

  int started = Initialise(instance, window);
  if (started < 0) {
    ShowStartupError(nullptr, started);
    DestroyWindow(window);  // takes the tray icon away again
    return -1;
  }
  UpdateWindow(window);  // the window is never shown

  MSG message;
  message.wParam = 0;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) {
      message.wParam = static_cast<WPARAM>(-1);
      break;
    }
    HWND activity = ActivityWindowHandle();  // modeless: its keyboard interface
    if (activity && IsDialogMessageA(activity, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Shutdown();
  ShellStartAgain(instance);
  return static_cast<int>(message.wParam);
}

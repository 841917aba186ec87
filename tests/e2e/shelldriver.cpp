// Drives and watches remote.exe from another process, for tests/e2e/shell_e2e.sh. One command per run;
// the result goes to standard output, and the exit code is 0 when the command's expectation held.
//
//   launch <exe> <folder> <seconds> [arguments]
//                                    start the program in that current folder, print "pid N", wait for
//                                    its end and print "exit N" (unsigned), or "still running"
//   window <ms> [pid]                wait for the main window; print its title, visibility and pid
//   no-window <ms>                   succeed when no main window appears within ms
//   messagebox <ms> [caption] [id]   wait for the "OVRA Remote Error" box (or the one with that
//                                    caption), print its text (line breaks as "|"), buttons and
//                                    icons, press OK (or the button with that id: 6 Yes, 7 No)
//   no-messagebox <ms>               succeed when no such box appears within ms
//   icon <ms> [pid]                  succeed when the tray holds the main window's icon (uID 1)
//   tray-icons <count> <ms>          wait until the notification area shows that many icons; print
//                                    the count (Wine's own tray window: one child window per icon)
//   icon-time <ms>                   wait (looking every 2 ms) until the notification area shows an
//                                    icon; print "icon at T", T the Unix time in ms (for tools/bench.sh)
//   command <id> | close             post WM_COMMAND id, or send WM_CLOSE, to the main window
//   exit-timed <ms>                  send WM_COMMAND 100 (Exit) to the main window as the installer
//                                    does, wait for the program's end; print "exit N after T ms"
//                                    or "still running after T ms"
//   foreground                       print the foreground window's process id, class and title
//   icon-delete                      remove the main window's tray icon, as a shell that ended would
//   taskbar-created                  broadcast "TaskbarCreated", as a shell that started does
//   tray <mouse message> ...         post the tray callback message with each lParam in turn
//   power <event> ...                send WM_POWERBROADCAST with each event in turn (4 suspend,
//                                    18 resume automatic, 7 resume suspend) to the main window
//   mutex                            print whether the single-instance mutex exists
//   dialog <ms> [pid]                wait for a dialog of the program other than the message box
//   no-dialog <ms> [pid]             succeed when no such dialog appears within ms
//   dialog-close <pid>               cancel that dialog and wait until it is gone
//   language <code> | --no-value | --no-key
//                                    set or remove the "Language" value, or remove the whole key
//   cursor <x> <y>                   put the mouse cursor there
//   menu <ms>                        wait for an open popup menu; print its rectangle
//   no-menu <ms>                     succeed when no popup menu is open (or it closes within ms)
//   click <x> <y>                    press and release the left mouse button there
//   key <virtual key>                press and release a key
//   wait-title <title> <ms>          wait for a top-level window with exactly this title
//   text <title>                     print the text of that window's first Edit control (Notepad's text)
//   dialogs <pid>                    print how many dialogs (other than the message box) that process shows
//   item <title> <id>                print a control of the dialog with that title:
//                                    "text '...' enabled 1 visible 1 checked 0"
//   wait-item <title> <id> <ms> <s>  wait until that line contains the text s; print the last line
//   press <title> <id>               post BM_CLICK to a control of that dialog (a button, radio, check box)
//   list <title> <id>                print a drop-down list of that dialog: "items 'COM7 COM9' shown 'COM7'"
//   choose <title> <id> <text>       show the list's item with that text and tell the dialog, as a user's
//                                    choice does
//   gone <title> <ms>                succeed when no window with that title is left (or it goes within ms)
//   clipboard                        print the clipboard's text (CF_TEXT)
//   hotkey <title> <id> <vk> <mods>  set a hotkey control of that dialog (HKM_SETHOTKEY) and tell the
//                                    dialog, as a user's keys do
//   set-text <title> <id> <text>     put text into an edit control of that dialog, as typing does
//   size <title> <width> <height>    resize that top-level window, as a drag of its frame does
//   osd <ms> <0|1>                   wait until the on-screen display is hidden (0) or shown (1); print
//                                    "osd visible 1 text '...' at X Y W H" (its text in UTF-8)
//   watch <title> <id> <ms>          print "watching", then poll the control every few ms and print
//                                    "shown after N ms" once it is visible, or "never shown"
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char kClass[] = "HalvestaRemoteTBClass";
static const char kCaption[] = "OVRA Remote Error";

struct Found {
  const char* className;  // or null: any
  const char* title;      // or null: any
  DWORD pid;              // or 0: any
  HWND window;
};

static BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
  Found* find = reinterpret_cast<Found*>(data);
  char name[256] = "", title[256] = "";
  GetClassNameA(window, name, sizeof name);
  GetWindowTextA(window, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (find->className && strcmp(name, find->className) != 0) return TRUE;
  if (find->title) {  // a title ending in '*' is matched by its beginning
    size_t n = strlen(find->title);
    bool prefix = n > 0 && find->title[n - 1] == '*';
    if (prefix ? strncmp(title, find->title, n - 1) != 0 : strcmp(title, find->title) != 0) return TRUE;
  }
  if (find->pid && pid != find->pid) return TRUE;
  find->window = window;
  return FALSE;
}

static HWND FindTop(const char* className, const char* title, DWORD pid) {
  Found find = {className, title, pid, nullptr};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&find));
  return find.window;
}

// Polls for the window for up to ms milliseconds.
static HWND WaitTop(const char* className, const char* title, DWORD pid, int ms) {
  for (int waited = 0;; waited += 50) {
    HWND window = FindTop(className, title, pid);
    if (window || waited >= ms) return window;
    Sleep(50);
  }
}

static bool IconPresent(HWND window) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = window;
  icon.uID = 1;
  return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

static BOOL CALLBACK CountTrayIcon(HWND child, LPARAM data) {
  char name[64] = "";
  GetClassNameA(child, name, sizeof name);
  if (strcmp(name, "__winex11_tray_icon") == 0) ++*reinterpret_cast<int*>(data);
  return TRUE;
}

static int TrayIconCount() {
  int count = 0;
  if (HWND tray = FindTop("__winex11_standalone_tray", nullptr, 0))
    EnumChildWindows(tray, CountTrayIcon, reinterpret_cast<LPARAM>(&count));
  return count;
}

static int TrayIcons(int expected, int ms) {
  int count = TrayIconCount();
  for (int waited = 0; count != expected && waited < ms; waited += 100) {
    Sleep(100);
    count = TrayIconCount();
  }
  printf("tray icons %d\n", count);
  return count == expected ? 0 : 1;
}

static int IconTime(int ms) {
  for (int waited = 0; TrayIconCount() == 0; waited += 2) {
    if (waited >= ms) {
      printf("no icon\n");
      return 1;
    }
    Sleep(2);
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG t = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  printf("icon at %s\n", std::to_string((t - 116444736000000000ULL) / 10000).c_str());
  return 0;
}

static int Launch(const char* exe, const char* folder, int seconds, const char* arguments) {
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION process;
  std::string line = std::string("\"") + exe + "\"";
  if (arguments) line += std::string(" ") + arguments;
  if (!CreateProcessA(exe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &start, &process)) {
    printf("cannot start %s: error %lu\n", exe, GetLastError());
    return 1;
  }
  printf("pid %lu\n", process.dwProcessId);
  fflush(stdout);
  if (WaitForSingleObject(process.hProcess, seconds * 1000) != WAIT_OBJECT_0) {
    printf("still running\n");
    return 1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  printf("exit %lu\n", code);
  return 0;
}

static int Window(int ms, DWORD pid) {
  HWND window = WaitTop(kClass, nullptr, pid, ms);
  if (!window) {
    printf("no window\n");
    return 1;
  }
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  printf("window %p title '%s' visible %d pid %lu\n", static_cast<void*>(window), title,
         IsWindowVisible(window) ? 1 : 0, owner);
  return 0;
}

struct BoxParts {
  std::string text;
  int buttons, icons;
};

static BOOL CALLBACK ReadBoxChild(HWND child, LPARAM data) {
  BoxParts* parts = reinterpret_cast<BoxParts*>(data);
  char name[64] = "", text[8192] = "";
  GetClassNameA(child, name, sizeof name);
  GetWindowTextA(child, text, sizeof text);
  // Line ends as "|" (the text module's formatter makes "\r\n" of "\n").
  char* to = text;
  for (char* c = text; *c; c++) {
    if (*c != '\r') *to++ = *c == '\n' ? '|' : *c;
  }
  *to = '\0';
  LONG style = GetWindowLongA(child, GWL_STYLE);
  if (_stricmp(name, "Button") == 0 && IsWindowVisible(child)) parts->buttons++;
  if (_stricmp(name, "Static") == 0) {
    if ((style & SS_TYPEMASK) == SS_ICON) {
      if (IsWindowVisible(child) && SendMessageA(child, STM_GETICON, 0, 0)) parts->icons++;
    } else if (text[0]) {
      parts->text = text;
    }
  }
  return TRUE;
}

static int MessageBoxCheck(int ms, const char* caption, int button) {
  HWND box = WaitTop("#32770", caption, 0, ms);
  if (!box) {
    printf("no message box\n");
    return 1;
  }
  Sleep(200);  // let the box finish laying itself out
  BoxParts parts = {"", 0, 0};
  EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&parts));
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  printf("text '%s' buttons %d icons %d pid %lu\n", parts.text.c_str(), parts.buttons, parts.icons, pid);
  HWND ok = GetDlgItem(box, button);
  if (ok)
    PostMessageA(ok, BM_CLICK, 0, 0);
  else
    PostMessageA(box, WM_COMMAND, WPARAM(button), 0);
  return 0;
}

static int Mutex() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "HALVESTA_SYSTEMS_Remote_MUTEX");
  printf("mutex %s\n", mutex ? "present" : "absent");
  if (mutex) CloseHandle(mutex);
  return 0;
}

static int Language(const char* code) {
  if (strcmp(code, "--no-key") == 0) {
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Halvesta Systems\\Tessil OVRA");
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : 1;
  }
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Halvesta Systems\\Tessil OVRA", 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    printf("cannot open the key\n");
    return 1;
  }
  LONG result = strcmp(code, "--no-value") == 0
                    ? RegDeleteValueA(key, "Language")
                    : RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(code),
                                     static_cast<DWORD>(strlen(code) + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

struct DialogSearch {
  DWORD pid;
  HWND found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(data);
  char name[64] = "", title[256] = "";
  GetClassNameA(window, name, sizeof name);
  GetWindowTextA(window, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (strcmp(name, "#32770") != 0 || strcmp(title, kCaption) == 0) return TRUE;
  if (search->pid && pid != search->pid) return TRUE;
  search->found = window;
  return FALSE;
}

static HWND WaitDialog(int ms, DWORD pid) {
  for (int waited = 0;; waited += 50) {
    DialogSearch search = {pid, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found || waited >= ms) return search.found;
    Sleep(50);
  }
}

static int Dialog(int ms, DWORD pid) {
  HWND dialog = WaitDialog(ms, pid);
  if (!dialog) {
    printf("no dialog\n");
    return 1;
  }
  // A modeless dialog exists a moment before it is shown: give it that moment.
  for (int waited = 0; !IsWindowVisible(dialog) && IsWindow(dialog) && waited < 2000; waited += 50) Sleep(50);
  char title[256] = "";
  GetWindowTextA(dialog, title, sizeof title);
  printf("dialog '%s' visible %d\n", title, IsWindowVisible(dialog) ? 1 : 0);
  return 0;
}

static int DialogClose(DWORD pid) {
  HWND dialog = WaitDialog(0, pid);
  if (!dialog) {
    printf("no dialog\n");
    return 1;
  }
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  for (int waited = 0; IsWindow(dialog); waited += 50) {
    if (waited >= 10000) {
      printf("dialog still open\n");
      return 1;
    }
    Sleep(50);
  }
  printf("dialog closed\n");
  return 0;
}

static HWND OpenMenu() {
  HWND menu = FindTop("#32768", nullptr, 0);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

static int Menu(int ms) {
  for (int waited = 0;; waited += 50) {
    if (HWND menu = OpenMenu()) {
      RECT rect;
      GetWindowRect(menu, &rect);
      printf("menu at %ld %ld size %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
             rect.bottom - rect.top);
      return 0;
    }
    if (waited >= ms) break;
    Sleep(50);
  }
  printf("no menu\n");
  return 1;
}

static void Input(INPUT* inputs, UINT count) {
  if (SendInput(count, inputs, sizeof(INPUT)) != count) printf("SendInput failed: %lu\n", GetLastError());
}

static int Click(int x, int y) {
  SetCursorPos(x, y);
  Sleep(100);
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Input(&inputs[0], 1);
  Sleep(100);
  Input(&inputs[1], 1);
  return 0;
}

static int Key(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  Input(inputs, 2);
  return 0;
}

struct DialogCount {
  DWORD pid;
  int count;
};

static BOOL CALLBACK CountDialog(HWND window, LPARAM data) {
  DialogCount* search = reinterpret_cast<DialogCount*>(data);
  char name[64] = "", title[256] = "";
  GetClassNameA(window, name, sizeof name);
  GetWindowTextA(window, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (strcmp(name, "#32770") == 0 && strcmp(title, kCaption) != 0 && pid == search->pid &&
      IsWindowVisible(window))
    search->count++;
  return TRUE;
}

static HWND DialogItem(const char* title, int id) {
  HWND dialog = FindTop("#32770", title, 0);
  return dialog ? GetDlgItem(dialog, id) : nullptr;
}

// "text '...' enabled 1 visible 1 checked 0" for a control of a dialog of another process.
static std::string ItemState(const char* title, int id) {
  HWND item = DialogItem(title, id);
  if (!item) return "no control";
  char text[256] = "";
  DWORD_PTR checked = 0, length = 0;
  SendMessageTimeoutA(item, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &length);
  SendMessageTimeoutA(item, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &checked);
  char line[400];
  snprintf(line, sizeof line, "text '%s' enabled %d visible %d checked %d", text,
           IsWindowEnabled(item) ? 1 : 0, IsWindowVisible(item) ? 1 : 0, static_cast<int>(checked));
  return line;
}

// Sends a message to a control of another process, giving up after five seconds.
static LRESULT Ask(HWND item, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(item, message, wParam, lParam, SMTO_NORMAL, 5000, &result)) return CB_ERR;
  return static_cast<LRESULT>(result);
}

// The text of a list item of another process. Asked for in UTF-16: Wine hands the ANSI form of
// this message across processes as UTF-16 bytes.
static std::string ListText(HWND list, LRESULT item) {
  wchar_t wide[256] = L"";
  DWORD_PTR result = 0;
  SendMessageTimeoutW(list, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(wide), SMTO_NORMAL, 5000, &result);
  char text[256] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

static int List(const char* title, int id) {
  HWND list = DialogItem(title, id);
  if (!list) {
    printf("no control\n");
    return 1;
  }
  std::string items;
  LRESULT count = Ask(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; i++) items += (i ? " " : "") + ListText(list, i);
  LRESULT current = Ask(list, CB_GETCURSEL, 0, 0);
  std::string shown = current == CB_ERR ? "" : ListText(list, current);
  printf("items '%s' shown '%s'\n", items.c_str(), shown.c_str());
  return 0;
}

static int Choose(const char* title, int id, const char* text) {
  HWND list = DialogItem(title, id);
  LRESULT item = list ? Ask(list, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text)) : CB_ERR;
  if (item == CB_ERR) {
    printf("no item '%s'\n", text);
    return 1;
  }
  Ask(list, CB_SETCURSEL, item, 0);
  return PostMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                      reinterpret_cast<LPARAM>(list))
             ? 0
             : 1;
}

static int WaitItem(const char* title, int id, int ms, const char* expected) {
  std::string state = ItemState(title, id);
  for (int waited = 0; state.find(expected) == std::string::npos && waited < ms; waited += 50) {
    Sleep(50);
    state = ItemState(title, id);
  }
  printf("%s\n", state.c_str());
  return state.find(expected) == std::string::npos ? 1 : 0;
}

static int Watch(const char* title, int id, int ms) {
  HWND item = DialogItem(title, id);
  if (!item) {
    printf("no control\n");
    return 1;
  }
  printf("watching\n");
  fflush(stdout);
  DWORD start = GetTickCount();
  while (GetTickCount() - start < DWORD(ms)) {
    if (IsWindowVisible(item)) {
      printf("shown after %lu ms\n", GetTickCount() - start);
      return 0;
    }
    Sleep(2);
  }
  printf("never shown\n");
  return 1;
}

static int ExitTimed(int ms) {
  HWND window = FindTop(kClass, nullptr, 0);
  DWORD pid = 0;
  if (window) GetWindowThreadProcessId(window, &pid);
  HANDLE process = pid ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid) : nullptr;
  if (!process) {
    printf("no program\n");
    return 1;
  }
  DWORD start = GetTickCount();
  DWORD_PTR ignored;
  SendMessageTimeoutA(window, WM_COMMAND, 100, 0, SMTO_NORMAL, ms, &ignored);
  DWORD spent = GetTickCount() - start;
  DWORD ended = WaitForSingleObject(process, spent < DWORD(ms) ? ms - spent : 0);
  DWORD took = GetTickCount() - start;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (ended != WAIT_OBJECT_0) {
    printf("still running after %lu ms\n", took);
    return 1;
  }
  printf("exit %lu after %lu ms\n", code, took);
  return 0;
}

static int Osd(int ms, int want) {
  HWND window = nullptr;
  bool visible = false;
  for (int waited = 0;; waited += 20) {
    window = FindTop("HalvestaRemoteOsdClass", nullptr, 0);
    visible = window && IsWindowVisible(window);
    if (visible == (want != 0) || waited >= ms) break;
    Sleep(20);
  }
  WCHAR wide[256] = L"";
  char text[768] = "";
  RECT r = {0, 0, 0, 0};
  if (window) {
    GetWindowTextW(window, wide, 256);
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    GetWindowRect(window, &r);
  }
  printf("osd visible %d text '%s' at %ld %ld %ld %ld\n", visible ? 1 : 0, text, r.left, r.top,
         r.right - r.left, r.bottom - r.top);
  return visible == (want != 0) ? 0 : 1;
}

static int Foreground() {
  HWND window = GetForegroundWindow();
  char name[64] = "", title[256] = "";
  DWORD pid = 0;
  if (window) {
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    GetWindowThreadProcessId(window, &pid);
  }
  printf("foreground pid %lu class '%s' title '%s'\n", pid, name, title);
  return window ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string command = argv[1];
  int ms = argc > 2 ? atoi(argv[2]) : 0;
  DWORD pid = argc > 3 ? strtoul(argv[3], nullptr, 10) : 0;
  if (command == "launch" && (argc == 5 || argc == 6))
    return Launch(argv[2], argv[3], atoi(argv[4]), argc == 6 ? argv[5] : nullptr);
  if (command == "window") return Window(ms, pid);
  if (command == "no-window") {
    HWND window = WaitTop(kClass, nullptr, 0, ms);
    printf(window ? "window\n" : "no window\n");
    return window ? 1 : 0;
  }
  if (command == "messagebox")
    return MessageBoxCheck(ms, argc > 3 ? argv[3] : kCaption, argc > 4 ? atoi(argv[4]) : IDOK);
  if (command == "no-messagebox") {
    HWND box = WaitTop("#32770", kCaption, 0, ms);
    printf(box ? "message box\n" : "no message box\n");
    return box ? 1 : 0;
  }
  if (command == "icon") {
    HWND window = WaitTop(kClass, nullptr, pid, ms);
    bool present = window && IconPresent(window);
    printf("icon %s for %p\n", present ? "present" : "absent", static_cast<void*>(window));
    return present ? 0 : 1;
  }
  if (command == "icon-time") return IconTime(ms);
  if (command == "tray-icons" && argc == 4) return TrayIcons(ms, atoi(argv[3]));
  if (command == "command" || command == "close" || command == "tray") {
    HWND window = FindTop(kClass, nullptr, 0);
    if (!window) {
      printf("no window\n");
      return 1;
    }
    if (command == "close") {
      DWORD_PTR result;
      SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result);
      return 0;
    }
    if (command == "tray") {
      UINT message = RegisterWindowMessageA("HalvestaRemoteUserMessage");
      for (int i = 2; i < argc; i++)
        if (!PostMessageA(window, message, 1, atoi(argv[i]))) return 1;
      return 0;
    }
    return PostMessageA(window, WM_COMMAND, ms, 0) ? 0 : 1;
  }
  if (command == "power" && argc >= 3) {
    HWND window = FindTop(kClass, nullptr, 0);
    for (int i = 2; window && i < argc; i++) {
      DWORD_PTR result;
      SendMessageTimeoutA(window, WM_POWERBROADCAST, strtoul(argv[i], nullptr, 10), 0, SMTO_NORMAL, 10000,
                          &result);
    }
    return window ? 0 : 1;
  }
  if (command == "exit-timed") return ExitTimed(ms);
  if (command == "foreground") return Foreground();
  if (command == "osd" && argc == 4) return Osd(ms, atoi(argv[3]));
  if (command == "icon-delete") {
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = FindTop(kClass, nullptr, 0);
    icon.uID = 1;
    return icon.hWnd && Shell_NotifyIconA(NIM_DELETE, &icon) ? 0 : 1;
  }
  if (command == "taskbar-created")
    return PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0) ? 0 : 1;
  if (command == "mutex") return Mutex();
  if (command == "dialog") return Dialog(ms, pid);
  if (command == "no-dialog") return Dialog(ms, pid) == 0 ? 1 : 0;
  if (command == "dialog-close") return DialogClose(static_cast<DWORD>(ms));
  if (command == "language" && argc == 3) return Language(argv[2]);
  if (command == "cursor" && argc == 4) return SetCursorPos(ms, atoi(argv[3])) ? 0 : 1;
  if (command == "menu") return Menu(ms);
  if (command == "no-menu") {
    for (int waited = 0; OpenMenu(); waited += 50) {
      if (waited >= ms) {
        printf("menu open\n");
        return 1;
      }
      Sleep(50);
    }
    printf("no menu\n");
    return 0;
  }
  if (command == "click" && argc == 4) return Click(ms, atoi(argv[3]));
  if (command == "key") return Key(static_cast<WORD>(ms));
  if (command == "wait-title" && argc == 4) return WaitTop(nullptr, argv[2], 0, atoi(argv[3])) ? 0 : 1;
  if (command == "text" && argc == 3) {
    HWND window = FindTop(nullptr, argv[2], 0);
    HWND edit = window ? FindWindowExA(window, nullptr, "Edit", nullptr) : nullptr;
    if (!edit) return 1;
    char text[4096] = "";
    SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    printf("%s\n", text);
    return 0;
  }
  if (command == "dialogs" && argc == 3) {
    DialogCount search = {static_cast<DWORD>(ms), 0};
    EnumWindows(CountDialog, reinterpret_cast<LPARAM>(&search));
    printf("dialogs %d\n", search.count);
    return 0;
  }
  if (command == "item" && argc == 4) {
    printf("%s\n", ItemState(argv[2], atoi(argv[3])).c_str());
    return 0;
  }
  if (command == "wait-item" && argc == 6) return WaitItem(argv[2], atoi(argv[3]), atoi(argv[4]), argv[5]);
  if (command == "clipboard") {
    if (!OpenClipboard(nullptr)) return 1;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (text) fputs(text, stdout);
    if (text) GlobalUnlock(data);
    CloseClipboard();
    return text ? 0 : 1;
  }
  if (command == "hotkey" && argc == 6) {
    HWND item = DialogItem(argv[2], atoi(argv[3]));
    if (!item) return 1;
    SendMessageA(item, HKM_SETHOTKEY, MAKEWORD(atoi(argv[4]), atoi(argv[5])), 0);
    PostMessageA(GetParent(item), WM_COMMAND, MAKEWPARAM(atoi(argv[3]), EN_CHANGE), LPARAM(item));
    return 0;
  }
  if (command == "press" && argc == 4) {
    HWND item = DialogItem(argv[2], atoi(argv[3]));
    return item && PostMessageA(item, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (command == "list" && argc == 4) return List(argv[2], atoi(argv[3]));
  if (command == "choose" && argc == 5) return Choose(argv[2], atoi(argv[3]), argv[4]);
  if (command == "gone" && argc == 4) {
    for (int waited = 0; FindTop(nullptr, argv[2], 0); waited += 50) {
      if (waited >= atoi(argv[3])) {
        printf("still there\n");
        return 1;
      }
      Sleep(50);
    }
    printf("gone\n");
    return 0;
  }
  if (command == "watch" && argc == 5) return Watch(argv[2], atoi(argv[3]), atoi(argv[4]));
  if (command == "set-text" && argc == 5) {
    HWND item = DialogItem(argv[2], atoi(argv[3]));
    return item && SendMessageA(item, WM_SETTEXT, 0, LPARAM(argv[4])) ? 0 : 1;
  }
  if (command == "size" && argc == 5) {
    HWND window = FindTop(nullptr, argv[2], 0);
    return window && SetWindowPos(window, nullptr, 0, 0, atoi(argv[3]), atoi(argv[4]),
                                  SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : 1;
  }
  printf("unknown command\n");
  return 2;
}

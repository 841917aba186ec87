// The keyboard hook thread. Every key typed on the computer waits for a low-level hook, and
// Windows silently removes one that answers too slowly, so the hook runs on a thread that does
// nothing but pump its messages, and decides from memory: the table the dispatch side publishes
// (KeyTakeTable, immutable once published) and what the window in front tells without being
// sent a message (InternalGetWindowText, the class name, its program's file name, remembered per
// process). Tables arrive as thread messages, so the hook callback, the swap and the freeing all run
// on this one thread and need no lock.
//
// Every key that goes down is remembered as taken or passed until it goes up: the repeats and the
// key-up of a taken key are taken with it, and those of a passed key pass, whatever table came in
// between (a window must never see a key-up without its key-down, or the reverse).
//
// Windows removes the hook without telling. A timer sends a probe every check interval: an
// injected key of an unassigned code marked in its extra information, which the hook swallows.
// When the probe has not arrived by the next tick, the hook is put back.
#include "actions/keyhook.h"

#include <mmsystem.h>
#include <stdlib.h>
#include <string.h>

#include "actions/keytable.h"
#include "actions/keytake.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"

enum { kProbeVk = 0x88, kMessageTable = WM_APP + 1 };
static const ULONG_PTR kProbeMark = 0x52454D4Bu;

// Written by the starting and stopping thread while the hook thread does not run.
static HANDLE gThread;
static DWORD gThreadId;
static KeyHookHandler gHandler;
static void* gContext;
static volatile LONG gCheckInterval = 2000;
static volatile LONG gReinstalls;
static volatile LONG gDrop;

// The hook thread's own.
static HHOOK gHook;
static KeyTakeTable* gTable;
static KeyTakeCache gCache;
static BYTE gDown[256];  // 0 up, 1 taken, 2 passed
static bool gProbeSeen;
static DWORD gProgramPid;
static char gProgram[MAX_PATH];

typedef int(WINAPI* InternalTextFn)(HWND window, LPWSTR text, int size);
typedef BOOL(WINAPI* QueryImageNameFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);
static InternalTextFn gInternalText;  // both looked up at the start: older systems lack the second
static QueryImageNameFn gQueryImageName;
enum { kQueryLimited = 0x1000 };  // PROCESS_QUERY_LIMITED_INFORMATION

static LRESULT CALLBACK HookProc(int code, WPARAM message, LPARAM data);

static const char* ProgramOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == gProgramPid) return gProgram;
  gProgramPid = pid;
  gProgram[0] = '\0';
  HANDLE process = gQueryImageName ? OpenProcess(kQueryLimited, FALSE, pid) : nullptr;
  if (!process) return gProgram;
  char path[MAX_PATH];
  DWORD size = sizeof path;
  if (gQueryImageName(process, 0, path, &size)) {
    const char* name = path;
    for (const char* p = path; *p; p++) {
      if (*p == '\\' || *p == '/') name = p + 1;
    }
    lstrcpynA(gProgram, name, sizeof gProgram);
  }
  CloseHandle(process);
  return gProgram;
}

static int Decide(unsigned vk) {
  if (!gTable) return 0;
  HWND front = GetForegroundWindow();
  char title[kKeyTakeTextSize] = "", windowClass[kKeyTakeTextSize] = "";
  if (front) {
    WCHAR wide[kKeyTakeTextSize];
    // Never GetWindowTextA: for a window of this process it sends a message to a thread that
    // may be busy for seconds.
    if (gInternalText && gInternalText(front, wide, kKeyTakeTextSize) > 0) {
      WideCharToMultiByte(CP_ACP, 0, wide, -1, title, sizeof title, nullptr, nullptr);
    }
    GetClassNameA(front, windowClass, sizeof windowClass);
  }
  KeyTakeWindow window = {title, windowClass, front ? ProgramOf(front) : ""};
  return KeyTakeDecideCached(gTable, vk, &window, &gCache);
}

static void Hand(unsigned vk, int phase, DWORD time, int passed = 0) {
  KeyHookEvent event = {vk, phase, KeyTakeName(vk), time, passed};
  gHandler(&event, gContext);
}

static LRESULT CALLBACK HookProc(int code, WPARAM message, LPARAM data) {
  if (code != HC_ACTION) return CallNextHookEx(nullptr, code, message, data);
  const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
  if (key->vkCode == kProbeVk && key->dwExtraInfo == kProbeMark && (key->flags & LLKHF_INJECTED)) {
    gProbeSeen = true;
    return 1;
  }
  // A key a program sent (this one's lines included) is never the remote's: it passes, and leaves
  // what a held key of the remote is untouched (a line that sends the very key that is held must
  // neither be taken as its repeat nor end its press).
  if (key->flags & LLKHF_INJECTED) return CallNextHookEx(nullptr, code, message, data);
  unsigned vk = key->vkCode & 0xFF;
  bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
  if (up) {
    BYTE was = gDown[vk];
    gDown[vk] = 0;
    if (was == 1) {
      Hand(vk, kKeyHookUp, key->time);
      return 1;
    }
    if (was == 2) Hand(vk, kKeyHookUp, key->time, 1);
  } else if (gDown[vk] == 1) {
    Hand(vk, kKeyHookRepeat, key->time);
    return 1;
  } else if (gDown[vk] == 0 && KeyTakeAllowed(key->vkCode, key->flags)) {
    if (Decide(vk)) {
      gDown[vk] = 1;
      Hand(vk, kKeyHookDown, key->time);
      return 1;
    }
    gDown[vk] = 2;
    Hand(vk, kKeyHookDown, key->time, 1);  // for the Activity window, which teaches it from there
  }
  return CallNextHookEx(nullptr, code, message, data);
}

static void SendProbe() {
  INPUT probe[2] = {};
  for (int i = 0; i < 2; i++) {
    probe[i].type = INPUT_KEYBOARD;
    probe[i].ki.wVk = kProbeVk;
    probe[i].ki.dwExtraInfo = kProbeMark;
  }
  probe[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, probe, sizeof(INPUT));
}

static void Check() {
  if (InterlockedExchange(&gDrop, 0) && gHook) {
    UnhookWindowsHookEx(gHook);  // as Windows does: the handle stays, the hook is gone
  }
  if (!gProbeSeen) {
    if (gHook) UnhookWindowsHookEx(gHook);
    gHook = SetWindowsHookExA(WH_KEYBOARD_LL, HookProc, GetModuleHandleA(nullptr), 0);
    InterlockedIncrement(&gReinstalls);
  }
  gProbeSeen = false;
  SendProbe();
}

struct StartState {
  HANDLE ready;
  int result;
};

static DWORD WINAPI HookThread(LPVOID argument) {
  StartState* start = static_cast<StartState*>(argument);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the message queue, before anyone posts
  gHook = SetWindowsHookExA(WH_KEYBOARD_LL, HookProc, GetModuleHandleA(nullptr), 0);
  start->result = gHook ? 0 : -1;
  SetEvent(start->ready);  // *start is gone after this
  if (!gHook) return 1;
  gProbeSeen = true;
  UINT_PTR timer = SetTimer(nullptr, 0, UINT(gCheckInterval), nullptr);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == kMessageTable) {
      KeyTakeTableFree(gTable);
      gTable = reinterpret_cast<KeyTakeTable*>(msg.lParam);
      gCache.table = nullptr;  // a new table may sit where the old one was
    } else if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
      Check();
    } else {
      DispatchMessageA(&msg);
    }
  }
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(gHook);
  gHook = nullptr;
  while (PeekMessageA(&msg, nullptr, kMessageTable, kMessageTable, PM_REMOVE)) {
    KeyTakeTableFree(reinterpret_cast<KeyTakeTable*>(msg.lParam));
  }
  KeyTakeTableFree(gTable);
  gTable = nullptr;
  return 0;
}

int KeyHookStart(KeyHookHandler handler, void* context) {
  if (gThread || !handler) return -1;
  gInternalText = reinterpret_cast<InternalTextFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "InternalGetWindowText")));
  gQueryImageName = reinterpret_cast<QueryImageNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
  gHandler = handler;
  gContext = context;
  gReinstalls = 0;
  ZeroMemory(gDown, sizeof gDown);
  gProgramPid = 0;
  gCache.table = nullptr;
  StartState start = {CreateEventA(nullptr, TRUE, FALSE, nullptr), -1};
  if (!start.ready) return -1;
  gThread = CreateThread(nullptr, 0, HookThread, &start, 0, &gThreadId);
  if (gThread) WaitForSingleObject(start.ready, INFINITE);
  CloseHandle(start.ready);
  if (!gThread) return -1;
  if (start.result < 0) {
    WaitForSingleObject(gThread, INFINITE);
    CloseHandle(gThread);
    gThread = nullptr;
    return -1;
  }
  // Above the dispatch thread: every key typed on the computer waits for this thread's answer.
  SetThreadPriority(gThread, THREAD_PRIORITY_TIME_CRITICAL);
  return 0;
}

int KeyHookPublish(KeyTakeTable* table) {
  if (gThread && PostThreadMessageA(gThreadId, kMessageTable, 0, reinterpret_cast<LPARAM>(table))) return 0;
  KeyTakeTableFree(table);
  return -1;
}

int KeyHookStop(DWORD limitMs) {
  if (!gThread) return 0;
  PostThreadMessageA(gThreadId, WM_QUIT, 0, 0);
  if (WaitForSingleObject(gThread, limitMs) != WAIT_OBJECT_0) return -1;
  CloseHandle(gThread);
  gThread = nullptr;
  return 0;
}

LONG KeyHookReinstalls() {
  return gReinstalls;
}

void KeyHookSetCheckInterval(DWORD ms) {
  gCheckInterval = ms ? LONG(ms) : 2000;
}

void KeyHookDropForTest() {
  InterlockedExchange(&gDrop, 1);
}

// --- Following the profile --------------------------------------------------------------------
// The table must follow an edit before any key is pressed: the key the edit names is passed to the
// window in front until the table names it, so no press would ever reach the dispatch thread,
// which reads the profile anew only for the presses it gets. A thread of its own sleeps on a change
// notification of the profile's folder (nothing polls: the idle program stays at no processor time)
// and rebuilds when the file's size or times changed, or when the last read came so soon after a
// write that a second write of the same size and time could have followed unseen. It alone starts
// and stops the hook, so the hook's own start and stop never race.

// Written before the thread starts, or by the main thread while it does not run.
static HANDLE gFollowThread, gFollowQuit, gFollowKick;
static KeyHookHandler gFollowHandler;
static void* gFollowContext;
static HWND gNotifyWindow;
static UINT gNotifyMessage;
static volatile LONG gBuilds;

// The following thread's own.
struct Followed {
  char path[MAX_PATH];
  WIN32_FILE_ATTRIBUTE_DATA stamp;
  bool known, racy;
  int wants;  // -1 before the first build
};

enum { kFollowRacyMs = 2000, kFollowPollMs = 2000, kFollowStopMs = 1000 };

static bool SameStamp(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
  return a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
         CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0 &&
         CompareFileTime(&a.ftCreationTime, &b.ftCreationTime) == 0;
}

static void Build(Followed* f) {
  WIN32_FILE_ATTRIBUTE_DATA now;
  bool there = GetFileAttributesExA(f->path, GetFileExInfoStandard, &now) != 0;
  if (f->wants >= 0 && !f->racy && there == f->known && (!there || SameStamp(now, f->stamp))) return;
  f->known = there;
  if (there) f->stamp = now;
  size_t size = 0;
  char* text = there ? ProfileReadText(f->path, &size, nullptr) : nullptr;
  int wants = 0;
  KeyTakeTable* table = text ? KeyTableBuild(text, size, &wants) : nullptr;
  free(text);
  FILETIME clock;
  GetSystemTimeAsFileTime(&clock);
  ULONGLONG written =
      (ULONGLONG(now.ftLastWriteTime.dwHighDateTime) << 32) | now.ftLastWriteTime.dwLowDateTime;
  ULONGLONG at = (ULONGLONG(clock.dwHighDateTime) << 32) | clock.dwLowDateTime;
  f->racy = there && written + kFollowRacyMs * 10000ULL > at;
  InterlockedIncrement(&gBuilds);
  if ((wants & kKeyTableHook) && !gThread && KeyHookStart(gFollowHandler, gFollowContext) < 0)
    wants &= ~kKeyTableHook;
  if (wants & kKeyTableHook) {
    KeyHookPublish(table);
  } else {
    KeyTakeTableFree(table);
    KeyHookStop(kFollowStopMs);
  }
  if (wants != f->wants && gNotifyWindow) PostMessageA(gNotifyWindow, gNotifyMessage, WPARAM(wants), 0);
  f->wants = wants;
}

static HANDLE WatchFolder(const char* path) {
  char folder[MAX_PATH];
  char* name = nullptr;
  if (!GetFullPathNameA(path, sizeof folder, folder, &name) || !name || name == folder)
    return INVALID_HANDLE_VALUE;
  name[0] = '\0';
  return FindFirstChangeNotificationA(
      folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
}

static DWORD WINAPI FollowThread(LPVOID) {
  static Followed f;
  f.wants = -1;
  ProfilePathCopy(f.path, sizeof f.path);
  HANDLE change = WatchFolder(f.path);
  for (;;) {
    Build(&f);
    HANDLE handles[3] = {gFollowQuit, gFollowKick, change};
    bool watching = change != INVALID_HANDLE_VALUE;
    // Without a notification (a folder that cannot be watched) the stamp is looked at now and then.
    DWORD wait = !watching ? DWORD(kFollowPollMs) : f.racy ? DWORD(kFollowRacyMs) : INFINITE;
    DWORD woke = WaitForMultipleObjects(watching ? 3 : 2, handles, FALSE, wait);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
    if (woke == WAIT_OBJECT_0 + 2) FindNextChangeNotification(change);  // before the read: no change lost
    if (woke == WAIT_OBJECT_0 + 1) {
      char path[MAX_PATH];
      ProfilePathCopy(path, sizeof path);
      if (strcmp(path, f.path) != 0) {
        if (watching) FindCloseChangeNotification(change);
        lstrcpynA(f.path, path, sizeof f.path);
        change = WatchFolder(f.path);
      }
      f.racy = true;  // read again whatever the stamp says
    }
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
  if (f.wants > 0 && gNotifyWindow) PostMessageA(gNotifyWindow, gNotifyMessage, 0, 0);
  return KeyHookStop(kFollowStopMs) < 0 ? 1 : 0;
}

void KeyHookNotify(HWND window, UINT message) {
  gNotifyWindow = window;
  gNotifyMessage = message;
}

int KeyHookFollow(KeyHookHandler handler, void* context) {
  if (gFollowThread || !handler) return -1;
  gFollowHandler = handler;
  gFollowContext = context;
  gBuilds = 0;
  gFollowQuit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gFollowKick = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (gFollowQuit && gFollowKick) gFollowThread = CreateThread(nullptr, 0, FollowThread, nullptr, 0, nullptr);
  if (gFollowThread) return 0;
  if (gFollowQuit) CloseHandle(gFollowQuit);
  if (gFollowKick) CloseHandle(gFollowKick);
  gFollowQuit = gFollowKick = nullptr;
  return -1;
}

int KeyHookUnfollow(DWORD limitMs) {
  if (!gFollowThread) return 0;
  SetEvent(gFollowQuit);
  if (WaitForSingleObject(gFollowThread, limitMs) != WAIT_OBJECT_0) return -1;
  CloseHandle(gFollowThread);
  CloseHandle(gFollowQuit);
  CloseHandle(gFollowKick);
  gFollowThread = gFollowQuit = gFollowKick = nullptr;
  return 0;
}

void KeyHookRecheck() {
  if (gFollowKick) SetEvent(gFollowKick);
}

LONG KeyHookBuilds() {
  return gBuilds;
}

void KeyHookQueue(const KeyHookEvent* event, void*) {
  static const uint8_t kSignals[] = {kKeySignalBegin, kKeySignalRepeat, kKeySignalRelease};
  KeyEvent e = {1, 0};
  e.time = timeGetTime();
  e.source = kKeyFromKeyboard;
  e.signal = kSignals[event->phase < 0 || event->phase > 2 ? 0 : event->phase];
  lstrcpynA(e.remote, kKeyTakeRemote, sizeof e.remote);
  lstrcpynA(e.name, event->name ? event->name : "", sizeof e.name);
  e.told = uint8_t(event->passed);
  QueuePut(e);
  SetEvent(gKeyReadyEvent);
}

int KeyHookStartAll() {
  KeyTakeTable* table = KeyTakeTableNew(1);
  uint8_t every[32];
  memset(every, 0xFF, sizeof every);
  if (!table || KeyTakeTableAddKeys(table, kKeyTakeDefault, "", every) < 0 ||
      KeyHookStart(KeyHookQueue, nullptr) < 0) {
    KeyTakeTableFree(table);
    return -1;
  }
  return KeyHookPublish(table);
}

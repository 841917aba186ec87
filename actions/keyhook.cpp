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

#include "actions/keytake.h"

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

static void Hand(unsigned vk, int phase, DWORD time) {
  KeyHookEvent event = {vk, phase, KeyTakeName(vk), time};
  gHandler(&event, gContext);
}

static LRESULT CALLBACK HookProc(int code, WPARAM message, LPARAM data) {
  if (code != HC_ACTION) return CallNextHookEx(nullptr, code, message, data);
  const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
  if (key->vkCode == kProbeVk && key->dwExtraInfo == kProbeMark && (key->flags & LLKHF_INJECTED)) {
    gProbeSeen = true;
    return 1;
  }
  unsigned vk = key->vkCode & 0xFF;
  bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
  if (up) {
    BYTE was = gDown[vk];
    gDown[vk] = 0;
    if (was == 1) {
      Hand(vk, kKeyHookUp, key->time);
      return 1;
    }
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

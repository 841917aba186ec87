// The dispatch thread: for every key event it reads the foreground window's title and looks the
// key up in profiles.ini, held in memory and read again whenever the file has changed, so that
// edits count at the next key press. The window's class and the name of its program are asked for
// (one call, one process query) only when the steps before them found nothing. The line
// found runs on this thread against the foreground window, so COMMAND and CLOSE lines act on
// the window in front; the next event waits in the queue until the action is done.
#include "actions/dispatch.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "actions/integrity.h"
#include "actions/interp.h"
#include "actions/profile.h"
#include "actions/profiletext.h"
#include "common/activitylog.h"
#include "common/process.h"
#include "receiver/keyqueue.h"

ActionHandler gActionHandler = RunActionLineReport;

static const char kDefaultSection[] = "default";
static const char kClassPrefix[] = "class:";
static const char kFrameHost[] = "ApplicationFrameHost.exe";

static void Served(char* served, const char* name) {
  if (served) snprintf(served, kTitleSize, "%s", name);
}

// One lookup. `program` is the program's file name and `windowClass` the window's class; when
// they are null and `window` is given, they are read from the window, each only if the steps before
// it found nothing. The name of the section that served goes into served (kTitleSize bytes, may be
// null), empty when none did.
static int LookupFor(const char* path, const char* title, const char* windowClass, const char* program,
                     HWND window, int code, char* out, char* served) {
  out[0] = '\0';
  Served(served, "");
  if (ProfileRefresh(path) < 0) return 0;
  char key[16];
  snprintf(key, sizeof key, "Key%d", code);

  // A window without a title has no section of its own: an empty section name would read the
  // lines above the file's first section header.
  int found = title[0] ? ProfileGet(title, key, out, kActionLineMax) : 0;
  if (found) {
    if (found > 0) Served(served, title);
    return found;
  }

  char cut[kTitleSize];
  snprintf(cut, sizeof cut, "%s", title);
  if (CutAliasTitle(cut)) {
    char alias[kTitleSize];
    if (ProfileGet(kAliasSection, cut, alias, sizeof alias - 1) == 1) {
      found = ProfileGet(alias, key, out, kActionLineMax);
      if (found) {
        if (found > 0) Served(served, alias);
        return found;
      }
    }
  }

  found = ProfileGetPattern(title, key, out, kActionLineMax, served, served ? kTitleSize : 0);
  if (found) {
    if (found < 0) Served(served, "");
    return found;
  }

  char className[kTitleSize];
  if (!windowClass && window)
    windowClass = GetClassNameA(window, className, sizeof className) > 0 ? className : nullptr;
  if (windowClass && windowClass[0]) {
    char section[kTitleSize + 8];
    snprintf(section, sizeof section, "%s%s", kClassPrefix, windowClass);
    found = ProfileGet(section, key, out, kActionLineMax);
    if (found) {
      if (found > 0) Served(served, section);
      return found;
    }
  }

  char name[MAX_PATH];
  if (!program && window) program = ProfileProgramName(window, name) == 0 ? name : nullptr;
  if (program && program[0]) {
    found = ProfileGet(program, key, out, kActionLineMax);
    if (found) {
      if (found > 0) Served(served, program);
      return found;
    }
  }

  found = ProfileGet(kDefaultSection, key, out, kActionLineMax);
  if (found > 0) Served(served, kDefaultSection);
  if (found) return found;
  out[0] = '\0';
  return 0;
}

// The lookup of the window in front, whose class and program are read from it as needed.
static int Lookup(const char* path, const char* title, const char* program, HWND window, int code, char* out,
                  char* served) {
  return LookupFor(path, title, nullptr, program, window, code, out, served);
}

int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out) {
  return LookupFor(path, title, "", program ? program : "", nullptr, code, out, nullptr);
}

int ProfileLookupServed(const char* path, const char* title, const char* windowClass, const char* program,
                        int code, char* out, char* served) {
  return LookupFor(path, title, windowClass ? windowClass : "", program ? program : "", nullptr, code, out,
                   served);
}

typedef BOOL(WINAPI* QueryImageNameFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);
typedef int(WINAPI* InternalTextFn)(HWND window, LPWSTR text, int size);

// Looked up at run time, once, before main: older Windows versions lack them.
static const QueryImageNameFn queryImageName = reinterpret_cast<QueryImageNameFn>(
    GetProcAddress(GetModuleHandleA("KERNEL32"), "QueryFullProcessImageNameA"));
static const InternalTextFn internalText =
    reinterpret_cast<InternalTextFn>(GetProcAddress(GetModuleHandleA("USER32"), "InternalGetWindowText"));

static DWORD ProgramProcessOf(HWND window) {
  DWORD pid = 0;
  return window && GetWindowThreadProcessId(window, &pid) ? pid : 0;
}

static int ProgramImageName(DWORD pid, char* out) {
  out[0] = '\0';
  if (!queryImageName || !pid) return -1;
  // Limited query rights suffice, also for programs that run as administrator.
  const DWORD kQueryLimitedInformation = 0x1000;
  HANDLE process = OpenProcess(kQueryLimitedInformation, FALSE, pid);
  if (!process) return -1;
  char path[MAX_PATH];
  DWORD size = MAX_PATH;
  BOOL ok = queryImageName(process, 0, path, &size);
  CloseHandle(process);
  if (!ok || size == 0 || size >= MAX_PATH) return -1;
  path[size] = '\0';
  const char* name = path + size;
  while (name > path && name[-1] != '\\' && name[-1] != '/') name--;
  snprintf(out, MAX_PATH, "%s", name);
  return out[0] ? 0 : -1;
}

struct AppSearch {
  DWORD frameProcess;
  HWND found;
};

static BOOL CALLBACK AppSearchChild(HWND child, LPARAM context) {
  AppSearch* search = reinterpret_cast<AppSearch*>(context);
  DWORD pid = gProgramQueries.processOf(child);
  if (pid == 0 || pid == search->frameProcess) return TRUE;
  search->found = child;
  return FALSE;
}

HWND ProfileAppWindow(HWND frame, DWORD frameProcess) {
  AppSearch search = {frameProcess, nullptr};
  EnumChildWindows(frame, AppSearchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

ProgramQueries gProgramQueries = {ProgramProcessOf, ProgramImageName, ProfileAppWindow};

int ProfileProgramName(HWND window, char* out) {
  out[0] = '\0';
  DWORD pid = window ? gProgramQueries.processOf(window) : 0;
  if (!pid || gProgramQueries.imageName(pid, out) < 0) {
    out[0] = '\0';
    return -1;
  }
  // A Store app's window in front belongs to the frame host; the app runs in the process that owns
  // the content window inside the frame.
  if (_stricmp(out, kFrameHost) != 0) return 0;
  HWND app = gProgramQueries.appWindow(window, pid);
  DWORD appPid = app ? gProgramQueries.processOf(app) : 0;
  char name[MAX_PATH];
  if (appPid && appPid != pid && gProgramQueries.imageName(appPid, name) == 0)
    snprintf(out, MAX_PATH, "%s", name);
  return 0;
}

// The title of `window` into out (kTitleSize bytes). GetWindowTextA asks a window of this process
// with a message, which its thread handles only when it pumps; the main thread may at that moment
// be waiting for this thread to end (Exit, Setup). InternalGetWindowText reads the title the window
// manager keeps, for any window and without a message (for other programs' windows that is what
// GetWindowTextA returns too), and saves asking whose window it is.
static void DispatchTitle(HWND window, char* out) {
  out[0] = '\0';
  if (!window) return;
  if (!internalText) {
    DWORD pid = 0;
    if (GetWindowThreadProcessId(window, &pid) && pid != GetCurrentProcessId()) {
      GetWindowTextA(window, out, kTitleSize);
    }
    return;
  }
  WCHAR wide[kTitleSize];
  int length = internalText(window, wide, kTitleSize);
  if (length <= 0) return;
  char ansi[2 * kTitleSize];
  int n = WideCharToMultiByte(CP_ACP, 0, wide, length, ansi, sizeof ansi, nullptr, nullptr);
  if (n <= 0) return;
  if (n > kTitleSize - 1) n = kTitleSize - 1;
  memcpy(out, ansi, size_t(n));
  out[n] = '\0';
}

// Gives the front to `window` (its keys go to the window in front) and waits a little for it.
static void DispatchGiveFront(HWND window) {
  SetForegroundWindow(window);
  for (int i = 0; i < 30 && GetForegroundWindow() != window; i++) Sleep(10);
}

// One key press: the lookup, the action, and its line in the activity log. The program's name is
// asked for here only for a press that acts (before the action, which may close the window); else
// the log keeps the process id, and the main thread reads the name when it shows the line.
static void DispatchEvent(KeyEvent e) {
  ActivityEvent record;
  memset(&record, 0, offsetof(ActivityEvent, title));
  record.time = ActivityNow();
  record.kind = kActivityPress;
  record.code = e.code;
  // The program's own tools in front stand for the window that was in front before them.
  HWND front = GetForegroundWindow();
  HWND window = ProcessPressTarget(front);
  bool standIn = window != front;
  if (!standIn) ProcessFrontNote(front);
  DWORD pid = 0;
  if (window) GetWindowThreadProcessId(window, &pid);
  record.pid = pid;
  DispatchTitle(window, record.title);
  char line[kProfileValueSize] = "";
  int found = standIn && !window
                  ? 0
                  : Lookup(gProfilePath, record.title, nullptr, window, e.code, line, record.section);
  record.program[0] = '\0';
  record.reason[0] = '\0';
  ActivityCopyField(record.line, sizeof record.line, line);
  if (found == 1) {
    // Named now: the action may close the window, and with it the way to its program.
    char program[MAX_PATH];
    if (ProfileProgramName(window, program) == 0)
      ActivityCopyField(record.program, sizeof record.program, program);
    if (standIn) DispatchGiveFront(window);
    const char* argument;
    if (ActionSplitLine(line, &argument) == kActionKeyboard) record.blocked = IntegrityIsHigher(pid);
    ActionReport report;
    memset(&report, 0, sizeof report);
    report.result = kActivityKeysSent;
    gActionHandler(window, line, e.enable, &report);
    record.result = report.result;
    record.detail = report.detail;
    record.sent = report.sent;
    ActivityCopyField(record.reason, sizeof record.reason, report.reason);
  } else {
    record.result = found < 0 ? kActivityTooLong : kActivityNoEntry;
  }
  ActivityLogAdd(&record);
}

DWORD WINAPI DispatchThread(LPVOID arg) {
  const DispatchContext* context = static_cast<const DispatchContext*>(arg);
  HANDLE waits[2] = {context->quit, context->keyReady};  // quit first: it wins when both are set
  for (;;) {
    DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return 0;
    if (woken != WAIT_OBJECT_0 + 1) continue;
    KeyEvent e;
    while (WaitForSingleObject(context->quit, 0) != WAIT_OBJECT_0 && QueueTake(&e)) DispatchEvent(e);
    ActivityLogTell();  // the presses' lines, now that no key waits
  }
}

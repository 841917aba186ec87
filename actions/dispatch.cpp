// The dispatch thread: for every key event it reads the foreground window's title and looks the
// key up in profiles.ini, held in memory and read again whenever the file has changed, so that
// edits count at the next key press. The name of the window's program is asked for (one process
// query) only when neither the title's section nor the alias has the key. The line
// found runs on this thread against the foreground window, so COMMAND and CLOSE lines act on
// the window in front; the next event waits in the queue until the action is done.
#include "actions/dispatch.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "actions/integrity.h"
#include "actions/interp.h"
#include "actions/profile.h"
#include "common/activitylog.h"
#include "common/process.h"
#include "receiver/keyqueue.h"

ActionHandler gActionHandler = RunActionLineReport;

static const char kDefaultSection[] = "default";
static const char kAliasSection[] = "title -";

// Sets served (kTitleSize bytes, may be null) to the name of the section that served.
static int Served(char* served, const char* section, int found) {
  if (served) snprintf(served, kTitleSize, "%s", section);
  return found;
}

// One lookup. `program` is the program's file name; when it is null and `window` is given, the
// name of the window's program is read, only if the steps before it found nothing. `served`
// (kTitleSize bytes, may be null) receives the name of the section that served, empty for none.
static int Lookup(const char* path, const char* title, const char* program, HWND window, int code, char* out,
                  char* served) {
  out[0] = '\0';
  if (served) served[0] = '\0';
  if (ProfileRefresh(path) < 0) return 0;
  char key[16];
  snprintf(key, sizeof key, "Key%d", code);

  // A window without a title has no section of its own: an empty section name would read the
  // lines above the file's first section header.
  int found = title[0] ? ProfileGet(title, key, out, kActionLineMax) : 0;
  if (found) return Served(served, title, found);

  char cut[kTitleSize];
  snprintf(cut, sizeof cut, "%s", title);
  if (CutAliasTitle(cut)) {
    char alias[kTitleSize];
    if (ProfileGet(kAliasSection, cut, alias, sizeof alias - 1) == 1) {
      found = ProfileGet(alias, key, out, kActionLineMax);
      if (found) return Served(served, alias, found);
    }
  }

  char name[MAX_PATH];
  if (!program && window) program = ProfileProgramName(window, name) == 0 ? name : nullptr;
  if (program && program[0]) {
    found = ProfileGet(program, key, out, kActionLineMax);
    if (found) return Served(served, program, found);
  }

  found = ProfileGet(kDefaultSection, key, out, kActionLineMax);
  if (found) return Served(served, kDefaultSection, found);
  out[0] = '\0';
  return 0;
}

int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out) {
  return Lookup(path, title, program ? program : "", nullptr, code, out, nullptr);
}

typedef BOOL(WINAPI* QueryImageNameFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);
typedef int(WINAPI* InternalTextFn)(HWND window, LPWSTR text, int size);

// Looked up at run time, once, before main: older Windows versions lack them.
static const QueryImageNameFn queryImageName = reinterpret_cast<QueryImageNameFn>(
    GetProcAddress(GetModuleHandleA("KERNEL32"), "QueryFullProcessImageNameA"));
static const InternalTextFn internalText =
    reinterpret_cast<InternalTextFn>(GetProcAddress(GetModuleHandleA("USER32"), "InternalGetWindowText"));

int ProfileProgramName(HWND window, char* out) {
  out[0] = '\0';
  DWORD pid = 0;
  if (!queryImageName || !window || !GetWindowThreadProcessId(window, &pid) || !pid) return -1;
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

// One key press: the lookup, the action, and its line in the activity log. The program's name is
// not asked for here when the lookup did not need it: the log keeps the process id, and the main
// thread reads the name when it shows the line.
static void DispatchEvent(KeyEvent e) {
  ActivityEvent record;
  memset(&record, 0, offsetof(ActivityEvent, title));
  record.time = ActivityNow();
  record.kind = kActivityPress;
  record.code = e.code;
  HWND window = GetForegroundWindow();
  DWORD pid = 0;
  if (window) GetWindowThreadProcessId(window, &pid);
  record.pid = pid;
  DispatchTitle(window, record.title);
  char line[kProfileValueSize];
  int found = Lookup(gProfilePath, record.title, nullptr, window, e.code, line, record.section);
  record.program[0] = '\0';
  record.reason[0] = '\0';
  ActivityCopyField(record.line, sizeof record.line, line);
  if (found == 1) {
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

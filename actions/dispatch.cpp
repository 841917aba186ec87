// The dispatch thread: for every key event it reads the foreground window's title and looks the
// key up in profiles.ini, held in memory and read again whenever the file has changed, so that
// edits count at the next key press. The window's class and the name of its program are asked for
// (one call, one process query) only when the steps before them found nothing. The line
// found runs on this thread against the foreground window, so COMMAND and CLOSE lines act on
// the window in front; the next event waits in the queue until the action is done.
#include "actions/dispatch.h"

#include <mmsystem.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "actions/hold.h"
#include "actions/integrity.h"
#include "actions/interp.h"
#include "common/activitylog.h"
#include "common/format.h"
#include "common/process.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "profile/profiletext.h"
#include "receiver/keyqueue.h"
#include "receiver/press.h"

ActionHandler gActionHandler = RunActionLineReport;
PressShowFn gPressShow;
static int pressShown;  // signals of the current press that acted or found nothing

static const char kFrameHost[] = "ApplicationFrameHost.exe";

// The window's class and program, asked of the window by the lookup when it needs them.
static int AskClass(void* context, char* out) {
  return GetClassNameA(static_cast<HWND>(context), out, kTitleSize) > 0 ? 0 : -1;
}

static int AskProgram(void* context, char* out) {
  return ProfileProgramName(static_cast<HWND>(context), out);
}

// The lookup of the window in front, whose class and program are read from it as needed.
static int Lookup(const char* path, const char* title, const char* program, HWND window, int code, char* out,
                  char* served, const char* suffix = "") {
  char key[kProfileKeySize];
  ProfileButtonKey(code, suffix, key);
  ProfileWindowAsk ask = {AskClass, AskProgram, window};
  return ProfileLookupEntry(path, title, nullptr, program, window ? &ask : nullptr, key, out, served);
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
  FormatText(out, MAX_PATH, "%s", name);
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
    FormatText(out, MAX_PATH, "%s", name);
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

// A new record of a press of `code` at the window in front (into *window). The program's own tools
// in front (the Activity window, the Assign dialog) stand for the window that was in front before
// them; null when that is gone.
static void DispatchRecord(ActivityEvent* record, int code, HWND* window) {
  memset(record, 0, offsetof(ActivityEvent, title));
  record->time = ActivityNow();
  record->kind = kActivityPress;
  record->code = code;
  HWND front = GetForegroundWindow();
  *window = ProcessPressTarget(front);
  if (*window == front) ProcessFrontNote(front);
  DWORD pid = 0;
  if (*window) GetWindowThreadProcessId(*window, &pid);
  record->pid = pid;
  DispatchTitle(*window, record->title);
  record->program[0] = '\0';
  record->reason[0] = '\0';
  record->section[0] = '\0';
  record->line[0] = '\0';
}

// Runs the line (found: as the lookup said) and adds the press's line to the activity log. The
// program's name is asked for here for a line that runs, before the action, which may close the
// window; else the log keeps the process id, and the main thread reads the name when it shows it.
static void DispatchRun(ActivityEvent* record, HWND window, const char* line, int found, BYTE enable) {
  ActivityCopyField(record->line, sizeof record->line, line);
  HWND front = GetForegroundWindow();
  bool standIn = front && ProcessPressTarget(front) != front;  // one of the program's tools in front
  if (found == 1 && standIn && !window) found = 0;             // the window behind it is gone
  if (found == 1) {
    char program[MAX_PATH];
    if (ProfileProgramName(window, program) == 0)
      ActivityCopyField(record->program, sizeof record->program, program);
    if (standIn) DispatchGiveFront(window);  // its keys go to the window in front
    const char* argument;
    if (ActionSplitLine(line, &argument) == kActionKeyboard) record->blocked = IntegrityIsHigher(record->pid);
    ActionReport report;
    memset(&report, 0, sizeof report);
    report.result = kActivityKeysSent;
    gActionHandler(window, line, enable, &report);
    record->result = report.result;
    record->detail = report.detail;
    record->sent = report.sent;
    ActivityCopyField(record->reason, sizeof record->reason, report.reason);
  } else {
    record->result = found < 0 ? kActivityTooLong : kActivityNoEntry;
  }
  ActivityLogAdd(record);
  if (gPressShow) gPressShow(record, ++pressShown);
}

// The press followed by its policy (dispatch thread only): the decision between presses and
// repeats, the policy's state, the timings of [default], and the lines found at its first signal.
static PressTracker press = {-1, 0, 0, 0, 0};
static HoldPress hold;
static HoldTimings timings = {
    {kHoldTimingDefaults[0], kHoldTimingDefaults[1], kHoldTimingDefaults[2], kHoldTimingDefaults[3]}};
static struct {
  char line[kProfileValueSize];
  int found;
  char longLine[kProfileValueSize];
  int longFound;
  char section[kActivitySectionSize];
  char longSection[kActivitySectionSize];
  BYTE enable;
  bool followed;  // the current press is followed by its policy (not every signal acting)
  bool ranLong;   // its long line ran
  bool noEntry;   // a press with no entry: its row waits in `row` for the press's signal count
  ActivityEvent row;
} held;

// The timings of [default] as the profile says now: a value missing or out of range gives the default.
static void DispatchReadTimings() {
  char path[MAX_PATH];
  ProfilePathCopy(path, sizeof path);
  if (ProfileRefresh(path) < 0) return;
  for (int i = 0; i < kHoldTimings; i++) {
    char value[32];
    ProfileGet(kProfileDefault, kHoldTimingNames[i], value, sizeof value - 1);
    HoldTimingParse(value, i, &timings.ms[i]);
  }
}

// The row of a press with no entry, once the press has ended: one row with its signal count.
static void DispatchNoEntryEnded() {
  if (!held.noEntry) return;
  held.noEntry = false;
  held.row.detail = long(hold.signals);
  ActivityLogAdd(&held.row);
}

// Carries out what the policy says is due for the followed press: its short or long line against
// the window in front now, and when the press has ended, one line in the activity log with how
// often it acted and how many of its signals did nothing, named after the line that ran.
static int DispatchStep(int step) {
  if (step & (kHoldRunShort | kHoldRunLong)) {
    bool isLong = step & kHoldRunLong;
    ActivityEvent record;
    HWND window;
    DispatchRecord(&record, hold.code, &window);
    FormatText(record.section, sizeof record.section, "%s", isLong ? held.longSection : held.section);
    DispatchRun(&record, window, isLong ? held.longLine : held.line, isLong ? held.longFound : held.found,
                held.enable);
    held.ranLong = held.ranLong || isLong;
  }
  if (step & kHoldEnded) DispatchNoEntryEnded();
  if ((step & kHoldEnded) && HoldSkipped(&hold) > 0 && (held.found == 1 || held.longFound == 1)) {
    ActivityEvent record;
    HWND window;
    DispatchRecord(&record, hold.code, &window);
    FormatText(record.section, sizeof record.section, "%s", held.ranLong ? held.longSection : held.section);
    ActivityCopyField(record.line, sizeof record.line, held.ranLong ? held.longLine : held.line);
    record.result = kActivityRepeatsSkipped;
    record.detail = long(HoldSkipped(&hold));
    record.sent = int(hold.actions);
    ActivityLogAdd(&record);
  }
  return step & (kHoldRunShort | kHoldRunLong);
}

// Begins a press whose line was found in `section` (empty when none was): its policy and its long
// line. Returns kHoldRunShort when its first signal acts now.
static int DispatchBegin(KeyEvent e, const char* title, HWND window, const char* line, int found,
                         const char* section) {
  char key[kProfileKeySize];
  char value[32];
  char byDefault[32];
  ProfileButtonKey(e.code, kProfileHoldSuffix, key);
  if (!section[0] || ProfileGet(section, key, value, sizeof value - 1) != 1) value[0] = '\0';
  ProfileGet(kProfileDefault, kProfileHold, byDefault, sizeof byDefault - 1);
  const char* argument;
  int policy = HoldPolicyFor(value, byDefault, found == 1 ? ActionSplitLine(line, &argument) : kActionNone);
  ProfileButtonKey(e.code, kProfileLongSuffix, key);
  held.longFound = 0;
  held.longLine[0] = '\0';
  held.ranLong = false;
  if (ProfileAnyKey(key)) {
    char path[MAX_PATH];
    ProfilePathCopy(path, sizeof path);
    held.longFound =
        Lookup(path, title, nullptr, window, e.code, held.longLine, held.longSection, kProfileLongSuffix);
  }
  if (found == 0 && held.longFound == 0) policy = kHoldOnce;  // its signals counted into one row
  if (policy != kHoldEvery || held.longFound != 0) {
    FormatText(held.line, sizeof held.line, "%s", line);
    FormatText(held.section, sizeof held.section, "%s", section);
    held.found = found;
    held.enable = e.enable;
  }
  int step = HoldBegin(&hold, e.code, policy, held.longFound != 0, e.time, &timings);
  held.followed = hold.active;
  return step;
}

// The window told of presses held past the long-press time; its message is set before it.
static HWND volatile heldWatcher;
static volatile UINT heldMessage;

void DispatchWatchHeld(HWND window, UINT message) {
  if (window) heldMessage = message;
  InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&heldWatcher), window);
}

// Tells the watching window, once per press, when the press is seen held at or past the long-press
// time, whatever its entries.
static void DispatchTellHeld(KeyEvent e, int kind) {
  static bool told;
  if (kind == kPressNew) told = false;
  HWND watcher = static_cast<HWND>(
      InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&heldWatcher), nullptr, nullptr));
  if (told || !watcher || PressElapsed(press.start, e.time) < timings.ms[kHoldLongPress]) return;
  told = true;
  PostMessageA(watcher, heldMessage, WPARAM(e.code), 0);
}

// One key event: a repeat of a press followed by its policy only counts; any other signal is looked
// up, and a new press asks its policy whether it acts now. What acts is run and logged, one line per
// action.
static void DispatchEvent(KeyEvent e) {
  int kind = PressFeed(&press, e.code, e.time, timings.ms[kHoldRelease]);
  DispatchTellHeld(e, kind);
  // A repeat of a press followed by its policy never acts by itself, also when the policy has seen
  // the press end a moment before this signal, stamped earlier, was taken.
  if (kind == kPressRepeat && held.followed) {
    if (hold.active) HoldRepeat(&hold, e.time);
    return;
  }
  if (kind == kPressNew) {
    DispatchStep(HoldEnd(&hold));
    pressShown = 0;
  }
  ActivityEvent record;
  HWND window;
  DispatchRecord(&record, e.code, &window);
  char line[kProfileValueSize];
  char path[MAX_PATH];
  ProfilePathCopy(path, sizeof path);
  int found = Lookup(path, record.title, nullptr, window, e.code, line, record.section);
  if (kind == kPressNew) {
    int step = DispatchBegin(e, record.title, window, line, found, record.section);
    if (found == 0 && held.longFound == 0) {  // logged when the press ends, with its signal count
      record.result = kActivityNoEntry;
      held.row = record;
      held.noEntry = true;
      return;
    }
    if (!(step & kHoldRunShort)) return;
  }
  DispatchRun(&record, window, line, found, e.enable);
}

DWORD WINAPI DispatchThread(LPVOID arg) {
  const DispatchContext* context = static_cast<const DispatchContext*>(arg);
  HANDLE waits[2] = {context->quit, context->keyReady};  // quit first: it wins when both are set
  PressReset(&press);  // a press held across a receiver stop is not taken up again
  hold = {};
  held.followed = false;
  held.noEntry = false;
  for (;;) {
    // A press followed by its policy may have something due (a repeat, a long press, the short line
    // at the release) before the next key comes.
    DWORD woken = WaitForMultipleObjects(2, waits, FALSE, HoldWaitMs(&hold, timeGetTime(), &timings));
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
      DispatchNoEntryEnded();  // a press with no entry still held is logged all the same
      ActivityLogTell();
      ProfileCopyFree();  // this thread's copy of the profile
      return 0;
    }
    if (woken == WAIT_OBJECT_0 + 1) {
      DispatchReadTimings();
      KeyEvent e;
      while (WaitForSingleObject(context->quit, 0) != WAIT_OBJECT_0 && QueueTake(&e)) DispatchEvent(e);
    }
    // Only now that every signal that came is counted: what is due acts once, however many repeats
    // came while the last action ran.
    if (WaitForSingleObject(context->quit, 0) != WAIT_OBJECT_0)
      DispatchStep(HoldTick(&hold, timeGetTime(), &timings));
    ActivityLogTell();  // the presses' lines, now that no key waits
  }
}

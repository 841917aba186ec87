// The dispatch thread: it looks up and runs. Every key event goes to the press module
// (actions/press.h), which says what is due: a new press is looked up for the window in front (its
// title, then its class and program, asked for only when the steps before them found nothing) and
// its policy read, a signal acting as received is looked up and run, and what the policy makes due
// later (a repeat, a long press, the short line at the release) runs the lines found at the
// press's first signal. The profile is held in memory and read again whenever the file has changed,
// so that edits count at the next key press; what depends only on its content (the timings, hold=,
// which buttons have .hold and .long entries) is kept beside it and read again when the copy
// changed (ProfileGeneration), so that a key press costs one look at the file, one lookup and the
// action. The line runs on this thread against the foreground window, so COMMAND and CLOSE lines
// act on the window in front; the next event waits in the queue until the action is done.
#include "actions/dispatch.h"

#include <mmsystem.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "actions/integrity.h"
#include "actions/interp.h"
#include "actions/press.h"
#include "common/activitylog.h"
#include "common/format.h"
#include "common/process.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "profile/profiletext.h"
#include "receiver/keyqueue.h"

ActionHandler gActionHandler = RunActionLineReport;
PressShowFn gPressShow;
static int pressShown;  // signals of the current press that acted or found nothing

static const char kFrameHost[] = "ApplicationFrameHost.exe";

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

// The program of the window in front, asked of the system (a process opened and queried) once per
// window: kept while the same window of the same process is in front. Dispatch thread only.
static struct {
  HWND window;
  DWORD pid;
  int result;
  char name[MAX_PATH];
} programSeen;

static int DispatchProgramName(HWND window, DWORD pid, char* out) {
  if (!window || window != programSeen.window || pid != programSeen.pid) {
    programSeen.result = ProfileProgramName(window, programSeen.name);
    programSeen.window = window;
    programSeen.pid = pid;
  }
  FormatText(out, MAX_PATH, "%s", programSeen.name);
  return programSeen.result;
}

// The window in front as the lookup asks it for its class and program.
struct DispatchFront {
  HWND window;
  DWORD pid;
};

static int AskClass(void* context, char* out) {
  return GetClassNameA(static_cast<DispatchFront*>(context)->window, out, kTitleSize) > 0 ? 0 : -1;
}

static int AskProgram(void* context, char* out) {
  const DispatchFront* front = static_cast<DispatchFront*>(context);
  return DispatchProgramName(front->window, front->pid, out);
}

static bool Named(const PressButton* b) {
  return b->source != kKeyFromSerial;
}

// The entry names of button b with `suffix`, as ProfileButtonKeys gives them. Returns their count.
static int ButtonKeys(const PressButton* b, const char* suffix,
                      char names[kProfileButtonKeys][kProfileKeySize], const char* keys[kProfileButtonKeys]) {
  int count = ProfileButtonKeys(Named(b) ? -1 : b->code, b->remote, b->name, suffix, names);
  for (int i = 0; i < count; i++) keys[i] = names[i];
  return count;
}

// The lookup of button b's entry with `suffix` for the window in front.
static int Lookup(const char* title, const DispatchFront* front, const PressButton* b, const char* suffix,
                  char* out, char* served) {
  char names[kProfileButtonKeys][kProfileKeySize];
  const char* keys[kProfileButtonKeys];
  int count = ButtonKeys(b, suffix, names, keys);
  out[0] = '\0';
  served[0] = '\0';
  if (count == 0) return 0;
  char path[MAX_PATH];
  ProfilePathCopy(path, sizeof path);
  ProfileWindowAsk ask = {AskClass, AskProgram, const_cast<DispatchFront*>(front)};
  return ProfileLookupKeys(path, title, nullptr, nullptr, front->window ? &ask : nullptr, keys, count, out,
                           served);
}

// What depends only on the profile's content, read again when this thread's copy changed. Dispatch
// thread only.
enum { kEntriesKnown = 1, kEntriesHold = 2, kEntriesLong = 4 };
static struct {
  bool valid;
  unsigned generation;
  PressTimings timings;  // of [default]: a value missing or out of range gives the default
  char byDefault[32];    // [default] hold=
  uint8_t serial[128];   // kEntries* of each serial button
  PressButton named;     // the last named button asked about, and its kEntries*
  uint8_t namedEntries;
} kept;

static void DispatchKeptRead() {
  kept.valid = true;
  kept.generation = ProfileGeneration();
  for (int i = 0; i < kPressTimings; i++) {
    char value[32];
    ProfileGet(kProfileDefault, kPressTimingNames[i], value, sizeof value - 1);
    PressTimingParse(value, i, &kept.timings.ms[i]);
  }
  ProfileGet(kProfileDefault, kProfileHold, kept.byDefault, sizeof kept.byDefault - 1);
  memset(kept.serial, 0, sizeof kept.serial);
  kept.namedEntries = 0;
}

// After a lookup (which looked at the file): the kept values, read again when the copy changed.
static void DispatchKeptCheck() {
  if (!kept.valid || kept.generation != ProfileGeneration()) DispatchKeptRead();
}

// Whether some section holds a .hold or a .long entry of button b (kEntries*).
static int DispatchEntriesOf(const PressButton* b) {
  uint8_t* entries = Named(b) ? &kept.namedEntries : &kept.serial[b->code & 127];
  if (Named(b) && (kept.named.source != b->source || _stricmp(kept.named.remote, b->remote) != 0 ||
                   _stricmp(kept.named.name, b->name) != 0)) {
    kept.named = *b;
    *entries = 0;
  }
  if (*entries & kEntriesKnown) return *entries;
  *entries = kEntriesKnown;
  char names[kProfileButtonKeys][kProfileKeySize];
  const char* keys[kProfileButtonKeys];
  const char* const suffixes[2] = {kProfileHoldSuffix, kProfileLongSuffix};
  for (int s = 0; s < 2; s++) {
    int count = ButtonKeys(b, suffixes[s], names, keys);
    for (int i = 0; i < count; i++) {
      if (ProfileAnyKey(keys[i])) *entries |= s == 0 ? kEntriesHold : kEntriesLong;
    }
  }
  return *entries;
}

// The window in front at the last press, noted (ProcessFrontNote) once the queue is empty.
static HWND frontToNote;

static void DispatchNoteFront() {
  if (frontToNote) ProcessFrontNote(frontToNote);
  frontToNote = nullptr;
}

// A new record of a press of button b at the window in front (into *front). The program's own tools
// in front (the Activity window, the Assign dialog) stand for the window that was in front before
// them (*standIn); null when that is gone. Its time is left for the log to stamp when it is added,
// after the action: the local time costs the key path a time zone look-up, and the action's
// milliseconds do not show in a time of day.
static void DispatchRecord(ActivityEvent* record, const PressButton* b, DispatchFront* front, bool* standIn) {
  memset(record, 0, offsetof(ActivityEvent, title));
  record->kind = kActivityPress;
  record->source = b->source;
  record->code = Named(b) ? -1 : b->code;
  FormatText(record->remote, sizeof record->remote, "%s", b->remote);
  FormatText(record->name, sizeof record->name, "%s", b->name);
  // One question of the window's process for the usual press, another program's window in front; the
  // program's own windows (rare) take the longer way. The window is noted as the last in front once
  // the keys went out (DispatchNoteFront).
  HWND inFront = GetForegroundWindow();
  front->window = inFront;
  front->pid = 0;
  if (inFront) GetWindowThreadProcessId(inFront, &front->pid);
  *standIn = false;
  if (inFront && front->pid == GetCurrentProcessId()) {
    front->window = ProcessPressTarget(inFront);
    *standIn = front->window != inFront;
    front->pid = 0;
    if (front->window && *standIn) GetWindowThreadProcessId(front->window, &front->pid);
    if (!*standIn) front->pid = GetCurrentProcessId();
  } else if (inFront) {
    frontToNote = inFront;
  }
  record->pid = front->pid;
  DispatchTitle(front->window, record->title);
  record->program[0] = '\0';
  record->reason[0] = '\0';
  record->section[0] = '\0';
  record->line[0] = '\0';
}

// Runs the line (found: as the lookup said) and adds the press's line to the activity log. The
// program's name is asked for here for a line that runs, before the action, which may close the
// window; else the log keeps the process id, and the main thread reads the name when it shows it.
static void DispatchRun(ActivityEvent* record, const DispatchFront* front, bool standIn, const char* line,
                        int found, BYTE enable) {
  ActivityCopyField(record->line, sizeof record->line, line);
  if (found == 1 && standIn && !front->window) found = 0;  // the window behind the tool is gone
  if (found == 1) {
    char program[MAX_PATH];
    if (DispatchProgramName(front->window, front->pid, program) == 0)
      ActivityCopyField(record->program, sizeof record->program, program);
    if (standIn) DispatchGiveFront(front->window);  // its keys go to the window in front
    const char* argument;
    if (ActionSplitLine(line, &argument) == kActionKeyboard) record->blocked = IntegrityIsHigher(record->pid);
    ActionReport report;
    memset(&report, 0, sizeof report);
    report.result = kActivityKeysSent;
    gActionHandler(front->window, line, enable, &report);
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

// The press (dispatch thread only), and the lines found at its first signal for what its policy
// makes due later.
static Press press;
static struct {
  PressButton button;
  char line[kProfileValueSize];
  int found;
  char longLine[kProfileValueSize];
  int longFound;
  char section[kActivitySectionSize];
  char longSection[kActivitySectionSize];
  BYTE enable;
  bool ranLong;  // its long line ran
  bool noEntry;  // a press with no entry: its row waits in `row` for the press's signal count
  ActivityEvent row;
} held;

// The row of a press with no entry, once the press has ended: one row with its signal count.
static void DispatchNoEntryEnded(uint32_t signals) {
  if (!held.noEntry) return;
  held.noEntry = false;
  held.row.detail = long(signals);
  ActivityLogAdd(&held.row);
}

// Carries out what the press module says is due for the press followed by its policy: its short
// or long line against the window in front now, and when the press has ended, one line in the
// activity log with how often it acted and how many of its signals did nothing, named after the
// line that ran.
static void DispatchStep(int step) {
  if (step & (kPressRunShort | kPressRunLong)) {
    bool isLong = step & kPressRunLong;
    ActivityEvent record;
    DispatchFront front;
    bool standIn;
    DispatchRecord(&record, &held.button, &front, &standIn);
    FormatText(record.section, sizeof record.section, "%s", isLong ? held.longSection : held.section);
    DispatchRun(&record, &front, standIn, isLong ? held.longLine : held.line,
                isLong ? held.longFound : held.found, held.enable);
    held.ranLong = held.ranLong || isLong;
  }
  if (!(step & kPressEnded)) return;
  DispatchNoEntryEnded(press.endedSignals);
  if (PressSkipped(&press) > 0 && (held.found == 1 || held.longFound == 1)) {
    ActivityEvent record;
    DispatchFront front;
    bool standIn;
    DispatchRecord(&record, &held.button, &front, &standIn);
    FormatText(record.section, sizeof record.section, "%s", held.ranLong ? held.longSection : held.section);
    ActivityCopyField(record.line, sizeof record.line, held.ranLong ? held.longLine : held.line);
    record.result = kActivityRepeatsSkipped;
    record.detail = long(PressSkipped(&press));
    record.sent = int(press.endedActions);
    ActivityLogAdd(&record);
  }
}

// Begins the press whose line was found in `section` (empty when none was): its policy (its .hold
// entry in that section, else hold=, else its kind's) and its long line. Returns kPressRunShort
// when its first signal acts now.
static int DispatchBegin(const char* title, const DispatchFront* front, const char* line, int found,
                         const char* section, BYTE enable) {
  held.button = press.button;
  int entries = DispatchEntriesOf(&press.button);
  char value[32] = "";
  if ((entries & kEntriesHold) && section[0]) {
    char names[kProfileButtonKeys][kProfileKeySize];
    const char* keys[kProfileButtonKeys];
    int count = ButtonKeys(&press.button, kProfileHoldSuffix, names, keys);
    for (int i = 0; i < count && ProfileGet(section, keys[i], value, sizeof value - 1) != 1; i++)
      value[0] = '\0';
  }
  const char* argument;
  int policy =
      PressPolicyFor(value, kept.byDefault, found == 1 ? ActionSplitLine(line, &argument) : kActionNone);
  held.longFound = 0;
  held.longLine[0] = '\0';
  held.longSection[0] = '\0';
  held.ranLong = false;
  if (entries & kEntriesLong)
    held.longFound = Lookup(title, front, &press.button, kProfileLongSuffix, held.longLine, held.longSection);
  if (found == 0 && held.longFound == 0) policy = kPressOnce;  // its signals counted into one row
  if (policy != kPressEvery || held.longFound != 0) {
    FormatText(held.line, sizeof held.line, "%s", line);
    FormatText(held.section, sizeof held.section, "%s", section);
    held.found = found;
    held.enable = enable;
  }
  return PressFollow(&press, policy, held.longFound != 0, &kept.timings);
}

// The window told of presses held past the long-press time; its message is set before it. The
// named buttons it is told of wait in a small ring, each slot under the lock with its number.
static HWND volatile heldWatcher;
static volatile UINT heldMessage;
enum { kHeldSlots = kDispatchHeldKept };
static LONG volatile heldBusy;  // a lock held for a copy of one slot, by either thread
static void HeldLock() {
  while (InterlockedExchange(&heldBusy, 1)) Sleep(0);
}
static void HeldUnlock() {
  InterlockedExchange(&heldBusy, 0);
}
static struct {
  uint32_t number;  // kDispatchHeldNamed + its count; 0 never used
  PressButton button;
} heldRing[kHeldSlots];
static uint32_t heldCount;

void DispatchWatchHeld(HWND window, UINT message) {
  if (window) heldMessage = message;
  InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&heldWatcher), window);
}

int DispatchHeldButton(WPARAM which, PressButton* out) {
  memset(out, 0, sizeof *out);
  if (which < kDispatchHeldNamed) {
    out->source = kKeyFromSerial;
    out->code = uint8_t(which & 127);
    return which < 128 ? 1 : 0;
  }
  HeldLock();
  int kept = 0;
  for (const auto& slot : heldRing) {
    if (slot.number != uint32_t(which)) continue;
    *out = slot.button;
    kept = 1;
  }
  HeldUnlock();
  return kept;
}

// Tells the watching window, once per press, that the press is seen held at or past the long-press
// time, whatever its entries.
static void DispatchTellHeld(const PressButton* b) {
  HWND watcher = static_cast<HWND>(
      InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&heldWatcher), nullptr, nullptr));
  if (!watcher) return;
  WPARAM which = b->code;
  if (Named(b)) {
    HeldLock();
    heldCount = (heldCount + 1) & 0xFFFFFF;
    which = kDispatchHeldNamed + heldCount;
    heldRing[heldCount % kHeldSlots] = {uint32_t(which), *b};
    HeldUnlock();
  }
  PostMessageA(watcher, heldMessage, which, 0);
}

// One key event, as the press module takes it: what the press before it makes due runs first; a
// new press and a signal that acts as received are looked up, and a new press asks its policy
// whether it acts now. What acts is run and logged, one line per action.
static void DispatchEvent(const KeyEvent& e) {
  int steps = PressFeed(&press, &e, &kept.timings);
  if (steps & kPressHeldLong) DispatchTellHeld(&press.button);
  DispatchStep(steps & (kPressRunShort | kPressRunLong | kPressEnded));
  if (!(steps & (kPressBegins | kPressAgain))) return;
  if (steps & kPressBegins) pressShown = 0;
  ActivityEvent record;
  DispatchFront front;
  bool standIn;
  DispatchRecord(&record, &press.button, &front, &standIn);
  if (e.told) {  // the window in front had the key: one row when the press ends, nothing run
    if (!(steps & kPressBegins)) return;
    held.button = press.button;
    held.found = held.longFound = 0;
    record.result = kActivityKeyPassed;
    record.time = ActivityNow();
    held.row = record;
    held.noEntry = true;
    PressFollow(&press, kPressOnce, 0, &kept.timings);
    return;
  }
  char line[kProfileValueSize];
  int found = Lookup(record.title, &front, &press.button, "", line, record.section);
  DispatchKeptCheck();
  if (steps & kPressBegins) {
    int step = DispatchBegin(record.title, &front, line, found, record.section, e.enable);
    if (found == 0 && held.longFound == 0) {  // logged when the press ends, with its signal count
      record.result = kActivityNoEntry;
      record.time = ActivityNow();  // logged when the press has ended: stamped at its start
      held.row = record;
      held.noEntry = true;
      return;
    }
    if (!(step & kPressRunShort)) return;
  }
  DispatchRun(&record, &front, standIn, line, found, e.enable);
}

DWORD WINAPI DispatchThread(LPVOID arg) {
  const DispatchContext* context = static_cast<const DispatchContext*>(arg);
  HANDLE waits[2] = {context->quit, context->keyReady};  // quit first: it wins when both are set
  PressReset(&press);  // a press held across a receiver stop is not taken up again
  held.noEntry = false;
  programSeen.window = nullptr;
  char path[MAX_PATH];
  ProfilePathCopy(path, sizeof path);
  ProfileRefresh(path);
  DispatchKeptRead();
  for (;;) {
    // A press followed by its policy may have something due (a repeat, a long press, the short line
    // at the release) before the next key comes.
    DWORD woken = WaitForMultipleObjects(2, waits, FALSE, PressWaitMs(&press, timeGetTime(), &kept.timings));
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
      DispatchNoEntryEnded(press.signals);  // a press with no entry still held is logged all the same
      ActivityLogTell();
      ProfileCopyFree();  // this thread's copy of the profile
      kept.valid = false;
      return 0;
    }
    // Every signal that came is taken, also after a wait that ended by its time, and only then is
    // what is due asked for: it acts once, however many repeats came while the last action ran,
    // and a signal that came just before the release time repeats the press.
    KeyEvent e;
    while (WaitForSingleObject(context->quit, 0) != WAIT_OBJECT_0 && QueueTake(&e)) DispatchEvent(e);
    if (WaitForSingleObject(context->quit, 0) != WAIT_OBJECT_0)
      DispatchStep(PressTick(&press, timeGetTime(), &kept.timings));
    DispatchNoteFront();
    ActivityLogTell();  // the presses' lines, now that no key waits
  }
}

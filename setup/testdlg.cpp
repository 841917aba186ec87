// The receiver test dialog (dialog 105 of the language module).
//
// While the receivers run in test mode (their reader threads only), an indicator thread waits on the
// key ready and stop events. For every wake-up by a key it tells the dialog that keys are queued,
// then posts the start of a flash, waits 200 ms and posts its end. The dialog takes the keys out of
// the key event queue and does all the showing itself, on its own thread: the flash pair of
// controls shows and the idle pair hides, then the other way round, and the optional key name
// control names the last key ("Key12", or a named button with its remote, "KEY_PLAY (DEMO)"). Keys
// that arrive during a flash leave one pending signal in the auto-reset key ready event, so they
// give exactly one more flash.
//
// The serial receiver's keys are followed as presses (actions/press.h): while a button is held, the
// dialog shows the receiver's pace (signals per second, the gap between them) and whether the
// profile's release time tells its repeats from new presses; a receiver that repeats more slowly
// than the release time shows as a steady stream of new presses of one button. The Set button
// writes the release time that fits. A receiver that names its buttons counts their repeats
// itself: its buttons are named, not timed.
//
// The queue is cleared when the dialog ends: a key pressed to try the receiver must not be acted on
// once the receiver runs normally again. The thread ends on the stop event and on a failed wait,
// which is what a wait on events that do not exist (the test-mode start failed) gives. The stop
// event comes first in its wait, and the flash itself waits on it, so a port that delivers a packet
// more often than a flash lasts cannot keep the thread going once Close was pressed. The thread
// works on its own duplicates of the two events, so the receiver stop that follows the dialog may
// close the originals at any moment. The dialog waits for the thread to end, at most kEndWaitMs,
// before it closes, and ends a flash the thread did not get to end.
#include <stdio.h>

#include "actions/press.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "common/format.h"
#include "common/process.h"
#include "common/text.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/savetext.h"
#include "setup/setup.h"

enum { kFlashMs = 200, kEndWaitMs = 2000 };
enum {
  kMsgTestKeys = WM_APP + 20,   // keys are queued
  kMsgTestFlash = WM_APP + 21,  // wParam: 1 the flash begins, 0 it ends
};

namespace {

// One run of the dialog; main thread only.
struct TestState {
  HANDLE indicatorThread;
  HANDLE stopEvent;  // auto-reset; set by Cancel to end the indicator thread
  bool flashing;
  Press press;
  PressStream stream;  // new presses of one button in a row: a receiver slower than the release time
  uint32_t release;    // the release time in force: the one chosen during this Setup, else the profile's
  uint32_t suggested;  // the release time the last held press would want; 0 none yet
};

}  // namespace

static uint32_t chosenRelease;  // the one "Set release time" chose, saved by Setup's OK; 0 none

unsigned TestReleaseChosen() {
  return chosenRelease;
}

void TestReleaseForget() {
  chosenRelease = 0;
}

static void ShowItem(HWND dialog, int id, int show) {
  ShowWindow(GetDlgItem(dialog, id), show);
}

struct IndicatorArgs {
  HWND dialog;
  HANDLE events[2];  // stop first: it wins when both are set; the thread's own duplicates
};

static void FlashPair(HWND dialog, TestState* state, int show) {
  TestState& test = *state;
  if (test.flashing == bool(show)) return;
  test.flashing = show;
  ShowItem(dialog, show ? IDC_FLASH1 : IDC_IDLE2, SW_SHOW);
  ShowItem(dialog, show ? IDC_FLASH2 : IDC_IDLE1, SW_SHOW);
  ShowItem(dialog, show ? IDC_IDLE2 : IDC_FLASH1, SW_HIDE);
  ShowItem(dialog, show ? IDC_IDLE1 : IDC_FLASH2, SW_HIDE);
}

static DWORD WINAPI IndicatorThread(LPVOID arg) {
  IndicatorArgs* args = static_cast<IndicatorArgs*>(arg);
  HANDLE stop = args->events[0];
  while (WaitForMultipleObjects(2, args->events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    PostMessageA(args->dialog, kMsgTestKeys, 0, 0);
    PostMessageA(args->dialog, kMsgTestFlash, 1, 0);
    DWORD woken = WaitForSingleObject(stop, kFlashMs);
    PostMessageA(args->dialog, kMsgTestFlash, 0, 0);
    if (woken != WAIT_TIMEOUT) break;
  }
  CloseHandle(args->events[0]);
  CloseHandle(args->events[1]);
  HeapFree(GetProcessHeap(), 0, args);
  return 0;
}

// The release time the profile gives now (its default when it gives none that counts).
static uint32_t ProfileRelease() {
  char value[32];
  ProfileReadString(gProfilePath, kProfileDefault, kPressTimingNames[kPressRelease], value, sizeof value - 1);
  uint32_t ms;
  PressTimingParse(value, kPressRelease, &ms);
  return ms;
}

// A steady stream of new presses of one button: a held button whose receiver repeats it more slowly
// than the release time. Offers the release time that fits its pace.
static void OnSlowReceiver(HWND dialog, TestState* state, const PressPace* pace) {
  TestState& test = *state;
  char gap[16], release[16], wanted[16], text[256];
  test.suggested = PressReleaseFor(pace);
  FormatText(gap, sizeof gap, "%u", unsigned(pace->meanGap));
  FormatText(release, sizeof release, "%u", unsigned(test.release));
  FormatText(wanted, sizeof wanted, "%u", unsigned(test.suggested));
  TextFormat(text, sizeof text, IDS_HOLD_PACE_SLOW, {gap, release, wanted});
  SetDlgItemTextA(dialog, IDC_TEST_PACE, text);
  EnableWindow(GetDlgItem(dialog, IDC_TEST_RELEASE), TRUE);
}

// A key taken from the queue: named, and a serial receiver's key followed as a press; from the
// third signal of a held press on, its pace and whether the release time fits it.
static void OnKey(HWND dialog, TestState* state, const KeyEvent* e) {
  TestState& test = *state;
  char text[256];
  if (e->name[0]) {  // a button its receiver names; that receiver counts its repeats itself
    if (e->remote[0]) {
      TextFormat(text, sizeof text, IDS_TEST_NAMED, {e->name, e->remote});
    } else {
      FormatText(text, sizeof text, "%s", e->name);
    }
    SetDlgItemTextA(dialog, IDC_KEYNAME, text);
    return;
  }
  ProfileButtonKey(e->code, "", text);
  SetDlgItemTextA(dialog, IDC_KEYNAME, text);
  PressTimings timings = kPressDefaultTimings;
  timings.ms[kPressRelease] = test.release;
  int steps = PressFeed(&test.press, e, &timings);
  PressStreamFeed(&test.stream, e, steps);
  PressPace pace;
  if (PressStreamSlow(&test.stream, &pace)) {
    OnSlowReceiver(dialog, state, &pace);
    return;
  }
  if (steps & kPressBegins) {  // the last press's pace and verdict are not this one's
    test.suggested = 0;
    SetDlgItemTextA(dialog, IDC_TEST_PACE, "");
    EnableWindow(GetDlgItem(dialog, IDC_TEST_RELEASE), FALSE);
  }
  if (test.press.signals < 3) return;
  pace = PressPaceOf(&test.press);
  char perSecond[16], gap[16], longest[16], release[16], wanted[16];
  FormatText(perSecond, sizeof perSecond, "%u", unsigned(pace.perSecond));
  FormatText(gap, sizeof gap, "%u", unsigned(pace.meanGap));
  FormatText(longest, sizeof longest, "%u", unsigned(pace.longestGap));
  FormatText(release, sizeof release, "%u", unsigned(test.release));
  test.suggested = PressReleaseFor(&pace);
  FormatText(wanted, sizeof wanted, "%u", unsigned(test.suggested));
  char paceText[128], verdict[128];
  TextFormat(paceText, sizeof paceText, IDS_HOLD_PACE, {perSecond, gap, longest});
  bool fits = PressReleaseFits(&pace, test.release);
  TextFormat(verdict, sizeof verdict, fits ? IDS_HOLD_PACE_FITS : IDS_HOLD_PACE_SHORT, {release, wanted});
  FormatText(text, sizeof text, "%s %s", paceText, verdict);
  SetDlgItemTextA(dialog, IDC_TEST_PACE, text);
  EnableWindow(GetDlgItem(dialog, IDC_TEST_RELEASE), !fits);
}

// The Set button: the release time the last held press wants becomes Setup's change, saved with
// its OK.
static void OnSetRelease(HWND dialog, TestState* state) {
  TestState& test = *state;
  if (!test.suggested) return;
  char value[16], text[1280];
  FormatText(value, sizeof value, "%u", unsigned(test.suggested));
  chosenRelease = test.suggested;
  test.release = test.suggested;
  TextFormat(text, sizeof text, IDS_HOLD_RELEASE_SET, {value});
  EnableWindow(GetDlgItem(dialog, IDC_TEST_RELEASE), FALSE);
  SetDlgItemTextA(dialog, IDC_TEST_PACE, text);
}

static HANDLE Duplicate(HANDLE event) {
  HANDLE copy = nullptr;
  if (!event) return nullptr;
  DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  return copy;
}

static HANDLE StartIndicator(HWND dialog, TestState* state) {
  TestState& test = *state;
  IndicatorArgs* args = static_cast<IndicatorArgs*>(HeapAlloc(GetProcessHeap(), 0, sizeof(IndicatorArgs)));
  if (!args) return nullptr;
  if (!test.stopEvent) test.stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  *args = {dialog, {Duplicate(test.stopEvent), Duplicate(gKeyReadyEvent)}};
  HANDLE thread = CreateThread(nullptr, 0, IndicatorThread, args, 0, nullptr);
  if (!thread) {
    if (args->events[0]) CloseHandle(args->events[0]);
    if (args->events[1]) CloseHandle(args->events[1]);
    HeapFree(GetProcessHeap(), 0, args);
  }
  return thread;
}

// Waits for the indicator thread to end, at most kEndWaitMs, handling the messages sent to this
// thread meanwhile, ends a flash it left on, then drops whatever keys are still queued.
static void EndIndicator(HWND dialog, TestState* state) {
  TestState& test = *state;
  HANDLE& indicatorThread = test.indicatorThread;
  if (indicatorThread) {
    DWORD start = GetTickCount();
    for (;;) {
      DWORD waited = GetTickCount() - start;
      if (waited >= kEndWaitMs) break;
      DWORD woken =
          MsgWaitForMultipleObjects(1, &indicatorThread, FALSE, kEndWaitMs - waited, QS_SENDMESSAGE);
      if (woken != WAIT_OBJECT_0 + 1) break;
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(indicatorThread);
    indicatorThread = nullptr;
  }
  if (test.stopEvent) {
    CloseHandle(test.stopEvent);
    test.stopEvent = nullptr;
  }
  FlashPair(dialog, state, 0);
  QueueClear();
}

static INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  TestState* state = reinterpret_cast<TestState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<TestState*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, LONG_PTR(state));
  }
  if (!state) return FALSE;
  TestState& test = *state;
  switch (message) {
    case WM_INITDIALOG:
      ShowItem(dialog, IDC_FLASH1, SW_HIDE);
      ShowItem(dialog, IDC_FLASH2, SW_HIDE);
      test.flashing = false;
      PressReset(&test.press);
      PressStreamReset(&test.stream);
      test.release = chosenRelease ? chosenRelease : ProfileRelease();
      test.suggested = 0;
      EnableWindow(GetDlgItem(dialog, IDC_TEST_RELEASE), FALSE);
      test.indicatorThread = StartIndicator(dialog, state);
      return FALSE;
    case kMsgTestKeys: {
      KeyEvent e;
      while (QueueTake(&e)) OnKey(dialog, state, &e);
      return TRUE;
    }
    case kMsgTestFlash:
      FlashPair(dialog, state, int(wParam));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != 0) return FALSE;
      if (LOWORD(wParam) == IDC_TEST_RELEASE) OnSetRelease(dialog, state);
      if (LOWORD(wParam) != IDCANCEL) return FALSE;
      // Resetting before the stop keeps a key that came during a flash from flashing again.
      ResetEvent(gKeyReadyEvent);
      SetEvent(test.stopEvent);
      EndIndicator(dialog, state);
      EndDialog(dialog, IDCANCEL);
      return FALSE;
    case WM_DESTROY:
      // Closed some other way than by Cancel: stop the thread all the same.
      if (test.indicatorThread && WaitForSingleObject(test.indicatorThread, 0) == WAIT_TIMEOUT)
        SetEvent(test.stopEvent);
      EndIndicator(dialog, state);
      return FALSE;
  }
  return FALSE;
}

INT_PTR TestDialogRun(HMODULE language, HWND owner) {
  TestState state = {};
  return DialogBoxParamA(language, MAKEINTRESOURCEA(IDD_TEST), owner, TestDialogProc, LPARAM(&state));
}

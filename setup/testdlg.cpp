// The receiver test dialog (dialog 105 of the language module).
//
// While the receiver runs in test mode (reader thread only), an indicator thread waits on the key
// ready and stop events and, for every wake-up by a key, flashes the dialog's indicator for 200 ms:
// the flash pair of controls shows, the idle pair hides, then the other way round. Keys that arrive
// during a flash leave one pending signal in the auto-reset key ready event, so they give exactly
// one more flash.
//
// The indicator takes the keys it shows out of the key event queue, and the queue is cleared when
// the dialog ends: a key pressed to try the receiver must not be acted on once the receiver runs
// normally again. The last key taken is named in the optional key name control ("Key12").
//
// The thread ends on the stop event and on a failed wait, which is what a wait on events that do
// not exist (the test-mode start failed) gives. The stop event comes first in its wait, and the
// flash itself waits on it, so a port that delivers a packet more often than a flash lasts cannot
// keep the thread going once Close was pressed. The thread works on its own duplicates of the two
// events, so the receiver stop that follows the dialog may close the originals at any moment.
// The dialog waits for the thread to end, at most kEndWaitMs, before it closes; the thread's
// ShowWindow calls on the dialog's controls are carried out by the main thread, so that wait lets
// the main thread process the messages sent to it meanwhile.
#include <stdio.h>

#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/setup.h"

enum { kFlashMs = 200, kEndWaitMs = 2000 };

// Main thread only.
static HANDLE indicatorThread;
static HANDLE stopEvent;  // auto-reset; set by Cancel to end the indicator thread

static void ShowItem(HWND dialog, int id, int show) {
  ShowWindow(GetDlgItem(dialog, id), show);
}

// Empties the key event queue and names the newest key taken, if any.
static void TakeKeys(HWND dialog) {
  KeyEvent e;
  int last = -1;
  while (QueueTake(&e)) last = e.code;
  if (last < 0) return;
  char name[16];
  snprintf(name, sizeof name, "Key%d", last);
  SetDlgItemTextA(dialog, IDC_KEYNAME, name);
}

struct IndicatorArgs {
  HWND dialog;
  HANDLE events[2];  // stop first: it wins when both are set; the thread's own duplicates
};

static void FlashPair(HWND dialog, int show) {
  ShowItem(dialog, show ? IDC_FLASH1 : IDC_IDLE2, SW_SHOW);
  ShowItem(dialog, show ? IDC_FLASH2 : IDC_IDLE1, SW_SHOW);
  ShowItem(dialog, show ? IDC_IDLE2 : IDC_FLASH1, SW_HIDE);
  ShowItem(dialog, show ? IDC_IDLE1 : IDC_FLASH2, SW_HIDE);
}

static DWORD WINAPI IndicatorThread(LPVOID arg) {
  IndicatorArgs* args = static_cast<IndicatorArgs*>(arg);
  HANDLE stop = args->events[0];
  while (WaitForMultipleObjects(2, args->events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    TakeKeys(args->dialog);
    FlashPair(args->dialog, 1);
    DWORD woken = WaitForSingleObject(stop, kFlashMs);
    FlashPair(args->dialog, 0);
    if (woken != WAIT_TIMEOUT) break;
  }
  CloseHandle(args->events[0]);
  CloseHandle(args->events[1]);
  HeapFree(GetProcessHeap(), 0, args);
  return 0;
}

static HANDLE Duplicate(HANDLE event) {
  HANDLE copy = nullptr;
  if (!event) return nullptr;
  DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  return copy;
}

static HANDLE StartIndicator(HWND dialog) {
  IndicatorArgs* args = static_cast<IndicatorArgs*>(HeapAlloc(GetProcessHeap(), 0, sizeof(IndicatorArgs)));
  if (!args) return nullptr;
  if (!stopEvent) stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  *args = {dialog, {Duplicate(stopEvent), Duplicate(gKeyReadyEvent)}};
  HANDLE thread = CreateThread(nullptr, 0, IndicatorThread, args, 0, nullptr);
  if (!thread) {
    if (args->events[0]) CloseHandle(args->events[0]);
    if (args->events[1]) CloseHandle(args->events[1]);
    HeapFree(GetProcessHeap(), 0, args);
  }
  return thread;
}

// Waits for the indicator thread to end, at most kEndWaitMs, handling the messages it sends
// meanwhile, then drops whatever keys are still queued.
static void EndIndicator() {
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
  if (stopEvent) {
    CloseHandle(stopEvent);
    stopEvent = nullptr;
  }
  QueueClear();
}

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ShowItem(dialog, IDC_FLASH1, SW_HIDE);
      ShowItem(dialog, IDC_FLASH2, SW_HIDE);
      indicatorThread = StartIndicator(dialog);
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) != 0 || LOWORD(wParam) != IDCANCEL) return FALSE;
      // Resetting before the stop keeps a key that came during a flash from flashing again.
      ResetEvent(gKeyReadyEvent);
      SetEvent(stopEvent);
      EndIndicator();
      EndDialog(dialog, IDCANCEL);
      return FALSE;
    case WM_DESTROY:
      // Closed some other way than by Cancel: stop the thread all the same.
      if (indicatorThread && WaitForSingleObject(indicatorThread, 0) == WAIT_TIMEOUT) SetEvent(stopEvent);
      EndIndicator();
      return FALSE;
  }
  return FALSE;
}

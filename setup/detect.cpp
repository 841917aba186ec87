// Port probe and receiver detection.
//
// The receiver answers a raised RTS line by changing its CTS line. Detection therefore opens each
// available port in turn, switches off CTS flow control and RTS handshaking (so that RTS is ours
// to raise and CTS is only watched), asks for a CTS change with an overlapped WaitCommEvent, raises
// RTS and gives the receiver one second. The first port whose wait completes with EV_CTS is the
// receiver's; ports after it are not tried. Everything runs on the main thread inside the dialog's
// command handler, with a repaint after each port so that the status texts move while it searches.
//
// A signalled detection event alone is not taken as an answer: the wait must have completed
// without error and reported EV_CTS. An overlapped wait that fails or is cancelled signals the
// event as well (Wine completes such waits at once with STATUS_CANCELLED), and the event is a
// named one that another process could set. The event is reset before each port's wait, and a
// wait still pending after the time-out is ended with SetCommMask(0) and collected before the
// port is closed, so that no completion of one port can count for the next.
//
// Every wait has a bound. A wait still pending when the answer time is over is ended with
// SetCommMask(0), and, should the driver not end it, with CancelIo. A driver that ends it neither
// way within half a second each has the port skipped: the port is closed, and the wait record with
// its event is left to that driver for good (never reused, never freed: it may still write there)
// while the search goes on with a new record. That costs a few bytes and a handle per such port.
//
// Every port is given back with the settings it had and closed before the next one is opened.
//
// Ports are found by opening them: COM1 to COM256, "\\.\COMn" above COM9. Windows lists its
// ports under HARDWARE\DEVICEMAP\SERIALCOMM and as DOS devices, but Wine fills both only for
// the ports it found when it started, not for a port linked into the prefix later; an open
// works the same on both and is what the probe does for COM1-COM4 anyway. A name that is not a
// port fails at once, so the 256 tries cost milliseconds.
#include "setup/detect.h"

#include <stdio.h>

#include "common/format.h"
#include "common/text.h"
#include "resources/resource_ids.h"
#include "setup/portchoice.h"

const SetupPortApi kSetupPlatformPorts = {CreateFileA,         GetCommState,  SetCommState,
                                          SetCommMask,         WaitCommEvent, EscapeCommFunction,
                                          GetOverlappedResult, CancelIo,      CloseHandle};
SetupPortApi gSetupPorts = kSetupPlatformPorts;

enum { kAnswerMs = 1000, kEndMs = 500 };

SetupWait* SetupWaitNew(const char* eventName) {
  SetupWait* wait = (SetupWait*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SetupWait));
  if (!wait) return nullptr;
  wait->overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, eventName);
  if (!wait->overlapped.hEvent) {
    HeapFree(GetProcessHeap(), 0, wait);
    return nullptr;
  }
  return wait;
}

void SetupWaitFree(SetupWait* wait) {
  if (!wait) return;
  CloseHandle(wait->overlapped.hEvent);
  HeapFree(GetProcessHeap(), 0, wait);
}

static HANDLE OpenPort(int port) {
  char name[16];
  FormatText(name, sizeof name, port > 9 ? "\\\\.\\COM%d" : "COM%d", port);
  return gSetupPorts.open(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                          nullptr);
}

int SetupProbePort(int port) {
  HANDLE h = OpenPort(port);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DCB dcb;
  dcb.DCBlength = sizeof dcb;
  int available = gSetupPorts.getState(h, &dcb) ? 1 : 0;
  gSetupPorts.close(h);
  return available;
}

// Waits up to ms for the pending wait to end. 1 when it has (*ok: without error), 0 when not.
// A signal of the event that is not the wait's own end (the event has a name anyone may open) is
// taken back and the wait goes on.
static int WaitEnded(HANDLE port, SetupWait* wait, DWORD ms, BOOL* ok) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD unused;
    if (gSetupPorts.result(port, &wait->overlapped, &unused, FALSE)) {
      *ok = TRUE;
      return 1;
    }
    if (GetLastError() != ERROR_IO_INCOMPLETE) {
      *ok = FALSE;
      return 1;
    }
    DWORD waited = GetTickCount() - start;
    if (waited >= ms) return 0;
    if (WaitForSingleObject(wait->overlapped.hEvent, ms - waited) == WAIT_OBJECT_0)
      ResetEvent(wait->overlapped.hEvent);
  }
}

// Raises RTS on an open, configured port and waits for the CTS answer. 1 = answered, 0 = not,
// -1 = the wait could not be ended: the record belongs to the port's driver from now on.
static int AskForAnswer(HANDLE port, SetupWait* wait) {
  HANDLE event = wait->overlapped.hEvent;
  ZeroMemory(&wait->overlapped, sizeof wait->overlapped);
  wait->overlapped.hEvent = event;
  ResetEvent(event);
  wait->events = 0;

  gSetupPorts.setMask(port, EV_CTS);
  BOOL started = gSetupPorts.waitEvent(port, &wait->events, &wait->overlapped);
  // A wait that failed at once is no answer; there is nothing to wait for.
  int pending = started || GetLastError() == ERROR_IO_PENDING;
  gSetupPorts.escape(port, SETRTS);

  int answered = 0;
  BOOL ok = FALSE;
  if (pending && WaitEnded(port, wait, kAnswerMs, &ok)) {
    answered = ok && (wait->events & EV_CTS) != 0;
    pending = 0;
  }
  // A new mask ends a wait still pending; collect it before its record is used again.
  gSetupPorts.setMask(port, 0);
  if (pending && !WaitEnded(port, wait, kEndMs, &ok)) {
    gSetupPorts.cancel(port);
    if (!WaitEnded(port, wait, kEndMs, &ok)) return -1;
  }
  ResetEvent(event);
  return answered;
}

int SetupDetectPort(HWND dialog, const int available[kSetupMaxPort + 1], SetupWait** wait) {
  int others = 0;
  for (int n = 1; n <= kSetupMaxPort; n++) {
    if (!available[n]) continue;
    if (n <= 4) SetupShowStatus(dialog, n, "");
    others |= n > 4;
  }
  if (others) SetDlgItemTextA(dialog, IDC_STATUS_OTHER, "");
  SetupCheckPort(dialog, 0);

  char testing[32], answered[32];
  TextLoad(IDS_SETUP_TESTING, testing, sizeof testing);
  TextLoad(IDS_SETUP_ANSWERED, answered, sizeof answered);
  int found = 0;
  for (int n = 1; n <= kSetupMaxPort && !found && *wait; n++) {
    if (!available[n]) continue;
    HANDLE port = OpenPort(n);
    SetupShowStatus(dialog, n, testing);
    if (port == INVALID_HANDLE_VALUE) continue;

    DCB saved;
    saved.DCBlength = sizeof saved;
    if (!gSetupPorts.getState(port, &saved)) {
      gSetupPorts.close(port);
      continue;
    }
    DCB working = saved;
    working.fOutxCtsFlow = 0;
    working.fRtsControl = RTS_CONTROL_DISABLE;
    if (!gSetupPorts.setState(port, &working)) {
      gSetupPorts.close(port);
      continue;
    }

    int answer = AskForAnswer(port, *wait);
    if (answer < 0) *wait = SetupWaitNew(nullptr);  // the old record stays the driver's
    if (answer > 0) {
      found = n;
      SetupCheckPort(dialog, n);
      SetupShowStatus(dialog, n, answered);
    } else {
      SetupShowStatus(dialog, n, "");
    }
    UpdateWindow(dialog);

    gSetupPorts.setState(port, &saved);
    gSetupPorts.close(port);
  }
  return found;
}

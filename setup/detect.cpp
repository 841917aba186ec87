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
// Every port is given back with the settings it had and closed before the next one is opened.
#include "setup/detect.h"

#include <stdio.h>

#include "resources/resource_ids.h"

const SetupPortApi kSetupPlatformPorts = {CreateFileA,         GetCommState,  SetCommState,
                                          SetCommMask,         WaitCommEvent, EscapeCommFunction,
                                          GetOverlappedResult, CloseHandle};
SetupPortApi gSetupPorts = kSetupPlatformPorts;

enum { kAnswerMs = 1000 };

// What the pending wait reports; it lives as long as the wait record.
static DWORD detectEvents;

static HANDLE OpenPort(int port) {
  char name[16];
  snprintf(name, sizeof name, "COM%d", port);
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

// Raises RTS on an open, configured port and waits for the CTS answer. 1 = answered.
static int AskForAnswer(HANDLE port, OVERLAPPED* wait) {
  HANDLE event = wait->hEvent;
  ZeroMemory(wait, sizeof *wait);
  wait->hEvent = event;
  ResetEvent(event);
  detectEvents = 0;

  gSetupPorts.setMask(port, EV_CTS);
  BOOL started = gSetupPorts.waitEvent(port, &detectEvents, wait);
  int pending = !started && GetLastError() == ERROR_IO_PENDING;
  gSetupPorts.escape(port, SETRTS);

  int answered = 0;
  DWORD unused;
  if (WaitForSingleObject(event, kAnswerMs) == WAIT_OBJECT_0) {
    ResetEvent(event);
    if (gSetupPorts.result(port, wait, &unused, FALSE)) {
      answered = (detectEvents & EV_CTS) != 0;
      pending = 0;
    } else if (GetLastError() != ERROR_IO_INCOMPLETE) {
      pending = 0;  // ended in an error; a signal from elsewhere leaves it pending
    }
  }
  // Ends a wait that is still pending; collect it before its record is used again.
  gSetupPorts.setMask(port, 0);
  if (pending) gSetupPorts.result(port, wait, &unused, TRUE);
  ResetEvent(event);
  return answered;
}

static void SetStatus(HWND dialog, int port, const char* text) {
  SetDlgItemTextA(dialog, IDC_STATUS1 - 1 + port, text);
}

int SetupDetectPort(HWND dialog, const int available[5], OVERLAPPED* wait) {
  for (int n = 1; n <= 4; n++) {
    if (!available[n]) continue;
    SetStatus(dialog, n, "");
    CheckRadioButton(dialog, IDC_PORT1, IDC_PORT4, 0);
  }

  int found = 0;
  for (int n = 1; n <= 4 && !found; n++) {
    if (!available[n]) continue;
    HANDLE port = OpenPort(n);
    SetStatus(dialog, n, "Test...");
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

    if (AskForAnswer(port, wait)) {
      found = n;
      CheckRadioButton(dialog, IDC_PORT1, IDC_PORT4, IDC_PORT1 - 1 + n);
      SetStatus(dialog, n, "OK");
    } else {
      SetStatus(dialog, n, "");
    }
    UpdateWindow(dialog);

    gSetupPorts.setState(port, &saved);
    gSetupPorts.close(port);
  }
  return found;
}

// The serial receiver link: opens the receiver's COM port at 1200 baud 8N1 (DTR low, RTS high)
// and runs the reader thread that turns bytes into key events. Stop gives the port back with the
// settings it had when start found it. Whoever starts the receiver also starts the thread that
// consumes its key events (the dispatch thread, or the test dialog's indicator), from above.
//
// Threads are never killed. A thread ended from outside can die holding the queue lock or a lock
// inside the platform (the heap, input injection) and leave it held for the rest of the process.
// Instead the reader blocks only on handles that stop can signal: the port is opened for
// overlapped I/O with all timeouts zero, so a one-byte ReadFile completes when a byte arrives. The
// reader waits on {read done, quit}; on quit it cancels its own read (CancelIo cancels only the
// calling thread's I/O, so the reader does it, not stop), waits a bounded time for the cancelled
// read to finish with its buffer and OVERLAPPED, and returns. Stop sets quit and joins the reader;
// it needs no grace period after that.
//
// The reader does not use WaitCommEvent: overlapped WaitCommEvent is unreliable on some serial
// drivers (Wine's completes at once with ERROR_OPERATION_ABORTED, again and again), and a plain
// read does the same job.
//
// A re-plugged adapter: with these timeouts a read only ends with a byte, so a read that fails
// means the port no longer works (a USB adapter pulled out fails every read on the handle it
// had; so does a pseudo-terminal whose other end is gone). The reader then closes the handle and
// opens the same COM name again, RetryDelayMs apart, until it opens and takes the line settings;
// then it reads on, and keys act again without a restart. While the port is away the reader
// waits on quit alone, so stop ends it at once, and only the handle open at stop is restored.
//
// A port that is not there at a normal-mode start (the adapter's driver comes up after logon) is
// waited for the same way: the reader starts without a handle, and the settings it finds at the
// first open are the ones stop restores. A device arrival ends the back-off wait at once.
//
// The reader also feeds every packet to the noise guard (noise.h) and drops keys while it says
// so. It tells the main window of every change of state (open, waiting, noise) with a posted
// message; it calls no window function of its own.
#include "receiver/link.h"

#include <mmsystem.h>
#include <stdio.h>
#include <string.h>

#include "common/activitylog.h"
#include "common/format.h"
#include "common/process.h"
#include "receiver/keyqueue.h"
#include "receiver/noise.h"
#include "receiver/packet.h"
#include "receiver/retry.h"

HANDLE gKeyReadyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);

enum {
  kBaudRate = 1200,
  kLineFlagsCleared = 0x6232,  // fParity, fDtrControl, fInX, fRtsControl, fAbortOnError
  kLineFlagsSet = 0x1001,      // fBinary, fRtsControl = RTS_CONTROL_ENABLE
};

// Written by start and stop on the main thread while no reader runs, and read by the reader.
static char portName[32];  // the device name that start opened
static DCB savedSettings;  // as found at the last start; written back at stop
static HANDLE quit;        // manual-reset; set by stop to end the reader
static HANDLE arrived;     // auto-reset; set when a COM port appears
static HANDLE readerThread;
static bool settingsSaved;  // savedSettings hold the port's own (a port found late has none yet)
static int portNumber;
static bool reporting;  // normal mode: state changes go to stateWindow

// The state last posted; written by start before the reader exists, then by the reader alone.
static HWND stateWindow;  // main thread, before any start
static int postedState = -1, postedPort;
// The open port, or INVALID_HANDLE_VALUE while the adapter is away. Start sets it before the
// reader exists; while the reader runs only the reader changes it (closing and reopening); stop
// uses it after the reader has ended.
static HANDLE port = INVALID_HANDLE_VALUE;

// Written only by the reader thread (one at a time); kept across restarts, so a packet cut in two
// by a restart is discarded by the gap rule when the next byte comes.
static PacketAssembler assembler;
static bool clockStarted;
static NoiseGuard noise;  // reset at every start

// The DCB's bit fields as one word (fBinary is bit 0, fAbortOnError bit 14).
static DWORD LineFlags(const DCB* dcb) {
  DWORD flags;
  memcpy(&flags, reinterpret_cast<const char*>(&dcb->BaudRate) + sizeof dcb->BaudRate, sizeof flags);
  return flags;
}

static void SetLineFlags(DCB* dcb, DWORD flags) {
  memcpy(reinterpret_cast<char*>(&dcb->BaudRate) + sizeof dcb->BaudRate, &flags, sizeof flags);
}

void ReceiverSetStateWindow(HWND window) {
  stateWindow = window;
}

HWND ReceiverStateWindow() {
  return stateWindow;
}

static void ReceiverReport(int state, int number) {
  if (!reporting || !stateWindow || (state == postedState && number == postedPort)) return;
  postedState = state;
  postedPort = number;
  PostMessageA(stateWindow, kMsgReceiverState, WPARAM(state), LPARAM(number));
}

void ReceiverPortArrived() {
  if (arrived) SetEvent(arrived);
}

// Opens the port and reads its settings into *found. INVALID_HANDLE_VALUE when either fails;
// *absent (may be null) tells that the port could not be opened at all.
static HANDLE PortOpen(DCB* found, bool* absent = nullptr) {
  HANDLE com = CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  if (absent) *absent = com == INVALID_HANDLE_VALUE;
  if (com == INVALID_HANDLE_VALUE) return com;
  memset(found, 0, sizeof *found);
  found->DCBlength = sizeof *found;
  if (!GetCommState(com, found)) {
    CloseHandle(com);
    return INVALID_HANDLE_VALUE;
  }
  return com;
}

// Applies the receiver's line settings to `dcb` (the port's own) and writes them. 0 or -1.
static int PortConfigure(HANDLE com, DCB dcb) {
  dcb.BaudRate = kBaudRate;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  SetLineFlags(&dcb, (LineFlags(&dcb) & ~DWORD(kLineFlagsCleared)) | kLineFlagsSet);
  if (!SetCommState(com, &dcb)) return -1;
  COMMTIMEOUTS waitForEachByte = {};
  if (!SetCommTimeouts(com, &waitForEachByte)) return -1;
  SetCommMask(com, EV_RXCHAR);
  // Bytes that came while no receiver ran (the setup dialog was open, say) are old presses, not
  // keys to act on now; some serial drivers keep them for whoever opens the port next.
  PurgeComm(com, PURGE_RXCLEAR);
  return 0;
}

// The reader's one-byte read: its buffer, OVERLAPPED and event, made by start and freed by stop.
// A read that was cancelled but that the driver never completed may still be written into, so stop
// then keeps it: a few bytes and one handle for good, rather than a reader that cannot end.
struct PendingRead {
  OVERLAPPED ov;
  uint8_t byte;
  bool abandoned;  // set by the reader before it leaves such a read behind
};
static PendingRead* pendingRead;

enum { kCancelLimitMs = 1000, kReadQuit = -1, kReadAbandoned = -2 };

// Reads one byte into read->byte. Returns 1 with the byte, 0 when the read failed or delivered
// nothing, kReadQuit on quit, kReadAbandoned when a cancelled read did not finish in time.
static int ReaderReadByte(HANDLE com, PendingRead* read) {
  HANDLE done = read->ov.hEvent;
  ZeroMemory(&read->ov, sizeof read->ov);
  read->ov.hEvent = done;
  ResetEvent(done);
  if (!ReadFile(com, &read->byte, 1, nullptr, &read->ov)) {
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    HANDLE waits[2] = {done, quit};
    DWORD w;
    // While noise mutes the keys, the wait ends when the line has been quiet long enough.
    while ((w = WaitForMultipleObjects(2, waits, FALSE,
                                       noise.muted ? NoiseQuietInMs(&noise, timeGetTime()) + 1 : INFINITE)) ==
           WAIT_TIMEOUT) {
      if (NoiseQuiet(&noise, timeGetTime())) ReceiverReport(kReceiverOpen, portNumber);
    }
    if (w != WAIT_OBJECT_0) {
      // The read must be finished before its buffer and OVERLAPPED can be used again.
      CancelIo(com);
      if (WaitForSingleObject(done, kCancelLimitMs) != WAIT_OBJECT_0) return kReadAbandoned;
      return w == WAIT_OBJECT_0 + 1 ? kReadQuit : 0;
    }
  }
  DWORD got = 0;
  if (!GetOverlappedResult(com, &read->ov, &got, FALSE)) return 0;
  return got == 1 ? 1 : 0;
}

// One attempt to open the lost port again with the receiver's settings; sets port on success.
static void ReaderReopen() {
  DCB found;
  HANDLE com = PortOpen(&found);
  if (com == INVALID_HANDLE_VALUE) return;
  if (!settingsSaved) {
    savedSettings = found;
    settingsSaved = true;
  }
  if (PortConfigure(com, found) < 0) {
    CloseHandle(com);
    return;
  }
  port = com;
  ReceiverReport(kReceiverOpen, portNumber);
}

static DWORD WINAPI ReaderThread(LPVOID arg) {
  PendingRead* read = static_cast<PendingRead*>(arg);
  if (!clockStarted) {
    clockStarted = true;
    PacketReset(&assembler, timeGetTime());
  }
  int attempt = 0;  // reopen attempts since a byte was last read
  for (;;) {
    if (port == INVALID_HANDLE_VALUE) {
      HANDLE waits[2] = {quit, arrived};
      DWORD w = WaitForMultipleObjects(2, waits, FALSE, DWORD(RetryDelayMs(attempt++)));
      if (w != WAIT_TIMEOUT && w != WAIT_OBJECT_0 + 1) return 0;
      ReaderReopen();
      continue;
    }
    int r = ReaderReadByte(port, read);
    if (r == kReadAbandoned) read->abandoned = true;
    if (r < 0) return 0;
    if (r == 0) {
      CloseHandle(port);
      port = INVALID_HANDLE_VALUE;
      ReceiverReport(kReceiverWaiting, portNumber);
      continue;
    }
    attempt = 0;
    int completed;
    uint32_t now = timeGetTime();
    int code = PacketFeed(&assembler, read->byte, now, &completed);
    if (!completed) continue;
    if (code < 0) ActivityLogRejected();  // a whole packet, rejected
    bool wasMuted = noise.muted;
    int muted = NoiseFeed(&noise, assembler.kind, now);
    if (muted != wasMuted) ReceiverReport(muted ? kReceiverNoise : kReceiverOpen, portNumber);
    if (code < 0 || muted) continue;
    QueuePut({1, uint8_t(code), now});
    SetEvent(gKeyReadyEvent);
  }
}

static void PendingReadFree() {
  if (!pendingRead) return;
  if (!pendingRead->abandoned) {
    if (pendingRead->ov.hEvent) CloseHandle(pendingRead->ov.hEvent);
    HeapFree(GetProcessHeap(), 0, pendingRead);
  }
  pendingRead = nullptr;
}

static void CloseAndForget(HANDLE* h) {
  if (!*h) return;
  CloseHandle(*h);
  *h = nullptr;
}

int ReceiverStart(int mode, int number) {
  ReceiverStop();  // a second start replaces the first rather than leaking it

  reporting = mode == kReceiverNormal;
  portNumber = number > 0 ? number : 0;
  if (number <= 0) {
    ReceiverReport(kReceiverNoPort, 0);
    return -1;
  }

  FormatText(portName, sizeof portName, number > 9 ? "\\\\.\\COM%d" : "COM%d", number);
  DCB found;
  bool absent;
  HANDLE com = PortOpen(&found, &absent);
  if (!absent) {
    if (com == INVALID_HANDLE_VALUE) return -1;  // there, but its settings cannot be read
    // From here the port is recorded: stop restores its settings and closes it.
    SetLastError(0);
    port = com;
    savedSettings = found;
    settingsSaved = true;
    if (PortConfigure(com, found) < 0) return -1;
  } else if (mode != kReceiverNormal) {
    return -1;
  }

  NoiseReset(&noise);
  arrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  pendingRead = static_cast<PendingRead*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *pendingRead));
  if (pendingRead) pendingRead->ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!arrived || !quit || !pendingRead || !pendingRead->ov.hEvent) {
    ReceiverStop();
    return -1;
  }

  ReceiverReport(port == INVALID_HANDLE_VALUE ? kReceiverWaiting : kReceiverOpen, number);
  readerThread = CreateThread(nullptr, 0, ReaderThread, pendingRead, 0, nullptr);
  if (!readerThread) {
    ReceiverStop();
    return -1;
  }
  return 0;
}

int ReceiverStop() {
  if (quit) SetEvent(quit);
  if (readerThread) {
    // Bounded by construction: the reader waits only on quit, or on its read and quit, and gives
    // a cancelled read kCancelLimitMs to finish.
    WaitForSingleObject(readerThread, INFINITE);
    CloseAndForget(&readerThread);
  }
  PendingReadFree();
  CloseAndForget(&arrived);
  CloseAndForget(&quit);
  if (port != INVALID_HANDLE_VALUE) {
    SetCommMask(port, 0);
    SetCommState(port, &savedSettings);
    CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
  }
  settingsSaved = false;
  return 0;
}

// The serial receiver link: opens the receiver's COM port at 1200 baud 8N1 (DTR low, RTS high),
// runs the reader thread that turns bytes into key events, and in normal mode the dispatch thread
// that acts on them. Stop gives the port back with the settings
// it had when start found it.
//
// Threads are never killed. A thread ended from outside can die holding the queue lock or a lock
// inside the platform (the heap, input injection) and leave it held for the rest of the process.
// Instead both threads block only on handles that stop can signal:
// - The port is opened for overlapped I/O with all timeouts zero, so a one-byte ReadFile
//   completes when a byte arrives. The reader waits on {read done, quit}; on quit it cancels its
//   own read (CancelIo cancels only the calling thread's I/O, so the reader does it, not stop),
//   waits for the cancelled read to finish with its buffer and OVERLAPPED, and returns.
// - The dispatch thread waits on {key ready, quit}, and the action interpreter's pauses wait on
//   quit too, so a keyboard action is cut off between two keystroke groups.
// Stop sets quit and joins both threads; it needs no grace period after that, because no I/O is
// pending once the reader has returned.
//
// The reader does not use WaitCommEvent: overlapped WaitCommEvent is unreliable on some serial
// drivers (Wine's completes at once with ERROR_OPERATION_ABORTED, again and again), and a plain
// read does the same job. A read that fails at once (the USB adapter was pulled out) is retried
// after kRetryMs, not in a tight loop.
#include "receiver/link.h"

#include <mmsystem.h>
#include <stdio.h>
#include <string.h>

#include "actions/dispatch.h"
#include "actions/interp.h"
#include "app/shell.h"
#include "receiver/keyqueue.h"
#include "receiver/packet.h"

HANDLE gKeyReadyEvent;
HANDLE gStopEvent;

enum {
  kBaudRate = 1200,
  kRetryMs = 250,              // pause after a failed read before the next attempt
  kLineFlagsCleared = 0x6232,  // fParity, fDtrControl, fInX, fRtsControl, fAbortOnError
  kLineFlagsSet = 0x1001,      // fBinary, fRtsControl = RTS_CONTROL_ENABLE
};

// Written only by start and stop on the main thread, while no worker thread runs; the workers
// only read them.
static HANDLE port = INVALID_HANDLE_VALUE;
static DCB savedSettings;  // as found at the last start; written back at stop
static HANDLE quit;        // manual-reset; set by stop to end both threads
static HANDLE readDone;    // manual-reset; the reader's OVERLAPPED event
static HANDLE readerThread;
static HANDLE dispatchThread;
static DispatchContext dispatchContext;  // must outlive the dispatch thread

// Written only by the reader thread (one at a time); kept across restarts, so a packet cut in two
// by a restart is discarded by the gap rule when the next byte comes.
static PacketAssembler assembler;
static bool clockStarted;

// The DCB's bit fields as one word (fBinary is bit 0, fAbortOnError bit 14).
static DWORD LineFlags(const DCB* dcb) {
  DWORD flags;
  memcpy(&flags, reinterpret_cast<const char*>(&dcb->BaudRate) + sizeof dcb->BaudRate, sizeof flags);
  return flags;
}

static void SetLineFlags(DCB* dcb, DWORD flags) {
  memcpy(reinterpret_cast<char*>(&dcb->BaudRate) + sizeof dcb->BaudRate, &flags, sizeof flags);
}

// Reads one byte. Returns 1 with the byte, 0 when the read failed or delivered nothing, -1 on quit.
static int ReaderReadByte(HANDLE com, uint8_t* byte) {
  OVERLAPPED ov = {};
  ov.hEvent = readDone;
  ResetEvent(readDone);
  if (!ReadFile(com, byte, 1, nullptr, &ov)) {
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    HANDLE waits[2] = {readDone, quit};
    DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (w != WAIT_OBJECT_0) {
      // The read must be finished before its buffer and OVERLAPPED leave this frame.
      CancelIo(com);
      DWORD ignored;
      GetOverlappedResult(com, &ov, &ignored, TRUE);
      return w == WAIT_OBJECT_0 + 1 ? -1 : 0;
    }
  }
  DWORD got = 0;
  if (!GetOverlappedResult(com, &ov, &got, FALSE)) return 0;
  return got == 1 ? 1 : 0;
}

static DWORD WINAPI ReaderThread(LPVOID arg) {
  HANDLE com = arg;
  if (!clockStarted) {
    clockStarted = true;
    PacketReset(&assembler, timeGetTime());
  }
  for (;;) {
    uint8_t byte;
    int r = ReaderReadByte(com, &byte);
    if (r < 0) return 0;
    if (r == 0) {
      if (WaitForSingleObject(quit, kRetryMs) != WAIT_TIMEOUT) return 0;
      continue;
    }
    int code = PacketFeed(&assembler, byte, timeGetTime());
    if (code < 0) continue;
    QueuePut({1, uint8_t(code)});
    SetEvent(gKeyReadyEvent);
  }
}

static void CloseAndForget(HANDLE* h) {
  if (!*h) return;
  CloseHandle(*h);
  *h = nullptr;
}

static void JoinAndForget(HANDLE* thread) {
  if (!*thread) return;
  WaitForSingleObject(*thread, INFINITE);
  CloseAndForget(thread);
}

int ReceiverStart(int mode, int portNumber) {
  ReceiverStop();  // a second start replaces the first rather than leaking it

  if (mode == kReceiverNormal) portNumber = GetPrivateProfileIntA("default", "port", 0, gProfilePath);
  if (portNumber <= 0) return -1;

  char name[32];
  snprintf(name, sizeof name, portNumber > 9 ? "\\\\.\\COM%d" : "COM%d", portNumber);
  HANDLE com = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  if (com == INVALID_HANDLE_VALUE) return -1;

  DCB dcb;
  memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(com, &dcb)) {
    CloseHandle(com);
    return -1;
  }

  // From here the port is recorded: stop restores its settings and closes it.
  SetLastError(0);
  port = com;
  savedSettings = dcb;
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

  gKeyReadyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  gStopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!gKeyReadyEvent || !gStopEvent || !quit || !readDone) {
    ReceiverStop();
    return -1;
  }

  readerThread = CreateThread(nullptr, 0, ReaderThread, com, 0, nullptr);
  if (!readerThread) {
    ReceiverStop();
    return -1;
  }
  if (mode == kReceiverNormal) {
    dispatchContext.keyReady = gKeyReadyEvent;
    dispatchContext.quit = quit;
    ActionSetCancelEvent(quit);
    dispatchThread = CreateThread(nullptr, 0, DispatchThread, &dispatchContext, 0, nullptr);
    if (!dispatchThread) {
      ReceiverStop();
      return -1;
    }
  }
  return 0;
}

int ReceiverStop() {
  if (quit) SetEvent(quit);
  JoinAndForget(&readerThread);
  JoinAndForget(&dispatchThread);
  if (quit) ActionSetCancelEvent(nullptr);
  CloseAndForget(&gKeyReadyEvent);
  CloseAndForget(&gStopEvent);
  CloseAndForget(&quit);
  CloseAndForget(&readDone);
  if (port != INVALID_HANDLE_VALUE) {
    SetCommMask(port, 0);
    SetCommState(port, &savedSettings);
    CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
  }
  return 0;
}

// The LIRC / WinLIRC client wired into the key path. The client thread (lirc.h) calls the two
// handlers here: a button line becomes one key event in the queue, like a packet of the serial
// reader, and a change of the connection is posted to the main window. Nothing else happens on
// that thread, so a server that floods it only overwrites the oldest unread events (the queue keeps
// 32) and a server that goes away in the middle of a held button ends that press after the release
// time, as a receiver that went quiet does.
#include "receiver/lircreceiver.h"

#include <string.h>

#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "receiver/lirc.h"
#include "receiver/lircaddress.h"

// Main thread only.
static bool running;
static char address[kLircHostMax + 16];
// Written by the client thread (and by stop once it has ended), read by any.
static volatile LONG state = kNetworkOff;

static void Tell(int now) {
  InterlockedExchange(&state, now);
  HWND window = ReceiverStateWindow();
  if (window) PostMessageA(window, kMsgNetworkState, WPARAM(now), 0);
}

static void OnButton(const LircEvent* e, void*) {
  KeyEvent k{};
  k.enable = 1;
  k.time = e->time;
  k.source = kKeyFromNetwork;
  k.signal = e->repeat == 0 ? kKeySignalBegin : kKeySignalRepeat;
  lstrcpynA(k.remote, e->remote, sizeof k.remote);
  lstrcpynA(k.name, e->name, sizeof k.name);
  QueuePut(k);
  SetEvent(gKeyReadyEvent);
}

static void OnState(int connected, void*) {
  Tell(connected == kLircConnected ? kNetworkConnected : kNetworkNotConnected);
}

int LircReceiverStart(const char* with) {
  LircReceiverStop();
  LircHandlers handlers = {OnButton, OnState, nullptr};
  if (LircStart(with, &handlers) < 0) return -1;
  running = true;
  while (*with == ' ' || *with == '\t') with++;  // as the entry has it, without the blanks around
  lstrcpynA(address, with, sizeof address);
  for (size_t n = strlen(address); n > 0 && (address[n - 1] == ' ' || address[n - 1] == '\t');)
    address[--n] = '\0';
  return 0;
}

int LircReceiverStop() {
  if (!running) return 0;
  LircStop();  // the client thread has ended: it tells nothing more
  running = false;
  address[0] = '\0';
  Tell(kNetworkOff);
  return 0;
}

int LircReceiverRunning() {
  return running ? 1 : 0;
}

int LircReceiverState() {
  return int(state);
}

const char* LircReceiverAddress() {
  return address;
}

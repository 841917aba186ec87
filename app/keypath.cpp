// Starting and stopping the receivers together with the dispatch thread, from above them.
#include "app/keypath.h"

#include <windows.h>

#include "actions/dispatch.h"
#include "actions/interp.h"
#include "common/process.h"
#include "profile/profile.h"
#include "receiver/link.h"
#include "receiver/lircaddress.h"
#include "receiver/lircreceiver.h"

// Main thread only.
static HANDLE quit;  // manual-reset; ends the dispatch thread and cuts a running action off
static HANDLE dispatchThread;
static DispatchContext dispatchContext;  // must outlive the dispatch thread

// The network receiver for [default] lirc=: 0 running, 1 none set up (no entry, or a blank one),
// -1 failed (not HOST[:PORT], or longer than any).
static int KeyPathStartNetwork() {
  char address[kLircHostMax + 16], host[kLircHostMax];
  int port, read = ProfileReadString(gProfilePath, kProfileDefault, kProfileLirc, address, sizeof address);
  if (read == 0 || (read > 0 && LircParseAddress(address, host, sizeof host, &port) == kLircAddressEmpty))
    return 1;
  return read > 0 ? LircReceiverStart(address) : -1;
}

int KeyPathStart() {
  KeyPathStop();               // a second start replaces the first rather than leaking it
  ResetEvent(gKeyReadyEvent);  // unread events wait for the next one, as with a fresh start
  int port = ProfileReadInt(gProfilePath, kProfileDefault, kProfilePort, 0);
  bool serial = ReceiverStart(kReceiverNormal, port) == 0;
  int network = KeyPathStartNetwork();
  int result = (port > 0 && !serial) || network < 0 || (!serial && network != 0) ? -1 : 0;
  if (!serial && network != 0) return result;  // nothing runs: no keys to act on
  quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!quit) {
    KeyPathStop();
    return -1;
  }
  dispatchContext.keyReady = gKeyReadyEvent;
  dispatchContext.quit = quit;
  ActionSetCancelEvent(quit);
  dispatchThread = CreateThread(nullptr, 0, DispatchThread, &dispatchContext, 0, nullptr);
  if (!dispatchThread) {
    KeyPathStop();
    return -1;
  }
  return result;
}

int KeyPathStop() {
  if (quit) SetEvent(quit);
  if (dispatchThread) {
    WaitForSingleObject(dispatchThread, INFINITE);
    CloseHandle(dispatchThread);
    dispatchThread = nullptr;
  }
  if (quit) {
    ActionSetCancelEvent(nullptr);
    CloseHandle(quit);
    quit = nullptr;
  }
  LircReceiverStop();
  return ReceiverStop();
}

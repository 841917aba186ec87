// Starting and stopping the receiver together with the dispatch thread, from above both.
#include "app/keypath.h"

#include <windows.h>

#include "actions/dispatch.h"
#include "actions/interp.h"
#include "common/process.h"
#include "profile/profile.h"
#include "receiver/link.h"

// Main thread only.
static HANDLE quit;  // manual-reset; ends the dispatch thread and cuts a running action off
static HANDLE dispatchThread;
static DispatchContext dispatchContext;  // must outlive the dispatch thread

int KeyPathStart() {
  KeyPathStop();  // a second start replaces the first rather than leaking it
  int port = ProfileReadInt(gProfilePath, kProfileDefault, kProfilePort, 0);
  if (ReceiverStart(kReceiverNormal, port) < 0) return -1;
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
  return 0;
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
  return ReceiverStop();
}

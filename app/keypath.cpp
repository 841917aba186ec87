// Starting and stopping the receivers together with the dispatch thread, from above them.
#include "app/keypath.h"

#include <windows.h>
#include <mmsystem.h>

#include "actions/dispatch.h"
#include "actions/interp.h"
#include "actions/keyhook.h"
#include "app/rawinput.h"
#include "common/process.h"
#include "profile/profile.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "receiver/lircaddress.h"
#include "receiver/lircreceiver.h"
#include "receiver/mce.h"

enum { kKeyPathHookStopMs = 2000 };  // the hook's threads answer at once: a bound, never a wait

// Main thread only.
static HANDLE quit;  // manual-reset; ends the dispatch thread and cuts a running action off
static HANDLE dispatchThread;
static DispatchContext dispatchContext;  // must outlive the dispatch thread
// The key event, while the hook and raw input may queue (the hook thread reads it).
static HANDLE keysReady;

// A key of a USB remote (hook thread) or a Media Center button (main thread), queued as the serial
// reader queues a packet. The phases of both are press, repeat, release.
static void QueueNamed(uint8_t source, const char* remote, const char* name, int phase) {
  static const uint8_t kSignals[] = {kKeySignalBegin, kKeySignalRepeat, kKeySignalRelease};
  KeyEvent e = {1, 0};
  e.time = timeGetTime();
  e.source = source;
  e.signal = kSignals[phase < 0 || phase > 2 ? 0 : phase];
  lstrcpynA(e.remote, remote, sizeof e.remote);
  lstrcpynA(e.name, name ? name : "", sizeof e.name);
  QueuePut(e);
  if (keysReady) SetEvent(keysReady);
}
static void MceButton(const char* name, int phase, void*) {
  QueueNamed(kKeyFromMce, kMceRemote, name, phase);
}

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
  // The dispatch thread runs without a receiver too: the keys of USB remotes need none.
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
  keysReady = gKeyReadyEvent;
  RawInputSetHandler(MceButton, nullptr);
  KeyHookFollow(KeyHookQueue, nullptr);  // the hook runs while the profile names a key to take
  return result;
}

int KeyPathStop() {
  KeyHookUnfollow(kKeyPathHookStopMs);
  RawInputSetHandler(nullptr, nullptr);
  keysReady = nullptr;
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

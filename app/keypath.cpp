// Starting and stopping the receiver together with the dispatch thread, from above both.
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
#include "receiver/mce.h"

enum { kKeyPathHookStopMs = 2000 };  // the hook's threads answer at once: a bound, never a wait

// Main thread only.
static HANDLE quit;  // manual-reset; ends the dispatch thread and cuts a running action off
static HANDLE dispatchThread;
static DispatchContext dispatchContext;  // must outlive the dispatch thread
// The dispatch thread's key event: the receiver's, or without a receiver one of the key path's own
// (the keys of USB remotes need none). Set while the hook and raw input may queue.
static HANDLE keysReady, ownReady;

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
static void HookKey(const KeyHookEvent* key, void*) {
  QueueNamed(kKeyFromKeyboard, kKeyTakeRemote, key->name, key->phase);
}
static void MceButton(const char* name, int phase, void*) {
  QueueNamed(kKeyFromMce, kMceRemote, name, phase);
}

int KeyPathStart() {
  KeyPathStop();  // a second start replaces the first rather than leaking it
  int port = ProfileReadInt(gProfilePath, kProfileDefault, kProfilePort, 0);
  int receiver = ReceiverStart(kReceiverNormal, port);
  ownReady = receiver < 0 ? CreateEventA(nullptr, FALSE, FALSE, nullptr) : nullptr;
  keysReady = receiver < 0 ? ownReady : gKeyReadyEvent;
  quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!quit || !keysReady) {
    KeyPathStop();
    return -1;
  }
  dispatchContext.keyReady = keysReady;
  dispatchContext.quit = quit;
  ActionSetCancelEvent(quit);
  dispatchThread = CreateThread(nullptr, 0, DispatchThread, &dispatchContext, 0, nullptr);
  if (!dispatchThread) {
    KeyPathStop();
    return -1;
  }
  RawInputSetHandler(MceButton, nullptr);
  KeyHookFollow(HookKey, nullptr);  // the hook runs while the profile names a key to take
  return receiver;
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
  ReceiverStop();
  if (ownReady) CloseHandle(ownReady);
  ownReady = nullptr;
  return 0;
}

// The network receiver: a client of a LIRC or WinLIRC server (`[default] lirc=HOST[:PORT]`). Its
// thread connects, reads the server's button lines and hands each on through a callback; it
// reconnects for ever (1 s doubling up to 30 s, at once after a resume) and tells of every change
// between connected and not connected. A query for Setup asks a server for its version and remotes.
#pragma once
#include <windows.h>

#include "receiver/lircline.h"

// One button line as the client read it.
struct LircEvent {
  char remote[kLircNameMax];
  char name[kLircNameMax];
  unsigned repeat;  // the server's count: 0 begins a press, higher counts repeat it
  DWORD time;       // timeGetTime() when the line's last byte was read
};

enum LircState { kLircNotConnected = 0, kLircConnected = 1 };

// Both are called on the client thread, never with a lock of the client held; they must return
// quickly (queue the event, post a message) and call no LircStart/LircStop. The event pointer is
// valid only during the call.
struct LircHandlers {
  void (*button)(const LircEvent* event, void* context);
  void (*state)(int state, void* context);  // a LircState; only changes, the first after the first try
  void* context;
};

// Starts the client thread for `address` (HOST[:PORT]); a running client is stopped first. 0 when
// the thread runs (whether or not a server answers yet); -1 for an address LircParseAddress refuses
// or when the thread cannot be made. The handlers are copied.
int LircStart(const char* address, const LircHandlers* handlers);
// Ends the thread (it is never killed; it waits only on handles stop signals, so this is prompt)
// and closes its socket. Safe to call when nothing runs. Returns 0.
int LircStop();
// The computer resumed from sleep (PBT_APMRESUMEAUTOMATIC): a connection that may have died
// silently is dropped and the server tried at once. On the thread that starts and stops the
// client; nothing happens while it is stopped.
void LircResume();

// What a server said to VERSION and LIST.
enum { kLircQueryRemotesMax = 32 };
struct LircServerInfo {
  char version[kLircNameMax];                       // "" when the server did not say
  int remotes;                                      // remote names LIST gave
  char remote[kLircQueryRemotesMax][kLircNameMax];  // the first of them (names cut to fit)
};
enum LircQueryResult {
  kLircQueryOk = 0,
  kLircQueryBadAddress = -1,  // not HOST[:PORT]
  kLircQueryNoHost = -2,      // the host name is unknown
  kLircQueryNoServer = -3,    // nothing accepted the connection in time
  kLircQueryNoAnswer = -4,    // connected, but no answer to both commands in time
};
// Connects to `address`, sends VERSION and LIST and waits for both answers, `limitMs` at most in
// all, the name lookup included. One of LircQueryResult; *info is filled as far as the server
// answered. Blocks the calling thread; needs no running client.
int LircQuery(const char* address, int limitMs, LircServerInfo* info);

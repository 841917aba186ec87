// The network receiver's client thread. Like the serial reader it is never killed, so it blocks
// only where stop can end it: the socket is non-blocking and tied to an event by WSAEventSelect,
// and every wait (connect, read, the pause between attempts) is WaitForMultipleObjects on
// {quit, resume, socket}. A name lookup cannot be interrupted, so it runs on a small helper thread
// of its own; the client waits for it with the same handles and, on quit, leaves it to finish and
// free its request alone (the request is shared through a count of two owners).
//
// What comes from the server is only data: the line reader (lircline.h) keeps at most one line in a
// fixed buffer, so nothing the server sends grows memory, and the client passes on only lines that
// parse as buttons. A connection lost in the middle of a held button sends no more repeats; the
// consumer ends the press after its release time, as for a receiver that went quiet.
//
// The connection is kept alive by TCP keep-alive probes (10 s idle, 1 s apart), so a server whose
// machine vanished from the network is noticed within seconds, not hours. After a resume from sleep
// the connection is dropped and made again at once: the server may have restarted meanwhile, and a
// socket from before the sleep may look open long after its peer forgot it.
#include "receiver/lirc.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mmsystem.h>
#include <mstcpip.h>
#include <string.h>

#include "receiver/lircaddress.h"
#include "receiver/reconnect.h"

enum { kConnectLimitMs = 5000, kKeepAliveIdleMs = 10000, kKeepAliveGapMs = 1000, kReadsPerWake = 16 };

// Written by start and stop on the caller's thread while no client thread runs.
static char host[kLircHostMax];
static char service[8];
static LircHandlers handlers;
static HANDLE quit;    // manual-reset; set by stop
static HANDLE resume;  // auto-reset; set by LircResume
static HANDLE clientThread;
static bool winsockStarted;
static WSAEVENT socketEvent = WSA_INVALID_EVENT;  // the connection's; made by start

// Written by the client thread alone.
static SOCKET connection = INVALID_SOCKET;
static LircReader reader;
static int reportedState = -1;

// A name lookup shared by the waiting thread and its helper: whoever lets go last frees it.
struct Lookup {
  LONG owners;
  char host[kLircHostMax];
  char service[8];
  HANDLE done;  // manual-reset; set by the helper when result and status are there
  int status;   // getaddrinfo's
  addrinfo* result;
};

static void LookupRelease(Lookup* l) {
  if (InterlockedDecrement(&l->owners) != 0) return;
  if (l->result) freeaddrinfo(l->result);
  CloseHandle(l->done);
  HeapFree(GetProcessHeap(), 0, l);
}

// Holds Winsock up of its own, for a lookup that outlasts the client that asked.
static DWORD WINAPI LookupThread(LPVOID arg) {
  Lookup* l = static_cast<Lookup*>(arg);
  WSADATA data;
  bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  l->status = getaddrinfo(l->host, l->service, &hints, &l->result);
  SetEvent(l->done);
  LookupRelease(l);
  if (started) WSACleanup();
  return 0;
}

enum { kLookupFound = 0, kLookupUnknown = -1, kLookupCut = -2, kLookupStopped = -3 };

// Resolves name:svc into *out (freed with freeaddrinfo), waiting at most limitMs and ending early
// when one of `stops` is set (kLookupStopped). kLookupFound, kLookupUnknown, or kLookupCut (out of
// time, or no thread could be made).
static int LookupHost(const char* name, const char* svc, const HANDLE* stops, DWORD stopCount, DWORD limitMs,
                      addrinfo** out) {
  Lookup* l = static_cast<Lookup*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Lookup)));
  if (!l) return kLookupCut;
  lstrcpynA(l->host, name, sizeof l->host);
  lstrcpynA(l->service, svc, sizeof l->service);
  l->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  l->owners = 2;
  HANDLE helper = l->done ? CreateThread(nullptr, 0, LookupThread, l, 0, nullptr) : nullptr;
  if (!helper) {
    if (l->done) CloseHandle(l->done);
    HeapFree(GetProcessHeap(), 0, l);
    return kLookupCut;
  }
  CloseHandle(helper);
  HANDLE waits[4] = {l->done};
  for (DWORD i = 0; i < stopCount && i < 3; i++) waits[i + 1] = stops[i];
  DWORD w = WaitForMultipleObjects(stopCount + 1, waits, FALSE, limitMs);
  int found = w > WAIT_OBJECT_0 && w <= WAIT_OBJECT_0 + stopCount ? kLookupStopped : kLookupCut;
  if (w == WAIT_OBJECT_0) {
    found = l->status == 0 && l->result ? kLookupFound : kLookupUnknown;
    *out = l->result;
    l->result = nullptr;
  }
  LookupRelease(l);
  return found;
}

static void SocketClose(SOCKET* s, WSAEVENT e) {
  if (*s == INVALID_SOCKET) return;
  WSAEventSelect(*s, e, 0);
  closesocket(*s);
  *s = INVALID_SOCKET;
}

enum { kConnectMade = 0, kConnectFailed = -1, kConnectStopped = -2 };

// Tries the addresses of `list` in turn, each up to limitMs, ending early when one of `stops` is
// set (then kConnectStopped with the index + 1 of the stop in *which). On success *s is connected,
// non-blocking and tied to `e` for reads and closing.
static int SocketConnect(const addrinfo* list, WSAEVENT e, const HANDLE* stops, DWORD stopCount,
                         DWORD limitMs, SOCKET* s, DWORD* which) {
  for (const addrinfo* a = list; a; a = a->ai_next) {
    *s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (*s == INVALID_SOCKET) continue;
    WSAResetEvent(e);
    if (WSAEventSelect(*s, e, FD_CONNECT | FD_READ | FD_CLOSE) != 0) {
      SocketClose(s, e);
      continue;
    }
    if (connect(*s, a->ai_addr, int(a->ai_addrlen)) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
      SocketClose(s, e);
      continue;
    }
    HANDLE waits[4] = {e};
    for (DWORD i = 0; i < stopCount && i < 3; i++) waits[i + 1] = stops[i];
    DWORD start = GetTickCount();
    for (;;) {
      DWORD spent = GetTickCount() - start;
      DWORD w = spent < limitMs ? WaitForMultipleObjects(stopCount + 1, waits, FALSE, limitMs - spent)
                                : WAIT_TIMEOUT;
      if (w > WAIT_OBJECT_0 && w <= WAIT_OBJECT_0 + stopCount) {
        SocketClose(s, e);
        *which = w - WAIT_OBJECT_0;
        return kConnectStopped;
      }
      if (w != WAIT_OBJECT_0) break;
      WSANETWORKEVENTS happened;
      if (WSAEnumNetworkEvents(*s, e, &happened) != 0) break;
      if (!(happened.lNetworkEvents & FD_CONNECT)) continue;
      if (happened.iErrorCode[FD_CONNECT_BIT] != 0) break;
      // The server may have written already: that read notice was taken with the connect's.
      if (happened.lNetworkEvents & (FD_READ | FD_CLOSE)) WSASetEvent(e);
      return kConnectMade;
    }
    SocketClose(s, e);
  }
  return kConnectFailed;
}

static void ClientReport(int state) {
  if (state == reportedState) return;
  reportedState = state;
  if (handlers.state) handlers.state(state, handlers.context);
}

static void KeepAlive(SOCKET s) {
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
  tcp_keepalive values = {1, kKeepAliveIdleMs, kKeepAliveGapMs};
  DWORD got;
  WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &got, nullptr, nullptr);
}

// Reads what the socket has, up to kReadsPerWake reads, and hands on its button lines. 0 while the
// connection stands, -1 when the server closed it or it failed. A server that never stops writing
// cannot keep the thread from its other handles: what is left sets the socket's event again.
static int ClientRead() {
  WSANETWORKEVENTS happened;
  if (WSAEnumNetworkEvents(connection, socketEvent, &happened) != 0) return -1;
  char buffer[512];
  for (int reads = 0; reads < kReadsPerWake; reads++) {
    int got = recv(connection, buffer, sizeof buffer, 0);
    if (got == 0) return -1;
    if (got < 0) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    DWORD now = timeGetTime();
    size_t at = 0;
    while (at < size_t(got)) {
      size_t used;
      LircItem item;
      if (!LircReaderFeed(&reader, buffer + at, size_t(got) - at, &used, &item)) break;
      at += used;
      if (item.kind != kLircButtonLine || !handlers.button) continue;
      LircEvent e;
      memcpy(e.remote, item.button.remote, sizeof e.remote);
      memcpy(e.name, item.button.name, sizeof e.name);
      e.repeat = item.button.repeat;
      e.time = now;
      handlers.button(&e, handlers.context);
    }
  }
  return 0;
}

enum { kPauseOver = 0, kPauseQuit = 1, kPauseResumed = 2 };

// Waits ms for quit or resume.
static int ClientPause(DWORD ms) {
  HANDLE waits[2] = {quit, resume};
  DWORD w = WaitForMultipleObjects(2, waits, FALSE, ms);
  return w == WAIT_OBJECT_0 ? kPauseQuit : w == WAIT_OBJECT_0 + 1 ? kPauseResumed : kPauseOver;
}

// After a failed attempt or a lost connection: the growing pause, cut short by a resume (the next
// attempt then comes at once, and the waits start from the first again). 1 on quit.
static int ClientBackOff(Reconnect* backoff) {
  int p = ClientPause(DWORD(ReconnectFailed(backoff)));
  if (p == kPauseResumed) ReconnectResumed(backoff);
  return p == kPauseQuit;
}

static DWORD WINAPI ClientThread(LPVOID) {
  Reconnect backoff = {};
  HANDLE stops[2] = {quit, resume};
  for (;;) {
    // Not connected: look the host up (it may have moved) and connect.
    addrinfo* list = nullptr;
    int found = LookupHost(host, service, stops, 2, INFINITE, &list);
    int made = kConnectFailed;
    DWORD which = 0;
    if (found == kLookupFound) {
      made = SocketConnect(list, socketEvent, stops, 2, kConnectLimitMs, &connection, &which);
      freeaddrinfo(list);
    }
    if (WaitForSingleObject(quit, 0) == WAIT_OBJECT_0) {
      SocketClose(&connection, socketEvent);
      return 0;
    }
    if (made != kConnectMade) {
      ClientReport(kLircNotConnected);
      if (made == kConnectStopped || found == kLookupStopped) {
        ReconnectResumed(&backoff);  // a resume during the attempt: again at once
        continue;
      }
      if (ClientBackOff(&backoff)) return 0;
      continue;
    }

    ReconnectReset(&backoff);
    LircReaderReset(&reader);
    KeepAlive(connection);
    ClientReport(kLircConnected);
    HANDLE waits[3] = {quit, resume, socketEvent};
    DWORD w;
    while ((w = WaitForMultipleObjects(3, waits, FALSE, INFINITE)) == WAIT_OBJECT_0 + 2 &&
           ClientRead() == 0) {
    }
    SocketClose(&connection, socketEvent);
    if (w == WAIT_OBJECT_0) return 0;
    ClientReport(kLircNotConnected);
    if (w == WAIT_OBJECT_0 + 1) continue;  // resumed: at once
    if (ClientBackOff(&backoff)) return 0;
  }
}

static void CloseAndForget(HANDLE* h) {
  if (!*h) return;
  CloseHandle(*h);
  *h = nullptr;
}

static int WinsockStart() {
  if (winsockStarted) return 0;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return -1;
  winsockStarted = true;
  return 0;
}

int LircStart(const char* address, const LircHandlers* with) {
  LircStop();
  int port;
  if (LircParseAddress(address, host, sizeof host, &port) != kLircAddressOk) return -1;
  wsprintfA(service, "%d", port);
  memset(&handlers, 0, sizeof handlers);
  if (with) handlers = *with;
  reportedState = -1;
  if (WinsockStart() < 0) return -1;
  quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  resume = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  socketEvent = WSACreateEvent();
  if (!quit || !resume || socketEvent == WSA_INVALID_EVENT) {
    LircStop();
    return -1;
  }
  clientThread = CreateThread(nullptr, 0, ClientThread, nullptr, 0, nullptr);
  if (!clientThread) {
    LircStop();
    return -1;
  }
  return 0;
}

int LircStop() {
  if (quit) SetEvent(quit);
  if (clientThread) {
    // Bounded by construction: every wait of the client thread includes quit.
    WaitForSingleObject(clientThread, INFINITE);
    CloseAndForget(&clientThread);
  }
  SocketClose(&connection, socketEvent);
  if (socketEvent != WSA_INVALID_EVENT) WSACloseEvent(socketEvent);
  socketEvent = WSA_INVALID_EVENT;
  CloseAndForget(&quit);
  CloseAndForget(&resume);
  if (winsockStarted) WSACleanup();
  winsockStarted = false;
  return 0;
}

void LircResume() {
  HANDLE r = resume;
  if (r) SetEvent(r);
}

// ---- The query for Setup's Test button ----

// Copies the data line at *data into to (cut to fit) and moves *data past it. false when no line is left.
static bool QueryLine(const char** data, char* to) {
  const char* end = strchr(*data, '\n');
  if (!end) return false;
  int length = int(end - *data);
  lstrcpynA(to, *data, (length < kLircNameMax ? length : kLircNameMax - 1) + 1);
  *data = end + 1;
  return true;
}

static void QueryTake(const LircReply* reply, LircServerInfo* info, bool* version, bool* list) {
  const char* data = reply->data;
  if (lstrcmpiA(reply->command, "VERSION") == 0) {
    *version = true;
    if (reply->status == 1) QueryLine(&data, info->version);
  } else if (lstrcmpiA(reply->command, "LIST") == 0) {
    *list = true;
    if (reply->status != 1) return;
    info->remotes = reply->lines;
    for (int i = 0; i < kLircQueryRemotesMax && QueryLine(&data, info->remote[i]); i++) {
    }
  }
}

int LircQuery(const char* address, int limitMs, LircServerInfo* info) {
  memset(info, 0, sizeof *info);
  char name[kLircHostMax], svc[8];
  int port;
  if (LircParseAddress(address, name, sizeof name, &port) != kLircAddressOk) return kLircQueryBadAddress;
  wsprintfA(svc, "%d", port);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return kLircQueryNoServer;
  DWORD start = GetTickCount(), limit = limitMs > 0 ? DWORD(limitMs) : 0;
  int result = kLircQueryNoServer;
  WSAEVENT e = WSACreateEvent();
  SOCKET s = INVALID_SOCKET;
  addrinfo* list = nullptr;
  int found = e == WSA_INVALID_EVENT ? kLookupCut : LookupHost(name, svc, nullptr, 0, limit, &list);
  if (found == kLookupUnknown) result = kLircQueryNoHost;
  DWORD which, spent = GetTickCount() - start;
  if (found == kLookupFound && spent < limit &&
      SocketConnect(list, e, nullptr, 0, limit - spent, &s, &which) == kConnectMade) {
    result = kLircQueryNoAnswer;
    static const char kAsk[] = "VERSION\nLIST\n";
    LircReader* r =
        static_cast<LircReader*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(LircReader)));
    bool version = false, remotes = false,
         open = r && send(s, kAsk, sizeof kAsk - 1, 0) == int(sizeof kAsk - 1);
    // A send of a few bytes on a fresh connection completes at once; any other outcome is a failure.
    while (open && !(version && remotes) && (spent = GetTickCount() - start) < limit) {
      if (WaitForSingleObject(e, limit - spent) != WAIT_OBJECT_0) break;
      WSANETWORKEVENTS happened;
      if (WSAEnumNetworkEvents(s, e, &happened) != 0) break;
      char buffer[512];
      int got;
      while ((got = recv(s, buffer, sizeof buffer, 0)) > 0) {
        size_t at = 0, used;
        LircItem item;
        while (at < size_t(got) && LircReaderFeed(r, buffer + at, size_t(got) - at, &used, &item)) {
          at += used;
          if (item.kind == kLircReplyBlock) QueryTake(&item.reply, info, &version, &remotes);
        }
      }
      if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK) open = false;
    }
    if (version && remotes) result = kLircQueryOk;
    if (r) HeapFree(GetProcessHeap(), 0, r);
    SocketClose(&s, e);
  }
  if (list) freeaddrinfo(list);
  if (e != WSA_INVALID_EVENT) WSACloseEvent(e);
  WSACleanup();
  return result;
}

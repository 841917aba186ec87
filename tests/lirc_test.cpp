// The network receiver's client against a server in this process on 127.0.0.1, whose bytes the
// test chooses (lines cut across reads, a server that goes away and comes back, one that never
// answers); and, run by tests/e2e/lirc_e2e.sh, against a real lircd (LircServer.*).
#include <winsock2.h>
#include <ws2tcpip.h>

#include "receiver/lirc.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the client handed on: "REMOTE NAME REPEAT" for buttons, "connected" / "not connected".
struct Seen {
  CRITICAL_SECTION lock;
  std::vector<std::string> events;
  std::vector<DWORD> times;  // timeGetTime() of each, by the handler
  Seen() { InitializeCriticalSection(&lock); }
  ~Seen() { DeleteCriticalSection(&lock); }
  void Add(const std::string& e) {
    EnterCriticalSection(&lock);
    events.push_back(e);
    times.push_back(timeGetTime());
    LeaveCriticalSection(&lock);
  }
  std::string All() {
    EnterCriticalSection(&lock);
    std::string all;
    for (auto& e : events) all += (all.empty() ? "" : "|") + e;
    LeaveCriticalSection(&lock);
    return all;
  }
  size_t Count() {
    EnterCriticalSection(&lock);
    size_t n = events.size();
    LeaveCriticalSection(&lock);
    return n;
  }
  // Waits up to limitMs for `count` events.
  bool WaitFor(size_t count, DWORD limitMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(10)) {
      if (Count() >= count) return true;
    }
    return Count() >= count;
  }
};

void OnButton(const LircEvent* e, void* context) {
  static_cast<Seen*>(context)->Add(std::string(e->remote) + " " + e->name + " " + std::to_string(e->repeat));
}
void OnState(int state, void* context) {
  static_cast<Seen*>(context)->Add(state == kLircConnected ? "connected" : "not connected");
}

struct Winsock {
  Winsock() {
    WSADATA d;
    WSAStartup(MAKEWORD(2, 2), &d);
  }
  ~Winsock() { WSACleanup(); }
};

// A listening socket on 127.0.0.1 (port 0: any free one).
SOCKET Listen(int* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(u_short(*port));
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 4) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  int size = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  *port = ntohs(a.sin_port);
  return s;
}

SOCKET Accept(SOCKET listener, DWORD limitMs) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval t = {long(limitMs / 1000), long(limitMs % 1000 * 1000)};
  if (select(0, &ready, nullptr, nullptr, &t) != 1) return INVALID_SOCKET;
  return accept(listener, nullptr, nullptr);
}

std::string Address(int port) {
  return "127.0.0.1:" + std::to_string(port);
}

LircHandlers HandlersFor(Seen* seen) {
  return {OnButton, OnState, seen};
}

}  // namespace

// Each row: the chunks the server writes (a pause between them, so each is its own read), and what
// the client hands on. How lines are cut is the reader's table; here the reads are real ones.
TEST(LircClient, LinesAcrossReads) {
  Winsock ws;
  const std::string overlong(1100, 'a');
  struct {
    const char* what;
    std::vector<std::string> chunks;
    const char* want;
  } rows[] = {
      {"a press and its repeats, cut inside lines",
       {"0000000020df10ef 00 KEY_PL", "AY DEMO\n0000000020df10ef 01 KEY_PLAY DEMO\n00000000",
        "20df10ef 02 KEY_PLAY DEMO\n"},
       "connected|DEMO KEY_PLAY 0|DEMO KEY_PLAY 1|DEMO KEY_PLAY 2"},
      {"a reload notice, junk and an overlong line do nothing",
       {"BEGIN\nSIG", "HUP\nEND\n", "hello\n" + overlong, "\n0000000020df10ef 00 KEY_UP DEMO\n"},
       "connected|DEMO KEY_UP 0"},
  };
  for (auto& row : rows) {
    int port = 0;
    SOCKET listener = Listen(&port);
    ASSERT_NE(listener, INVALID_SOCKET);
    Seen seen;
    LircHandlers h = HandlersFor(&seen);
    ASSERT_EQ(LircStart(Address(port).c_str(), &h), 0);
    SOCKET c = Accept(listener, 5000);
    ASSERT_NE(c, INVALID_SOCKET) << row.what;
    for (auto& chunk : row.chunks) {
      send(c, chunk.data(), int(chunk.size()), 0);
      Sleep(60);
    }
    int want = 1;
    for (const char* p = row.want; *p; p++) want += *p == '|';
    seen.WaitFor(size_t(want), 3000);
    Sleep(100);
    EXPECT_EQ(seen.All(), row.want) << row.what;
    LircStop();
    closesocket(c);
    closesocket(listener);
  }
}

// No server at start: not connected, said once; the server comes and the client connects; the
// server goes away and comes back on the same port; the client is back within its first waits.
TEST(LircClient, ServerAwayAndBack) {
  Winsock ws;
  int port = 0;
  SOCKET probe = Listen(&port);  // a free port, closed again: nothing listens there at start
  closesocket(probe);
  Seen seen;
  LircHandlers h = HandlersFor(&seen);
  ASSERT_EQ(LircStart(Address(port).c_str(), &h), 0);
  ASSERT_TRUE(seen.WaitFor(1, 3000));
  Sleep(1500);  // a second failed attempt says nothing new
  EXPECT_EQ(seen.All(), "not connected");

  SOCKET listener = Listen(&port);
  ASSERT_NE(listener, INVALID_SOCKET);
  SOCKET c = Accept(listener, 5000);  // within the next waits (2 s, then 4 s)
  ASSERT_NE(c, INVALID_SOCKET);
  ASSERT_TRUE(seen.WaitFor(2, 2000));

  // The server restarts: the connection and the listener go; a new one listens 1.5 s later.
  closesocket(c);
  closesocket(listener);
  ASSERT_TRUE(seen.WaitFor(3, 2000));
  DWORD lost = seen.times[2];
  Sleep(1500);
  listener = Listen(&port);
  ASSERT_NE(listener, INVALID_SOCKET);
  DWORD up = timeGetTime();
  c = Accept(listener, 5000);
  ASSERT_NE(c, INVALID_SOCKET);
  ASSERT_TRUE(seen.WaitFor(4, 2000));
  std::printf(
      "[ figure ] reconnect after a server restart: %lu ms after it listened (%lu ms after the loss)\n",
      static_cast<unsigned long>(seen.times[3] - up), static_cast<unsigned long>(seen.times[3] - lost));
  send(c, "0000000020df10ef 00 KEY_OK DEMO\n", 32, 0);
  ASSERT_TRUE(seen.WaitFor(5, 2000));
  EXPECT_EQ(seen.All(), "not connected|connected|not connected|connected|DEMO KEY_OK 0");

  // A resume drops the connection and makes a new one at once.
  LircResume();
  SOCKET again = Accept(listener, 1000);
  EXPECT_NE(again, INVALID_SOCKET);
  EXPECT_TRUE(seen.WaitFor(7, 1000));
  EXPECT_EQ(seen.All(),
            "not connected|connected|not connected|connected|DEMO KEY_OK 0|not connected|connected");
  LircStop();
  closesocket(again);
  closesocket(c);
  closesocket(listener);
}

// Stop ends the thread whatever it waits for: a long pause between attempts, or a server that
// accepted and sends nothing (a wait without end). The bound is well below the waits it cuts short.
TEST(LircClient, StopEndsEveryWait) {
  Winsock ws;
  int port = 0;
  SOCKET probe = Listen(&port);
  closesocket(probe);
  Seen seen;
  LircHandlers h = HandlersFor(&seen);
  ASSERT_EQ(LircStart(Address(port).c_str(), &h), 0);
  ASSERT_TRUE(seen.WaitFor(1, 3000));
  Sleep(1300);  // past the second attempt, into the 2 s pause
  DWORD start = GetTickCount();
  LircStop();
  EXPECT_LT(GetTickCount() - start, 1000u) << "stop during the pause between attempts";

  SOCKET listener = Listen(&port);
  ASSERT_EQ(LircStart(Address(port).c_str(), &h), 0);
  SOCKET c = Accept(listener, 5000);
  ASSERT_NE(c, INVALID_SOCKET);
  Sleep(200);
  start = GetTickCount();
  LircStop();
  EXPECT_LT(GetTickCount() - start, 1000u) << "stop while connected";
  // The client closed its side: the server reads the end of the stream.
  char b;
  EXPECT_EQ(recv(c, &b, 1, 0), 0);
  closesocket(c);
  closesocket(listener);
  EXPECT_EQ(LircStart("no host here", &h), -1);
  EXPECT_EQ(LircStop(), 0);
}

// A server for the query: answers after `reply` chunks, a pause between them.
static void Answer(SOCKET listener, std::vector<std::string> reply, std::string* asked) {
  SOCKET c = Accept(listener, 5000);
  if (c == INVALID_SOCKET) return;
  char b[256];
  int got = recv(c, b, sizeof b, 0);
  if (got > 0) asked->assign(b, size_t(got));
  for (auto& chunk : reply) {
    send(c, chunk.data(), int(chunk.size()), 0);
    Sleep(30);
  }
  while (recv(c, b, sizeof b, 0) > 0) {  // until the query closes its side
  }
  closesocket(c);
}

TEST(LircClient, Query) {
  Winsock ws;
  const std::string version = "BEGIN\nVERSION\nSUCCESS\nDATA\n1\n0.10.1\nEND\n";
  const std::string list = "BEGIN\nLIST\nSUCCESS\nDATA\n2\nDEMO\nTV_2\nEND\n";
  struct {
    const char* what;
    std::vector<std::string> reply;
    int result;
    const char* version;
    const char* remotes;
  } rows[] = {
      {"both answers, cut across reads, a button and a reload notice between",
       {version.substr(0, 20),
        version.substr(20) + "0 0 KEY_UP DEMO\nBEGIN\nSIGHUP\nEND\n" + list.substr(0, 9), list.substr(9)},
       kLircQueryOk,
       "0.10.1",
       "2 DEMO TV_2"},
      {"no remotes", {version, "BEGIN\nLIST\nSUCCESS\nEND\n"}, kLircQueryOk, "0.10.1", "0"},
      {"an answer missing", {version}, kLircQueryNoAnswer, "0.10.1", "0"},
      {"not a LIRC server", {"SSH-2.0-OpenSSH\n"}, kLircQueryNoAnswer, "", "0"},
  };
  for (auto& row : rows) {
    int port = 0;
    SOCKET listener = Listen(&port);
    std::string asked;
    std::thread server(Answer, listener, row.reply, &asked);
    LircServerInfo info;
    DWORD start = GetTickCount();
    EXPECT_EQ(LircQuery(Address(port).c_str(), 2000, &info), row.result) << row.what;
    EXPECT_LT(GetTickCount() - start, 2500u) << row.what;
    std::string remotes = std::to_string(info.remotes);
    for (int i = 0; i < info.remotes && i < kLircQueryRemotesMax; i++)
      remotes += std::string(" ") + info.remote[i];
    EXPECT_STREQ(info.version, row.version) << row.what;
    EXPECT_EQ(remotes, row.remotes) << row.what;
    server.join();
    EXPECT_EQ(asked, "VERSION\nLIST\n") << row.what;
    closesocket(listener);
  }
  int port = 0;
  closesocket(Listen(&port));
  LircServerInfo info;
  EXPECT_EQ(LircQuery(Address(port).c_str(), 2000, &info), kLircQueryNoServer);
  EXPECT_EQ(LircQuery("127.0.0.1:0", 2000, &info), kLircQueryBadAddress);
  EXPECT_EQ(LircQuery("no.such.host.invalid", 2000, &info), kLircQueryNoHost);
}

// ---- Against a real lircd (tests/e2e/lirc_e2e.sh) ----
// REMOTE_LIRC names the work folder and REMOTE_LIRC_PORT lircd's port. The test asks the script for
// each step by writing a file there: "sendN" holds the line lircd is to send to its clients
// (irsend SIMULATE), "restartN" asks for lircd to be ended and started again after the seconds it
// holds; the script answers
// with "sendN.done" or "restartN.done".
namespace {

std::string Env(const char* name) {
  char value[260];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n && n < sizeof value ? value : "";
}

int step = 0;

bool AskScript(const std::string& folder, const std::string& what, const std::string& content) {
  std::string name = folder + "\\" + what + std::to_string(++step);
  FILE* f = std::fopen((name + ".tmp").c_str(), "wb");
  if (!f) return false;
  std::fputs(content.c_str(), f);
  std::fclose(f);
  MoveFileA((name + ".tmp").c_str(), name.c_str());
  for (int i = 0; i < 300; i++, Sleep(50)) {
    if (GetFileAttributesA((name + ".done").c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  }
  return false;
}

}  // namespace

TEST(LircServer, PressHoldRestartQuery) {
  std::string folder = Env("REMOTE_LIRC"), port = Env("REMOTE_LIRC_PORT");
  if (folder.empty()) GTEST_SKIP() << "run by tests/e2e/lirc_e2e.sh, with a real lircd";
  std::string address = "127.0.0.1:" + port;

  LircServerInfo info;
  ASSERT_EQ(LircQuery(address.c_str(), 2000, &info), kLircQueryOk);
  EXPECT_STREQ(info.version, "0.10.1");
  ASSERT_EQ(info.remotes, 1);
  EXPECT_STREQ(info.remote[0], "DEMO");

  Seen seen;
  LircHandlers h = HandlersFor(&seen);
  ASSERT_EQ(LircStart(address.c_str(), &h), 0);
  ASSERT_TRUE(seen.WaitFor(1, 3000));
  // A press, and a held button by its repeat counts.
  const char* lines[] = {"0000000020df10ef 00 KEY_PLAY DEMO", "0000000020df40bf 00 KEY_UP DEMO",
                         "0000000020df40bf 01 KEY_UP DEMO", "0000000020df40bf 02 KEY_UP DEMO"};
  for (const char* line : lines) ASSERT_TRUE(AskScript(folder, "send", line)) << line;
  ASSERT_TRUE(seen.WaitFor(5, 2000));
  EXPECT_EQ(seen.All(), "connected|DEMO KEY_PLAY 0|DEMO KEY_UP 0|DEMO KEY_UP 1|DEMO KEY_UP 2");

  // lircd restarted at once, and again after 1.5 s away (the client then in its second wait): each
  // time the client notices, and is back soon after lircd listens again.
  std::string want = "connected|DEMO KEY_PLAY 0|DEMO KEY_UP 0|DEMO KEY_UP 1|DEMO KEY_UP 2";
  for (const char* away : {"0", "1.5"}) {
    size_t before = seen.Count();
    ASSERT_TRUE(AskScript(folder, "restart", away));
    DWORD up = timeGetTime();
    ASSERT_TRUE(seen.WaitFor(before + 2, 10000)) << away;
    std::printf("[ figure ] reconnect to lircd restarted after %s s away: %lu ms after it listened\n", away,
                static_cast<unsigned long>(seen.times[before + 1] - up));
    ASSERT_TRUE(AskScript(folder, "send", "0000000020df10ef 00 KEY_PLAY DEMO"));
    ASSERT_TRUE(seen.WaitFor(before + 3, 2000));
    want += "|not connected|connected|DEMO KEY_PLAY 0";
  }
  EXPECT_EQ(seen.All(), want);
  LircStop();
}

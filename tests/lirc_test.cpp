// The network receiver's client against a server in this process on 127.0.0.1, whose bytes the
// test chooses; and, run by tests/e2e/lirc_e2e.sh, against a real lircd (LircServer.*).
#include <winsock2.h>

#include "receiver/lirc.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "receiver/lircreceiver.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the client handed on, "REMOTE NAME REPEAT" or "connected" / "not connected", and when.
struct Seen {
  LircHandlers h = {[](const LircEvent* e, void* seen) {
                      static_cast<Seen*>(seen)->Add(std::string(e->remote) + " " + e->name + " " +
                                                    std::to_string(e->repeat));
                    },
                    [](int state, void* seen) {
                      static_cast<Seen*>(seen)->Add(state == kLircConnected ? "connected" : "not connected");
                    },
                    this};
  std::mutex lock;
  std::string all;
  std::vector<DWORD> times;
  void Add(const std::string& e) {
    std::lock_guard<std::mutex> hold(lock);
    all += (all.empty() ? "" : "|") + e;
    times.push_back(timeGetTime());
  }
  std::string All() {
    std::lock_guard<std::mutex> hold(lock);
    return all;
  }
  bool WaitFor(size_t count, DWORD limitMs) {  // at least `count` events within limitMs
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(10)) {
      std::lock_guard<std::mutex> hold(lock);
      if (times.size() >= count) return true;
    }
    return false;
  }
};
WSADATA winsockData;
const int winsock = WSAStartup(MAKEWORD(2, 2), &winsockData);

// A listening socket on 127.0.0.1:*port (0: a free one, written back).
SOCKET Listen(int* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(u_short(*port));
  int size = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), size) || listen(s, 4)) return closesocket(s), INVALID_SOCKET;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  *port = ntohs(a.sin_port);
  return s;
}

SOCKET Accept(SOCKET listener, long limitMs) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval t = {limitMs / 1000, limitMs % 1000 * 1000};
  return select(0, &ready, nullptr, nullptr, &t) == 1 ? accept(listener, nullptr, nullptr) : INVALID_SOCKET;
}

std::string Address(int port) {
  return "127.0.0.1:" + std::to_string(port);
}

}  // namespace

// One client's life: no server at start, a server that comes and writes lines cut across reads
// among junk, a resume; stop while connected, with a server that sends nothing more. (A server
// restart is LircServer's case.)
TEST(LircClient, ServerComesAndResumes) {
  int port = 0;
  closesocket(Listen(&port));  // a free port where nothing listens yet
  Seen seen;
  ASSERT_EQ(LircStart(Address(port).c_str(), &seen.h), 0);
  Sleep(1500);  // two failed attempts, said once
  EXPECT_EQ(seen.All(), "not connected");

  SOCKET listener = Listen(&port);
  SOCKET c = Accept(listener, 5000);
  ASSERT_NE(c, INVALID_SOCKET);
  const std::string chunks[] = {
      "0000000020df10ef 00 KEY_PL", "AY DEMO\n0000000020df10ef 01 KEY_PLAY DEMO\nBEGIN\nSIG",
      "HUP\nEND\nhello\n" + std::string(1100, 'a'), "\n0000000020df10ef 02 KEY_PLAY DEMO\n"};
  for (auto& chunk : chunks) send(c, chunk.data(), int(chunk.size()), 0), Sleep(60);
  ASSERT_TRUE(seen.WaitFor(5, 2000));

  LircResume();  // the connection is dropped and made again at once
  SOCKET again = Accept(listener, 1000);
  EXPECT_NE(again, INVALID_SOCKET);
  EXPECT_TRUE(seen.WaitFor(7, 1000));
  EXPECT_EQ(
      seen.All(),
      "not connected|connected|DEMO KEY_PLAY 0|DEMO KEY_PLAY 1|DEMO KEY_PLAY 2|not connected|connected");
  DWORD start = GetTickCount();
  LircStop();
  EXPECT_LT(GetTickCount() - start, 1000u) << "stop while connected";
  for (SOCKET s : {again, c, listener}) closesocket(s);
}

// Stop during the pause between attempts, which it cuts short.
TEST(LircClient, StopDuringPause) {
  Seen seen;
  ASSERT_EQ(LircStart("127.0.0.1:1", &seen.h), 0);
  Sleep(1300);  // past the second attempt, into the 2 s pause
  DWORD start = GetTickCount();
  LircStop();
  EXPECT_LT(GetTickCount() - start, 1000u);
}

// The client as a receiver of the key path: each button line one key event in the queue, the
// server's count telling a press's beginning from its repeats; a flood keeps only the newest 32;
// connection changes posted to the state window, and kNetworkOff once stopped.
TEST(LircReceiver, ButtonLinesBecomeKeyEventsAndStatesArePosted) {
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ReceiverSetStateWindow(window);
  auto states = [window](std::string got = "") {
    for (MSG m; PeekMessageA(&m, window, kMsgNetworkState, kMsgNetworkState, PM_REMOVE);)
      got += std::to_string(m.wParam);
    return got;
  };
  QueueClear();
  EXPECT_EQ(LircReceiverStart("a b"), -1);
  int port = 0;
  SOCKET listener = Listen(&port);
  ASSERT_EQ(LircReceiverStart((" " + Address(port) + " ").c_str()), 0);
  EXPECT_EQ(LircReceiverAddress(), Address(port));  // as the Activity window names it
  SOCKET c = Accept(listener, 5000);
  const std::string lines =
      "0000000020df10ef 00 KEY_PLAY DEMO\n0000000020df10ef 01 KEY_PLAY DEMO\n"
      "0000000020df10ef 1a KEY_VOLUMEUP TV_2\n";
  DWORD sent = timeGetTime();
  send(c, lines.data(), int(lines.size()), 0);
  ASSERT_EQ(WaitForSingleObject(gKeyReadyEvent, 2000), DWORD(WAIT_OBJECT_0));
  Sleep(100);
  std::string events;
  for (KeyEvent e; QueueTake(&e);) {
    events += std::to_string(e.enable) + std::to_string(e.source) + std::to_string(e.signal) + " " +
              e.remote + " " + e.name + (e.time - sent < 1000u ? "|" : " (time?)|");
  }
  EXPECT_EQ(events, "111 DEMO KEY_PLAY|112 DEMO KEY_PLAY|112 TV_2 KEY_VOLUMEUP|");

  std::string flood;
  for (int i = 0; i < 1000; i++) flood += "0000000020df10ef " + std::to_string(i % 10) + " KEY_UP DEMO\n";
  send(c, flood.data(), int(flood.size()), 0);
  Sleep(500);
  int taken = 0;
  for (KeyEvent e; QueueTake(&e);) taken++;
  EXPECT_EQ(taken, int(kKeyRingSlots));

  closesocket(c);  // the server goes away
  Sleep(300);
  EXPECT_EQ(LircReceiverState(), kNetworkNotConnected);
  EXPECT_EQ(LircReceiverStop(), 0);
  EXPECT_EQ(LircReceiverRunning(), 0);
  EXPECT_EQ(LircReceiverStop(), 0);
  EXPECT_EQ(states(), std::to_string(kNetworkConnected) + std::to_string(kNetworkNotConnected) +
                          std::to_string(kNetworkOff));
  closesocket(listener);
  ReceiverSetStateWindow(nullptr);
  DestroyWindow(window);
}

// The query against a server that answers in pieces, with a button and a reload notice between
// its answers; against one that accepts and says nothing; against none.
TEST(LircClient, Query) {
  int port = 0;
  SOCKET listener = Listen(&port);
  std::string asked;
  std::thread server([listener, &asked] {
    SOCKET c = Accept(listener, 5000);
    char b[256];
    int got = recv(c, b, sizeof b, 0);
    asked.assign(b, size_t(got > 0 ? got : 0));
    for (const char* chunk :
         {"BEGIN\nVERSION\nSUCCESS\nDA", "TA\n1\n0.10.1\nEND\n0 0 KEY_UP DEMO\nBEGIN\nSIGHUP\nEND\nBEGIN\nLI",
          "ST\nSUCCESS\nDATA\n2\nDEMO\nTV_2\nEND\n"}) {
      send(c, chunk, int(strlen(chunk)), 0), Sleep(30);
    }
    while (recv(c, b, sizeof b, 0) > 0) {  // until the query closes its side
    }
    closesocket(c);
  });
  LircServerInfo info;
  EXPECT_EQ(LircQuery(Address(port).c_str(), 2000, &info), kLircQueryOk);
  server.join();
  EXPECT_EQ(asked, "VERSION\nLIST\n");
  EXPECT_EQ(std::string(info.version) + " " + std::to_string(info.remotes) + " " + info.remote[0] + " " +
                info.remote[1],
            "0.10.1 2 DEMO TV_2");
  DWORD start = GetTickCount();
  EXPECT_EQ(LircQuery(Address(port).c_str(), 1000, &info), kLircQueryNoAnswer);  // queued, never accepted
  EXPECT_LT(GetTickCount() - start, 1500u);
  closesocket(listener);
  EXPECT_EQ(LircQuery(Address(port).c_str(), 2000, &info), kLircQueryNoServer);
  EXPECT_EQ(LircQuery("127.0.0.1:0", 2000, &info), kLircQueryBadAddress);
  EXPECT_EQ(LircQuery("no.such.host.invalid", 2000, &info), kLircQueryNoHost);
}

// Against a real lircd, run by tests/e2e/lirc_e2e.sh: REMOTE_LIRC names its work folder and
// REMOTE_LIRC_PORT lircd's port. The test asks the script for each step with a file there: "sendN"
// holds a line for lircd to send (irsend SIMULATE), "restartN" the seconds lircd stays away when
// restarted; the script answers with "sendN.done" or "restartN.done".
static bool AskScript(const char* folder, const char* what, const char* content) {
  static int step;
  std::string name = std::string(folder) + "\\" + what + std::to_string(++step);
  FILE* f = std::fopen((name + ".tmp").c_str(), "wb");
  if (!f) return false;
  std::fputs(content, f);
  std::fclose(f);
  MoveFileA((name + ".tmp").c_str(), name.c_str());
  for (int i = 0; i < 300; i++, Sleep(50)) {
    if (GetFileAttributesA((name + ".done").c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  }
  return false;
}

TEST(LircServer, PressHoldRestartQuery) {
  const char *folder = getenv("REMOTE_LIRC"), *port = getenv("REMOTE_LIRC_PORT");
  if (!folder || !port) GTEST_SKIP() << "run by tests/e2e/lirc_e2e.sh, with a real lircd";
  std::string address = std::string("127.0.0.1:") + port;
  LircServerInfo info;
  ASSERT_EQ(LircQuery(address.c_str(), 2000, &info), kLircQueryOk);
  EXPECT_EQ(std::string(info.version) + " " + std::to_string(info.remotes) + " " + info.remote[0],
            "0.10.1 1 DEMO");

  Seen seen;
  ASSERT_EQ(LircStart(address.c_str(), &seen.h), 0);
  ASSERT_TRUE(seen.WaitFor(1, 3000));
  // A press, and a held button by its repeat counts.
  for (const char* line : {"0000000020df10ef 00 KEY_PLAY DEMO", "0000000020df40bf 00 KEY_UP DEMO",
                           "0000000020df40bf 01 KEY_UP DEMO", "0000000020df40bf 02 KEY_UP DEMO"}) {
    ASSERT_TRUE(AskScript(folder, "send", line)) << line;
  }
  // lircd restarted at once, and after 1.5 s away (the client then in its second wait).
  std::string want = "connected|DEMO KEY_PLAY 0|DEMO KEY_UP 0|DEMO KEY_UP 1|DEMO KEY_UP 2";
  ASSERT_TRUE(seen.WaitFor(5, 2000));
  for (size_t before : {5, 8}) {
    const char* away = before == 5 ? "0" : "1.5";
    ASSERT_TRUE(AskScript(folder, "restart", away));
    DWORD up = timeGetTime();
    ASSERT_TRUE(seen.WaitFor(before + 2, 10000)) << seen.All();
    std::printf("[ figure ] reconnect to lircd restarted after %s s away: %lu ms after it listened\n", away,
                static_cast<unsigned long>(seen.times[before + 1] - up));
    ASSERT_TRUE(AskScript(folder, "send", "0000000020df10ef 00 KEY_PLAY DEMO"));
    ASSERT_TRUE(seen.WaitFor(before + 3, 2000)) << seen.All();
    want += "|not connected|connected|DEMO KEY_PLAY 0";
  }
  EXPECT_EQ(seen.All(), want);
  LircStop();
}

// The serial link on the test cable: COM1 is the program's side, COM9 the remote's end (a
// pseudo-terminal pair from socat, see tools/test.sh). Wine does not enforce exclusive opens of
// COM ports, so the test reads the port's live settings through a second handle.
#include "receiver/link.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>
#include <windows.h>

#include <string>
#include <vector>

#include "actions/dispatch.h"
#include "app/keypath.h"
#include "common/process.h"
#include "receiver/keyqueue.h"
#include "test_support.h"

namespace {

struct LineSettings {
  DWORD baud;
  DWORD flags;  // the DCB's bit fields as one word
  int byteSize, parity, stopBits;
  bool operator==(const LineSettings& o) const {
    return baud == o.baud && flags == o.flags && byteSize == o.byteSize && parity == o.parity &&
           stopBits == o.stopBits;
  }
};

std::ostream& operator<<(std::ostream& os, const LineSettings& s) {
  return os << s.baud << " baud, flags 0x" << std::hex << s.flags << std::dec << ", " << s.byteSize << "/"
            << s.parity << "/" << s.stopBits;
}

DWORD FlagsOf(const DCB& dcb) {
  DWORD flags;
  memcpy(&flags, reinterpret_cast<const char*>(&dcb.BaudRate) + sizeof dcb.BaudRate, sizeof flags);
  return flags;
}

HANDLE OpenPort(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

LineSettings ReadSettings(const char* name) {
  HANDLE h = OpenPort(name);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << name;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(GetCommState(h, &dcb));
  CloseHandle(h);
  return {dcb.BaudRate, FlagsOf(dcb), dcb.ByteSize, dcb.Parity, dcb.StopBits};
}

// Puts settings on COM1 that differ from the receiver's in every field the pseudo-terminal keeps:
// 9600 baud, two stop bits, CTS flow control, DTR on, XON/XOFF both ways, RTS handshake.
void SetForeignSettings() {
  HANDLE h = OpenPort("COM1");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(h, &dcb));
  dcb.BaudRate = 9600;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fOutxCtsFlow = 1;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fOutX = 1;
  dcb.fInX = 1;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  EXPECT_TRUE(SetCommState(h, &dcb));
  CloseHandle(h);
}

int ThreadCount() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  int n = 0;
  for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID == GetCurrentProcessId()) n++;
  }
  CloseHandle(snap);
  return n;
}

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * double(c.QuadPart) / double(f.QuadPart);
}

// Writes bytes to the remote's end as the receiver does: a silence first, then about 8 ms a byte.
void Send(HANDLE remote, std::vector<uint8_t> bytes) {
  Sleep(60);
  for (uint8_t b : bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(remote, &b, 1, &written, nullptr));
    ASSERT_EQ(written, 1u);
    Sleep(8);
  }
}

const std::vector<uint8_t> kSentinel = {0x00, 0xFF, 0x7F};  // key 127

// Collects queued key codes until the sentinel key 127 arrives (or 5 s pass).
std::vector<int> KeysUntilSentinel() {
  std::vector<int> codes;
  double deadline = NowMs() + 5000;
  while (NowMs() < deadline) {
    if (WaitForSingleObject(gKeyReadyEvent, 100) != WAIT_OBJECT_0) continue;
    KeyEvent e;
    while (QueueTake(&e)) {
      EXPECT_EQ(e.enable, 1);
      if (e.code == 127) return codes;
      codes.push_back(e.code);
    }
  }
  ADD_FAILURE() << "the sentinel key never arrived";
  return codes;
}

class ReceiverLink : public ::testing::Test {
 protected:
  void SetUp() override {
    QueueClear();
    remote_ = OpenPort("COM9");
    ASSERT_NE(remote_, INVALID_HANDLE_VALUE);
    strcpy(gProfilePath, profiles_.File("profiles.ini").c_str());
  }
  void TearDown() override {
    ReceiverStop();
    CloseHandle(remote_);
  }
  void WriteProfile(const std::string& text) { profiles_.Write("profiles.ini", text); }

  HANDLE remote_ = INVALID_HANDLE_VALUE;
  TempDir profiles_;
};

// What the profile sets up runs; the start fails (start-up then opens Setup) when nothing is set up
// or what is set up cannot run. A network receiver is a receiver of its own, its server there or not.
TEST_F(ReceiverLink, KeyPathStartsWhatTheProfileSetsUp) {
  struct {
    const char* name;
    const char* profile;  // null: no profiles.ini at all
    // threads: the reader and the network client, beside the dispatch thread and the thread that
    // follows the profile for the keyboard hook, which run whatever is set up (the keys of USB
    // remotes need no receiver)
    int result, threads;
  } cases[] = {{"no file", nullptr, -1, 0},
               {"port 0", "[default]\r\nport=0\r\n", -1, 0},
               {"no port entry", "[default]\r\nKey5=CLOSE\r\n", -1, 0},
               {"port in another section", "[Notepad]\r\nport=1\r\n", -1, 0},
               {"a blank lirc= is none", "[default]\r\nport=0\r\nlirc= \r\n", -1, 0},
               {"no port, a server nobody listens on", "[default]\r\nport=0\r\nlirc=127.0.0.1:1\r\n", 0, 1},
               {"lirc= without a port entry", "[default]\r\nlirc=127.0.0.1:1\r\n", 0, 1},
               {"both receivers", "[default]\r\nport=1\r\nlirc=127.0.0.1:1\r\n", 0, 2},
               {"lirc= not an address: asked, the port runs", "[default]\r\nport=1\r\nlirc=a b:x\r\n", -1, 1},
               {"lirc= not an address, no port", "[default]\r\nlirc=127.0.0.1:99999\r\n", -1, 0}};
  enum { kAlways = 2 };
  // The first start makes a thread of the system's own that stays: counted from after it.
  KeyPathStart();
  KeyPathStop();
  int threads = ThreadCount();
  for (auto& c : cases) {
    if (c.profile) WriteProfile(c.profile);
    EXPECT_EQ(KeyPathStart(), c.result) << c.name;
    Sleep(100);  // a name lookup's helper thread is gone by now
    EXPECT_EQ(ThreadCount(), threads + kAlways + c.threads) << c.name;
    EXPECT_EQ(KeyPathStop(), 0);
    EXPECT_EQ(ThreadCount(), threads) << c.name;
  }
}

TEST_F(ReceiverLink, PortThatDoesNotExistIsRefusedInTestMode) {
  EXPECT_EQ(ReceiverStart(kReceiverTest, 3), -1);
  EXPECT_EQ(ReceiverStart(kReceiverTest, 12), -1);
  EXPECT_EQ(ReceiverStart(kReceiverTest, 0), -1);
}

// Key 5 is check byte 0x37, data 0x05. Each packet is followed by the sentinel key 127.
TEST_F(ReceiverLink, TestModeQueuesCorrectedKeys) {
  struct {
    const char* name;
    std::vector<uint8_t> packet;
    std::vector<int> keys;
  } cases[] = {
      {"clean", {0x00, 0x37, 0x05}, {5}},
      {"bit 7 of data ignored, b0 anything", {0xFF, 0x37, 0x85}, {5}},
      {"one check bit", {0x00, 0x36, 0x05}, {5}},
      {"one data bit", {0x00, 0x37, 0x04}, {5}},
      {"one data bit and one check bit", {0x00, 0x37 ^ 0x80, 0x05 ^ 0x40}, {5}},
      {"two data bits", {0x00, 0x37, 0x05 ^ 0x22}, {5}},
      {"nearest code word is key 0", {0x00, 0x00, 0x05}, {0}},
      {"three errors rejected", {0x00, 0x37 ^ 0x0B, 0x05}, {}},
      {"two packets back to back", {0x00, 0x37, 0x05, 0x00, 0xA2, 0x03}, {5, 3}},
  };
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  ASSERT_NE(gKeyReadyEvent, nullptr);
  for (auto& c : cases) {
    Send(remote_, c.packet);
    Send(remote_, kSentinel);
    EXPECT_EQ(KeysUntilSentinel(), c.keys) << c.name;
  }
}

TEST_F(ReceiverLink, RejectedPacketSetsNoEvent) {
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  Send(remote_, {0x00, 0x0B, 0x00});
  Sleep(300);
  EXPECT_EQ(WaitForSingleObject(gKeyReadyEvent, 0), DWORD(WAIT_TIMEOUT));
  KeyEvent e;
  EXPECT_EQ(QueueTake(&e), 0);
}

TEST_F(ReceiverLink, LineSettingsWhileRunningAndRestoredAtStop) {
  SetForeignSettings();
  LineSettings before = ReadSettings("COM1");
  ASSERT_EQ(before.baud, 9600u);

  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  LineSettings running = ReadSettings("COM1");
  EXPECT_EQ(running.baud, 1200u);
  EXPECT_EQ(running.byteSize, 8);
  EXPECT_EQ(running.parity, NOPARITY);
  EXPECT_EQ(running.stopBits, ONESTOPBIT);
  // DTR control (0x30) is left out: a pseudo-terminal has no modem lines, and Wine then reports
  // DTR as enabled whatever was set.
  EXPECT_EQ(running.flags & 0x7FCF, ((before.flags & ~0x6232u) | 0x1001) & 0x7FCF) << running;

  ASSERT_EQ(ReceiverStop(), 0);
  EXPECT_EQ(ReadSettings("COM1"), before);
}

TEST_F(ReceiverLink, NormalModeRunsOnThePortGiven) {
  WriteProfile("[default]\r\nport=3\r\n");  // not read here: the caller names the port
  int threads = ThreadCount();
  ASSERT_EQ(ReceiverStart(kReceiverNormal, 1), 0);
  EXPECT_EQ(ThreadCount(), threads + 1);  // the reader alone: no consumer of its own
  Send(remote_, {0x00, 0x37, 0x05});
  Send(remote_, kSentinel);
  EXPECT_EQ(KeysUntilSentinel(), std::vector<int>{5});
  ReceiverStop();
  EXPECT_EQ(ThreadCount(), threads);
}

// The key path: the receiver on the profile's port and the dispatch thread, which hands the line
// to the action handler (a recorder here, so nothing is typed on the test's desktop).
TEST_F(ReceiverLink, KeyPathActsOnKeysAndStopEndsBothThreads) {
  static volatile LONG handled;
  handled = 0;
  ActionHandler previous = gActionHandler;
  gActionHandler = [](HWND, const char* line, BYTE enable, ActionReport*) {
    if (strcmp(line, "CLOSE") == 0 && enable == 1) InterlockedIncrement(&handled);
    return 0;
  };
  WriteProfile("[default]\r\nport=1\r\nKey5=CLOSE\r\n");
  KeyPathStart();  // the system's own thread that the first start makes, counted in
  KeyPathStop();
  int threads = ThreadCount();
  ASSERT_EQ(KeyPathStart(), 0);
  EXPECT_EQ(ThreadCount(), threads + 3);  // the reader, the dispatch thread, the profile's follower
  Send(remote_, {0x00, 0x37, 0x05});
  for (double deadline = NowMs() + 5000; !handled && NowMs() < deadline;) Sleep(10);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(KeyPathStop(), 0);
  EXPECT_EQ(ThreadCount(), threads);
  gActionHandler = previous;

  WriteProfile("[default]\r\nport=3\r\n");  // no such port yet: both threads wait for it
  EXPECT_EQ(KeyPathStart(), 0);
  EXPECT_EQ(ThreadCount(), threads + 3);
  EXPECT_EQ(KeyPathStop(), 0);
  EXPECT_EQ(ThreadCount(), threads);
}

// The states the main window is told of, in the order they happen: none configured, waiting for
// a port that is not there, open; noise on the line, then open again after a second of quiet.
TEST_F(ReceiverLink, StateChangesArePostedToTheWindow) {
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ReceiverSetStateWindow(window);
  auto states = [&](int ms) {
    std::vector<std::pair<int, int>> got;
    for (double end = NowMs() + ms; NowMs() < end;) {
      MSG m;
      while (PeekMessageA(&m, window, kMsgReceiverState, kMsgReceiverState, PM_REMOVE))
        got.push_back({int(m.wParam), int(m.lParam)});
      Sleep(10);
    }
    return got;
  };
  typedef std::vector<std::pair<int, int>> States;
  EXPECT_EQ(ReceiverStart(kReceiverNormal, 0), -1);
  EXPECT_EQ(ReceiverStart(kReceiverNormal, 3), 0);
  EXPECT_EQ(states(100), (States{{kReceiverNoPort, 0}, {kReceiverWaiting, 3}}));
  ASSERT_EQ(ReceiverStart(kReceiverNormal, 1), 0);
  EXPECT_EQ(states(100), (States{{kReceiverOpen, 1}}));
  ReceiverStart(kReceiverTest, 1);  // the test dialog's receiver tells nothing
  EXPECT_EQ(states(100), States{});
  ASSERT_EQ(ReceiverStart(kReceiverNormal, 1), 0);
  for (int i = 0; i < 4; i++) Send(remote_, {0x00, 0x0B, 0x00});  // rejected, back to back
  Send(remote_, {0x00, 0x37, 0x05});                              // a clean key amid the noise
  KeyEvent e;
  EXPECT_EQ(states(300), (States{{kReceiverNoise, 1}}));
  EXPECT_EQ(QueueTake(&e), 0) << "a key acted on while noise mutes the keys";
  EXPECT_EQ(states(1200), (States{{kReceiverOpen, 1}}));
  Send(remote_, {0x00, 0x37, 0x05});
  Send(remote_, kSentinel);
  EXPECT_EQ(KeysUntilSentinel(), std::vector<int>{5});
  ReceiverStop();
  ReceiverSetStateWindow(nullptr);
  DestroyWindow(window);
}

TEST_F(ReceiverLink, RestartKeepsWorkingAndStopTwiceIsHarmless) {
  for (int round = 0; round < 3; round++) {
    ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0) << round;
    Send(remote_, {0x00, 0xA2, 0x03});
    Send(remote_, kSentinel);
    EXPECT_EQ(KeysUntilSentinel(), std::vector<int>{3}) << round;
    EXPECT_EQ(ReceiverStop(), 0);
    EXPECT_EQ(ReceiverStop(), 0);
  }
}

// A packet cut in two by a restart: its remaining bytes arrive after the gap and are discarded.
TEST_F(ReceiverLink, PacketCutByARestartIsDiscarded) {
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  Send(remote_, {0x00, 0x37});
  Sleep(50);
  ReceiverStop();
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  Send(remote_, {0x05});
  Send(remote_, kSentinel);
  EXPECT_EQ(KeysUntilSentinel(), std::vector<int>{});
}

// A key pressed while no receiver ran (the setup dialog was open) is not taken for a key at the
// next start, even where the serial driver kept the bytes.
TEST_F(ReceiverLink, KeyPressedWhileStoppedIsDropped) {
  Send(remote_, {0x00, 0x37, 0x05});
  Sleep(100);
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  Send(remote_, kSentinel);
  EXPECT_EQ(KeysUntilSentinel(), std::vector<int>{});
}

TEST_F(ReceiverLink, StopWhileWaitingForAByteEndsBothThreads) {
  WriteProfile("[default]\r\nport=1\r\n");
  int threads = ThreadCount();
  for (bool keyPath : {false, true}) {
    ASSERT_EQ(keyPath ? KeyPathStart() : ReceiverStart(kReceiverTest, 1), 0);
    Sleep(200);  // the reader is now inside its read
    double t0 = NowMs();
    keyPath ? KeyPathStop() : ReceiverStop();
    printf("stop of the %s took %.1f ms\n", keyPath ? "key path" : "receiver", NowMs() - t0);
    EXPECT_EQ(ThreadCount(), threads);
  }
}

// Runs the remote simulator (tools/remotesim.cpp, built beside the tests); returns its exit code.
DWORD RunRemoteSim(const std::string& args) {
  std::string command = "\"" + ProgramFolder() + "remotesim.exe\" " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  // Wine on a loaded machine now and then fails a process start: that is not what is tested here.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; attempt++) {
    if (attempt) Sleep(500);
    started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  }
  if (!started) {
    ADD_FAILURE() << "cannot start " << command << " (error " << GetLastError() << ")";
    return DWORD(-1);
  }
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = DWORD(-1);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST_F(ReceiverLink, RemoteSimulatorKeysArrive) {
  struct {
    const char* args;
    std::vector<int> keys;
  } cases[] = {
      {"--key 12 --repeat 3 --gap 200 --flip 0x0101 --garbage 2", {12, 12, 12}},
      {"--key 1 --key 2 --key 64 --gap 20", {1, 2, 64}},  // a completed packet ends itself
      {"--key 5 --flip 0x0005", {5}},
      {"--key 5 --flip 0x0B00", {}},
      {"--key 9 --b0 0xFF --byte-ms 15", {9}},
  };
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  for (auto& c : cases) {
    EXPECT_EQ(RunRemoteSim(std::string("COM9 ") + c.args), 0u) << c.args;
    Send(remote_, kSentinel);
    EXPECT_EQ(KeysUntilSentinel(), c.keys) << c.args;
  }
}

TEST(RemoteSim, ExitCodes) {
  struct {
    const char* args;
    DWORD code;
  } cases[] = {{"", 2},
               {"COM9", 2},
               {"COM9 --key 128", 2},
               {"COM9 --key x", 2},
               {"COM9 --key 1 --flip", 2},
               {"COM9 --key 1 --flip 0x10000", 2},
               {"COM9 --key 1 --repeat 0", 2},
               {"COM9 --key 1 --bogus 1", 2},
               {"COM3 --key 1", 1},
               {"--help", 0}};
  for (auto& c : cases) EXPECT_EQ(RunRemoteSim(c.args), c.code) << c.args;
}

// The tests below need a cable of their own and run only from tests/e2e/link_faults_e2e.sh, which
// names its work folder (a Unix path) in REMOTE_LINK_FAULTS: there COM5 is a plain file, and the
// script cuts the cable (ends socat) when the test asks for it.
std::string FaultFolder() {
  const char* dir = getenv("REMOTE_LINK_FAULTS");
  if (!dir) return "";
  std::string path = std::string("Z:") + dir;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path + "\\";
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) { return (double(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 10000.0; };
  return ms(kernel) + ms(user);
}

TEST(ReceiverLinkFaults, PortWhoseSettingsCannotBeReadIsRefusedAndClosed) {
  std::string dir = FaultFolder();
  if (dir.empty()) GTEST_SKIP() << "runs from link_faults_e2e.sh";
  HANDLE file = OpenPort("COM5");  // opens, but is no serial port
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  EXPECT_FALSE(GetCommState(file, &dcb));
  CloseHandle(file);

  int threads = ThreadCount();
  EXPECT_EQ(ReceiverStart(kReceiverTest, 5), -1);
  EXPECT_EQ(ThreadCount(), threads);
  // Nobody holds the file any more: an exclusive open succeeds.
  HANDLE h = CreateFileA((dir + "notaport").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(h);
}

// Asks the script for step `what` (it cuts the cable, or links a new one as COM1/COM9) and waits
// until it is done.
void AskScript(const std::string& dir, const std::string& what) {
  CloseHandle(CreateFileA((dir + what).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  double deadline = NowMs() + 30000;
  while (!FileExists(dir + what + ".done") && NowMs() < deadline) Sleep(20);
  ASSERT_TRUE(FileExists(dir + what + ".done")) << what;
}

// The adapter pulled out and plugged in again under the same name: the reader rests while it is
// away, opens the new port with the receiver's settings once it is there, and stop restores the
// settings on that new handle. Pulled out again, stop during the outage ends at once.
TEST(ReceiverLinkFaults, AdapterPulledOutAndPluggedInAgain) {
  std::string dir = FaultFolder();
  if (dir.empty()) GTEST_SKIP() << "runs from link_faults_e2e.sh";
  QueueClear();
  int threads = ThreadCount();
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  HANDLE remote = OpenPort("COM9");
  ASSERT_NE(remote, INVALID_HANDLE_VALUE);
  Send(remote, {0x00, 0x37, 0x05});
  Send(remote, kSentinel);
  EXPECT_EQ(KeysUntilSentinel(), std::vector<int>{5});
  CloseHandle(remote);

  AskScript(dir, "cut1");
  Sleep(500);  // the reader has seen the cable go
  double cpu0 = CpuMs(), t0 = NowMs();
  Sleep(3000);
  double cpu = CpuMs() - cpu0, elapsed = NowMs() - t0;
  printf("with the adapter away the process used %.0f ms of processor time in %.0f ms\n", cpu, elapsed);
  // A reader retrying at once spends about 40% of a processor here; resting between tries, nothing.
  EXPECT_LT(cpu, elapsed / 20);

  AskScript(dir, "plug1");
  double back = NowMs();
  remote = OpenPort("COM9");
  ASSERT_NE(remote, INVALID_HANDLE_VALUE);
  std::vector<int> keys;
  while (keys.empty() && NowMs() < back + 10000) {
    Send(remote, {0x00, 0xA2, 0x03});
    if (WaitForSingleObject(gKeyReadyEvent, 100) != WAIT_OBJECT_0) continue;
    KeyEvent e;
    while (QueueTake(&e)) keys.push_back(e.code);
  }
  printf("first key taken %.0f ms after the adapter came back\n", NowMs() - back);
  EXPECT_EQ(keys, std::vector<int>{3});
  EXPECT_EQ(ReadSettings("COM1").baud, 1200u);  // the new port runs with the receiver's settings
  CloseHandle(remote);

  AskScript(dir, "cut2");
  Sleep(1500);  // the reader waits between reopen attempts now
  t0 = NowMs();
  EXPECT_EQ(ReceiverStop(), 0);
  printf("stop with the adapter away took %.1f ms\n", NowMs() - t0);
  EXPECT_LT(NowMs() - t0, 1000);
  EXPECT_EQ(ThreadCount(), threads);
}

// Stop restores the settings found at start on the port that is open at stop: the new one.
TEST(ReceiverLinkFaults, SettingsRestoredOnThePortPluggedInAgain) {
  std::string dir = FaultFolder();
  if (dir.empty()) GTEST_SKIP() << "runs from link_faults_e2e.sh";
  AskScript(dir, "plug2");
  SetForeignSettings();
  LineSettings before = ReadSettings("COM1");
  ASSERT_EQ(ReceiverStart(kReceiverTest, 1), 0);
  AskScript(dir, "cut3");
  AskScript(dir, "plug3");  // a fresh port with its driver's own settings
  ASSERT_NE(ReadSettings("COM1").baud, before.baud);
  double deadline = NowMs() + 10000;
  while (ReadSettings("COM1").baud != 1200 && NowMs() < deadline) Sleep(100);
  EXPECT_EQ(ReadSettings("COM1").baud, 1200u);
  EXPECT_EQ(ReceiverStop(), 0);
  EXPECT_EQ(ReadSettings("COM1"), before);
}

}  // namespace

#include "actions/interp.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "actions/inject.h"
#include "test_support.h"

static double NowMs() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

// ---- A recording keystroke back end ----

static std::string recorded;               // "[+41 -41] [+42]"
static std::vector<double> recordedTimes;  // when each group arrived
static int failingGroup;                   // 1-based group that reports a short count; 0 none
static HANDLE groupSent;                   // auto-reset, set after every group

static UINT WINAPI RecordingBackEnd(UINT count, LPINPUT records, int size) {
  EXPECT_EQ(size, int(sizeof(INPUT)));
  recordedTimes.push_back(NowMs());
  if (!recorded.empty()) recorded += ' ';
  recorded += '[';
  for (UINT i = 0; i < count; i++) {
    char entry[8];
    snprintf(entry, sizeof entry, "%s%c%02X", i ? " " : "", records[i].ki.dwFlags ? '-' : '+',
             records[i].ki.wVk);
    recorded += entry;
  }
  recorded += ']';
  if (groupSent) SetEvent(groupSent);
  if (int(recordedTimes.size()) == failingGroup) {
    SetLastError(1234);
    return count - 1;
  }
  return count;
}

class Interp : public ::testing::Test {
 protected:
  void SetUp() override {
    recorded.clear();
    recordedTimes.clear();
    failingGroup = 0;
    gKeystrokeBackEnd = RecordingBackEnd;
    cancel_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ActionSetCancelEvent(cancel_);
  }
  void TearDown() override {
    ActionSetCancelEvent(nullptr);
    gKeystrokeBackEnd = nullptr;
    CloseHandle(groupSent);
    groupSent = nullptr;
    CloseHandle(cancel_);
  }
  HANDLE cancel_ = nullptr;
};

struct KeyboardCase {
  const char* line;
  BYTE enable;
  const char* groups;
  int result;
  // Least time in ms from the call to the first group, between groups, and from the last group
  // to the return (one entry more than there are groups).
  std::vector<double> gaps;
};

TEST_F(Interp, KeyboardLinesGoOutInGroupsWithPausesOfAtLeast100Ms) {
  const KeyboardCase cases[] = {
      {"   keyboard esc+^esc", 1, "[+1B -1B]", 2, {0, 0}},
      {"KEYBOARD A B", 1, "[+41] [+42]", 1, {0, 100, 0}},
      {"KEYBOARD A  B", 1, "[+41] [+42]", 1, {0, 200, 0}},
      {"KEYBOARD A ", 1, "[+41]", 0, {0, 100}},
      {"KEYBOARD", 1, "", 0, {0}},
      {"KEYBOARDESC", 1, "[+1B]", 1, {0, 0}},
      {"KEYBOARD CTRL+S ^S+^CTRL", 1, "[+11 +53] [-53 -11]", 2, {0, 100, 0}},
      {"KEYBOARD A B", 0, "", 0, {0}},
  };
  for (const KeyboardCase& c : cases) {
    recorded.clear();
    recordedTimes.clear();
    double start = NowMs();
    EXPECT_EQ(RunActionLine(nullptr, c.line, c.enable), c.result) << c.line;
    double end = NowMs();
    EXPECT_EQ(recorded, c.groups) << c.line;
    std::vector<double> points = {start};
    points.insert(points.end(), recordedTimes.begin(), recordedTimes.end());
    points.push_back(end);
    ASSERT_EQ(points.size(), c.gaps.size() + 1) << c.line;
    for (size_t i = 0; i < c.gaps.size(); i++)
      EXPECT_GE(points[i + 1] - points[i], c.gaps[i]) << c.line << " gap " << i;
  }
}

TEST_F(Interp, PausesWithoutCancelEventStillLast100Ms) {
  ActionSetCancelEvent(nullptr);
  EXPECT_EQ(RunActionLine(nullptr, "KEYBOARD A B", 1), 1);
  ASSERT_EQ(recordedTimes.size(), 2u);
  EXPECT_GE(recordedTimes[1] - recordedTimes[0], 100.0);
}

TEST_F(Interp, ShortCountGivesTheSystemErrorAndTheLineGoesOn) {
  failingGroup = 1;
  EXPECT_EQ(RunActionLine(nullptr, "KEYBOARD A+B", 1), 1234);
  recorded.clear();
  recordedTimes.clear();
  EXPECT_EQ(RunActionLine(nullptr, "KEYBOARD A+B C", 1), 1);  // the last group decides
  EXPECT_EQ(recorded, "[+41 +42] [+43]");
}

TEST_F(Interp, LinesWithoutKeywordDoNothing) {
  for (const char* line : {"TYPE X", "", "    ", "CLOS", "\tKEYBOARD A"}) {
    EXPECT_EQ(RunActionLine(nullptr, line, 1), -1) << line;
  }
  EXPECT_EQ(RunActionLine(nullptr, nullptr, 1), -1);
  EXPECT_EQ(recorded, "");
}

// ---- Cut-off: the cancel event is signalled from another thread during a pause ----

struct LineRun {
  HWND window;
  const char* line;
  int result;
};

static DWORD WINAPI RunLine(LPVOID arg) {
  LineRun* run = static_cast<LineRun*>(arg);
  run->result = RunActionLine(run->window, run->line, 1);
  return 0;
}

// Thirty spaces make three seconds of pauses, so the cancel lands in one of them.
static const char kLongLine[] = "KEYBOARD SHIFT CTRL+S                              A ^S+^CTRL ^SHIFT";

TEST_F(Interp, CutOffLineReleasesTheKeysItWouldStillHaveReleased) {
  LineRun run = {nullptr, kLongLine, -99};
  HANDLE thread = CreateThread(nullptr, 0, RunLine, &run, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(groupSent, 10000), WAIT_OBJECT_0);  // [+SHIFT]
  ASSERT_EQ(WaitForSingleObject(groupSent, 10000), WAIT_OBJECT_0);  // [+CTRL +S]
  Sleep(30);
  SetEvent(cancel_);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  // A is never sent; S and Ctrl go up, latest first; Shift, which the rest also releases, too.
  EXPECT_EQ(recorded, "[+10] [+11 +53] [-53 -11 -10]");
  EXPECT_EQ(run.result, 2);
}

TEST_F(Interp, CancelAlreadySetCutsAtTheFirstPause) {
  SetEvent(cancel_);
  EXPECT_EQ(RunActionLine(nullptr, "KEYBOARD CTRL+S ^S+^CTRL A", 1), 2);
  EXPECT_EQ(recorded, "[+11 +53] [-53 -11]");
  recorded.clear();
  EXPECT_EQ(RunActionLine(nullptr, "KEYBOARD ESC+^ESC", 1), 2);  // a line without pause runs whole
  EXPECT_EQ(recorded, "[+1B -1B]");
}

// ---- COMMAND and CLOSE on a real window ----

static std::string windowMessages;  // "C39/0" for WM_COMMAND 57, lParam 0; "X" for WM_CLOSE
static std::string keyMessages;     // "D41 U41" for WM_KEYDOWN / WM_KEYUP, "D26x" for an extended key

static LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  char entry[32];
  switch (message) {
    case WM_COMMAND:
      snprintf(entry, sizeof entry, "%sC%X/%X", windowMessages.empty() ? "" : " ", unsigned(wParam),
               unsigned(lParam));
      windowMessages += entry;
      return 77;
    case WM_CLOSE:
      windowMessages += windowMessages.empty() ? "X" : " X";
      return 55;  // kept open: the test owns the window
    case WM_KEYDOWN:
    case WM_KEYUP:
      snprintf(entry, sizeof entry, "%s%c%02X%s", keyMessages.empty() ? "" : " ",
               message == WM_KEYDOWN ? 'D' : 'U', unsigned(wParam), (lParam & 0x01000000) ? "x" : "");
      keyMessages += entry;
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A top-level window of this thread; `front` shows it and brings it to the foreground.
static HWND CreateTestWindow(const char* title, bool front) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TestWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ActionTestWindow";
  RegisterClassA(&wc);  // fails harmlessly when already registered
  HWND w = CreateWindowExA(0, "ActionTestWindow", title, WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  if (front) {
    ShowWindow(w, SW_SHOW);
    SetForegroundWindow(w);
    SetFocus(w);
  }
  return w;
}

// A window of another process: tests/e2e/keysink.exe, which logs "command N" and "close" and,
// given a hold time, blocks that long in its close handler and stays open.
class ForeignSink {
 public:
  ForeignSink(const char* title, int holdSeconds) : log_(dir_.File("sink.log")) {
    char line[512];
    snprintf(line, sizeof line, "\"%skeysink.exe\" \"%s\" \"%s\" 120 %d", ProgramFolder().c_str(), title,
             log_.c_str(), holdSeconds);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
      return;
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    PumpUntil([&] { return Log().find("ready") != std::string::npos; }, 30000);
    window_ = FindWindowA("RemoteTestKeySink", title);
  }
  ~ForeignSink() {
    if (!process_) return;
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
  }
  HWND window() const { return window_; }
  // What reached the window since the last call, one entry per message: "command 57 close".
  std::string Take() {
    std::string all = Log(), fresh;
    for (size_t at = all.find('\n', seen_); at != std::string::npos; at = all.find('\n', seen_)) {
      std::string entry = all.substr(seen_, at - seen_);
      seen_ = at + 1;
      if (!entry.empty() && entry.back() == '\r') entry.pop_back();  // the sink writes text mode
      if (entry == "ready") continue;
      fresh += (fresh.empty() ? "" : " ") + entry;
    }
    return fresh;
  }

 private:
  std::string Log() const {
    std::string text;
    if (FILE* f = fopen(log_.c_str(), "rb")) {
      char buffer[4096];
      size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      fclose(f);
    }
    return text;
  }
  TempDir dir_;
  std::string log_;
  HANDLE process_ = nullptr;
  HWND window_ = nullptr;
  size_t seen_ = 0;
};

struct WindowCase {
  const char* line;
  BYTE enable;
  bool window;
  const char* messages;
};

TEST_F(Interp, CommandAndCloseReachAnotherProgramsWindow) {
  ForeignSink sink("Action target", 0);
  ASSERT_NE(sink.window(), nullptr);
  const WindowCase cases[] = {
      {"COMMAND 57", 1, true, "command 57"},
      {"COMMAND -1", 1, true, "command 65535"},
      {"COMMAND 65593", 1, true, "command 57"},  // low 16 bits of 0x10039
      {"  command   +12abc", 1, true, "command 12"},
      {"COMMAND 57", 0, true, "command 57"},  // the enable byte does not matter
      {"COMMAND 65536", 1, true, ""},
      {"COMMAND 0", 1, true, ""},
      {"COMMAND X", 1, true, ""},
      {"COMMANDS 5", 1, true, ""},
      {"COMMAND 99999999999999999999", 1, true, "command 65535"},  // out of range: the largest number
      {"COMMAND 57", 1, false, ""},
      {"CLOSE", 1, true, "close"},
      {"  close whatever", 1, true, "close"},
      {"CLOSE", 0, true, ""},
      {"CLOSE", 1, false, ""},
  };
  for (const WindowCase& c : cases) {
    // Handled (the sink answers 0) or nothing to send: 0 either way; the log tells them apart.
    EXPECT_EQ(RunActionLine(c.window ? sink.window() : nullptr, c.line, c.enable), 0) << c.line;
    EXPECT_EQ(sink.Take(), c.messages) << c.line;
  }
}

TEST_F(Interp, WindowThatDoesNotAnswerHoldsTheActionForTheLimitOnly) {
  ForeignSink sink("Busy target", 60);
  ASSERT_NE(sink.window(), nullptr);
  double start = NowMs();
  EXPECT_EQ(RunActionLine(sink.window(), "CLOSE", 1), -1);
  double took = NowMs() - start;
  EXPECT_GE(took, kActionMessageLimitMs / 2.0) << "CLOSE waits for the window to handle it";
  EXPECT_LT(took, 30000.0) << "the window blocks for a minute";
  // The window is still stuck in its close handler: the next action is not held longer.
  start = NowMs();
  EXPECT_EQ(RunActionLine(sink.window(), "COMMAND 57", 1), -1);
  EXPECT_LT(NowMs() - start, 30000.0);
  EXPECT_EQ(sink.Take(), "close");
}

// The program's own windows belong to the main thread, which may be waiting for the dispatch
// thread: nothing is sent, and the action returns without that thread's help.
TEST_F(Interp, CommandAndCloseToOwnWindowSendNothing) {
  HWND w = CreateTestWindow("Own window", false);
  windowMessages.clear();
  for (const char* line : {"COMMAND 101", "CLOSE"}) {
    EXPECT_EQ(RunActionLine(w, line, 1), 0) << line;
    LineRun run = {w, line, -99};
    HANDLE thread = CreateThread(nullptr, 0, RunLine, &run, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), DWORD(WAIT_OBJECT_0))
        << line << ": this thread pumps nothing";
    CloseHandle(thread);
    EXPECT_EQ(run.result, 0) << line;
  }
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(windowMessages, "");
  DestroyWindow(w);
}

// ---- EXEC starts a real program ----

static bool WaitForFile(const std::string& path, DWORD limitMs) {
  DWORD start = GetTickCount();
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > limitMs) return false;
    Sleep(50);
  }
  return true;
}

TEST_F(Interp, ExecStartsAProgram) {
  TempDir dir;
  std::string proof = dir.File("proof.txt");
  std::string line = "EXEC cmd /c echo ran> " + proof;
  int result = RunActionLine(nullptr, line.c_str(), 1);
  EXPECT_GT(result, 31) << "EXEC reports success above 31, as WinExec does";
  EXPECT_TRUE(WaitForFile(proof, 30000));
  Sleep(200);  // let cmd close the file before the folder goes

  EXPECT_EQ(RunActionLine(nullptr, ("EXEC cmd /c echo ran> " + dir.File("never.txt")).c_str(), 0), 0);
  // EXECUTE X is EXEC with the command line "UTE X", which names no program.
  int missing = RunActionLine(nullptr, "EXECUTE X", 1);
  EXPECT_GE(missing, 0);
  EXPECT_LE(missing, 31);
  int empty = RunActionLine(nullptr, "EXEC", 1);
  EXPECT_GE(empty, 0);
  EXPECT_LE(empty, 31);
}

// ---- KEYBOARD through the real SendInput into a real window ----

class RealKeys : public ::testing::Test {
 protected:
  // One window in front for the suite: Wine takes a while over each window's end.
  static void SetUpTestSuite() { window_ = CreateTestWindow("Keys target", true); }
  static void TearDownTestSuite() { DestroyWindow(window_); }

  void SetUp() override {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    ASSERT_EQ(ChooseKeystrokeBackEnd(&version), 0);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }, 5000)) << "window not in front";
    keyMessages.clear();
    cancel_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ActionSetCancelEvent(cancel_);
  }
  void TearDown() override {
    ActionSetCancelEvent(nullptr);
    CloseHandle(cancel_);
    gKeystrokeBackEnd = nullptr;
  }
  static HWND window_;
  HANDLE cancel_ = nullptr;
};

HWND RealKeys::window_;

static int CountEntries(const std::string& s) {
  return s.empty() ? 0 : 1 + int(std::count(s.begin(), s.end(), ' '));
}

TEST_F(RealKeys, KeyboardLinesArriveAsKeyMessages) {
  const struct {
    const char* line;
    const char* messages;  // "x": the key came as a key of the extended block
    int result;
  } cases[] = {
      {"KEYBOARD SHIFT+A^A^SHIFT B+^B", "D10 D41 U41 U10 D42 U42", 2},
      {"KEYBOARD HOME+^HOME+END+^END+INS+^INS+DEL+^DEL+BKSP+^BKSP",
       "D24x U24x D23x U23x D2Dx U2Dx D2Ex U2Ex D08 U08", 10},
      {"KEYBOARD APPS+^APPS", "D5Dx U5Dx", 2},
      {"KEYBOARD VOLUP+^VOLUP+VOLDN+^VOLDN+MUTE+^MUTE", "DAFx UAFx DAEx UAEx DADx UADx", 6},
      {"KEYBOARD PLAY+^PLAY+STOP+^STOP+NEXT+^NEXT+PREV+^PREV", "DB3x UB3x DB2x UB2x DB0x UB0x DB1x UB1x", 8},
      {"KEYBOARD UP+^UP+$+^$+PGUP+^PGUP", "D26x U26x D24x U24x D22x U22x", 6},  // by name or code alike
      {"KEYBOARD CTRL+^CTRL+SHIFT+^SHIFT", "D11 U11 D10 U10", 4},  // generic modifiers: not extended
  };
  for (const auto& c : cases) {
    keyMessages.clear();
    LineRun run = {nullptr, c.line, -99};
    HANDLE thread = CreateThread(nullptr, 0, RunLine, &run, 0, nullptr);
    EXPECT_TRUE(PumpUntil(
        [&] {
          return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 &&
                 CountEntries(keyMessages) >= CountEntries(c.messages);
        },
        10000))
        << c.line;
    CloseHandle(thread);
    EXPECT_EQ(keyMessages, c.messages) << c.line;
    EXPECT_EQ(run.result, c.result) << c.line;
  }
}

TEST_F(RealKeys, CutOffLineLeavesNoKeyDown) {
  LineRun run = {nullptr, "KEYBOARD CTRL+S                              A ^S+^CTRL", -99};
  HANDLE thread = CreateThread(nullptr, 0, RunLine, &run, 0, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return CountEntries(keyMessages) >= 2; }, 10000));
  EXPECT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);  // Ctrl is down during the pauses
  SetEvent(cancel_);
  EXPECT_TRUE(PumpUntil(
      [&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 && CountEntries(keyMessages) >= 4; },
      10000));
  CloseHandle(thread);
  EXPECT_EQ(keyMessages, "D11 D53 U53 U11");
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_EQ(GetAsyncKeyState('S') & 0x8000, 0);
}

#include "actions/dispatch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "actions/inject.h"
#include "actions/interp.h"
#include "app/shell.h"
#include "receiver/keyqueue.h"
#include "test_support.h"

static const std::string kLong255(255, 'L');
static const std::string kLongest(kActionLineMax, 'N');      // runs
static const std::string kTooLong(kActionLineMax + 1, 'T');  // never runs
static const char kProgram[] = "dispatch_test.exe";          // this test program's file name

// The profile of the lookup tests; `programs` adds a section for this test program.
static std::string Profile(bool programs = true) {
  return "Key1=above the first section\r\n"  // not a section of its own: never read
         "[default]\r\n"
         "Key1=default one\r\n"
         "Key2=default two\r\n"
         "Key7=default seven\r\n"
         "Key8=default eight\r\n"
         "Key99=sentinel\r\n"
         "[title -]\r\n"
         "Untitled -=Editor\r\n"
         "Doc -=Editor\r\n"
         "Setup-=Editor\r\n"
         "Calculator=Editor\r\n"
         "Blank -=\r\n"
         "Ghost -=Nowhere\r\n"
         "[Editor]\r\n"
         "Key1=editor one\r\n"
         "[Doc - A]\r\n"
         "Key1=direct doc\r\n"
         "[Calculator]\r\n"
         "Key2=calc two\r\n"
         "Key7=\r\n"
         "[setup-]\r\n"
         "Key2=setup two\r\n"
         "[MiXeD CaSe]\r\n"
         "kEy4=mixed four\r\n"
         "[Long]\r\n"
         "Key3=" +
         kLong255 +
         "\r\n"
         "Key5=" +
         std::string(300, 'M') +
         "\r\n"
         "Key6=" +
         kLongest +
         "\r\n"
         "Key8=" +
         kTooLong + "\r\n" +
         (programs ? "[DISPATCH_TEST.EXE]\r\n"  // any letter case
                     "Key1=program one\r\n"
                     "Key2=program two\r\n"
                     "Key7=\r\n"
                     "Key9=" +
                         kTooLong + "\r\n"
                   : std::string());
}

static const char kNotRun[] = "(too long: not run)";

struct LookupCase {
  const char* title;
  int code;
  std::string line;         // empty: no action; kNotRun: an entry too long to run
  const char* withProgram;  // the line when the profile has a section for this program; null: the same
};

static const LookupCase kLookupCases[] = {
    {"Untitled - Notepad", 1, "editor one", nullptr},         // through the alias, ahead of the program
    {"Untitled - Notepad", 2, "default two", "program two"},  // alias section lacks the key
    {"Doc - A", 1, "direct doc", nullptr},                    // the title's own section comes first
    {"Calculator", 2, "calc two", nullptr},                   //
    {"Calculator", 7, "default seven", nullptr},              // an empty value counts as missing
    {"Calculator", 1, "default one", "program one"},          // no dash: no alias, whatever "title -" holds
    {"Setup-", 1, "default one", "program one"},              // dash at the end: no alias
    {"Setup-", 2, "setup two", nullptr},                      // section names in another letter case
    {"mixed case", 4, "mixed four", nullptr},                 // key names too
    {"Blank - doc", 1, "default one", "program one"},         // empty alias value
    {"Ghost - doc", 1, "default one", "program one"},         // alias names a missing section
    {"Long", 3, kLong255, nullptr},                           //
    {"Long", 5, std::string(300, 'M'), nullptr},              // read whole, not cut at 255
    {"Long", 6, kLongest, nullptr},                           // the longest line that runs
    {"Long", 8, kNotRun, nullptr},                            // longer: not run, and not default's either
    {"Calculator", 9, "", kNotRun},                           //
    {"Calculator", 5, "", nullptr},                           // no entry anywhere
    {"", 1, "default one", "program one"},                    // a window without a title
};

static std::string Expected(const LookupCase& c, bool programs) {
  return programs && c.withProgram ? c.withProgram : c.line;
}

TEST(ProfileLookup, FindsTheLineForTitleProgramAndKey) {
  TempDir dir;
  for (bool programs : {true, false}) {
    std::string path = dir.Write("profiles.ini", Profile(programs));
    for (const LookupCase& c : kLookupCases) {
      std::string expected = Expected(c, programs);
      char out[kProfileValueSize];
      memset(out, 'x', sizeof out);
      int result = expected == kNotRun ? -1 : expected.empty() ? 0 : 1;
      EXPECT_EQ(ProfileLookup(path.c_str(), c.title, kProgram, c.code, out), result)
          << c.title << " " << c.code << " programs " << programs;
      EXPECT_EQ(std::string(out), result == -1 ? "" : expected) << c.title << " " << c.code;
    }
  }
}

TEST(ProfileLookup, ProgramNotKnownSkipsItsStep) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", Profile());
  for (const char* program : {"", static_cast<const char*>(nullptr), "other.exe"}) {
    char out[kProfileValueSize];
    EXPECT_EQ(ProfileLookup(path.c_str(), "Calculator", program, 1, out), 1);
    EXPECT_STREQ(out, "default one");
  }
}

TEST(ProfileLookup, MissingFileGivesNoLine) {
  TempDir dir;
  char out[kProfileValueSize] = "stale";
  EXPECT_EQ(ProfileLookup(dir.File("profiles.ini").c_str(), "Untitled - Notepad", kProgram, 1, out), 0);
  EXPECT_STREQ(out, "");
}

TEST(ProfileLookup, EditsCountAtTheNextLookup) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", "[default]\r\nKey1=before\r\n");
  char out[kProfileValueSize];
  ASSERT_EQ(ProfileLookup(path.c_str(), "x", nullptr, 1, out), 1);
  EXPECT_STREQ(out, "before");
  dir.Write("profiles.ini", "[default]\r\nKey1=after\r\n");
  ASSERT_EQ(ProfileLookup(path.c_str(), "x", nullptr, 1, out), 1);
  EXPECT_STREQ(out, "after");
}

// ---- The dispatch thread with real windows, threads and events ----

struct HandlerCall {
  HWND window;
  std::string line;
  BYTE enable;
};

static CRITICAL_SECTION callsLock;
static std::vector<HandlerCall> calls;

static int RecordingHandler(HWND window, const char* line, BYTE enable) {
  EnterCriticalSection(&callsLock);
  calls.push_back({window, line, enable});
  LeaveCriticalSection(&callsLock);
  return 0;
}

static std::vector<HandlerCall> Calls() {
  EnterCriticalSection(&callsLock);
  std::vector<HandlerCall> copy = calls;
  LeaveCriticalSection(&callsLock);
  return copy;
}

static std::string windowMessages;

static LRESULT CALLBACK FrontWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    windowMessages += "C" + std::to_string(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Dispatch : public ::testing::Test {
 protected:
  // One window in front for the whole suite: bringing a window up takes Wine a while.
  static void SetUpTestSuite() {
    InitializeCriticalSection(&callsLock);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrontWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DispatchTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
  }
  static void TearDownTestSuite() { DestroyWindow(window_); }

  void SetUp() override {
    profile_ = dir_.Write("profiles.ini", Profile(false));
    snprintf(gProfilePath, sizeof gProfilePath, "%s", profile_.c_str());
    calls.clear();
    QueueClear();
    gActionHandler = RecordingHandler;
    context_.keyReady = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    context_.quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    SetWindowTextA(window_, "");
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }, 5000)) << "window not in front";
  }

  void TearDown() override {
    StopThread();
    CloseHandle(context_.keyReady);
    CloseHandle(context_.quit);
    gActionHandler = RunActionLine;
    gKeystrokeBackEnd = nullptr;
    ActionSetCancelEvent(nullptr);
    snprintf(gProfilePath, sizeof gProfilePath, "profiles.ini");
  }

  void StartThread() { thread_ = CreateThread(nullptr, 0, DispatchThread, &context_, 0, nullptr); }

  // Signals quit and waits for the thread; true when it ended.
  bool StopThread() {
    if (!thread_) return true;
    SetEvent(context_.quit);
    bool ended = PumpUntil([&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }, 10000);
    CloseHandle(thread_);
    thread_ = nullptr;
    return ended;
  }

  bool WaitForCalls(size_t n) {
    return PumpUntil([&] { return Calls().size() >= n; }, 10000);
  }

  TempDir dir_;
  std::string profile_;
  DispatchContext context_ = {};
  HANDLE thread_ = nullptr;
  static HWND window_;
};
HWND Dispatch::window_;

TEST_F(Dispatch, LooksUpTheForegroundWindowsTitleAndProgramForEveryKey) {
  StartThread();
  for (bool programs : {true, false}) {
    dir_.Write("profiles.ini", Profile(programs));
    for (const LookupCase& c : kLookupCases) {
      std::string expected = Expected(c, programs);
      if (expected == kNotRun) expected.clear();
      SetWindowTextA(window_, c.title);
      calls.clear();
      // The sentinel key (in "default") shows that the case's own key was handled before it.
      QueuePut({1, uint8_t(c.code)});
      QueuePut({1, 99});
      SetEvent(context_.keyReady);
      ASSERT_TRUE(PumpUntil([&] { return !Calls().empty() && Calls().back().line == "sentinel"; }, 10000))
          << c.title;
      std::vector<HandlerCall> got = Calls();
      ASSERT_EQ(got.size(), expected.empty() ? 1u : 2u)
          << c.title << " " << c.code << " programs " << programs;
      if (!expected.empty()) {
        EXPECT_EQ(got[0].line, expected) << c.title << " " << c.code;
      }
      for (const HandlerCall& call : got) {
        EXPECT_EQ(call.window, window_);  // COMMAND and CLOSE act on the window in front
        EXPECT_EQ(call.enable, 1);
      }
    }
  }
}

TEST_F(Dispatch, ProgramNameOfTheWindowInFront) {
  char name[MAX_PATH];
  ASSERT_EQ(ProfileProgramName(window_, name), 0);
  EXPECT_STREQ(CharLowerA(name), kProgram);
  EXPECT_EQ(ProfileProgramName(nullptr, name), -1);
  EXPECT_STREQ(name, "");
}

TEST_F(Dispatch, OneWakeUpDrainsEveryQueuedEvent) {
  SetWindowTextA(window_, "Calculator");
  const uint8_t codes[] = {1, 2, 7, 5, 2};  // 5 has no line: skipped
  for (uint8_t code : codes) QueuePut({1, code});
  SetEvent(context_.keyReady);  // set once, before the thread waits
  StartThread();
  ASSERT_TRUE(WaitForCalls(4));
  std::vector<HandlerCall> got = Calls();
  std::vector<std::string> lines;
  for (const HandlerCall& call : got) lines.push_back(call.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"default one", "calc two", "default seven", "calc two"}));
  KeyEvent left;
  EXPECT_EQ(QueueTake(&left), 0);
}

TEST_F(Dispatch, EnableByteReachesTheHandler) {
  StartThread();
  QueuePut({0, 1});
  SetEvent(context_.keyReady);
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(Calls()[0].enable, 0);
}

TEST_F(Dispatch, QuitEndsTheIdleThread) {
  StartThread();
  EXPECT_TRUE(StopThread());
}

TEST_F(Dispatch, QuitWinsOverPendingKeys) {
  QueuePut({1, 1});
  SetEvent(context_.keyReady);
  SetEvent(context_.quit);
  StartThread();
  EXPECT_TRUE(StopThread());
  EXPECT_TRUE(Calls().empty());
}

// A long KEYBOARD line is running when the receiver stops: the thread ends without waiting for
// the line's remaining pauses, lets go of the keys it holds, and runs no further event.
static std::string sentGroups;
static HANDLE groupSent;
static LONG groupsSent;  // counts the groups, after each one's record is written
static UINT WINAPI RecordingBackEnd(UINT count, LPINPUT records, int) {
  for (UINT i = 0; i < count; i++) {
    sentGroups += records[i].ki.dwFlags ? '-' : '+';
    sentGroups += char(records[i].ki.wVk < 0x80 ? records[i].ki.wVk : '?');
  }
  sentGroups += ' ';
  InterlockedIncrement(&groupsSent);
  SetEvent(groupSent);
  return count;
}

TEST_F(Dispatch, QuitCutsARunningLineShort) {
  dir_.Write(
      "profiles.ini",
      "[default]\r\nKey10=KEYBOARD SHIFT+S                              A ^S+^SHIFT\r\nKey11=KEYBOARD B\r\n");
  gActionHandler = RunActionLine;
  gKeystrokeBackEnd = RecordingBackEnd;
  ActionSetCancelEvent(context_.quit);
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  sentGroups.clear();
  StartThread();
  QueuePut({1, 10});
  QueuePut({1, 11});
  SetEvent(context_.keyReady);
  ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(groupSent, 0) == WAIT_OBJECT_0; }, 10000));
  EXPECT_TRUE(StopThread());
  EXPECT_EQ(sentGroups, "+\x10+S -S-\x10 ");
  CloseHandle(groupSent);
  groupSent = nullptr;
}

// The window in front is one of this process's own, whose thread may be waiting for the dispatch
// thread to end: COMMAND sends it nothing, and the next key acts as usual. (Other programs' windows
// get the command: tests/e2e/shell_e2e.sh.)
TEST_F(Dispatch, CommandForOwnWindowInFrontSendsNothing) {
  dir_.Write("profiles.ini", "[Front]\r\nKey9=COMMAND 4660\r\nKey10=KEYBOARD B\r\n");
  SetWindowTextA(window_, "Front");
  gActionHandler = RunActionLine;
  gKeystrokeBackEnd = RecordingBackEnd;
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  sentGroups.clear();
  windowMessages.clear();
  StartThread();
  QueuePut({1, 9});
  QueuePut({1, 10});
  SetEvent(context_.keyReady);
  EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(groupSent, 0) == WAIT_OBJECT_0; }, 10000));
  EXPECT_EQ(sentGroups, "+B ");
  EXPECT_EQ(windowMessages, "");
  CloseHandle(groupSent);
  groupSent = nullptr;
}

// A line longer than 255 characters runs whole, so the releases at its end are sent; a line
// longer than any that runs sends nothing at all (cut short it would leave keys held down).
TEST_F(Dispatch, LongLinesRunWholeOrNotAtAll) {
  std::string typing;
  for (int i = 0; i < 61; i++) typing += "A+^A";
  const std::string crossing = "KEYBOARD " + typing + " CTRL+T ^T+^CTRL";  // 270 characters
  std::string tooLong = "KEYBOARD ";
  while (tooLong.size() <= kActionLineMax) tooLong += "A+^A";
  tooLong += " CTRL+T ^T+^CTRL";
  dir_.Write("profiles.ini",
             "[default]\r\nKey20=" + crossing + "\r\nKey21=" + tooLong + "\r\nKey22=KEYBOARD B+^B\r\n");
  gActionHandler = RunActionLine;
  gKeystrokeBackEnd = RecordingBackEnd;
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  sentGroups.clear();
  groupsSent = 0;
  StartThread();
  QueuePut({1, 20});
  QueuePut({1, 21});
  QueuePut({1, 22});
  SetEvent(context_.keyReady);
  std::string typed;
  for (int i = 0; i < 61; i++) typed += "+A-A";
  const std::string expected = typed + " +\x11+T -T-\x11 +B-B ";
  EXPECT_TRUE(PumpUntil([&] { return InterlockedCompareExchange(&groupsSent, 0, 0) >= 4; }, 10000));
  EXPECT_TRUE(StopThread());
  EXPECT_EQ(sentGroups, expected);
  CloseHandle(groupSent);
  groupSent = nullptr;
}

// A wait that fails (here a handle that is no handle) ends the thread instead of spinning.
TEST_F(Dispatch, FailingWaitEndsTheThread) {
  DispatchContext broken = {reinterpret_cast<HANDLE>(uintptr_t(0x7FFF0000)), context_.quit};
  HANDLE thread = CreateThread(nullptr, 0, DispatchThread, &broken, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

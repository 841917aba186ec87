// The keyboard hook for real: xdotool types on the X display into this test's window, which has
// the input focus, and the hook takes what the table serves for it.
#include "actions/keyhook.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

static const char kSinkTitle[] = "keyhook test sink";
static std::string gSink;   // what the window received, main thread
static std::string gTaken;  // what the hook handed on, under gLock
static CRITICAL_SECTION gLock;

static void Note(std::string* to, char sign, unsigned vk) {
  char entry[8];
  snprintf(entry, sizeof entry, "%s%c%02X", to->empty() ? "" : " ", sign, vk);
  *to += entry;
}

static LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !(l & (1 << 30))) Note(&gSink, '+', unsigned(w));
  if (message == WM_KEYUP || message == WM_SYSKEYUP) Note(&gSink, '-', unsigned(w));
  return DefWindowProcA(window, message, w, l);
}

static void Taken(const KeyHookEvent* e, void*) {
  EnterCriticalSection(&gLock);
  EXPECT_STREQ(e->name, KeyTakeName(e->vk));
  Note(&gTaken, e->phase == kKeyHookDown ? '+' : e->phase == kKeyHookRepeat ? '=' : '-', e->vk);
  LeaveCriticalSection(&gLock);
}

static void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  MSG msg;
  do {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (ms) Sleep(5);
  } while (GetTickCount() - start < ms);
}

// Runs xdotool (a program of the host, which Wine starts like any other) and waits for it, while
// this thread keeps its window answering. Wine neither waits for a host program nor hands on its
// exit code, so the shell writes the code into a file when xdotool is done. Returns it, -1 when
// xdotool did not run or took more than 10 s.
static int Xdotool(const char* arguments) {
  char command[512];
  snprintf(command, sizeof command,
           "Z:\\bin\\sh -c \"xdotool %s 2>>keyhook_xdotool.log; echo $? >keyhook_xdotool.tmp; "
           "mv keyhook_xdotool.tmp keyhook_xdotool.rc\"",
           arguments);
  DeleteFileA("keyhook_xdotool.rc");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  int code = -1;
  for (int i = 0; i < 1000 && code < 0; i++) {
    Pump(10);
    FILE* f = fopen("keyhook_xdotool.rc", "r");
    if (!f) continue;
    if (fscanf(f, "%d", &code) != 1) code = -1;
    fclose(f);
  }
  Pump(200);  // the last key through the hook and to the window
  return code;
}

// The X server here has no key for F13: xdotool lends it a spare key code for one command, and a
// key-up that comes after the loan ended is no F13 for Wine. Pressed with pauses, it is one.
#define kF13 "keydown F13 sleep 0.2 keyup F13 sleep 0.2"

static std::string TakeTaken() {
  EnterCriticalSection(&gLock);
  std::string t = gTaken;
  gTaken.clear();
  LeaveCriticalSection(&gLock);
  return t;
}

static KeyTakeTable* SinkTable(unsigned first, unsigned second) {
  KeyTakeTable* t = KeyTakeTableNew(2);
  KeyTakeTableAdd(t, kKeyTakeTitle, kSinkTitle, first);
  KeyTakeTableAdd(t, kKeyTakeTitle, kSinkTitle, second);
  KeyTakeTableAdd(t, kKeyTakeTitle, "another window", 0xAF);
  return t;
}

class KeyHook : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeCriticalSection(&gLock);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KeyHookSink";
    RegisterClassA(&wc);
    window = CreateWindowA("KeyHookSink", kSinkTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                           nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    SetFocus(window);
    Pump(300);
    char focus[128];
    snprintf(focus, sizeof focus, "search --sync --name '^%s$' windowfocus --sync", kSinkTitle);
    ASSERT_EQ(Xdotool(focus), 0);
    ASSERT_EQ(Xdotool(kF13), 0);  // the first loan of a key code for F13 loses its key-down
    KeyHookSetCheckInterval(200);
    ASSERT_EQ(KeyHookStart(Taken, nullptr), 0);
    ASSERT_EQ(KeyHookPublish(SinkTable(0x7C, 0xB3)), 0);
    Pump(100);
    gSink.clear();
    TakeTaken();
  }
  void TearDown() override {
    EXPECT_EQ(KeyHookStop(2000), 0);
    DestroyWindow(window);
    DeleteCriticalSection(&gLock);
  }
  HWND window = nullptr;
};

TEST_F(KeyHook, TakesWhatTheTableServesAndPassesTheRest) {
  static const struct {
    const char* keys;  // xdotool's arguments
    const char* sink;  // what reached the window
    const char* taken;
  } kCases[] = {
      {kF13, "", "+7C -7C"},
      {"key XF86AudioPlay", "", "+B3 -B3"},
      {"key XF86AudioRaiseVolume", "+AF -AF", ""},  // served in another window only
      {"key XF86AudioNext", "+B0 -B0", ""},         // served nowhere
      {"key a", "+41 -41", ""},
      {"key Return", "+0D -0D", ""},
      {"key F12", "+7B -7B", ""},
      {kF13 " key a " kF13, "+41 -41", "+7C -7C +7C -7C"},
  };
  for (const auto& c : kCases) {
    gSink.clear();
    ASSERT_EQ(Xdotool(c.keys), 0) << c.keys;
    EXPECT_EQ(gSink, c.sink) << c.keys;
    EXPECT_EQ(TakeTaken(), c.taken) << c.keys;
  }
}

TEST_F(KeyHook, HeldKeyRepeatsAndEndsAtItsKeyUp) {
  // A key of the X server's own map (F13's loaned key code does not repeat).
  ASSERT_EQ(Xdotool("keydown XF86AudioPlay sleep 1.5 keyup XF86AudioPlay"), 0);
  std::string taken = TakeTaken();
  EXPECT_EQ(gSink, "");
  ASSERT_GE(taken.size(), 7u);
  EXPECT_EQ(taken.substr(0, 3), "+B3") << taken;
  EXPECT_EQ(taken.substr(taken.size() - 3), "-B3") << taken;
  size_t repeats = 0;
  for (size_t at = taken.find("=B3"); at != std::string::npos; at = taken.find("=B3", at + 1)) repeats++;
  EXPECT_GE(repeats, 3u) << taken;
}

TEST_F(KeyHook, KeysTakenDownStayTakenUntilUpAndInjectedOnesPass) {
  // A table without F13 comes while F13 is held: its repeats and key-up are still taken.
  ASSERT_EQ(Xdotool("keydown F13 sleep 0.3"), 0);
  ASSERT_EQ(KeyHookPublish(SinkTable(0xB3, 0xB3)), 0);
  ASSERT_EQ(Xdotool("keydown F13 sleep 0.3 keyup F13 sleep 0.2"), 0);
  EXPECT_EQ(gSink, "");
  std::string taken = TakeTaken();
  EXPECT_EQ(taken.substr(0, 3), "+7C");
  EXPECT_EQ(taken.substr(taken.size() - 3), "-7C");
  ASSERT_EQ(Xdotool(kF13), 0);
  EXPECT_EQ(gSink, "+7C -7C");
  // A served key that a program sends (this one, as an action would) is never taken.
  gSink.clear();
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = 0xB3;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
  Pump(300);
  EXPECT_EQ(gSink, "+B3 -B3");
  EXPECT_EQ(TakeTaken(), "");
}

TEST_F(KeyHook, HookRemovedIsPutBack) {
  EXPECT_EQ(KeyHookReinstalls(), 0);
  KeyHookDropForTest();
  Pump(1000);
  EXPECT_GE(KeyHookReinstalls(), 1);
  LONG after = KeyHookReinstalls();
  Pump(1000);
  EXPECT_EQ(KeyHookReinstalls(), after);  // back in place: the probes arrive again
  // While the hook was gone one probe reached the window, as a key of no meaning (0x88).
  EXPECT_EQ(gSink.substr(0, 7), "+88 -88");
  gSink.clear();
  ASSERT_EQ(Xdotool(kF13), 0);
  EXPECT_EQ(gSink, "");
  EXPECT_EQ(TakeTaken(), "+7C -7C");
}

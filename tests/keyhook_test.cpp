// The keyboard hook for real: xdotool types on the X display into this test's window, which has
// the input focus, and the hook takes what the table serves for it.
#include "actions/keyhook.h"
#include "receiver/keyqueue.h"

#include <gtest/gtest.h>

#include "actions/keytable.h"
#include "common/process.h"

#include <stdio.h>

#include <string>

static const char kSinkTitle[] = "keyhook test sink";
static std::string gSink, gTaken;  // what the window received and what the hook handed on
static HWND gWindow;
static int gWants = -1;  // what the profile followed asks, as the hook's notice last said
enum { kMessageTaken = WM_APP + 7, kMessageWants = WM_APP + 8 };

static LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == kMessageWants) gWants = int(w);
  bool down = (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !(l & (1 << 30));
  bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
  std::string* to = message == kMessageTaken ? &gTaken : &gSink;
  if (down || up || message == kMessageTaken) {
    char entry[8];
    snprintf(entry, sizeof entry, "%s%c%02X", to->empty() ? "" : " ",
             down ? '+'
             : up ? '-'
                  : char(l),
             unsigned(w));
    *to += entry;
  }
  return DefWindowProcA(window, message, w, l);
}

static void Taken(const KeyHookEvent* e, void*) {  // on the hook thread: to the window's
  EXPECT_STREQ(e->name, KeyTakeName(e->vk));
  if (e->passed) return;  // went on to the window: its keys are in gSink
  PostMessageA(gWindow, kMessageTaken, e->vk,
               e->phase == kKeyHookDown ? '+'
               : e->phase == kKeyHookUp ? '-'
                                        : '=');
}

static void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  MSG msg;
  do {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (ms) Sleep(5);
  } while (GetTickCount() - start < ms);
}

// Runs xdotool (a host program, which Wine starts like any other) while this thread keeps its
// window answering. Wine neither waits for a host program nor hands on its exit code, so the shell
// writes the code into a file when xdotool is done. Returns it, -1 when it never came (10 s).
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
    if (f && fscanf(f, "%d", &code) != 1) code = -1;
    if (f) fclose(f);
  }
  Pump(200);  // the last key through the hook and to the window
  return code;
}

// The X server here has no key for F13: xdotool lends it a spare key code for one command, and a
// key-up that comes after the loan ended is no F13 for Wine. Pressed with pauses, it is one.
#define kF13 "keydown F13 sleep 0.2 keyup F13 sleep 0.2"

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
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KeyHookSink";
    RegisterClassA(&wc);
    gWindow = CreateWindowA("KeyHookSink", kSinkTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                            nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(gWindow, nullptr);
    SetForegroundWindow(gWindow);
    Pump(300);
    ASSERT_EQ(Xdotool("search --sync --name '^keyhook test sink$' windowfocus --sync"), 0);
    ASSERT_EQ(Xdotool(kF13), 0);  // the first loan of a key code for F13 loses its key-down
    KeyHookSetCheckInterval(200);
    ASSERT_EQ(KeyHookStart(Taken, nullptr), 0);
    ASSERT_EQ(KeyHookPublish(SinkTable(0x7C, 0xB3)), 0);
    Pump(100);
    gSink.clear();
    gTaken.clear();
  }
  void TearDown() override {
    EXPECT_EQ(KeyHookStop(2000), 0);
    DestroyWindow(gWindow);
  }
};

TEST_F(KeyHook, TakesWhatTheTableServesAndPassesTheRest) {
  static const struct {
    const char* keys;  // xdotool's arguments; null: a program sends Play
    unsigned table;    // the key a new table serves beside Play before this step, or 0
    const char* sink;  // what reached the window
    const char* taken;
  } kSteps[] = {
      {kF13, 0, "", "+7C -7C"},
      {"key XF86AudioPlay", 0, "", "+B3 -B3"},
      {"key XF86AudioRaiseVolume", 0, "+AF -AF", ""},  // served in another window only
      {"key XF86AudioNext", 0, "+B0 -B0", ""},         // served nowhere
      {"key a Return F12", 0, "+41 -41 +0D -0D +7B -7B", ""},
      {kF13 " key a " kF13, 0, "+41 -41", "+7C -7C +7C -7C"},
      {nullptr, 0, "+B3 -B3", ""},  // never a key a program sends
      {"keydown F13 sleep 0.3", 0, "", "+7C"},
      {"keydown F13 sleep 0.3 keyup F13 sleep 0.2", 0xB0, "", "-7C"},  // taken down: taken to its up
      {kF13, 0, "+7C -7C", ""},                                        // no longer served
      // A line that sends the key held: it passes, neither the press's repeat nor its end.
      {"keydown XF86AudioPlay sleep 0.3", 0, "", "+B3"},
      {nullptr, 0, "+B3 -B3", ""},
      {"keyup XF86AudioPlay sleep 0.2", 0, "", "-B3"},
  };
  for (const auto& s : kSteps) {
    int published = s.table ? KeyHookPublish(SinkTable(s.table, 0xB3)) : 0;
    EXPECT_EQ(published, 0);
    gSink.clear();
    gTaken.clear();
    if (!s.keys) {  // as an action sends it: injected
      keybd_event(0xB3, 0, 0, 0);
      keybd_event(0xB3, 0, KEYEVENTF_KEYUP, 0);
    }
    ASSERT_EQ(s.keys ? Xdotool(s.keys) : (Pump(300), 0), 0) << s.keys;
    EXPECT_EQ(gSink, s.sink) << (s.keys ? s.keys : "SendInput");
    // Without the auto-repeats of Play held across steps: they are the next test's.
    std::string taken;
    for (size_t at = 0; at < gTaken.size(); at += 4) {
      if (gTaken.compare(at, 3, "=B3") != 0) taken += (taken.empty() ? "" : " ") + gTaken.substr(at, 3);
    }
    EXPECT_EQ(taken, s.taken) << (s.keys ? s.keys : "SendInput");
  }
}

TEST_F(KeyHook, HeldKeyRepeatsAndEndsAtItsKeyUp) {
  // A key of the X server's own map (F13's loaned key code does not repeat).
  ASSERT_EQ(Xdotool("keydown XF86AudioPlay sleep 1.5 keyup XF86AudioPlay"), 0);
  EXPECT_EQ(gSink, "");
  ASSERT_GE(gTaken.size(), 7u);
  EXPECT_EQ(gTaken.substr(0, 3), "+B3") << gTaken;
  EXPECT_EQ(gTaken.substr(gTaken.size() - 3), "-B3") << gTaken;
  size_t repeats = 0;
  for (size_t at = gTaken.find("=B3"); at != std::string::npos; at = gTaken.find("=B3", at + 1)) repeats++;
  EXPECT_GE(repeats, 3u) << gTaken;
}

// The key path's and the test dialog's handler: a key taken goes into the queue as a press of the
// remote "keyboard", begun at its key-down and released at its key-up; a key that may be taken and
// that no entry serves here goes on to the window and is queued as told only (^); others pass.
TEST_F(KeyHook, QueuesKeysTakenAndTellsKeysPassed) {
  static const struct {
    bool all;  // the test dialog's table (every key that may be taken), else the sink's
    const char *sink, *queued;
  } kCases[] = {
      {true, "+41 -41", "1keyboard.NEXT 3keyboard.NEXT"},
      {false, "+B0 -B0 +41 -41", "1keyboard.NEXT^ 3keyboard.NEXT^"},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(KeyHookStop(2000), 0);
    QueueClear();
    ASSERT_EQ(c.all ? KeyHookStartAll() : KeyHookStart(KeyHookQueue, nullptr), 0);
    if (!c.all) {
      ASSERT_EQ(KeyHookPublish(SinkTable(0x7C, 0xB3)), 0);
    }
    gSink.clear();
    ASSERT_EQ(Xdotool("key XF86AudioNext a"), 0);
    EXPECT_EQ(gSink, c.sink);
    std::string queued;
    KeyEvent e;
    while (QueueTake(&e))
      queued += (queued.empty() ? "" : " ") + std::to_string(e.signal) + e.remote + "." + e.name +
                (e.told ? "^" : "");
    EXPECT_EQ(queued, c.queued);
  }
}

TEST_F(KeyHook, HookRemovedIsPutBack) {
  KeyHookDropForTest();
  Pump(1000);
  LONG after = KeyHookReinstalls();
  EXPECT_EQ(after, 1);
  Pump(1000);
  EXPECT_EQ(KeyHookReinstalls(), after);  // back in place: the probes arrive again
  // While the hook was gone one probe reached the window, as a key of no meaning (0x88).
  EXPECT_EQ(gSink.substr(0, 7), "+88 -88");
  gSink.clear();
  ASSERT_EQ(Xdotool(kF13), 0);
  EXPECT_EQ(gSink, "");
  EXPECT_EQ(gTaken, "+7C -7C");
}

// The profile followed: each edit reaches the hook without a key pressed, keys=0 and a profile that
// names no key to take remove the hook, a key named in another window's section only passes.
TEST_F(KeyHook, FollowsTheProfileWithoutAPress) {
  ASSERT_EQ(KeyHookStop(2000), 0);
  GetFullPathNameA("keyhook_profiles.ini", MAX_PATH, gProfilePath, nullptr);
  static const struct {
    const char* profile;
    int wants;
    const char* sink;
  } kSteps[] = {
      {"[keyhook test sink]\nKey.PLAY=KEYBOARD P\n", kKeyTableHook, ""},
      {"[default]\nkeys=0\n[keyhook test sink]\nKey.PLAY=X\nKey.mce.GUIDE=X\n", 0, "+B3 -B3"},
      {"[Other]\nKey12=X\nKey.mce.GUIDE=X\n", kKeyTableMce, "+B3 -B3"},
      {"[*test sink]\nKey.keyboard.PLAY.hold=repeat\n", kKeyTableHook, ""},
      {"[Other]\nKey.PLAY=KEYBOARD P\nKey.mce.GUIDE=X\n", kKeyTableHook | kKeyTableMce, "+B3 -B3"},
  };
  KeyHookNotify(gWindow, kMessageWants);
  bool following = false;
  for (const auto& s : kSteps) {
    gWants = -1;
    FILE* f = fopen(gProfilePath, "wb");
    ASSERT_NE(f, nullptr);
    fputs(s.profile, f);
    fclose(f);
    if (!following) {
      ASSERT_EQ(KeyHookFollow(Taken, nullptr), 0);
      following = true;
    }
    DWORD written = GetTickCount();
    for (int i = 0; i < 300 && gWants != s.wants; i++) Pump(10);
    EXPECT_EQ(gWants, s.wants) << s.profile;
    // The folder's change notification, not the second look after a write (2 s), brought it.
    EXPECT_LT(GetTickCount() - written, 1500u) << s.profile;
    gSink.clear();
    gTaken.clear();
    ASSERT_EQ(Xdotool("key XF86AudioPlay"), 0);
    EXPECT_EQ(gSink, s.sink) << s.profile;
    EXPECT_EQ(gTaken, s.sink[0] ? "" : "+B3 -B3") << s.profile;
  }
  EXPECT_EQ(KeyHookUnfollow(2000), 0);
  KeyHookNotify(nullptr, 0);
  DeleteFileA(gProfilePath);
}

// The receiver test dialog, run from the real language module on this thread and driven from a
// second one. The key ready and stop events are made here as the receiver's test-mode start makes
// them; the flashes are watched by subclassing the indicator's controls, so every show and hide
// is seen in order, whatever the timing.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>
// after windows.h
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/process.h"
#include "dialog_driver.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/setup.h"
#include "test_support.h"

namespace {

const std::vector<std::string> kOneFlash = {"+1019", "+1020", "-1017", "-1016",
                                            "+1017", "+1016", "-1019", "-1020"};

// What the watched controls saw; written on the dialog's thread, read by the test.
std::mutex watchLock;
std::vector<std::string> watchLog;        // "+1019" = control 1019 shown, "cancel" = Cancel arrived
std::vector<std::string> keyNameAtFlash;  // the key name control's text as each flash began
int flashesEnded;
std::map<HWND, WNDPROC> watchedProcs;
// Called on the dialog's thread as flash number n (from 1) begins.
std::function<void(HWND dialog, int n)> onFlashStart;

void Note(const std::string& entry) {
  std::lock_guard<std::mutex> hold(watchLock);
  watchLog.push_back(entry);
}

LRESULT CALLBACK WatchedProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original;
  {
    std::lock_guard<std::mutex> hold(watchLock);
    original = watchedProcs[w];
  }
  int id = GetDlgCtrlID(w);
  if (message == WM_SHOWWINDOW && id >= IDC_IDLE1) {
    Note((wParam ? "+" : "-") + std::to_string(id));
    if (id == IDC_FLASH1 && wParam) {
      char name[32] = "";
      GetDlgItemTextA(GetParent(w), IDC_KEYNAME, name, sizeof name);
      int n;
      {
        std::lock_guard<std::mutex> hold(watchLock);
        keyNameAtFlash.push_back(name);
        n = int(keyNameAtFlash.size());
      }
      if (onFlashStart) onFlashStart(GetParent(w), n);
    }
    if (id == IDC_FLASH2 && !wParam) {
      std::lock_guard<std::mutex> hold(watchLock);
      flashesEnded++;
    }
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == 0) Note("cancel");
  return CallWindowProcA(original, w, message, wParam, lParam);
}

void WatchWindow(HWND w) {
  {
    std::lock_guard<std::mutex> hold(watchLock);
    watchedProcs[w] = (WNDPROC)GetWindowLongPtrA(w, GWLP_WNDPROC);
  }
  SetWindowLongPtrA(w, GWLP_WNDPROC, (LONG_PTR)WatchedProc);
}

std::vector<std::string> Log() {
  std::lock_guard<std::mutex> hold(watchLock);
  return watchLog;
}

int FlashesStarted() {
  std::lock_guard<std::mutex> hold(watchLock);
  return int(keyNameAtFlash.size());
}

int FlashesEnded() {
  std::lock_guard<std::mutex> hold(watchLock);
  return flashesEnded;
}

std::set<DWORD> ProcessThreads() {
  std::set<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t;
  t.dwSize = sizeof t;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(t.th32ThreadID);
  }
  CloseHandle(snap);
  return ids;
}

std::vector<std::string> Repeat(const std::vector<std::string>& part, int times) {
  std::vector<std::string> all;
  for (int i = 0; i < times; i++) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class TestDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLanguageModule = LoadLibraryA("REMOT001.DLL");
    ASSERT_NE(gLanguageModule, nullptr);
    gKeyReadyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    QueueClear();
    watchLog.clear();
    keyNameAtFlash.clear();
    flashesEnded = 0;
    watchedProcs.clear();
    onFlashStart = nullptr;
  }
  void TearDown() override {
    if (gKeyReadyEvent) CloseHandle(gKeyReadyEvent);
    gKeyReadyEvent = nullptr;
    onFlashStart = nullptr;
  }

  // Runs dialog 105; `drive` gets it with its indicator watched. Afterwards `newThreads` holds the
  // threads that the dialog started and `threadsLeft` how many of them still ran when it returned.
  INT_PTR Run(const std::function<void(HWND)>& drive) {
    std::set<DWORD> before = ProcessThreads();
    std::vector<HANDLE> started;
    INT_PTR result = RunDriven(
        IDC_IDLE1, [] { return TestDialogRun(gLanguageModule, nullptr); },
        [&](HWND dialog) {
          for (DWORD id : ProcessThreads()) {
            if (before.count(id) || id == GetCurrentThreadId()) continue;
            HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
            if (h) started.push_back(h);
          }
          WatchWindow(dialog);
          for (int id : {IDC_IDLE1, IDC_IDLE2, IDC_FLASH1, IDC_FLASH2}) WatchWindow(GetDlgItem(dialog, id));
          drive(dialog);
        });
    newThreads = int(started.size());
    threadsLeft = 0;
    for (HANDLE h : started) {
      if (WaitForSingleObject(h, 0) != WAIT_OBJECT_0) threadsLeft++;
      CloseHandle(h);
    }
    return result;
  }

  int newThreads = 0;
  int threadsLeft = 0;
};

TEST_F(TestDialogTest, OneKeyFlashesTheIndicatorOnceNamesTheKeyAndLeavesNothingQueued) {
  bool idleAtStart = false, flashHiddenAtStart = false, idleAfter = false, flashHiddenAfter = false;
  bool openAfterOtherCommands = false;
  std::string name;
  INT_PTR result = Run([&](HWND d) {
    idleAtStart = ItemVisible(d, IDC_IDLE1) && ItemVisible(d, IDC_IDLE2);
    flashHiddenAtStart = !ItemVisible(d, IDC_FLASH1) && !ItemVisible(d, IDC_FLASH2);
    QueuePut({1, 12});
    SetEvent(gKeyReadyEvent);
    ASSERT_TRUE(WaitUntil([] { return FlashesEnded() == 1; }));
    idleAfter = ItemVisible(d, IDC_IDLE1) && ItemVisible(d, IDC_IDLE2);
    flashHiddenAfter = !ItemVisible(d, IDC_FLASH1) && !ItemVisible(d, IDC_FLASH2);
    name = ItemText(d, IDC_KEYNAME);
    // OK, and a Cancel notification that is not a click, do not end the test.
    SendMessageA(d, WM_COMMAND, IDOK, 0);
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_SETFOCUS), 0);
    openAfterOtherCommands = IsWindowVisible(d);
    // A key that arrives after the last wake-up is not acted on later either.
    QueuePut({1, 6});
    PostClick(d, IDCANCEL);
  });

  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(idleAtStart);
  EXPECT_TRUE(flashHiddenAtStart);
  EXPECT_TRUE(idleAfter);
  EXPECT_TRUE(flashHiddenAfter);
  EXPECT_TRUE(openAfterOtherCommands);
  std::vector<std::string> expected = kOneFlash;
  expected.push_back("cancel");
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(keyNameAtFlash, std::vector<std::string>{"Key12"});
  EXPECT_EQ(name, "Key12");
  KeyEvent e;
  EXPECT_EQ(QueueTake(&e), 0);
  EXPECT_GE(newThreads, 1);
  EXPECT_EQ(threadsLeft, 0);
}

// A button its receiver names (the network receiver, the keys of USB remotes) flashes and is named
// with its remote, or alone without one.
TEST_F(TestDialogTest, ANamedButtonFlashesAndIsNamedWithItsRemote) {
  const struct {
    uint8_t source;
    const char *remote, *name;
  } keys[] = {{kKeyFromNetwork, "DEMO", "KEY_PLAY"}, {kKeyFromKeyboard, "", "PLAY"}};
  Run([&](HWND d) {
    for (const auto& key : keys) {
      KeyEvent e{1, 0};
      e.source = key.source;
      lstrcpynA(e.remote, key.remote, sizeof e.remote);
      lstrcpynA(e.name, key.name, sizeof e.name);
      int before = FlashesEnded();
      QueuePut(e);
      SetEvent(gKeyReadyEvent);
      WaitUntil([&] { return FlashesEnded() > before; });
    }
    PostClick(d, IDCANCEL);
  });
  EXPECT_EQ(keyNameAtFlash, (std::vector<std::string>{"KEY_PLAY (DEMO)", "PLAY"}));
}

TEST_F(TestDialogTest, KeysDuringAFlashGiveExactlyOneMoreFlash) {
  onFlashStart = [](HWND, int n) {
    if (n != 1) return;
    for (int code = 40; code <= 42; code++) {
      QueuePut({1, uint8_t(code)});
      SetEvent(gKeyReadyEvent);
    }
  };
  int flashes = 0;
  Run([&](HWND d) {
    QueuePut({1, 12});
    SetEvent(gKeyReadyEvent);
    ASSERT_TRUE(WaitUntil([] { return FlashesEnded() == 2; }));
    Sleep(600);  // room for a third flash, which must not come
    flashes = FlashesStarted();
    PostClick(d, IDCANCEL);
  });

  EXPECT_EQ(flashes, 2);
  std::vector<std::string> expected = Repeat(kOneFlash, 2);
  expected.push_back("cancel");
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(keyNameAtFlash, (std::vector<std::string>{"Key12", "Key42"}));
  EXPECT_EQ(threadsLeft, 0);
}

TEST_F(TestDialogTest, CancelDuringAFlashWithKeysWaitingEndsTheThreadWithoutAnotherFlash) {
  onFlashStart = [](HWND dialog, int n) {
    if (n != 1) return;
    QueuePut({1, 30});
    SetEvent(gKeyReadyEvent);
    PostClick(dialog, IDCANCEL);
  };
  INT_PTR result = Run([](HWND) {
    QueuePut({1, 12});
    SetEvent(gKeyReadyEvent);
  });

  EXPECT_EQ(result, IDCANCEL);
  std::vector<std::string> log = Log();
  auto cancel = std::find(log.begin(), log.end(), "cancel");
  ASSERT_NE(cancel, log.end());
  bool flashAfterCancel = std::find(cancel, log.end(), "+1019") != log.end();
  EXPECT_FALSE(flashAfterCancel);
  EXPECT_EQ(std::count(log.begin(), log.end(), "+1019"), std::count(log.begin(), log.end(), "-1020"))
      << "a flash was cut short";
  EXPECT_EQ(log.back(), "-1020");
  KeyEvent e;
  EXPECT_EQ(QueueTake(&e), 0);
  EXPECT_GE(newThreads, 1);
  EXPECT_EQ(threadsLeft, 0);
}

// A button held (the reader's stamps): the dialog shows the receiver's pace and whether the
// profile's release time fits it; when it does not, Set chooses one that does, for Setup's OK to
// save: the profile stays as it was. A receiver slower
// than the release time makes every signal a new press: a steady stream of them is such a receiver.
// A new press after a hold does not keep the hold's verdict.
TEST_F(TestDialogTest, HeldButtonShowsThePaceAndSetChoosesAReleaseTimeThatFits) {
  const std::vector<DWORD> held = {0, 110, 220, 330, 440}, slow = {0, 300, 600, 900, 1200};
  const std::string heldPace = "Held: 9 signals a second, 110 ms apart (longest gap 110 ms). ",
                    fits = heldPace + "The release time of 250 ms fits this receiver.",
                    slowText =
                        "Each signal, 300 ms apart, counts as a new press: this receiver is slower than "
                        "the release time of 250 ms. 450 ms would fit.";
  struct Case {
    const char* profile;
    std::vector<DWORD> signals;
    std::string text;
    bool canSet;
    const char* chosen;  // the release time chosen afterwards (Set pressed when it can be), "0" none
  } cases[] = {
      {"[default]\r\n", held, fits, false, "0"},
      {"[default]\r\nrelease=120\r\n", held,
       heldPace + "The release time of 120 ms is too short for it: 170 ms would fit.", true, "170"},
      {"[default]\r\n", slow, slowText, true, "450"},
      {"[default]\r\n", {0, 110, 220, 330, 440, 1000}, "", false, "0"},  // a tap after the hold
      {"[default]\r\n", {0, 110, 220, 330, 440, 1000, 1300, 1600, 1900}, slowText, true, "450"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    snprintf(gProfilePath, sizeof gProfilePath, "%s", dir.Write("profiles.ini", c.profile).c_str());
    std::string pace, told;
    bool canSet = false;
    int flashes = FlashesEnded();
    TestReleaseForget();
    Run([&](HWND d) {
      DWORD now = timeGetTime();
      for (DWORD t : c.signals) QueuePut({1, 12, now - c.signals.back() + t});
      SetEvent(gKeyReadyEvent);
      WaitUntil([&] { return FlashesEnded() > flashes; });  // every key posted before the flash was shown
      pace = ItemText(d, IDC_TEST_PACE);
      canSet = ItemEnabled(d, IDC_TEST_RELEASE);
      if (canSet) SendMessageA(d, WM_COMMAND, IDC_TEST_RELEASE, 0);
      told = ItemText(d, IDC_TEST_PACE);
      PostClick(d, IDCANCEL);
    });
    EXPECT_EQ(pace, c.text);
    EXPECT_EQ(canSet, c.canSet) << c.text;
    EXPECT_EQ(std::to_string(TestReleaseChosen()), c.chosen) << c.text;
    EXPECT_EQ(ReadAll(gProfilePath), c.profile) << c.text;
    if (c.canSet) {
      EXPECT_NE(told.find(std::string(c.chosen) + " ms"), std::string::npos) << told;
    }
  }
  TestReleaseForget();
  snprintf(gProfilePath, sizeof gProfilePath, "profiles.ini");
}

TEST_F(TestDialogTest, WithoutEventsTheDialogOpensNeverFlashesAndCancelClosesIt) {
  // The receiver's test-mode start failed: it made no key ready event.
  CloseHandle(gKeyReadyEvent);
  gKeyReadyEvent = nullptr;
  bool flashHidden = false;
  INT_PTR result = Run([&](HWND d) {
    QueuePut({1, 12});
    Sleep(300);
    flashHidden = !ItemVisible(d, IDC_FLASH1) && !ItemVisible(d, IDC_FLASH2);
    PostClick(d, IDCANCEL);
  });

  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(flashHidden);
  EXPECT_EQ(Log(), std::vector<std::string>{"cancel"});
  EXPECT_EQ(threadsLeft, 0);
}

}  // namespace

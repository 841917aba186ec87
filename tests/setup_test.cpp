// The setup dialog, run from the real language module on this thread and driven from a second one,
// against the real profile file, registry and ports. The machine has COM1 (one end of the test
// cable, a pseudo-terminal) and no COM2-COM4. A pseudo-terminal cannot raise CTS, so the receiver's
// answer to detection is played by a stand-in for the port calls; detection also runs for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <stdio.h>
#include <string>
#include <vector>

#include "app/shell.h"
#include "dialog_driver.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/detect.h"
#include "setup/setup.h"
#include "test_support.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "OVRARemote";

// The autostart value: missing, or its type and bytes.
struct RunValue {
  bool exists = false;
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RunValue& o) const {
    return exists == o.exists && (!exists || (type == o.type && data == o.data));
  }
};

std::ostream& operator<<(std::ostream& out, const RunValue& v) {
  if (!v.exists) return out << "(missing)";
  return out << "type " << v.type << " \"" << std::string(v.data.begin(), v.data.end()) << "\" ("
             << v.data.size() << " bytes)";
}

RunValue ReadRunValue() {
  RunValue v;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(key, kRunValue, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    v.exists = RegQueryValueExA(key, kRunValue, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    v.data.resize(size);
  }
  RegCloseKey(key);
  return v;
}

void WriteRunValue(const RunValue& v) {
  HKEY key;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  if (v.exists) {
    RegSetValueExA(key, kRunValue, 0, v.type, v.data.data(), DWORD(v.data.size()));
  } else {
    RegDeleteValueA(key, kRunValue);
  }
  RegCloseKey(key);
}

// A REG_SZ value holding `text` and its terminating zero.
RunValue TextValue(const std::string& text) {
  RunValue v;
  v.exists = true;
  v.type = REG_SZ;
  v.data.assign(text.begin(), text.end());
  v.data.push_back(0);
  return v;
}

std::string ProgramPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// What the dialog shows.
struct PortLook {
  std::string status;
  bool enabled = false;
  bool checked = false;
};
struct SetupLook {
  PortLook port[5];
  bool test = false;
  bool detect = false;
  bool autostart = false;
};

SetupLook Look(HWND d) {
  SetupLook look;
  for (int n = 1; n <= 4; n++) {
    look.port[n].status = ItemText(d, IDC_STATUS1 - 1 + n);
    look.port[n].enabled = ItemEnabled(d, IDC_PORT1 - 1 + n);
    look.port[n].checked = ItemChecked(d, IDC_PORT1 - 1 + n);
  }
  look.test = ItemEnabled(d, IDC_TEST);
  look.detect = ItemEnabled(d, IDC_DETECT);
  look.autostart = ItemChecked(d, IDC_AUTOSTART);
  return look;
}

int CheckedPort(const SetupLook& look) {
  for (int n = 1; n <= 4; n++) {
    if (look.port[n].checked) return n;
  }
  return 0;
}

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gProgramInstance = GetModuleHandleA(nullptr);
    gLanguageModule = LoadLibraryA("REMOT001.DLL");
    ASSERT_NE(gLanguageModule, nullptr);
    lstrcpynA(gProfilePath, dir.File("profiles.ini").c_str(), MAX_PATH);
    savedRun = ReadRunValue();
  }
  void TearDown() override {
    WriteRunValue(savedRun);
    gSetupPorts = kSetupPlatformPorts;
    ReceiverStop();
  }

  void Profile(const char* text) { dir.Write("profiles.ini", text); }
  std::string Port() {
    char value[16];
    GetPrivateProfileStringA("default", "port", "(none)", value, sizeof value, gProfilePath);
    return value;
  }
  INT_PTR Run(const std::function<void(HWND)>& drive) {
    return RunDriven(
        IDC_DETECT,
        [] {
          return DialogBoxParamA(gLanguageModule, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialogProc, 0);
        },
        drive);
  }

  TempDir dir;
  RunValue savedRun;
};

// --- Port probe, on the real ports ---

struct ProbeCase {
  const char* name;
  const char* profile;
  int checked;  // 0: none, and Test disabled
};
const ProbeCase kProbeCases[] = {
    {"no port entry", "[default]\n", 0},
    {"port 1, present", "[default]\nport=1\n", 1},
    {"port 2, absent", "[default]\nport=2\n", 0},
    {"port 7", "[default]\nport=7\n", 0},
};

TEST_F(SetupDialogTest, ProbeMarksMissingPortsAndChecksTheConfiguredPortWhenPresent) {
  ASSERT_EQ(SetupProbePort(1), 1) << "COM1, the test cable, must exist (tools/test.sh makes it)";
  for (int n = 2; n <= 4; n++) ASSERT_EQ(SetupProbePort(n), 0) << "COM" << n << " must not exist";

  for (const ProbeCase& c : kProbeCases) {
    SCOPED_TRACE(c.name);
    Profile(c.profile);
    SetupLook look;
    Run([&](HWND d) {
      look = Look(d);
      PostClick(d, IDCANCEL);
    });
    EXPECT_EQ(look.port[1].status, "");
    EXPECT_TRUE(look.port[1].enabled);
    for (int n = 2; n <= 4; n++) {
      EXPECT_EQ(look.port[n].status, "---");
      EXPECT_FALSE(look.port[n].enabled);
    }
    EXPECT_EQ(CheckedPort(look), c.checked);
    EXPECT_EQ(look.test, c.checked != 0);
  }
}

HHOOK placeHook;
RECT createdAt;

LRESULT CALLBACK NoteDialogCreation(int code, WPARAM wParam, LPARAM lParam) {
  char cls[16] = "";
  if (code == HCBT_CREATEWND && GetClassNameA((HWND)wParam, cls, sizeof cls) &&
      lstrcmpA(cls, "#32770") == 0) {
    const CREATESTRUCTA* cs = ((CBT_CREATEWNDA*)lParam)->lpcs;
    createdAt = {cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy};
  }
  return CallNextHookEx(placeHook, code, wParam, lParam);
}

TEST_F(SetupDialogTest, OpensHalfTheFreeWorkAreaAwayFromWhereItWasCreatedAndTopmost) {
  Profile("[default]\n");
  placeHook = SetWindowsHookExA(WH_CBT, NoteDialogCreation, nullptr, GetCurrentThreadId());
  RECT at{};
  LONG_PTR exStyle = 0;
  Run([&](HWND d) {
    GetWindowRect(d, &at);
    exStyle = GetWindowLongPtrA(d, GWL_EXSTYLE);
    PostClick(d, IDCANCEL);
  });
  UnhookWindowsHookEx(placeHook);

  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  int width = createdAt.right - createdAt.left, height = createdAt.bottom - createdAt.top;
  EXPECT_EQ(at.left, createdAt.left + ((work.right - work.left) - width) / 2);
  EXPECT_EQ(at.top, createdAt.top + ((work.bottom - work.top) - height) / 2);
  EXPECT_EQ(at.right - at.left, width);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
}

// --- Saving the port ---

struct SaveCase {
  const char* name;
  const char* profile;
  std::function<void(HWND)> act;
  INT_PTR result;
  const char* port;  // "port" afterwards
};

TEST_F(SetupDialogTest, OkSavesTheCheckedPortAndCancelSavesNothing) {
  const SaveCase cases[] = {
      {"OK keeps the configured port", "[default]\nport=1\n", [](HWND d) { PostClick(d, IDOK); }, IDOK, "1"},
      {"OK with nothing checked saves 0", "[default]\nport=7\n", [](HWND d) { PostClick(d, IDOK); }, IDOK,
       "0"},
      {"OK after choosing COM1", "[default]\n",
       [](HWND d) {
         Click(d, IDC_PORT1);
         PostClick(d, IDOK);
       },
       IDOK, "1"},
      {"Cancel after choosing COM1", "[default]\nport=7\n",
       [](HWND d) {
         Click(d, IDC_PORT1);
         PostClick(d, IDCANCEL);
       },
       IDCANCEL, "7"},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    Profile(c.profile);
    EXPECT_EQ(Run(c.act), c.result);
    EXPECT_EQ(Port(), c.port);
  }
}

TEST_F(SetupDialogTest, ChoosingAPortEnablesTestAndOnlyClicksCount) {
  Profile("[default]\n");
  SetupLook before, after;
  bool openAfterNotification = false;
  Run([&](HWND d) {
    before = Look(d);
    Click(d, IDC_PORT1);
    after = Look(d);
    // A notification other than a click, from the OK button, is not an OK.
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS), (LPARAM)GetDlgItem(d, IDOK));
    openAfterNotification = IsWindowVisible(d);
    PostClick(d, IDCANCEL);
  });
  EXPECT_FALSE(before.test);
  EXPECT_EQ(CheckedPort(after), 1);
  EXPECT_TRUE(after.test);
  EXPECT_TRUE(openAfterNotification);
  EXPECT_EQ(Port(), "(none)");
}

// --- Autostart, against the real Run key ---

enum RunState { kMissing, kProgram, kProgramOtherCase, kOtherProgram, kOverLong };

RunValue ValueFor(RunState state) {
  std::string path = ProgramPath();
  switch (state) {
    case kMissing:
      return RunValue();
    case kProgram:
      return TextValue(path);
    case kProgramOtherCase: {
      std::string other = path;
      CharLowerA(&other[0]);
      if (other == path) CharUpperA(&other[0]);
      return TextValue(other);
    }
    case kOtherProgram:
      return TextValue("C:\\Old Place\\remote.exe");
    case kOverLong:
      return TextValue("C:\\" + std::string(300, 'x') + "\\remote.exe");
  }
  return RunValue();
}

struct AutostartCase {
  const char* name;
  RunState before;
  bool toggle;  // click the check box
  int button;
  bool checkedAtStart;
  RunState after;
};
const AutostartCase kAutostartCases[] = {
    {"missing, ticked, OK: created", kMissing, true, IDOK, false, kProgram},
    {"missing, Cancel: stays missing", kMissing, false, IDCANCEL, false, kMissing},
    {"present, cleared, OK: deleted", kProgram, true, IDOK, true, kMissing},
    {"present, OK: kept", kProgram, false, IDOK, true, kProgram},
    {"another path: rewritten at start, even if cancelled", kOtherProgram, false, IDCANCEL, true, kProgram},
    {"the program in other letter case: not rewritten", kProgramOtherCase, false, IDCANCEL, true,
     kProgramOtherCase},
    {"over-long: deleted at start", kOverLong, false, IDCANCEL, false, kMissing},
};

TEST_F(SetupDialogTest, AutostartValueFollowsTheCheckBox) {
  ASSERT_FALSE(ValueFor(kProgramOtherCase) == ValueFor(kProgram)) << "the program path has no letters";
  for (const AutostartCase& c : kAutostartCases) {
    SCOPED_TRACE(c.name);
    Profile("[default]\n");
    WriteRunValue(ValueFor(c.before));
    bool checkedAtStart = !c.checkedAtStart;
    Run([&](HWND d) {
      checkedAtStart = ItemChecked(d, IDC_AUTOSTART);
      if (c.toggle) Click(d, IDC_AUTOSTART);
      PostClick(d, c.button);
    });
    EXPECT_EQ(checkedAtStart, c.checkedAtStart);
    EXPECT_EQ(ReadRunValue(), ValueFor(c.after));
  }
}

// --- One dialog at a time ---

int nestedResult;
HANDLE nestedDone;

void CALLBACK OpenAgain(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  nestedResult = OpenSetupDialog(gLanguageModule, nullptr);
  SetEvent(nestedDone);
}

TEST_F(SetupDialogTest, SetupChosenAgainWhileTheDialogIsOpenDoesNothing) {
  Profile("[default]\n");
  DWORD self = GetCurrentThreadId();
  nestedResult = -99;
  nestedDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool nestedReturned = false;
  size_t dialogs = 0;
  // The timer fires inside the first dialog's message loop, as a second Setup command would.
  SetTimer(nullptr, 0, 10, OpenAgain);
  INT_PTR first = RunDriven(
      IDC_DETECT, [] { return INT_PTR(OpenSetupDialog(gLanguageModule, nullptr)); },
      [&](HWND d) {
        nestedReturned = WaitForSingleObject(nestedDone, 10000) == WAIT_OBJECT_0;
        dialogs = ThreadDialogs(self, false).size();
        PostClick(d, IDCANCEL);
      });
  CloseHandle(nestedDone);
  EXPECT_EQ(first, 0);
  EXPECT_TRUE(nestedReturned);
  EXPECT_EQ(nestedResult, 0);
  EXPECT_EQ(dialogs, 1u);

  // Once closed, the dialog opens again.
  bool reopened = false;
  RunDriven(
      IDC_DETECT, [] { return INT_PTR(OpenSetupDialog(gLanguageModule, nullptr)); },
      [&](HWND d) {
        reopened = true;
        PostClick(d, IDCANCEL);
      });
  EXPECT_TRUE(reopened);
}

// --- The Test button ---

TEST_F(SetupDialogTest, TestButtonRunsTheTestDialogOverTheSetupDialog) {
  Profile("[default]\nport=1\n");
  DWORD self = GetCurrentThreadId();
  HWND setup = nullptr, owner = nullptr;
  bool testClosed = false, setupOpenAfter = false;
  Run([&](HWND d) {
    setup = d;
    PostClick(d, IDC_TEST);
    HWND test = WaitForDialog(self, IDC_IDLE1);
    ASSERT_NE(test, nullptr);
    owner = GetWindow(test, GW_OWNER);
    PostClick(test, IDCANCEL);
    testClosed = WaitUntil([&] { return !IsWindow(test); });
    setupOpenAfter = IsWindowVisible(d) && ItemEnabled(d, IDC_TEST);
    PostClick(d, IDCANCEL);
  });
  EXPECT_EQ(owner, setup);
  EXPECT_TRUE(testClosed);
  EXPECT_TRUE(setupOpenAfter);
  EXPECT_EQ(Port(), "1");
}

// --- Detection, with a stand-in for the ports and the receiver ---

// One serial port as the stand-in plays it.
struct FakePort {
  // How it behaves ('-' missing, 'p' present, 'R' the receiver, 'v' gone after the probe,
  // 'x' refuses new settings, 'e' its wait ends in an error as RTS is raised, 'o' the detection
  // event is set from elsewhere while its wait goes on).
  char kind = '-';
  // What happened to it.
  int opens = 0;
  int openNow = 0;
  bool rtsRaised = false;
  bool flowOffAtRts = false;
  std::string statusAtRts;
  bool pendingAtClose = false;
  DCB dcb{};
  DWORD mask = 0;
  DWORD* events = nullptr;
  OVERLAPPED* wait = nullptr;
};
FakePort fake[5];
HWND fakeDialog;

DCB StartDcb() {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = 1200;
  dcb.fBinary = 1;
  dcb.fOutxCtsFlow = 1;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.ByteSize = 8;
  return dcb;
}

bool SameDcb(const DCB& a, const DCB& b) {
  return a.BaudRate == b.BaudRate && a.fOutxCtsFlow == b.fOutxCtsFlow && a.fRtsControl == b.fRtsControl &&
         a.ByteSize == b.ByteSize;
}

HANDLE FakeHandle(int n) {
  return (HANDLE)(UINT_PTR)(0x7700 + n);
}
FakePort& Fake(HANDLE h) {
  return fake[(UINT_PTR)h - 0x7700];
}

void Complete(FakePort& p, DWORD events, DWORD status) {
  *p.events = events;
  p.wait->InternalHigh = 0;
  p.wait->Internal = status;
  SetEvent(p.wait->hEvent);
  p.wait = nullptr;
}

HANDLE WINAPI FakeOpen(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  int n = 0;
  if (sscanf(name, "COM%d", &n) != 1 || n < 1 || n > 4 || fake[n].kind == '-' ||
      (fake[n].kind == 'v' && fake[n].opens > 0)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  fake[n].opens++;
  fake[n].openNow++;
  return FakeHandle(n);
}
BOOL WINAPI FakeGetState(HANDLE h, LPDCB dcb) {
  *dcb = Fake(h).dcb;
  return TRUE;
}
BOOL WINAPI FakeSetState(HANDLE h, LPDCB dcb) {
  if (Fake(h).kind == 'x') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Fake(h).dcb = *dcb;
  return TRUE;
}
BOOL WINAPI FakeSetMask(HANDLE h, DWORD mask) {
  FakePort& p = Fake(h);
  p.mask = mask;
  if (mask == 0 && p.wait) Complete(p, 0, 0);  // a new mask ends a pending wait
  return TRUE;
}
BOOL WINAPI FakeWaitEvent(HANDLE h, LPDWORD events, LPOVERLAPPED wait) {
  FakePort& p = Fake(h);
  if (!(p.mask & EV_CTS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  p.events = events;
  p.wait = wait;
  wait->Internal = STATUS_PENDING;
  ResetEvent(wait->hEvent);
  SetLastError(ERROR_IO_PENDING);
  return FALSE;
}
BOOL WINAPI FakeEscape(HANDLE h, DWORD function) {
  FakePort& p = Fake(h);
  if (function != SETRTS) return TRUE;
  p.rtsRaised = true;
  p.flowOffAtRts = p.dcb.fOutxCtsFlow == 0 && p.dcb.fRtsControl == RTS_CONTROL_DISABLE;
  p.statusAtRts = ItemText(fakeDialog, IDC_STATUS1 - 1 + int(&p - fake));
  if (p.wait && p.kind == 'R') Complete(p, EV_CTS, 0);
  if (p.wait && p.kind == 'e') Complete(p, 0, 0xC0000120 /* cancelled */);
  if (p.wait && p.kind == 'o') SetEvent(p.wait->hEvent);  // someone else sets the named event
  return TRUE;
}
BOOL WINAPI FakeClose(HANDLE h) {
  FakePort& p = Fake(h);
  p.openNow--;
  if (p.wait) p.pendingAtClose = true;
  return TRUE;
}
// GetOverlappedResult stays the platform's: it only reads the wait record here.
const SetupPortApi kFakePorts = {FakeOpen,      FakeGetState, FakeSetState,        FakeSetMask,
                                 FakeWaitEvent, FakeEscape,   GetOverlappedResult, FakeClose};

struct DetectCase {
  const char* name;
  const char* ports;  // kinds of COM1..COM4
  const char* profile;
  const char* statuses[4];
  int found;
  const char* tried;  // '1' where RTS was raised
};
const DetectCase kDetectCases[] = {
    {"receiver on COM2 of four", "pRpp", "[default]\n", {"", "OK", "", ""}, 2, "1100"},
    {"receiver on COM2, COM1 configured", "pRpp", "[default]\nport=1\n", {"", "OK", "", ""}, 2, "1100"},
    {"no receiver", "pppp", "[default]\nport=3\n", {"", "", "", ""}, 0, "1111"},
    {"no port at all", "----", "[default]\n", {"---", "---", "---", "---"}, 0, "0000"},
    {"missing ports are skipped", "-p-R", "[default]\n", {"---", "", "---", "OK"}, 4, "0101"},
    {"ports that cannot be opened or set keep Test...",
     "vxRp",
     "[default]\n",
     {"Test...", "Test...", "OK", ""},
     3,
     "0010"},
    {"a wait that ends in an error is no answer", "epRp", "[default]\n", {"", "", "OK", ""}, 3, "1110"},
    {"the event set from elsewhere is no answer", "opRp", "[default]\n", {"", "", "OK", ""}, 3, "1110"},
};

TEST_F(SetupDialogTest, DetectionFindsTheFirstPortThatAnswersOnCts) {
  for (const DetectCase& c : kDetectCases) {
    SCOPED_TRACE(c.name);
    for (int n = 1; n <= 4; n++) {
      fake[n] = FakePort();
      fake[n].kind = c.ports[n - 1];
      fake[n].dcb = StartDcb();
    }
    gSetupPorts = kFakePorts;
    Profile(c.profile);
    std::string portBefore = Port();
    SetupLook look;
    Run([&](HWND d) {
      fakeDialog = d;
      Click(d, IDC_DETECT);
      look = Look(d);
      PostClick(d, IDCANCEL);
    });
    gSetupPorts = kSetupPlatformPorts;

    for (int n = 1; n <= 4; n++) {
      SCOPED_TRACE("COM" + std::to_string(n));
      const FakePort& p = fake[n];
      EXPECT_EQ(look.port[n].status, c.statuses[n - 1]);
      EXPECT_EQ(look.port[n].checked, n == c.found);
      EXPECT_EQ(p.rtsRaised, c.tried[n - 1] == '1');
      if (p.rtsRaised) {
        EXPECT_TRUE(p.flowOffAtRts);
        EXPECT_EQ(p.statusAtRts, "Test...");
      }
      EXPECT_EQ(p.openNow, 0);
      EXPECT_FALSE(p.pendingAtClose);
      EXPECT_TRUE(SameDcb(p.dcb, StartDcb()));
    }
    EXPECT_EQ(look.test, c.found != 0);
    EXPECT_TRUE(look.detect);
    EXPECT_EQ(Port(), portBefore) << "detection saves nothing";
  }
}

// --- Detection on the real cable ---

int spyOpens, spyCloses, spyRtsRaised;
HANDLE WINAPI SpyOpen(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD how,
                      DWORD flags, HANDLE from) {
  HANDLE h = CreateFileA(name, access, share, sa, how, flags, from);
  if (h != INVALID_HANDLE_VALUE) spyOpens++;
  return h;
}
BOOL WINAPI SpyEscape(HANDLE h, DWORD function) {
  if (function == SETRTS) spyRtsRaised++;
  return EscapeCommFunction(h, function);
}
BOOL WINAPI SpyClose(HANDLE h) {
  spyCloses++;
  return CloseHandle(h);
}

TEST_F(SetupDialogTest, DetectionOnTheCableGetsNoAnswerAndGivesThePortBackAsItWas) {
  // Settings that detection changes (CTS flow control), so that their return shows.
  HANDLE port = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB original;
  original.DCBlength = sizeof original;
  ASSERT_TRUE(GetCommState(port, &original));
  DCB marked = original;
  marked.BaudRate = 1200;
  marked.fOutxCtsFlow = 1;
  ASSERT_TRUE(SetCommState(port, &marked));
  CloseHandle(port);

  SetupPortApi spy = kSetupPlatformPorts;
  spy.open = SpyOpen;
  spy.escape = SpyEscape;
  spy.close = SpyClose;
  gSetupPorts = spy;
  spyOpens = spyCloses = spyRtsRaised = 0;
  Profile("[default]\nport=1\n");
  SetupLook look;
  Run([&](HWND d) {
    Click(d, IDC_DETECT);
    look = Look(d);
    PostClick(d, IDCANCEL);
  });
  gSetupPorts = kSetupPlatformPorts;

  EXPECT_EQ(look.port[1].status, "");
  for (int n = 2; n <= 4; n++) EXPECT_EQ(look.port[n].status, "---");
  EXPECT_EQ(CheckedPort(look), 0);
  EXPECT_FALSE(look.test);
  EXPECT_TRUE(look.detect);
  EXPECT_EQ(spyOpens, 2);  // the probe, then the search
  EXPECT_EQ(spyRtsRaised, 1);
  EXPECT_EQ(spyCloses, spyOpens);

  port = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB after;
  after.DCBlength = sizeof after;
  EXPECT_TRUE(GetCommState(port, &after));
  EXPECT_EQ(after.BaudRate, 1200u);
  EXPECT_EQ(after.fOutxCtsFlow, 1u);
  SetCommState(port, &original);
  CloseHandle(port);
}

}  // namespace

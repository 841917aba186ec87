// The setup dialog, run from the real language module on this thread and driven from a second one,
// against the real profile file, registry and ports. The machine has COM1 and COM9 (the two ends of
// the test cable, pseudo-terminals) and no other port. A pseudo-terminal cannot raise CTS, so the
// receiver's answer to detection is played by a stand-in for the port calls; detection also runs
// for real. Wine lets every process write every registry key, so a machine Run key that refuses a
// standard user is played by a stand-in for opening keys.
#include <winsock2.h>
// before windows.h
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdio.h>
#include <string>
#include <vector>

#include "common/process.h"
#include "profile/profilepath.h"
#include "dialog_driver.h"
#include "receiver/keyqueue.h"
#include "receiver/link.h"
#include "resources/resource_ids.h"
#include "setup/autostart.h"
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

RunValue ReadRunValue(HKEY root = HKEY_LOCAL_MACHINE) {
  RunValue v;
  HKEY key;
  if (RegOpenKeyExA(root, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(key, kRunValue, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    v.exists = RegQueryValueExA(key, kRunValue, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    v.data.resize(size);
  }
  RegCloseKey(key);
  return v;
}

void WriteRunValue(const RunValue& v, HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
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
  PortLook other;     // "Other", with the status text of the list's port
  std::string list;   // the list's items
  std::string shown;  // the item the list shows
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
  look.other.status = ItemText(d, IDC_STATUS_OTHER);
  look.other.enabled = ItemEnabled(d, IDC_PORT_OTHER);
  look.other.checked = ItemChecked(d, IDC_PORT_OTHER);
  look.list = ListItems(d, IDC_PORT_LIST);
  look.shown = ListShown(d, IDC_PORT_LIST);
  look.test = ItemEnabled(d, IDC_TEST);
  look.detect = ItemEnabled(d, IDC_DETECT);
  look.autostart = ItemChecked(d, IDC_AUTOSTART);
  return look;
}

// The port the dialog shows as chosen, 0 for none, -1 for more than one.
int CheckedPort(const SetupLook& look) {
  int checked = 0;
  for (int n = 1; n <= 4; n++) {
    if (look.port[n].checked) checked = checked ? -1 : n;
  }
  if (look.other.checked) checked = checked ? -1 : atoi(look.shown.c_str() + 3);
  return checked;
}

// A language module from before the list of ports above COM4 (its setup dialog has no "Other", no
// list and no status text for them), or from before the network receiver box and the keys' check
// box. Played by taking those controls out of the dialog before the dialog procedure sees it.
HHOOK olderHook;
std::vector<int> takenOut;
LRESULT CALLBACK TakeOutControls(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* call = (const CWPSTRUCT*)lParam;
  if (code == HC_ACTION && call->message == WM_INITDIALOG && GetDlgItem(call->hwnd, IDC_DETECT)) {
    for (int id : takenOut) DestroyWindow(GetDlgItem(call->hwnd, id));
  }
  return CallNextHookEx(olderHook, code, wParam, lParam);
}
const std::vector<int> kPortList = {IDC_PORT_OTHER, IDC_PORT_LIST, IDC_STATUS_OTHER},
                       kNetworkAndKeys = {IDC_LIRC_HOST, IDC_LIRC_PORT, IDC_LIRC_TEST, IDC_LIRC_RESULT,
                                          IDC_KEYS};
struct OlderModule {
  explicit OlderModule(const std::vector<int>& controls = kPortList) {
    takenOut = controls;
    olderHook = SetWindowsHookExA(WH_CALLWNDPROC, TakeOutControls, nullptr, GetCurrentThreadId());
  }
  ~OlderModule() { UnhookWindowsHookEx(olderHook); }
};

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gProgramInstance = GetModuleHandleA(nullptr);
    gLanguageModule = LoadLibraryA("REMOT001.DLL");
    ASSERT_NE(gLanguageModule, nullptr);
    lstrcpynA(gProfilePath, dir.File("profiles.ini").c_str(), MAX_PATH);
    savedRun = ReadRunValue();
    savedUserRun = ReadRunValue(HKEY_CURRENT_USER);
  }
  void TearDown() override {
    WriteRunValue(savedRun);
    WriteRunValue(savedUserRun, HKEY_CURRENT_USER);
    gSetupPorts = kSetupPlatformPorts;
    gAutostartOpenKey = RegOpenKeyExA;
    ReceiverStop();
  }

  void Profile(const char* text) { dir.Write("profiles.ini", text); }
  // Entry `key` of [default] now, "(none)" when absent.
  std::string Entry(const char* key) {
    char value[300];
    GetPrivateProfileStringA("default", key, "(none)", value, sizeof value, gProfilePath);
    return value;
  }
  std::string Port() {
    char value[16];
    GetPrivateProfileStringA("default", "port", "(none)", value, sizeof value, gProfilePath);
    return value;
  }
  INT_PTR Run(const std::function<void(HWND)>& drive) {
    return RunDriven(
        IDC_DETECT, [] { return SetupDialogRun(gLanguageModule, nullptr); }, drive);
  }

  TempDir dir;
  RunValue savedRun, savedUserRun;
};

// --- Port probe, on the real ports ---

struct ProbeCase {
  const char* name;
  const char* profile;
  int checked;  // 0: none, and Test disabled
  bool older;   // with a language module without the list of ports above COM4
};
const ProbeCase kProbeCases[] = {
    {"no port entry", "[default]\n", 0, false},
    {"port 1, present", "[default]\nport=1\n", 1, false},
    {"port 2, absent", "[default]\nport=2\n", 0, false},
    {"port 7, absent", "[default]\nport=7\n", 0, false},
    {"port 9, present: chosen in the list", "[default]\nport=9\n", 9, false},
    {"port 9 with an older module: not offered", "[default]\nport=9\n", 0, true},
    {"port 1 with an older module", "[default]\nport=1\n", 1, true},
};

TEST_F(SetupDialogTest, ProbeMarksMissingPortsListsTheOthersAndChecksTheConfiguredPortWhenPresent) {
  ASSERT_EQ(SetupProbePort(1), 1) << "COM1, the test cable, must exist (tools/test.sh makes it)";
  ASSERT_EQ(SetupProbePort(9), 1) << "COM9, the cable's other end, must exist";
  for (int n = 2; n <= kSetupMaxPort; n++) {
    if (n == 9) continue;
    ASSERT_EQ(SetupProbePort(n), 0) << "COM" << n << " must not exist";
  }

  for (const ProbeCase& c : kProbeCases) {
    SCOPED_TRACE(c.name);
    Profile(c.profile);
    SetupLook look;
    {
      std::unique_ptr<OlderModule> older(c.older ? new OlderModule : nullptr);
      Run([&](HWND d) {
        look = Look(d);
        PostClick(d, IDCANCEL);
      });
    }
    EXPECT_EQ(look.port[1].status, "");
    EXPECT_TRUE(look.port[1].enabled);
    for (int n = 2; n <= 4; n++) {
      EXPECT_EQ(look.port[n].status, "---");
      EXPECT_FALSE(look.port[n].enabled);
    }
    EXPECT_EQ(look.list, c.older ? "" : "COM9");
    EXPECT_EQ(look.other.enabled, !c.older);
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
  bool older = false;
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
      {"OK keeps a configured port above COM4", "[default]\nport=9\n", [](HWND d) { PostClick(d, IDOK); },
       IDOK, "9"},
      {"OK after choosing COM9 in the list", "[default]\nport=1\n",
       [](HWND d) {
         EXPECT_TRUE(ChooseListItem(d, IDC_PORT_LIST, "COM9"));
         EXPECT_TRUE(ItemChecked(d, IDC_PORT_OTHER) && !ItemChecked(d, IDC_PORT1));
         PostClick(d, IDOK);
       },
       IDOK, "9"},
      {"OK after choosing Other, then COM1", "[default]\n",
       [](HWND d) {
         Click(d, IDC_PORT_OTHER);
         EXPECT_TRUE(ItemEnabled(d, IDC_TEST));
         Click(d, IDC_PORT1);
         PostClick(d, IDOK);
       },
       IDOK, "1"},
      {"an older module: OK with port=9 saves 0", "[default]\nport=9\n", [](HWND d) { PostClick(d, IDOK); },
       IDOK, "0", true},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    Profile(c.profile);
    std::unique_ptr<OlderModule> older(c.older ? new OlderModule : nullptr);
    EXPECT_EQ(Run(c.act), c.result);
    EXPECT_EQ(Port(), c.port);
  }
}

// "Show notifications" (on without an entry), "Show each press on the screen" (off without one, on
// only for osd=1) and "Take the keys of USB remotes" (on without an entry, which it removes; keys=0
// off): each kept in [default] at OK, in the port's save, untouched by Cancel.
TEST_F(SetupDialogTest, CheckBoxesFollowTheProfileAndOkSavesThem) {
  struct Case {
    int box;
    const char* key;
    const char* profile;
    bool checkedAtStart;
    bool toggle;
    int button;
    const char* value;  // afterwards, "(none)" when absent
    int on;             // SetupNotificationsOn afterwards; -1: not asked
  } cases[] = {
      {IDC_NOTIFY, "notify", "[default]\nport=1\n", true, false, IDOK, "1", 1},
      {IDC_NOTIFY, "notify", "[default]\nport=1\n", true, true, IDOK, "0", 0},
      {IDC_NOTIFY, "notify", "[default]\nport=1\nnotify=0\n", false, true, IDOK, "1", 1},
      {IDC_NOTIFY, "notify", "[default]\nport=1\nnotify=0\n", false, true, IDCANCEL, "0", 0},
      {IDC_NOTIFY, "notify", "[default]\nport=1\n", true, true, IDCANCEL, "(none)", 1},
      {IDC_OSD, "osd", "[default]\nport=1\n", false, true, IDOK, "1", -1},
      {IDC_OSD, "osd", "[default]\nport=1\n", false, false, IDOK, "0", -1},
      {IDC_OSD, "osd", "[default]\nport=1\nosd=1\n", true, true, IDOK, "0", -1},
      {IDC_OSD, "osd", "[default]\nport=1\nosd=1\n", true, true, IDCANCEL, "1", -1},
      {IDC_OSD, "osd", "[default]\nport=1\nosd=yes\n", false, false, IDOK, "0", -1},
      {IDC_OSD, "osd", "[default]\nport=1\n", false, true, IDCANCEL, "(none)", -1},
      {IDC_KEYS, "keys", "[default]\nport=1\n", true, false, IDOK, "(none)", -1},
      {IDC_KEYS, "keys", "[default]\nport=1\n", true, true, IDOK, "0", -1},
      {IDC_KEYS, "keys", "[default]\nport=1\nkeys=0\n", false, true, IDOK, "(none)", -1},
      {IDC_KEYS, "keys", "[default]\nport=1\nkeys=1\n", true, false, IDOK, "(none)", -1},
      {IDC_KEYS, "keys", "[default]\nport=1\nkeys=0\n", false, true, IDCANCEL, "0", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + ": " + c.profile + (c.toggle ? " toggled" : "") +
                 (c.button == IDOK ? " OK" : " Cancel"));
    Profile(c.profile);
    DeleteFileA((std::string(gProfilePath) + ".bak").c_str());
    int button = c.button, box = c.box;
    bool toggle = c.toggle, checked = c.checkedAtStart;
    Run([&](HWND d) {
      EXPECT_EQ(ItemChecked(d, box), checked);
      if (toggle) Click(d, box);
      PostClick(d, button);
    });
    char value[16];
    GetPrivateProfileStringA("default", c.key, "(none)", value, sizeof value, gProfilePath);
    EXPECT_STREQ(value, c.value);
    if (c.on >= 0) {
      EXPECT_EQ(SetupNotificationsOn(), c.on);
    }
    // OK saves the port and the choices at once: the backup is the profile as it was.
    EXPECT_EQ(ReadAll(std::string(gProfilePath) + ".bak"), c.button == IDOK ? c.profile : "(missing)");
  }
}

// --- The network receiver box ---

// The box shows lirc= as host and port (empty for the default); OK saves what it holds with the port
// in one save (the backup is the profile as it was), none for an empty host; an address that is none
// is told there and saves nothing. A template without the box and the keys' check box leaves lirc=
// and keys= alone.
TEST_F(SetupDialogTest, NetworkBoxShowsTheLircEntryAndOkSavesItWithThePort) {
  const struct {
    const char* profile;
    const char* shown;        // host and port at start
    const char *host, *port;  // typed over them; null: left
    bool older;
    INT_PTR result;    // IDCANCEL: OK was refused, then Cancel
    const char* lirc;  // afterwards
  } cases[] = {
      {"[default]\nport=1\n", " ", "pi.local", "", false, IDOK, "pi.local"},
      {"[default]\nport=1\n", " ", "pi.local", "9000", false, IDOK, "pi.local:9000"},
      {"[default]\nport=1\n", " ", "::1", "8765", false, IDOK, "[::1]:8765"},
      {"[default]\nport=1\n", " ", "pi.local:9000", "", false, IDOK, "pi.local:9000"},
      {"[default]\nport=1\nlirc=pi.local:9000\n", "pi.local 9000", nullptr, nullptr, false, IDOK,
       "pi.local:9000"},
      {"[default]\nport=1\nlirc=pi.local\n", "pi.local ", "", nullptr, false, IDOK, "(none)"},
      {"[default]\nport=1\nlirc=pi.local\n", "pi.local ", nullptr, "70000", false, IDCANCEL, "pi.local"},
      {"[default]\nport=1\nlirc=pi local\n", "pi local ", nullptr, nullptr, false, IDCANCEL, "pi local"},
      {"[default]\nport=1\nlirc=pi.local\nkeys=0\n", " ", nullptr, nullptr, true, IDOK, "pi.local"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.profile + std::string(c.host ? c.host : "-") + ":" + (c.port ? c.port : "-"));
    Profile(c.profile);
    DeleteFileA((std::string(gProfilePath) + ".bak").c_str());
    std::string keysBefore = Entry("keys"), shown, told;
    std::unique_ptr<OlderModule> older(c.older ? new OlderModule(kNetworkAndKeys) : nullptr);
    INT_PTR result = Run([&](HWND d) {
      shown = ItemText(d, IDC_LIRC_HOST) + " " + ItemText(d, IDC_LIRC_PORT);
      if (c.host) SetDlgItemTextA(d, IDC_LIRC_HOST, c.host);
      if (c.port) SetDlgItemTextA(d, IDC_LIRC_PORT, c.port);
      if (c.result == IDOK) return PostClick(d, IDOK);
      Click(d, IDOK);
      told = ItemText(d, IDC_LIRC_RESULT);
      PostClick(d, IDCANCEL);
    });
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(Entry("lirc"), c.lirc);
    EXPECT_EQ(Entry("keys"), keysBefore);
    EXPECT_EQ(ReadAll(std::string(gProfilePath) + ".bak"), c.result == IDOK ? c.profile : "(missing)");
    if (c.result == IDCANCEL) {
      EXPECT_NE(told.find("is no host name or address"), std::string::npos) << told;
    }
  }
}

// With no port and a network receiver, the status says that receiver is in use, and Test shows
// that receiver's buttons until the host is emptied.
TEST_F(SetupDialogTest, NoPortWithANetworkReceiverSaysWhichReceiverIsInUse) {
  for (const char* port : {"0", "1"}) {
    Profile((std::string("[default]\nport=") + port + "\nlirc=pi.local:9000\n").c_str());
    std::string said;
    bool test = false, testEmptied = true;
    Run([&](HWND d) {
      said = ItemText(d, IDC_DETECT_RESULT);
      test = ItemEnabled(d, IDC_TEST);
      SetDlgItemTextA(d, IDC_LIRC_HOST, "");
      testEmptied = ItemEnabled(d, IDC_TEST);
      PostClick(d, IDCANCEL);
    });
    EXPECT_TRUE(test);
    if (port[0] == '0') {
      EXPECT_FALSE(testEmptied);
    }
    EXPECT_EQ(said, port[0] == '0'
                        ? "No port is needed: the network receiver (pi.local:9000) is the receiver in use."
                        : "");
  }
}

// A peer that takes connections and never says a word: a listening socket that accepts none.
struct SilentServer {
  SOCKET s;
  std::string port;
  SilentServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    bind(s, (sockaddr*)&a, size);
    listen(s, 4);
    getsockname(s, (sockaddr*)&a, &size);
    port = std::to_string(ntohs(a.sin_port));
  }
  ~SilentServer() {
    closesocket(s);
    WSACleanup();
  }
};

// The box's Test button asks on a thread of its own and says what the server answered, or why not: a
// real lircd (tools/lib.sh remote_lircd_start; tests/e2e/lirc_e2e.sh runs this case with its port in
// REMOTE_LIRC_PORT) gives its version and remote; a peer that never answers, a port where nothing
// listens and one that is none say so. While it asks, the button is disabled, the box says so and
// the dialog answers.
TEST_F(SetupDialogTest, NetworkTestSaysWhatTheServerAnswered) {
  Profile("[default]\nport=1\n");
  const char* lircd = getenv("REMOTE_LIRC_PORT");
  SilentServer silent;
  const struct {
    std::string port, said;
  } cases[] = {
      {silent.port,
       "127.0.0.1:" + silent.port + " took the connection but gave no answer of a LIRC server in time."},
      {"1", "Nothing listens at 127.0.0.1:1: is the server running there, with its network port open?"},
      {"0", "\"127.0.0.1:0\" is no host name or address with a port from 1 to 65535."},
      {lircd ? lircd : "",
       std::string("127.0.0.1:") + (lircd ? lircd : "") + " answers: version 0.10.1, 1 remote: DEMO"},
  };
  for (const auto& c : cases) {
    if (c.port.empty()) continue;  // no lircd here
    SCOPED_TRACE(c.port);
    std::string said, asking;
    bool answering = false, enabledAfter = false, busy = false;
    Run([&](HWND d) {
      SetDlgItemTextA(d, IDC_LIRC_HOST, "127.0.0.1");
      SetDlgItemTextA(d, IDC_LIRC_PORT, c.port.c_str());
      Click(d, IDC_LIRC_TEST);
      asking = ItemText(d, IDC_LIRC_RESULT);
      busy = !ItemEnabled(d, IDC_LIRC_TEST);
      answering = SendMessageTimeoutA(d, WM_NULL, 0, 0, SMTO_BLOCK, 500, nullptr) != 0;
      WaitUntil([&] { return ItemEnabled(d, IDC_LIRC_TEST); });
      said = ItemText(d, IDC_LIRC_RESULT);
      enabledAfter = ItemEnabled(d, IDC_LIRC_TEST);
      PostClick(d, IDCANCEL);
    });
    EXPECT_EQ(said, c.said);
    EXPECT_TRUE(answering);
    EXPECT_TRUE(enabledAfter);
    if (c.port == silent.port) {
      EXPECT_EQ(asking, "Asking 127.0.0.1:" + silent.port + "...");
      EXPECT_TRUE(busy);
    }
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

// A standard user: the machine's Run key may be read, not written.
bool lockMachine, lockUser;
LONG WINAPI LockedOpen(HKEY root, LPCSTR name, DWORD options, REGSAM access, PHKEY key) {
  bool locked = (root == HKEY_LOCAL_MACHINE && lockMachine) || (root == HKEY_CURRENT_USER && lockUser);
  if (locked && (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY))) return ERROR_ACCESS_DENIED;
  return RegOpenKeyExA(root, name, options, access, key);
}

struct AutostartCase {
  const char* name;
  bool locked;  // the machine's Run key refuses writing
  RunState machineBefore, userBefore;
  bool toggle;  // click the check box
  int button;
  bool checkedAtStart;
  RunState machineAfter, userAfter;
};
const AutostartCase kAutostartCases[] = {
    {"missing, ticked, OK: created", false, kMissing, kMissing, true, IDOK, false, kProgram, kMissing},
    {"missing, Cancel: stays missing", false, kMissing, kMissing, false, IDCANCEL, false, kMissing, kMissing},
    {"present, cleared, OK: deleted", false, kProgram, kMissing, true, IDOK, true, kMissing, kMissing},
    {"present, OK: kept", false, kProgram, kMissing, false, IDOK, true, kProgram, kMissing},
    {"another path: rewritten at start, even if cancelled", false, kOtherProgram, kMissing, false, IDCANCEL,
     true, kProgram, kMissing},
    {"the program in other letter case: not rewritten", false, kProgramOtherCase, kMissing, false, IDCANCEL,
     true, kProgramOtherCase, kMissing},
    {"over-long: deleted at start", false, kOverLong, kMissing, false, IDCANCEL, false, kMissing, kMissing},
    {"the user's value, OK: moved to the machine's key", false, kMissing, kProgram, false, IDOK, true,
     kProgram, kMissing},
    {"standard user, ticked, OK: the user's key", true, kMissing, kMissing, true, IDOK, false, kMissing,
     kProgram},
    {"standard user, the user's value cleared, OK: deleted", true, kMissing, kProgram, true, IDOK, true,
     kMissing, kMissing},
    {"standard user, the user's value elsewhere: rewritten at start", true, kMissing, kOtherProgram, false,
     IDCANCEL, true, kMissing, kProgram},
    {"standard user, the machine's value: checked, OK adds no copy", true, kProgram, kMissing, false, IDOK,
     true, kProgram, kMissing},
    {"standard user, the machine's value elsewhere: left, checked", true, kOtherProgram, kMissing, false,
     IDCANCEL, true, kOtherProgram, kMissing},
};

TEST_F(SetupDialogTest, AutostartValueFollowsTheCheckBox) {
  ASSERT_FALSE(ValueFor(kProgramOtherCase) == ValueFor(kProgram)) << "the program path has no letters";
  for (const AutostartCase& c : kAutostartCases) {
    SCOPED_TRACE(c.name);
    Profile("[default]\n");
    WriteRunValue(ValueFor(c.machineBefore));
    WriteRunValue(ValueFor(c.userBefore), HKEY_CURRENT_USER);
    lockMachine = c.locked;
    lockUser = false;
    gAutostartOpenKey = LockedOpen;
    bool checkedAtStart = !c.checkedAtStart;
    Run([&](HWND d) {
      checkedAtStart = ItemChecked(d, IDC_AUTOSTART);
      if (c.toggle) Click(d, IDC_AUTOSTART);
      PostClick(d, c.button);
    });
    gAutostartOpenKey = RegOpenKeyExA;
    EXPECT_EQ(checkedAtStart, c.checkedAtStart);
    EXPECT_EQ(ReadRunValue(), ValueFor(c.machineAfter));
    EXPECT_EQ(ReadRunValue(HKEY_CURRENT_USER), ValueFor(c.userAfter));
  }
}

// An installation for all users whose scheduled task starts the program: the box shows that, cannot
// be changed, and OK writes no Run value (a second, unelevated start).
TEST_F(SetupDialogTest, ATaskOfTheInstallationStartsTheProgram) {
  const char kMaker[] = "Software\\Halvesta Systems\\Tessil OVRA";
  HKEY key;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMaker, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegSetValueExA(key, "LogonTask", 0, REG_SZ, (const BYTE*)"Halvesta Remote Control", 24);
  Profile("[default]\n");
  WriteRunValue(RunValue());
  WriteRunValue(RunValue(), HKEY_CURRENT_USER);
  bool checked = false, enabled = true;
  std::string text;
  Run([&](HWND d) {
    checked = ItemChecked(d, IDC_AUTOSTART);
    enabled = ItemEnabled(d, IDC_AUTOSTART);
    text = ItemText(d, IDC_AUTOSTART);
    PostClick(d, IDOK);
  });
  RegDeleteValueA(key, "LogonTask");
  RegCloseKey(key);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(enabled);
  EXPECT_EQ(text, "Started at logon by the installation's task");
  EXPECT_EQ(ReadRunValue(), RunValue());
  EXPECT_EQ(ReadRunValue(HKEY_CURRENT_USER), RunValue());
}

// --- Saves that fail: told, and the dialog stays open ---

struct FailedSaveCase {
  const char* name;
  bool profileIsFolder;
  bool lockMachine, lockUser;
  RunState machineBefore;
  std::string told;                // what the message names
  std::function<void(HWND)> next;  // what the user does after the message
  INT_PTR result;
  const char* port;
  RunState machineAfter;
  std::string profile = "[default]\n";  // the file before; kept byte for byte when the port is not saved
  const char* reason = "(error 5)";
};

TEST_F(SetupDialogTest, ASaveThatFailsIsToldAndTheDialogStaysOpen) {
  const std::string machineRun = std::string("HKEY_LOCAL_MACHINE\\") + kRunKey;
  const std::string userRun = std::string("HKEY_CURRENT_USER\\") + kRunKey;
  const FailedSaveCase cases[] = {
      {"profiles.ini cannot be written: the autostart choice is not saved either", true, false, false,
       kMissing, dir.File("profiles.ini"), [](HWND d) { PostClick(d, IDCANCEL); }, IDCANCEL, "(none)",
       kMissing},
      {"no Run key may be written; then unticked", false, true, true, kMissing, userRun,
       [](HWND d) {
         Click(d, IDC_AUTOSTART);
         PostClick(d, IDOK);
       },
       IDOK, "1", kMissing},
      {"the machine's value cannot be removed; then ticked again", false, true, false, kProgram, machineRun,
       [](HWND d) {
         Click(d, IDC_AUTOSTART);
         PostClick(d, IDOK);
       },
       IDOK, "1", kProgram},
      {"a profile saved as UTF-16 without a byte order mark is never rewritten", false, false, false,
       kMissing, dir.File("profiles.ini"), [](HWND d) { PostClick(d, IDCANCEL); }, IDCANCEL, nullptr,
       kMissing, std::string("[\0d\0e\0f\0a\0u\0l\0t\0]\0\r\0\n\0p\0o\0r\0t\0=\0\x32\0\r\0\n\0", 32),
       "saved as UTF-16 without a byte order mark: save it again as UTF-8 or Unicode"},
  };
  DWORD self = GetCurrentThreadId();
  for (const FailedSaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("profiles.ini", c.profile);
    if (c.profileIsFolder) {
      DeleteFileA(dir.File("profiles.ini").c_str());
      ASSERT_TRUE(CreateDirectoryA(dir.File("profiles.ini").c_str(), nullptr));
    }
    WriteRunValue(ValueFor(c.machineBefore));
    WriteRunValue(RunValue(), HKEY_CURRENT_USER);
    lockMachine = c.lockMachine;
    lockUser = c.lockUser;
    gAutostartOpenKey = LockedOpen;
    std::string message;
    bool openAfterMessage = false;
    INT_PTR result = Run([&](HWND d) {
      Click(d, IDC_PORT1);
      Click(d, IDC_AUTOSTART);
      PostClick(d, IDOK);
      HWND box = WaitForMessageBox(self, "OVRA Remote Error");
      ASSERT_NE(box, nullptr);
      message = MessageBoxText(box);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      WaitUntil([&] { return !IsWindow(box); });
      openAfterMessage = IsWindowVisible(d) != 0;
      c.next(d);
    });
    gAutostartOpenKey = RegOpenKeyExA;
    if (c.profileIsFolder) RemoveDirectoryA(dir.File("profiles.ini").c_str());

    EXPECT_NE(message.find(c.told), std::string::npos) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    EXPECT_TRUE(openAfterMessage);
    EXPECT_EQ(result, c.result);
    if (!c.profileIsFolder && c.port) {
      EXPECT_EQ(Port(), c.port);
    }
    if (!c.port) {
      std::ifstream file(dir.File("profiles.ini"), std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), c.profile);
    }
    EXPECT_EQ(ReadRunValue(), ValueFor(c.machineAfter));
    EXPECT_EQ(ReadRunValue(HKEY_CURRENT_USER), RunValue());
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

// The release time "Set release time" chose in the test dialog is one of Setup's changes: OK saves
// it with the port in one save (the backup is the profile as it was), Cancel leaves the file as it was.
TEST_F(SetupDialogTest, TestDialogsReleaseTimeIsSavedByOkAndDroppedByCancel) {
  const char* profile = "[default]\nport=1\n";
  struct Case {
    int button;
    const char* release;  // afterwards, "(none)" when absent
    const char* backup;
  } cases[] = {{IDOK, "450", profile}, {IDCANCEL, "(none)", "(missing)"}};
  DWORD self = GetCurrentThreadId();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button == IDOK ? "OK" : "Cancel");
    Profile(profile);
    DeleteFileA((std::string(gProfilePath) + ".bak").c_str());
    bool offered = false, keptInTest = false;
    int button = c.button;
    Run([&](HWND d) {
      PostClick(d, IDC_TEST);
      HWND test = WaitForDialog(self, IDC_IDLE1);
      ASSERT_NE(test, nullptr);
      DWORD now = timeGetTime();  // signals 300 ms apart: a receiver slower than the release time
      for (DWORD t : {0, 300, 600, 900, 1200}) QueuePut({1, 12, now - 1200 + t});
      SetEvent(gKeyReadyEvent);
      offered = WaitUntil([&] { return ItemEnabled(test, IDC_TEST_RELEASE); });
      SendMessageA(test, WM_COMMAND, IDC_TEST_RELEASE, 0);
      keptInTest = ReadAll(gProfilePath) == profile;
      PostClick(test, IDCANCEL);
      WaitUntil([&] { return !IsWindow(test); });
      PostClick(d, button);
    });
    EXPECT_TRUE(offered);
    EXPECT_TRUE(keptInTest) << "Set release time wrote at once";
    char value[16];
    GetPrivateProfileStringA("default", "release", "(none)", value, sizeof value, gProfilePath);
    EXPECT_STREQ(value, c.release);
    EXPECT_EQ(ReadAll(std::string(gProfilePath) + ".bak"), c.backup);
    if (c.button == IDCANCEL) {
      EXPECT_EQ(ReadAll(gProfilePath), profile);
    }
  }
}

// Setup names the profile in use; while it is the user's own, it offers the way back to the shared
// one, which keeps the own one as profiles.ini.bak and closes Setup.
bool NotElevated() {
  return false;
}
TEST_F(SetupDialogTest, NamesTheProfileInUseAndGoesBackToTheSharedOne) {
  const std::string shared = dir.Write("profiles.ini", "[default]\r\nport=1\r\n");
  CreateDirectoryA(dir.File("Halvesta Remote").c_str(), nullptr);
  const std::string own = dir.File("Halvesta Remote\\profiles.ini"), ownText = "[default]\r\nport=2\r\n";
  char appData[MAX_PATH] = "";
  GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
  SetEnvironmentVariableA("APPDATA", dir.path().c_str());
  bool (*realElevated)() = gProfileElevated;
  gProfileElevated = NotElevated;
  const struct {
    bool ownExists;
    int answer;  // to the way back's question; 0 not asked
    const char* kind;
  } cases[] = {{false, 0, "The shared profile, beside the program:"},
               {true, IDNO, "Your own profile:"},
               {true, IDYES, "Your own profile:"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    DeleteFileA(own.c_str());
    if (c.ownExists) dir.Write("Halvesta Remote\\profiles.ini", ownText);
    ProfileUseFor(shared.c_str());
    std::string kind, path;
    bool offered = false;
    int answer = c.answer;
    Run([&](HWND d) {
      kind = ItemText(d, IDC_PROFILE_KIND);
      path = ItemText(d, IDC_PROFILE_PATH);
      offered = ItemVisible(d, IDC_PROFILE_SHARED) && ItemEnabled(d, IDC_PROFILE_SHARED);
      if (answer) {
        PostClick(d, IDC_PROFILE_SHARED);
        HWND ask = WaitForMessageBox(GetWindowThreadProcessId(d, nullptr), "Halvesta Remote Control");
        PostMessageA(ask, WM_COMMAND, answer, 0);
        WaitUntil([&] { return !IsWindow(ask); });
      }
      if (answer != IDYES) PostClick(d, IDCANCEL);
    });
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(path, c.ownExists ? own : shared);
    EXPECT_EQ(offered, c.ownExists);
    bool back = c.answer != IDNO;  // no own profile, or back from it
    EXPECT_EQ(std::string(gProfilePath), back ? shared : own);
    EXPECT_EQ(ReadAll(own), back ? "(missing)" : ownText);
    if (c.answer == IDYES) {
      EXPECT_EQ(ReadAll(own + ".bak"), ownText);
    }
  }
  DeleteFileA(own.c_str());
  ProfileUseFor(shared.c_str());
  gProfileElevated = realElevated;
  SetEnvironmentVariableA("APPDATA", appData);
}

// --- Detection, with a stand-in for the ports and the receiver ---

// One serial port as the stand-in plays it.
struct FakePort {
  // How it behaves ('-' missing, 'p' present, 'R' the receiver, 'v' gone after the probe,
  // 'x' refuses new settings, 'e' its wait ends in an error as RTS is raised, 'o' the detection
  // event is set from elsewhere while its wait goes on, 'h' a driver that never ends its wait).
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
  OVERLAPPED* firstWait = nullptr;  // the record of its first wait
  bool cancelled = false;
};
const int kFakeCount = 12;  // COM1..COM12
FakePort fake[kFakeCount + 1];
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

// Ends the pending wait as a driver does: writes its record and sets its event. False when the
// event is no longer there.
bool Complete(FakePort& p, DWORD events, DWORD status) {
  *p.events = events;
  p.wait->InternalHigh = 0;
  p.wait->Internal = status;
  bool set = SetEvent(p.wait->hEvent) != 0;
  p.wait = nullptr;
  return set;
}

HANDLE WINAPI FakeOpen(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  int n = 0;
  if ((sscanf(name, "COM%d", &n) != 1 && sscanf(name, "\\\\.\\COM%d", &n) != 1) || n < 1 || n > kFakeCount ||
      (n > 9) != (name[0] == '\\') || fake[n].kind == '-' || (fake[n].kind == 'v' && fake[n].opens > 0)) {
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
  if (mask == 0 && p.wait && p.kind != 'h') Complete(p, 0, 0);  // a new mask ends a pending wait
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
  if (!p.firstWait) p.firstWait = wait;
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
  int n = int(&p - fake);
  p.statusAtRts = n <= 4
                      ? ItemText(fakeDialog, IDC_STATUS1 - 1 + n)
                      : ListShown(fakeDialog, IDC_PORT_LIST) + " " + ItemText(fakeDialog, IDC_STATUS_OTHER);
  if (p.wait && p.kind == 'R') Complete(p, EV_CTS, 0);
  if (p.wait && p.kind == 'e') Complete(p, 0, 0xC0000120 /* cancelled */);
  if (p.wait && p.kind == 'o') SetEvent(p.wait->hEvent);  // someone else sets the named event
  return TRUE;
}
BOOL WINAPI FakeCancel(HANDLE h) {
  FakePort& p = Fake(h);
  p.cancelled = true;
  if (p.wait && p.kind != 'h') Complete(p, 0, 0xC0000120 /* cancelled */);
  return TRUE;
}
BOOL WINAPI FakeClose(HANDLE h) {
  FakePort& p = Fake(h);
  p.openNow--;
  if (p.wait) p.pendingAtClose = true;
  return TRUE;
}
// GetOverlappedResult stays the platform's: it only reads the wait record here.
const SetupPortApi kFakePorts = {FakeOpen,   FakeGetState,        FakeSetState, FakeSetMask, FakeWaitEvent,
                                 FakeEscape, GetOverlappedResult, FakeCancel,   FakeClose};

struct DetectCase {
  const char* name;
  const char* ports;  // kinds of COM1, COM2, ...; the rest are missing
  const char* profile;
  const char* statuses[4];
  const char* other;  // status text of "Other"
  int found;
  const char* tried;  // '1' where RTS was raised
  bool older = false;
};
const DetectCase kDetectCases[] = {
    {"receiver on COM2 of four", "pRpp", "[default]\n", {"", "OK", "", ""}, "---", 2, "1100"},
    {"receiver on COM2, COM1 configured",
     "pRpp",
     "[default]\nport=1\n",
     {"", "OK", "", ""},
     "---",
     2,
     "1100"},
    {"no receiver", "pppp", "[default]\nport=3\n", {"", "", "", ""}, "---", 0, "1111"},
    {"no port at all", "----", "[default]\n", {"---", "---", "---", "---"}, "---", 0, "0000"},
    {"missing ports are skipped", "-p-R", "[default]\n", {"---", "", "---", "OK"}, "---", 4, "0101"},
    {"ports that cannot be opened or set keep Test...",
     "vxRp",
     "[default]\n",
     {"Test...", "Test...", "OK", ""},
     "---",
     3,
     "0010"},
    {"a wait that ends in an error is no answer",
     "epRp",
     "[default]\n",
     {"", "", "OK", ""},
     "---",
     3,
     "1110"},
    {"the event set from elsewhere is no answer",
     "opRp",
     "[default]\n",
     {"", "", "OK", ""},
     "---",
     3,
     "1110"},
    {"receiver on COM7, after COM1-COM4", "pppp--Rp", "[default]\n", {"", "", "", ""}, "OK", 7, "1111001"},
    {"the ports above COM4 in order, COM11 by its long name",
     "----p-p---Rp",
     "[default]\nport=7\n",
     {"---", "---", "---", "---"},
     "OK",
     11,
     "00001010001"},
    {"drivers that never end their wait are skipped",
     "hhpR",
     "[default]\n",
     {"", "", "", "OK"},
     "---",
     4,
     "1111"},
    {"an older module: ports above COM4 are not tried",
     "pppp--R",
     "[default]\n",
     {"", "", "", ""},
     "",
     0,
     "1111000",
     true},
};

TEST_F(SetupDialogTest, DetectionFindsTheFirstPortThatAnswersOnCts) {
  for (const DetectCase& c : kDetectCases) {
    SCOPED_TRACE(c.name);
    for (int n = 1; n <= kFakeCount; n++) {
      fake[n] = FakePort();
      fake[n].kind = n <= int(strlen(c.ports)) ? c.ports[n - 1] : '-';
      fake[n].dcb = StartDcb();
    }
    gSetupPorts = kFakePorts;
    Profile(c.profile);
    std::string portBefore = Port();
    SetupLook look;
    {
      std::unique_ptr<OlderModule> older(c.older ? new OlderModule : nullptr);
      Run([&](HWND d) {
        fakeDialog = d;
        Click(d, IDC_DETECT);
        look = Look(d);
        PostClick(d, IDCANCEL);
      });
    }
    gSetupPorts = kSetupPlatformPorts;

    for (int n = 1; n <= kFakeCount; n++) {
      SCOPED_TRACE("COM" + std::to_string(n));
      FakePort& p = fake[n];
      if (n <= 4) {
        EXPECT_EQ(look.port[n].status, c.statuses[n - 1]);
        EXPECT_EQ(look.port[n].checked, n == c.found);
      }
      EXPECT_EQ(p.rtsRaised, n <= int(strlen(c.tried)) && c.tried[n - 1] == '1');
      if (p.rtsRaised) {
        EXPECT_TRUE(p.flowOffAtRts);
        EXPECT_EQ(p.statusAtRts, n <= 4 ? "Test..." : "COM" + std::to_string(n) + " Test...");
      }
      EXPECT_EQ(p.openNow, 0);
      EXPECT_TRUE(SameDcb(p.dcb, StartDcb()));
      if (p.kind != 'h') {
        EXPECT_FALSE(p.pendingAtClose);
        continue;
      }
      // Skipped after a cancel, its record left to it: no later port got that record, and the
      // driver may still end the wait there.
      EXPECT_TRUE(p.cancelled);
      EXPECT_TRUE(p.pendingAtClose);
      for (int m = n + 1; m <= kFakeCount; m++) {
        if (fake[m].firstWait) {
          EXPECT_NE(fake[m].firstWait, p.firstWait) << "COM" << m;
        }
      }
      if (p.wait) {
        EXPECT_TRUE(Complete(p, EV_CTS, 0)) << "the record's event is gone";
      }
    }
    EXPECT_EQ(look.other.status, c.other);
    EXPECT_EQ(CheckedPort(look), c.found);
    EXPECT_EQ(look.test, c.found != 0);
    EXPECT_TRUE(look.detect);
    EXPECT_EQ(Port(), portBefore) << "detection saves nothing";
  }
}

// A detection that finds nothing says so; OK after it with no port chosen asks before it saves no
// port when one was configured (yes: 0 saved; no: the dialog stays, the profile untouched). No
// question without a detection, nor when no port was configured, nor once a port is chosen.
TEST_F(SetupDialogTest, OkAfterADetectionThatFoundNothingAsksBeforeSavingNoPort) {
  static const struct {
    const char* name;
    const char* profile;
    bool detect;
    int choose;  // a port clicked after the detection, 0 none
    int answer;  // IDYES, IDNO, or 0 when no question may come
    INT_PTR result;
    const char* port;
  } kCases[] = {
      {"question, yes: no port saved", "[default]\nport=3\n", true, 0, IDYES, IDOK, "0"},
      {"question, no: the dialog stays", "[default]\nport=3\n", true, 0, IDNO, IDCANCEL, "3"},
      {"no detection: the design's write of 0", "[default]\nport=7\n", false, 0, 0, IDOK, "0"},
      {"no port configured: nothing to lose", "[default]\nport=0\n", true, 0, 0, IDOK, "0"},
      {"a port chosen after the detection", "[default]\nport=3\n", true, 2, 0, IDOK, "2"},
      {"a network receiver named: nothing to lose", "[default]\nport=3\nlirc=pi.local\n", true, 0, 0, IDOK,
       "0"},
  };
  DWORD self = GetCurrentThreadId();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    for (int n = 1; n <= kFakeCount; n++) {
      fake[n] = FakePort();
      fake[n].kind = n <= 4 ? 'p' : '-';
      fake[n].dcb = StartDcb();
    }
    gSetupPorts = kFakePorts;
    Profile(c.profile);
    std::string said, asked;
    bool openAfterNo = false;
    INT_PTR result = Run([&](HWND d) {
      fakeDialog = d;
      if (c.detect) Click(d, IDC_DETECT);
      said = ItemText(d, IDC_DETECT_RESULT);
      if (c.choose) Click(d, IDC_PORT1 - 1 + c.choose);
      PostClick(d, IDOK);
      if (!c.answer) return;
      HWND box = WaitForMessageBox(self, "Halvesta Remote Control");
      ASSERT_NE(box, nullptr);
      asked = MessageBoxText(box);
      PostMessageA(box, WM_COMMAND, c.answer, 0);
      WaitUntil([&] { return !IsWindow(box); });
      openAfterNo = IsWindowVisible(d) != 0;
      if (c.answer == IDNO) PostClick(d, IDCANCEL);
    });
    gSetupPorts = kSetupPlatformPorts;
    EXPECT_EQ(said.find("No receiver answered"), c.detect ? 0u : std::string::npos) << said;
    EXPECT_EQ(asked.empty(), c.answer == 0) << asked;
    if (c.answer) {
      EXPECT_NE(asked.find("COM3"), std::string::npos) << asked;
    }
    if (c.answer == IDNO) {
      EXPECT_TRUE(openAfterNo);
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(Port(), c.port);
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
  EXPECT_EQ(look.other.status, "");  // COM9 tried without an answer
  EXPECT_EQ(CheckedPort(look), 0);
  EXPECT_FALSE(look.test);
  EXPECT_TRUE(look.detect);
  EXPECT_EQ(spyOpens, 4);  // COM1 and COM9: the probe, then the search
  EXPECT_EQ(spyRtsRaised, 2);
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

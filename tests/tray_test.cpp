// The main window procedure and the tray menu, in-process: a hidden window of a test class runs
// MainWindowProc. Under Wine a popup menu closes at once, so a hook watches WM_INITMENUPOPUP to see
// which menu was about to be tracked; the commands are sent as WM_COMMAND.
#include <gtest/gtest.h>
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/process.h"
#include "app/tray.h"
#include "receiver/link.h"
#include "receiver/lircreceiver.h"
#include "test_support.h"

namespace {

struct Item {
  UINT id;
  std::string text;
  UINT state;
  UINT type;
};

std::vector<Item> Items(HMENU menu) {
  std::vector<Item> items;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info));
    items.push_back({info.wID, text, info.fState, info.fType});
  }
  return items;
}

std::string String(HMODULE module, UINT id) {
  char text[256] = "";
  LoadStringA(module, id, text, sizeof text);
  return text;
}

TEST(BuildTrayMenu, ExitOnTopSetupBelowAsDefault) {
  HMODULE language = LoadLibraryA("REMOT001.DLL");
  ASSERT_NE(language, nullptr);
  ASSERT_NE(String(language, 1), "");
  ASSERT_NE(String(language, 2), "");
  HMENU menu = BuildTrayMenu(language);
  ASSERT_NE(menu, nullptr);
  std::vector<Item> items = Items(menu);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].id, 100u);
  EXPECT_EQ(items[0].text, String(language, 1));
  EXPECT_EQ(items[0].state & MFS_DEFAULT, 0u);
  EXPECT_EQ(items[1].id, 101u);
  EXPECT_EQ(items[1].text, String(language, 2));
  EXPECT_EQ(items[1].state & MFS_DEFAULT, static_cast<UINT>(MFS_DEFAULT));
  EXPECT_EQ(items[2].id, 102u);  // Activity below Setup, not the default
  EXPECT_EQ(items[2].text, "&Activity...");
  EXPECT_EQ(items[2].state & MFS_DEFAULT, 0u);
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 101u);
  for (const Item& item : items) EXPECT_EQ(item.type, static_cast<UINT>(MFT_STRING));
  DestroyMenu(menu);
  FreeLibrary(language);
}

TEST(BuildTrayMenu, ModuleWithoutStringsGivesEmptyTexts) {
  HMODULE plain = GetModuleHandleA(nullptr);  // the test program holds no string table
  ASSERT_EQ(String(plain, 1), "");
  HMENU menu = BuildTrayMenu(plain);
  ASSERT_NE(menu, nullptr);
  std::vector<Item> items = Items(menu);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, 100u);
  EXPECT_EQ(items[0].text, "");
  EXPECT_EQ(items[1].id, 101u);
  EXPECT_EQ(items[1].text, "");
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 101u);
  DestroyMenu(menu);
}

// What the hook saw of the menus tracked for the window under test.
std::vector<std::vector<Item>> gTrackedMenus;

LRESULT CALLBACK WatchMenus(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_INITMENUPOPUP)
    gTrackedMenus.push_back(Items(reinterpret_cast<HMENU>(call->wParam)));
  // The menu is open and waiting for the user: close it as a click elsewhere would.
  if (code == HC_ACTION && call->message == WM_ENTERIDLE && call->wParam == MSGF_MENU) EndMenu();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Posted {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Posted& o) const {
    return message == o.message && wParam == o.wParam && lParam == o.lParam;
  }
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program's own icon (101) comes from remote.exe, which lies beside the tests.
    iconSource_ = LoadLibraryExA((ProgramFolder() + "remote.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(iconSource_, nullptr);
    gProgramInstance = iconSource_;
    gLanguageModule = LoadLibraryA("REMOT001.DLL");
    ASSERT_NE(gLanguageModule, nullptr);
    gTrayMessage = RegisterWindowMessageA("HalvestaRemoteUserMessage");
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ShellTrayTestClass";
    RegisterClassExA(&windowClass);
    window_ = CreateWindowExA(0, "ShellTrayTestClass", "Halvesta Remote Control", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, WatchMenus, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
    gTrackedMenus.clear();
  }

  void TearDown() override {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    TakePosted();
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    FreeLibrary(gLanguageModule);
    FreeLibrary(iconSource_);
  }

  // Messages waiting for the window, taken out of the queue without dispatching them.
  std::vector<Posted> TakePosted() {
    std::vector<Posted> posted;
    MSG message;
    while (PeekMessageA(&message, window_, 0, 0, PM_REMOVE))
      posted.push_back({message.message, message.wParam, message.lParam});
    return posted;
  }

  // Whether the tray holds an icon for (window, 1): only then can it be modified.
  bool IconPresent() {
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window_;
    icon.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
  }

  HMODULE iconSource_ = nullptr;
  HWND window_ = nullptr;
  HHOOK hook_ = nullptr;
};

TEST_F(MainWindowTest, TrayCallbackTable) {
  struct Case {
    LPARAM mouse;
    bool menu;
    std::vector<Posted> posted;
  } cases[] = {
      {WM_LBUTTONDOWN, false, {}},  // the left button's menu waits for the release and the double-click time
      {WM_RBUTTONDOWN, true, {{WM_NULL, 0, 0}}},
      {WM_LBUTTONDBLCLK, false, {{WM_COMMAND, 101, 0}}},
      {WM_MOUSEMOVE, false, {}},
      {WM_LBUTTONUP, false, {}},
      {WM_RBUTTONUP, false, {}},
      {WM_MBUTTONDOWN, false, {}},
      {WM_MBUTTONUP, false, {}},
      {WM_MBUTTONDBLCLK, false, {}},
      {WM_RBUTTONDBLCLK, false, {}},
  };
  for (const Case& c : cases) {
    gTrackedMenus.clear();
    TakePosted();
    EXPECT_EQ(SendMessageA(window_, gTrayMessage, 1, c.mouse), 0) << c.mouse;
    std::vector<Posted> posted = TakePosted();
    // Tracking may leave messages of its own (e.g. a cancel); only these are the procedure's.
    std::vector<Posted> ours;
    for (const Posted& p : posted)
      if (p.message == WM_NULL || p.message == WM_COMMAND || p.message == WM_DESTROY) ours.push_back(p);
    EXPECT_EQ(ours, c.posted) << "mouse message " << std::hex << c.mouse;
    ASSERT_EQ(gTrackedMenus.size(), c.menu ? 1u : 0u) << "mouse message " << std::hex << c.mouse;
    if (c.menu) {
      ASSERT_EQ(gTrackedMenus[0].size(), 3u);
      EXPECT_EQ(gTrackedMenus[0][0].id, 100u);
      EXPECT_EQ(gTrackedMenus[0][0].text, String(gLanguageModule, 1));
      EXPECT_EQ(gTrackedMenus[0][1].id, 101u);
      EXPECT_EQ(gTrackedMenus[0][1].state & MFS_DEFAULT, static_cast<UINT>(MFS_DEFAULT));
    }
  }
}

// Exit posts WM_DESTROY instead of destroying the window: the icon must go while the window lives on
// (Wine's tray drops the icons of a destroyed window by itself, so only this path shows the deletion).
TEST_F(MainWindowTest, ExitRemovesTheIconFromTheLivingWindowAndEndsTheLoop) {
  EXPECT_TRUE(IconPresent());
  SendMessageA(window_, WM_COMMAND, 100, 0);
  ASSERT_EQ(TakePosted(), std::vector<Posted>({{WM_DESTROY, 0, 0}}));
  SendMessageA(window_, WM_DESTROY, 0, 0);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_FALSE(IconPresent());
  MSG quit;
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
}

// Each window ends with the tray icon's deletion, which Wine's tray takes two seconds for: the
// commands and the default handling share one window.
TEST_F(MainWindowTest, ExitCommandPostsDestroyOtherMessagesGoToTheDefault) {
  struct Case {
    WPARAM wParam;
    std::vector<Posted> posted;
  } cases[] = {
      {100, {{WM_DESTROY, 0, 0}}},
      {MAKEWPARAM(100, 1), {{WM_DESTROY, 0, 0}}},  // the high word is not looked at
      {102, {}},
      {0, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SendMessageA(window_, WM_COMMAND, c.wParam, 0), 0);
    EXPECT_EQ(TakePosted(), c.posted) << c.wParam;
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_TRUE(IconPresent());
  }
  EXPECT_TRUE(SendMessageA(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("changed")));
  char title[64] = "";
  GetWindowTextA(window_, title, sizeof title);
  EXPECT_STREQ(title, "changed");
}

TEST_F(MainWindowTest, CloseFromOutsideRemovesTheIconAndEndsTheLoop) {
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(IconPresent());
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  window_ = nullptr;
}

TEST(TrayTipText, OneTextAndIconPerReceiverState) {
  struct {
    int state, port, network;
    const char* tip;
    int icon;
  } rows[] = {
      {kReceiverOpen, 7, kNetworkOff, "Halvesta Remote Control - COM7", 101},
      {kReceiverWaiting, 7, kNetworkOff, "Halvesta Remote Control - waiting for COM7", 102},
      {kReceiverNoPort, 0, kNetworkOff, "Halvesta Remote Control - no port set", 102},
      {kReceiverNoise, 12, kNetworkOff, "Halvesta Remote Control - noise on COM12, keys ignored", 101},
      {kReceiverWaiting, 256, kNetworkOff, "Halvesta Remote Control - waiting for COM256", 102},
      {kReceiverNoPort, 0, kNetworkConnected, "Halvesta Remote Control - network receiver", 101},
      {kReceiverWaiting, 3, kNetworkConnected, "Halvesta Remote Control - waiting for COM3", 101},
      {kReceiverNoPort, 0, kNetworkNotConnected, "Halvesta Remote Control - network receiver not connected",
       102},
      {kReceiverOpen, 1, kNetworkNotConnected, "Halvesta Remote - COM1, network receiver not connected", 101},
      {kReceiverWaiting, 256, kNetworkNotConnected,
       "Halvesta Remote - waiting for COM256, network not connected", 102},
      {kReceiverNoise, 2, kNetworkNotConnected, "Halvesta Remote - noise on COM2, network not connected",
       101},
  };
  for (auto& r : rows) {
    char tip[64];
    memset(tip, 'x', sizeof tip);
    TrayTipText(r.state, r.port, tip, r.network);
    EXPECT_STREQ(tip, r.tip) << r.state << " " << r.network;
    EXPECT_EQ(TrayIconFor(r.state, r.network), r.icon) << r.state << " " << r.network;
  }
}

// remote.exe holds both icons the tray shows.
TEST_F(MainWindowTest, BothTrayIconsAreInTheProgram) {
  EXPECT_NE(LoadIconA(gProgramInstance, MAKEINTRESOURCEA(101)), nullptr);
  EXPECT_NE(LoadIconA(gProgramInstance, MAKEINTRESOURCEA(102)), nullptr);
}

// Wine broadcasts no device arrivals: the notification is sent here as the system would.
TEST_F(MainWindowTest, ComPortArrivalWakesTheWaitingReceiver) {
  static int arrivals;
  arrivals = 0;
  void (*previous)() = gTrayPortArrived;
  gTrayPortArrived = [] { arrivals++; };
  const GUID comPort = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
  const GUID volume = {0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
  struct {
    const char* name;
    WPARAM event;
    DWORD type;
    GUID guid;
    int arrivals;
  } cases[] = {
      {"COM port interface arrives", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, comPort, 1},
      {"another interface class", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, volume, 0},
      {"a port (the older broadcast)", DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT, comPort, 1},
      {"a COM port goes", DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, comPort, 0},
  };
  for (auto& c : cases) {
    arrivals = 0;
    DEV_BROADCAST_DEVICEINTERFACE_A device = {};
    device.dbcc_size = sizeof device;
    device.dbcc_devicetype = c.type;
    device.dbcc_classguid = c.guid;
    EXPECT_EQ(SendMessageA(window_, WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(&device)), TRUE);
    EXPECT_EQ(arrivals, c.arrivals) << c.name;
  }
  gTrayPortArrived = previous;
}

}  // namespace

#include "app/rawinput.h"

#include <gtest/gtest.h>

#include "actions/inject.h"
#include "app/keypath.h"
#include "app/tray.h"
#include "common/process.h"
#include "test_support.h"

#include <string.h>

#include <sstream>
#include <string>
#include <vector>

// The reports of the input in hand, as the device would give them, and its collection.
static struct {
  std::vector<std::vector<BYTE>> reports;
  USHORT page, usage;
} gFake;

static UINT WINAPI FakeData(HRAWINPUT, UINT command, LPVOID data, PUINT size, UINT headerSize) {
  if (command != RID_INPUT || headerSize != sizeof(RAWINPUTHEADER)) return UINT(-1);
  DWORD each = gFake.reports.empty() ? 0 : DWORD(gFake.reports[0].size());
  UINT need = UINT(offsetof(RAWINPUT, data.hid.bRawData) + each * gFake.reports.size());
  if (need > *size) return UINT(-1);
  RAWINPUT* raw = static_cast<RAWINPUT*>(data);
  raw->header.dwType = RIM_TYPEHID;
  raw->header.dwSize = need;
  raw->header.hDevice = reinterpret_cast<HANDLE>(7);
  raw->data.hid.dwSizeHid = each;
  raw->data.hid.dwCount = DWORD(gFake.reports.size());
  for (size_t i = 0; i < gFake.reports.size(); i++)
    memcpy(raw->data.hid.bRawData + i * each, gFake.reports[i].data(), each);
  return need;
}

static UINT WINAPI FakeInfo(HANDLE device, UINT command, LPVOID data, PUINT size) {
  if (device != reinterpret_cast<HANDLE>(7) || command != RIDI_DEVICEINFO || *size < sizeof(RID_DEVICE_INFO))
    return UINT(-1);
  RID_DEVICE_INFO* info = static_cast<RID_DEVICE_INFO*>(data);
  info->dwType = RIM_TYPEHID;
  info->hid.usUsagePage = gFake.page;
  info->hid.usUsage = gFake.usage;
  return sizeof(RID_DEVICE_INFO);
}

static void Record(const char* name, int phase, void* context) {
  std::string* seen = static_cast<std::string*>(context);
  if (!seen->empty()) *seen += ' ';
  *seen += (phase == kRawInputPress ? "+" : phase == kRawInputRepeat ? "=" : "-") + std::string(name);
}

TEST(RawInput, InputsGiveTheirButtons) {
  static const struct {
    USHORT page, usage;
    std::vector<std::vector<BYTE>> reports;
    int handed;
    const char* seen;  // what this input handed on
  } kSteps[] = {
      {0xFFBC, 0x88, {{0x02, 0x25}}, 1, "+LIVETV"},
      {0xFFBC, 0x88, {{0x02, 0x25}}, 1, "=LIVETV"},
      {0xFFBC, 0x88, {{0x02, 0x00}}, 1, "-LIVETV"},
      {0xFFBC, 0x88, {{0x02, 0x00}}, 0, ""},  // nothing held: no release
      {0x0C, 0x01, {{0x03, 0x8D, 0x00}, {0x03, 0x00, 0x00}}, 2, "+GUIDE -GUIDE"},
      {0x0C, 0x01, {{0x03, 0xE9, 0x00}}, 0, ""},  // volume: a key
      {0xFFBC, 0x88, {{0x02, 0x5B}, {0x02, 0x5E}}, 3, "+RED -RED +BLUE"},
      {0x01, 0x06, {{0x00, 0x5B}}, 0, ""},
      {0xFFBC, 0x88, {}, -1, ""},                            // no report size
      {0xFFBC, 0x88, {std::vector<BYTE>(1100, 0)}, -1, ""},  // more than the buffer
  };
  RawInputSeam saved = gRawInputSeam;
  gRawInputSeam = {FakeData, FakeInfo};
  std::string seen;
  RawInputSetHandler(Record, &seen);
  for (const auto& s : kSteps) {
    gFake.page = s.page;
    gFake.usage = s.usage;
    gFake.reports = s.reports;
    seen.clear();
    EXPECT_EQ(RawInputHandle(0), s.handed) << s.seen;
    EXPECT_EQ(seen, s.seen);
  }
  RawInputSetHandler(nullptr, nullptr);
  gRawInputSeam = saved;
}

TEST(RawInput, RegistersBothCollectionsForAWindow) {
  HWND window = CreateWindowA("STATIC", "raw input", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(RawInputRegister(window), 0);
  RAWINPUTDEVICE d[8];
  UINT count = 8, found = 0, got = GetRegisteredRawInputDevices(d, &count, sizeof d[0]);
  for (UINT i = 0; i < got && got != UINT(-1); i++) {
    UINT collection = UINT(d[i].usUsagePage) << 16 | d[i].usUsage;
    found += (collection == 0xFFBC0088 || collection == 0x000C0001) && d[i].hwndTarget == window &&
             (d[i].dwFlags & RIDEV_INPUTSINK);
  }
  EXPECT_EQ(found, 2u);
  RawInputUnregister();
  EXPECT_EQ(GetRegisteredRawInputDevices(d, &count, sizeof d[0]), 0u);
  DestroyWindow(window);
}

static void Pump(DWORD ms) {
  MSG msg;
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(5)) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

// The key messages in a key sink's log (tests/e2e/keysink.cpp) without their times: "down 0x47 up 0x47".
static std::string SinkKeys(const std::string& log) {
  std::istringstream lines(ReadAll(log));
  std::string line, keys;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string what, vk;
    if (words >> what >> vk && (what == "down" || what == "up"))
      keys += (keys.empty() ? "" : " ") + what + " " + vk;
  }
  return keys;
}

// Through the program, with no receiver on a port: the main window registers raw input once the
// profile names a Media Center button, hands WM_INPUT on, and the button acts by its Key.mce. entry
// in the window in front (another program's, as the program never acts on its own windows).
TEST(RawInput, ButtonActsThroughTheMainWindow) {
  TempDir dir;
  lstrcpynA(gProfilePath, dir.Write("profiles.ini", "[default]\nKey.mce.GUIDE=KEYBOARD G+^G\n").c_str(),
            MAX_PATH);
  std::string log = dir.File("sink.log");
  std::string line = "\"" + ProgramFolder() + "keysink.exe\" \"raw input sink\" \"" + log + "\" 60";
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION sink = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &sink));
  for (int i = 0; i < 1000 && ReadAll(log).find("ready") == std::string::npos; i++) Sleep(10);
  gLanguageModule = LoadLibraryA("REMOT001.DLL");
  OSVERSIONINFOA version = {sizeof version, 10, 0, 0, VER_PLATFORM_WIN32_NT, ""};
  ASSERT_EQ(ChooseKeystrokeBackEnd(&version), 0);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "RawInputMain";
  RegisterClassA(&wc);
  HWND main = CreateWindowA("RawInputMain", "main", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  KeyPathStart();
  RAWINPUTDEVICE d[8];
  UINT count, got = 0;
  for (int i = 0; i < 200 && got != 2; i++, Pump(10))
    got = GetRegisteredRawInputDevices(d, &(count = 8), sizeof d[0]);
  EXPECT_EQ(got, 2u);
  RawInputSeam saved = gRawInputSeam;
  gRawInputSeam = {FakeData, FakeInfo};
  gFake.page = 0x0C;
  gFake.usage = 0x01;
  for (BYTE code : {0x8D, 0x00}) {  // Guide, then its release
    gFake.reports = {{0x03, code, 0x00}};
    SendMessageA(main, WM_INPUT, RIM_INPUT, 1);
  }
  for (int i = 0; i < 200 && SinkKeys(log) != "down 0x47 up 0x47"; i++) Pump(10);
  EXPECT_EQ(SinkKeys(log), "down 0x47 up 0x47") << ReadAll(log);
  gRawInputSeam = saved;
  KeyPathStop();
  DestroyWindow(main);
  FreeLibrary(gLanguageModule);
  TerminateProcess(sink.hProcess, 0);
  WaitForSingleObject(sink.hProcess, 10000);
  CloseHandle(sink.hProcess);
  CloseHandle(sink.hThread);
}

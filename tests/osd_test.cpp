// The on-screen display's text for a press, in the English module's words, and its window.
#include "app/osd.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "common/process.h"
#include "profile/profile.h"
#include "tests/activity_events.h"
#include "tests/test_support.h"

namespace {

std::string Utf8(const WCHAR* text) {
  char out[1024];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
  return n > 0 ? std::string(out) : std::string("(not convertible)");
}

struct TextCase {
  const char* line;
  int result;
  const char* osd;
  int count;
  const char* shown;
  const char* name = "";  // a named button's (of remote DEMO), instead of Key12
};

const TextCase kTextCases[] = {
    // One row per kind of line.
    {"KEYBOARD CTRL+S+^S+^CTRL", kActivityKeysSent, "", 1, "Ctrl+S"},
    {"keyboard alt+f4+^f4+^alt", kActivityKeysSent, "", 1, "Alt+F4"},
    {"KEYBOARD CTRL+SHIFT+ESC+^ESC+^SHIFT+^CTRL", kActivityKeysSent, "", 1, "Ctrl+Shift+Esc"},
    {"KEYBOARD CTRL+A+^A+^CTRL CTRL+C+^C+^CTRL", kActivityKeysSent, "", 1, "Ctrl+A, Ctrl+C"},
    {"KEYBOARD HELLO ENTER", kActivityKeysSent, "", 1, "HELLO, Enter"},
    {"KEYBOARD A B", kActivityKeysSent, "", 1, "A, B"},  // a pause between them
    {"KEYBOARD VOLUP+^VOLUP", kActivityKeysSent, "", 1, "Volume up"},
    {"KEYBOARD WIN+^WIN", kActivityKeysSent, "", 1, "Windows key"},
    {"KEYBOARD WIN+E+^E+^WIN", kActivityKeysSent, "", 1, "Windows key+E"},
    {"KEYBOARD p", kActivityKeysSent, "", 1, "F1"},  // a lower-case p is the key F1
    {"KEYBOARD", kActivityKeysSent, "", 1, "Key12"},
    {"EXEC notepad.exe", kActivityStarted, "", 1, "Started notepad.exe"},
    {"EXEC \"C:\\Program Files\\Player\\player.exe\" /play", kActivityStarted, "", 1, "Started player.exe"},
    {"EXEC nothere.exe", kActivityNotStarted, "", 1, "Not started: nothere.exe"},
    {"CLOSE", kActivityAnswered, "", 1, "Close"},
    {"COMMAND 57", kActivityAnswered, "", 1, "Command 57"},
    {"COMMAND -1", kActivityAnswered, "", 1, "Command 65535"},
    // The entry's own text, a held button's repeats.
    {"KEYBOARD VOLUP+^VOLUP", kActivityKeysSent, "Louder", 1, "Louder"},
    {"KEYBOARD VOLUP+^VOLUP", kActivityKeysSent, "", 4,
     "Volume up \xC3\x97"
     "4"},
    {"COMMAND 57", kActivityAnswered, "Next", 12,
     "Next \xC3\x97"
     "12"},
    // No entry, or one that does not run.
    {"", kActivityNoEntry, "", 1, "Key12 does nothing in notepad.exe"},
    {"", kActivityNoEntry, "", 3,
     "Key12 does nothing in notepad.exe \xC3\x97"
     "3"},
    {"TYPE X", kActivityNoKeyword, "", 1, "Key12: its line does not run"},
    {"EXEC x", kActivityTooLong, "Never", 1, "Key12: its line does not run"},
    // A named button by its name.
    {"", kActivityNoEntry, "", 1, "KEY_OK does nothing in notepad.exe", "KEY_OK"},
    {"TYPE X", kActivityNoKeyword, "", 1, "KEY_OK: its line does not run", "KEY_OK"},
    {"KEYBOARD", kActivityKeysSent, "", 2,
     "KEY_OK \xC3\x97"
     "2",
     "KEY_OK"},
    {"KEYBOARD SPACE+^SPACE", kActivityKeysSent, "Pause", 1, "Pause", "KEY_OK"},
};

struct OsdTest : ::testing::Test {
  void SetUp() override {
    gLanguageModule = LoadLibraryA("REMOT001.DLL");
    ASSERT_TRUE(gLanguageModule);
  }
  void TearDown() override {
    FreeLibrary(gLanguageModule);
    gLanguageModule = nullptr;
  }
};

TEST_F(OsdTest, TextOfEachPress) {
  for (const TextCase& c : kTextCases) {
    ActivityEvent e = c.name[0] ? Named(1, "DEMO", c.name, c.result) : Press(12, c.result);
    strcpy(e.line, c.line);
    WCHAR text[300];
    OsdText(&e, c.osd, c.count, text, 300);
    EXPECT_EQ(Utf8(text), c.shown) << c.line << " / " << c.osd << " / " << c.count;
  }
}

TEST_F(OsdTest, NoEntryWithoutProgramNamesTheWindow) {
  ActivityEvent e = Press(7, kActivityNoEntry);
  e.program[0] = '\0';
  WCHAR text[300];
  OsdText(&e, "", 1, text, 300);
  EXPECT_EQ(Utf8(text), "Key7 does nothing in Untitled - Notepad");
}

TEST_F(OsdTest, LongKeysAreCut) {
  ActivityEvent e = Press(12, kActivityKeysSent);
  std::string line = "KEYBOARD";
  for (int i = 0; i < 40; i++) line += " VOLUP";  // fits the record's line, not the display
  strcpy(e.line, line.c_str());
  WCHAR text[300];
  OsdText(&e, "", 1, text, 300);
  std::string shown = Utf8(text);
  EXPECT_EQ(shown.size(), 255u);
  EXPECT_EQ(shown.substr(0, 20), "Volume up, Volume up");
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
}

// The entry's own text is read from the section that served, under the button's names in the
// order of the lookup: Key.REMOTE.NAME, then Key.NAME; KeyN for a serial code.
TEST_F(OsdTest, OwnTextOfTheEntryThatServed) {
  TempDir dir;
  ASSERT_EQ(ProfileRefresh(dir.Write("profiles.ini",
                                     "[default]\r\nosd=1\r\n[vlc.exe]\r\nKey12.osd=Twelve\r\n"
                                     "Key.DEMO.KEY_OK.osd=Demo OK\r\nKey.KEY_OK.osd=Any OK\r\n")
                               .c_str()),
            0);
  HWND main = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  OsdStart(main);
  const struct {
    const char *remote, *name, *shown;
  } cases[] = {{"demo", "key_ok", "Demo OK"}, {"TV", "KEY_OK", "Any OK"}, {"", "", "Twelve"}};
  for (const auto& c : cases) {
    ActivityEvent e =
        c.name[0] ? Named(1, c.remote, c.name, kActivityKeysSent, 1) : Press(12, kActivityKeysSent, 1);
    strcpy(e.section, "vlc.exe");
    OsdPressed(&e, 1);
    OsdOnMessage();
    WCHAR text[64] = L"";
    GetWindowTextW(OsdWindow(), text, 64);
    EXPECT_EQ(Utf8(text), c.shown) << c.remote << "." << c.name;
  }
  OsdStop();
  DestroyWindow(main);
}

// The window: never activated, never hit by the mouse, outside the taskbar, with the text it shows,
// at the bottom centre of the screen, a twentieth of its height; gone after its time.
TEST_F(OsdTest, WindowStaysOutOfTheWay) {
  // A window of the test's own in front, as the player is when the display shows over it.
  HWND front = CreateWindowExA(0, "STATIC", "front", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                               nullptr, nullptr);
  ASSERT_TRUE(front);
  SetForegroundWindow(front);
  HWND before = GetForegroundWindow();
  ASSERT_EQ(before, front);
  OsdShow(
      L"Volume up \x00D7"
      L"4",
      300);
  HWND osd = OsdWindow();
  ASSERT_TRUE(osd);
  EXPECT_TRUE(IsWindowVisible(osd));
  EXPECT_EQ(GetForegroundWindow(), before);
  LONG ex = GetWindowLongA(osd, GWL_EXSTYLE);
  for (LONG bit : {LONG(WS_EX_NOACTIVATE), LONG(WS_EX_TOPMOST), LONG(WS_EX_TOOLWINDOW),
                   LONG(WS_EX_TRANSPARENT), LONG(WS_EX_LAYERED)})
    EXPECT_EQ(ex & bit, bit) << std::hex << bit;
  EXPECT_EQ(ex & WS_EX_APPWINDOW, 0);
  WCHAR text[64];
  GetWindowTextW(osd, text, 64);
  EXPECT_EQ(Utf8(text),
            "Volume up \xC3\x97"
            "4");
  RECT r;
  GetWindowRect(osd, &r);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(r.bottom - r.top, screenHeight / 20);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_GT(r.top, screenHeight * 3 / 4);
  POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  EXPECT_EQ(SendMessageA(osd, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)), HTTRANSPARENT);
  EXPECT_EQ(ProcessPressTarget(osd), ProcessFrontNoted());  // a press never acts on it
  MSG msg;
  DWORD start = GetTickCount();
  while (IsWindowVisible(osd) && GetTickCount() - start < 3000) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  EXPECT_FALSE(IsWindowVisible(osd));
  EXPECT_GE(GetTickCount() - start, 250u);
  OsdStop();
  DestroyWindow(front);
}

}  // namespace

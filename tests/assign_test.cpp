// The Assign dialog from the real language module, run on this thread and driven from a second
// one, writing into a real profile file.
#include "app/assign.h"

#include <stdio.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions/dispatch.h"
#include "profile/profile.h"
#include "profile/profiletext.h"
#include "app/activitywin.h"
#include "common/activitylog.h"
#include "common/process.h"
#include "dialog_driver.h"
#include "resources/resource_ids.h"
#include "test_support.h"

namespace {

struct AssignTest : ::testing::Test {
  void SetUp() override {
    InitCommonControls();
    language = LoadLibraryA("REMOT001.DLL");
    ASSERT_TRUE(language);
    lstrcpynA(gProfilePath, dir.File("profiles.ini").c_str(), MAX_PATH);
  }
  int Run(const AssignPress& press, const std::function<void(HWND)>& drive) {
    return int(RunDriven(
        IDC_ASSIGN_PREVIEW, [&] { return INT_PTR(AssignDialogRun(language, nullptr, &press)); }, drive));
  }
  std::string File() {
    size_t size = 0;
    char* text = ProfileReadText(gProfilePath, &size, nullptr);
    std::string s = text ? std::string(text, size) : "(unreadable)";
    free(text);
    return s;
  }
  TempDir dir;
  HMODULE language = nullptr;
  AssignPress press = {9, "Untitled - Notepad", "notepad.exe"};
};

void SetHotkey(HWND dialog, unsigned vk, unsigned mods) {
  SendDlgItemMessageA(dialog, IDC_ASSIGN_HOTKEY, HKM_SETHOTKEY, MAKEWORD(vk, mods), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ASSIGN_HOTKEY, EN_CHANGE),
               (LPARAM)GetDlgItem(dialog, IDC_ASSIGN_HOTKEY));
}

// Each "where" with each kind of "what": the preview shows the exact line and what the button does
// while held, OK writes both there (a long press: its line alone, as Key9.long).
TEST_F(AssignTest, WhereAndWhat) {
  enum { kKeys, kNamed, kClose, kStart };
  static const struct {
    int where, what;
    const char *section, *value;
    int held;          // a "When held" choice or the long press box clicked last; 0 none
    const char* hold;  // Key9.hold written
  } kCases[] = {
      {IDC_ASSIGN_EVERY, kKeys, "default", "KEYBOARD CTRL+SHIFT+S+^S+^SHIFT+^CTRL", 0, "repeat"},
      {IDC_ASSIGN_APP, kNamed, "notepad.exe", "KEYBOARD MUTE+^MUTE", IDC_ASSIGN_HOLD_ONCE, "once"},
      {IDC_ASSIGN_WINDOW, kClose, "Untitled - Notepad", "CLOSE", 0, "once"},
      {IDC_ASSIGN_EVERY, kStart, "default", "EXEC \"C:\\Program Files\\Player\\play.exe\"", 0, "once"},
      {IDC_ASSIGN_EVERY, kClose, "default", "CLOSE", IDC_ASSIGN_LONG, ""},  // a long press: Key9.long
  };
  for (const auto& c : kCases) {
    dir.Write("profiles.ini", "[default]\r\nport=1\r\n; mine\r\n");
    std::string preview, now, app;
    EXPECT_EQ(Run(press,
                  [&](HWND d) {
                    app = ItemText(d, IDC_ASSIGN_APP);
                    Click(d, c.where);
                    if (c.what == kKeys) SetHotkey(d, 'S', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
                    if (c.what == kNamed) {
                      Click(d, IDC_ASSIGN_NAMED);
                      ChooseListItem(d, IDC_ASSIGN_NAMES, "Mute (MUTE)");
                    }
                    if (c.what == kClose) Click(d, IDC_ASSIGN_CLOSE);
                    if (c.what == kStart)
                      SetDlgItemTextA(d, IDC_ASSIGN_PATH, "C:\\Program Files\\Player\\play.exe");
                    if (c.held) Click(d, c.held);
                    preview = ItemText(d, IDC_ASSIGN_PREVIEW);
                    now = ItemText(d, IDC_ASSIGN_NOW);
                    PostClick(d, IDOK);
                  }),
              1)
        << c.value;
    EXPECT_EQ(app, "This &program (notepad.exe)");
    const std::string key = c.held == IDC_ASSIGN_LONG ? "Key9.long" : "Key9";
    EXPECT_EQ(preview, key + "=" + c.value + (c.hold[0] ? "\r\nKey9.hold=" + std::string(c.hold) : ""));
    EXPECT_EQ(now, std::string("Now in [") + c.section + "]: nothing");
    char value[256] = "", hold[32] = "";
    GetPrivateProfileStringA(c.section, key.c_str(), "", value, sizeof value, gProfilePath);
    EXPECT_STREQ(value, c.value);
    GetPrivateProfileStringA(c.section, "Key9.hold", "", hold, sizeof hold, gProfilePath);
    EXPECT_STREQ(hold, c.hold);  // "When held", preset from the line or chosen; none for a long press
    EXPECT_NE(File().find("port=1\r\n; mine\r\n"), std::string::npos);
    EXPECT_EQ(ReadAll(std::string(gProfilePath) + ".bak"), "[default]\r\nport=1\r\n; mine\r\n");  // one save
  }
}

// Real keys typed into the Keys box (the dialog in front, the box focused): each is taken as the
// shortcut, and none of them acts on the dialog: Alt+C does not choose "Close the window", Esc
// does not cancel, Enter does not press OK.
TEST_F(AssignTest, KeysBoxTakesEveryKey) {
  static const struct {
    std::vector<WORD> down;  // pressed in order, released in reverse
    WORD hotkey;
    const char* line;
  } kCases[] = {
      {{VK_MENU, 'C'}, MAKEWORD('C', HOTKEYF_ALT), "Key9=KEYBOARD ALT+C+^C+^ALT"},
      {{VK_SPACE}, MAKEWORD(VK_SPACE, 0), "Key9=KEYBOARD BLANK+^BLANK"},
      {{VK_ESCAPE}, MAKEWORD(VK_ESCAPE, 0), "Key9=KEYBOARD ESC+^ESC"},
      {{VK_RETURN}, MAKEWORD(VK_RETURN, 0), "Key9=KEYBOARD ENTER+^ENTER"},
      {{VK_CONTROL, VK_TAB}, MAKEWORD(VK_TAB, HOTKEYF_CONTROL), "Key9=KEYBOARD CTRL+TAB+^TAB+^CTRL"},
  };
  for (const auto& c : kCases) {
    WORD hotkey = 0;
    std::string preview;
    bool keys = false, others = true, open = false;
    EXPECT_EQ(Run(press,
                  [&](HWND d) {
                    HWND box = GetDlgItem(d, IDC_ASSIGN_HOTKEY);
                    SetForegroundWindow(d);
                    SendMessageA(d, WM_NEXTDLGCTL, WPARAM(box), TRUE);
                    WaitUntil([&] { return GetForegroundWindow() == d; });
                    std::vector<INPUT> input(c.down.size(), INPUT{INPUT_KEYBOARD, {}});
                    for (size_t i = 0; i < c.down.size(); i++) input[i].ki.wVk = c.down[i];
                    for (size_t i = c.down.size(); i-- > 0;) {
                      input.push_back({INPUT_KEYBOARD, {}});
                      input.back().ki.wVk = c.down[i];
                      input.back().ki.dwFlags = KEYEVENTF_KEYUP;
                    }
                    SendInput(UINT(input.size()), input.data(), sizeof(INPUT));
                    WaitUntil([&] { return LOWORD(SendMessageA(box, HKM_GETHOTKEY, 0, 0)) == c.hotkey; });
                    Sleep(200);  // whatever else the keys would do
                    hotkey = LOWORD(SendMessageA(box, HKM_GETHOTKEY, 0, 0)) & ~(HOTKEYF_EXT << 8);
                    preview = ItemText(d, IDC_ASSIGN_PREVIEW);
                    keys = ItemChecked(d, IDC_ASSIGN_KEYS);
                    others = ItemChecked(d, IDC_ASSIGN_CLOSE) || ItemChecked(d, IDC_ASSIGN_WINDOW) ||
                             ItemChecked(d, IDC_ASSIGN_EVERY);
                    open = IsWindowVisible(d) != 0;
                    PostClick(d, IDCANCEL);
                  }),
              0)
        << c.line;
    EXPECT_EQ(hotkey, c.hotkey) << c.line;
    EXPECT_EQ(preview, std::string(c.line) + "\r\nKey9.hold=repeat");  // keys preset to repeat when held
    EXPECT_TRUE(keys) << c.line;
    EXPECT_FALSE(others) << c.line;
    EXPECT_TRUE(open) << c.line;
  }
}

// "Where" starts at the narrowest place known; a title holding "]" is served through a title
// pattern, shown before it is written, and the lookup then finds the line for that title.
TEST_F(AssignTest, WhereStartsNarrowAndBracketTitles) {
  static const struct {
    AssignPress press;
    int where;
  } kStarts[] = {{{9, "Untitled - Notepad", "notepad.exe"}, IDC_ASSIGN_APP},
                 {{9, "Untitled - Notepad", ""}, IDC_ASSIGN_WINDOW},
                 {{9, "", ""}, IDC_ASSIGN_EVERY}};
  for (const auto& c : kStarts) {
    bool checked = false;
    Run(c.press, [&](HWND d) {
      checked = ItemChecked(d, c.where);
      PostClick(d, IDCANCEL);
    });
    EXPECT_TRUE(checked) << c.where;
  }
  AssignPress bracket = {9, "Report.doc [Compatibility Mode] - Writer", "writer.exe"};
  std::string preview;
  EXPECT_EQ(Run(bracket,
                [&](HWND d) {
                  Click(d, IDC_ASSIGN_WINDOW);
                  Click(d, IDC_ASSIGN_CLOSE);
                  preview = ItemText(d, IDC_ASSIGN_PREVIEW);
                  PostClick(d, IDOK);
                }),
            1);
  EXPECT_NE(preview.find("[Report.doc [Compatibility Mode* - Writer]"), std::string::npos) << preview;
  char line[kProfileValueSize];
  EXPECT_EQ(ProfileLookup(gProfilePath, bracket.title, "", 9, line), 1);
  EXPECT_STREQ(line, "CLOSE");
  // Nothing but "]": no section can serve it, and the dialog says so.
  AssignPress brackets = {9, "]]", "writer.exe"};
  bool ok = true;
  Run(brackets, [&](HWND d) {
    Click(d, IDC_ASSIGN_WINDOW);
    Click(d, IDC_ASSIGN_CLOSE);
    preview = ItemText(d, IDC_ASSIGN_PREVIEW);
    ok = ItemEnabled(d, IDOK);
    PostClick(d, IDCANCEL);
  });
  EXPECT_FALSE(ok);
  EXPECT_NE(preview.find("not even as a pattern"), std::string::npos) << preview;
}

// A named button is taught as Key.NAME, or Key.REMOTE.NAME with "only this remote" (a long press
// and "when held" beside it as for KeyN); a name no entry can hold is refused; a serial button has
// no such box.
TEST_F(AssignTest, NamedButtons) {
  static const struct {
    int source;
    const char *remote, *name;
    int click;  // IDC_ASSIGN_ONLY_REMOTE, IDC_ASSIGN_LONG or 0
    const char *label, *box, *preview;
  } kCases[] = {
      {1, "DEMO", "KEY_OK", 0, "KEY_OK (remote DEMO, network receiver)", "Only this re&mote (DEMO)",
       "Key.KEY_OK=CLOSE\r\nKey.KEY_OK.hold=once"},
      {1, "DEMO", "KEY_OK", IDC_ASSIGN_ONLY_REMOTE, "KEY_OK (remote DEMO, network receiver)",
       "Only this re&mote (DEMO)", "Key.DEMO.KEY_OK=CLOSE\r\nKey.DEMO.KEY_OK.hold=once"},
      {2, "keyboard", "PLAY", IDC_ASSIGN_LONG, "PLAY (remote keyboard, USB remote key)",
       "Only this re&mote (keyboard)", "Key.PLAY.long=CLOSE"},
      {1, "DEMO", "KEY.OK", 0, "KEY.OK (remote DEMO, network receiver)", "Only this re&mote (DEMO)",
       "The button's name KEY.OK cannot stand in an entry of the profile (1 to 31 letters, digits, _, - and "
       "+): "
       "it cannot be taught."},
      {0, "", "", 0, "Key9", "", "Key9=CLOSE\r\nKey9.hold=once"},
  };
  for (const auto& c : kCases) {
    dir.Write("profiles.ini", "[default]\r\n");
    AssignPress named = press;
    named.source = c.source;
    strcpy(named.remote, c.remote);
    strcpy(named.name, c.name);
    std::string label, box, preview;
    bool ok = false;
    Run(named, [&](HWND d) {
      Click(d, IDC_ASSIGN_EVERY);
      Click(d, IDC_ASSIGN_CLOSE);
      if (c.click) Click(d, c.click);
      label = ItemText(d, IDC_ASSIGN_KEY);
      if (ItemVisible(d, IDC_ASSIGN_ONLY_REMOTE)) box = ItemText(d, IDC_ASSIGN_ONLY_REMOTE);
      preview = ItemText(d, IDC_ASSIGN_PREVIEW);
      ok = ItemEnabled(d, IDOK);
      PostClick(d, ok ? IDOK : IDCANCEL);
    });
    EXPECT_EQ(label, c.label);
    EXPECT_EQ(box, c.box);
    EXPECT_EQ(preview, c.preview);
    std::string key = std::string(c.preview).substr(0, std::string(c.preview).find('='));
    char value[64] = "";
    GetPrivateProfileStringA("default", key.c_str(), "", value, sizeof value, gProfilePath);
    EXPECT_STREQ(value, ok ? "CLOSE" : "") << key;
    EXPECT_EQ(ok, strchr(c.name, '.') == nullptr) << c.name;
  }
}

// A key the notation cannot write (0x88, past F24) is refused in the preview, and OK stays off;
// the named list holds the keys the table can write (the browser keys among them).
TEST_F(AssignTest, RefusedKeyAndNamedList) {
  std::string preview, names;
  bool ok = true;
  EXPECT_EQ(Run(press,
                [&](HWND d) {
                  SetHotkey(d, 0x88, 0);
                  preview = ItemText(d, IDC_ASSIGN_PREVIEW);
                  ok = ItemEnabled(d, IDOK);
                  names = ListItems(d, IDC_ASSIGN_NAMES);
                  PostClick(d, IDCANCEL);
                }),
            0);
  EXPECT_EQ(preview, "The key 0x88 cannot be written in a KEYBOARD line: it has no name there.");
  EXPECT_FALSE(ok);
  EXPECT_NE(names.find("Browser back"), std::string::npos) << names;
  EXPECT_NE(names.find("Windows key (WIN)"), std::string::npos);
  EXPECT_EQ(AssignDialogRun(GetModuleHandleA(nullptr), nullptr, &press), -1);  // no template here
}

// "Now in [...]" names every entry the button has in the section: the line, its .hold and .long.
TEST_F(AssignTest, NowShowsTheButtonsHoldAndLongEntries) {
  static const struct {
    const char* profile;
    bool forLong;  // the long press box ticked
    const char* now;
  } kCases[] = {
      {"[default]\r\nKey9=CLOSE\r\nKey9.hold=once\r\nKey9.long=EXEC calc.exe\r\n", false,
       "Now in [default]: Key9=CLOSE; Key9.hold=once; Key9.long=EXEC calc.exe"},
      {"[default]\r\nKey9.long=CLOSE\r\nKey19=CLOSE\r\n", false, "Now in [default]: Key9.long=CLOSE"},
      {"[default]\r\nKey9.hold=repeat\r\nKey9=CLOSE\r\n", true,
       "Now in [default]: Key9=CLOSE; Key9.hold=repeat"},
      {"[default]\r\nKey90=CLOSE\r\n[notepad.exe]\r\nKey9.long=CLOSE\r\n", false,
       "Now in [default]: nothing"},
  };
  for (const auto& c : kCases) {
    dir.Write("profiles.ini", c.profile);
    std::string now;
    bool forLong = c.forLong;
    Run(press, [&](HWND d) {
      Click(d, IDC_ASSIGN_EVERY);
      if (forLong) Click(d, IDC_ASSIGN_LONG);
      now = ItemText(d, IDC_ASSIGN_NOW);
      PostClick(d, IDCANCEL);
    });
    EXPECT_EQ(now, c.now) << c.profile;
  }
}

// An existing line is shown, and replaced only once the user says yes.
TEST_F(AssignTest, ReplaceOnlyAfterConfirm) {
  dir.Write("profiles.ini", "[default]\r\nKey9=KEYBOARD F5+^F5\r\n");
  std::string now, box;
  EXPECT_EQ(Run(press,
                [&](HWND d) {
                  Click(d, IDC_ASSIGN_EVERY);
                  now = ItemText(d, IDC_ASSIGN_NOW);
                  Click(d, IDC_ASSIGN_CLOSE);
                  PostClick(d, IDOK);
                  HWND ask =
                      WaitForMessageBox(GetWindowThreadProcessId(d, nullptr), "Halvesta Remote Control");
                  box = MessageBoxText(ask);
                  PostMessageA(ask, WM_COMMAND, IDNO, 0);
                  WaitUntil([&] { return !IsWindow(ask); });
                  EXPECT_TRUE(IsWindowVisible(d));
                  EXPECT_NE(File().find("Key9=KEYBOARD F5+^F5"), std::string::npos);
                  PostClick(d, IDOK);
                  ask = WaitForMessageBox(GetWindowThreadProcessId(d, nullptr), "Halvesta Remote Control");
                  PostMessageA(ask, WM_COMMAND, IDYES, 0);
                }),
            1);
  EXPECT_EQ(now, "Now in [default]: Key9=KEYBOARD F5+^F5");
  box.erase(std::remove(box.begin(), box.end(), '\r'), box.end());
  EXPECT_EQ(box, "Key9 in [default] now reads:\nKEYBOARD F5+^F5\n\nReplace it with\nCLOSE ?");
  EXPECT_EQ(File(), "[default]\r\nKey9=CLOSE\r\nKey9.hold=once\r\n");
}

// A write that fails (profiles.ini is a folder) says which file and why; the dialog stays open.
TEST_F(AssignTest, FailedWriteIsTold) {
  ASSERT_TRUE(CreateDirectoryA(gProfilePath, nullptr));
  std::string box;
  bool open = false;
  EXPECT_EQ(Run(press,
                [&](HWND d) {
                  Click(d, IDC_ASSIGN_CLOSE);
                  PostClick(d, IDOK);
                  HWND error = WaitForMessageBox(GetWindowThreadProcessId(d, nullptr), "OVRA Remote Error");
                  box = MessageBoxText(error);
                  PostMessageA(error, WM_COMMAND, IDOK, 0);
                  WaitUntil([&] { return !IsWindow(error); });
                  open = IsWindowVisible(d) != 0;
                  PostClick(d, IDCANCEL);
                }),
            0);
  box.erase(std::remove(box.begin(), box.end(), '\r'), box.end());  // the formatter's line ends
  EXPECT_EQ(box.find(std::string("The line could not be saved in\n") + gProfilePath + "\n\n"), 0u) << box;
  EXPECT_GT(box.size(), strlen(gProfilePath) + 60);
  EXPECT_TRUE(open);
  EXPECT_EQ(GetFileAttributesA(gProfilePath) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
  RemoveDirectoryA(gProfilePath);
}

// Each encoding stays as it was, and a title with characters above 127 reads back as shown.
TEST_F(AssignTest, Encodings) {
  static const struct {
    int encoding;
    std::string bytes;
  } kFiles[] = {
      {kProfileAnsi, "[default]\r\n; caf\xE9\r\n"},
      {kProfileUtf8, "[default]\r\n; caf\xC3\xA9\r\n"},
      {kProfileUtf8Bom, "\xEF\xBB\xBF[default]\r\n; caf\xC3\xA9\r\n"},
      {kProfileUtf16Le,
       std::string("\xFF\xFE[\0d\0e\0f\0a\0u\0l\0t\0]\0\r\0\n\0;\0 \0c\0a\0f\0\xE9\0\r\0\n\0", 40)},
  };
  AssignPress accented = {12, "Caf\xE9 - Notepad", "notepad.exe"};
  for (const auto& f : kFiles) {
    dir.Write("profiles.ini", f.bytes);
    std::string title;
    EXPECT_EQ(Run(accented,
                  [&](HWND d) {
                    title = ItemText(d, IDC_ASSIGN_TITLE);
                    Click(d, IDC_ASSIGN_WINDOW);
                    SetHotkey(d, 'S', HOTKEYF_CONTROL);
                    PostClick(d, IDOK);
                  }),
              1);
    EXPECT_EQ(title, accented.title);
    size_t size = 0;
    int encoding = -9;
    char* text = ProfileReadTextAs(gProfilePath, &size, nullptr, &encoding);
    ASSERT_TRUE(text);
    EXPECT_EQ(encoding, f.encoding);
    EXPECT_EQ(std::string(text, size),
              "[default]\r\n; caf\xE9\r\n\r\n[Caf\xE9 - Notepad]\r\nKey12=KEYBOARD CTRL+S+^S+^CTRL\r\n"
              "Key12.hold=repeat\r\n")
        << f.encoding;
    free(text);
  }
}

// The Activity window keeps the selected event selected while new events arrive and the oldest
// leave (the log keeps 200), and lets go of it only once it has left the log.
TEST_F(AssignTest, ActivitySelectionStaysOnItsEvent) {
  gLanguageModule = language;
  ActivityLogClear();
  int logged = 0;
  auto add = [&](int count) {
    for (int i = 0; i < count; i++) {
      ActivityEvent e = {};
      e.kind = kActivityPress;
      e.code = 5;
      e.result = kActivityKeysSent;
      e.detail = 2;
      snprintf(e.title, sizeof e.title, "Window %d", ++logged);
      ActivityLogAdd(&e);
    }
  };
  add(250);
  ASSERT_EQ(ActivityWindowOpen(language, nullptr), 0);
  HWND window = ActivityWindowHandle();
  HWND list = GetDlgItem(window, IDC_ACTIVITY_LIST);
  ActivityOnNewEvents(nullptr);
  ASSERT_EQ(ListView_GetItemCount(list), 200);
  ListView_SetItemState(list, 199, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  auto selected = [&] {
    int item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    char text[64] = "";
    if (item >= 0) ListView_GetItemText(list, item, 2, text, sizeof text);
    return std::string(text);
  };
  for (int round = 0; round < 19; round++) {  // 190 more: the selected event is the oldest but 9
    add(10);
    ActivityOnNewEvents(nullptr);
    ASSERT_EQ(selected(), "Window 250") << round;
  }
  add(60);  // 300 after it: it has left
  ActivityOnNewEvents(nullptr);
  EXPECT_EQ(selected(), "");
  DestroyWindow(window);
  gLanguageModule = nullptr;
}

}  // namespace

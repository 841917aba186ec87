// The Assign dialog from the real language module, run on this thread and driven from a second
// one, writing into a real profile file.
#include "app/assign.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "actions/profile.h"
#include "actions/profiletext.h"
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
  }
}

// A key the notation cannot write (F16) is refused in the preview, and OK stays off; the named
// list holds only keys the table can write (no browser keys).
TEST_F(AssignTest, RefusedKeyAndNamedList) {
  std::string preview, names;
  bool ok = true;
  EXPECT_EQ(Run(press,
                [&](HWND d) {
                  SetHotkey(d, 0x7F, 0);
                  preview = ItemText(d, IDC_ASSIGN_PREVIEW);
                  ok = ItemEnabled(d, IDOK);
                  names = ListItems(d, IDC_ASSIGN_NAMES);
                  PostClick(d, IDCANCEL);
                }),
            0);
  EXPECT_EQ(preview, "The key 0x7F cannot be written in a KEYBOARD line: it has no name there.");
  EXPECT_FALSE(ok);
  EXPECT_EQ(names.find("Browser"), std::string::npos);
  EXPECT_NE(names.find("Windows key (WIN)"), std::string::npos);
  EXPECT_EQ(AssignDialogRun(GetModuleHandleA(nullptr), nullptr, &press), -1);  // no template here
}

// An existing line is shown, and replaced only once the user says yes.
TEST_F(AssignTest, ReplaceOnlyAfterConfirm) {
  dir.Write("profiles.ini", "[default]\r\nKey9=KEYBOARD F5+^F5\r\n");
  std::string now, box;
  EXPECT_EQ(
      Run(press,
          [&](HWND d) {
            now = ItemText(d, IDC_ASSIGN_NOW);
            Click(d, IDC_ASSIGN_CLOSE);
            PostClick(d, IDOK);
            HWND ask =
                WaitForMessageBox(GetWindowThreadProcessId(d, nullptr), "Halvesta Remote Control - Assign");
            box = MessageBoxText(ask);
            PostMessageA(ask, WM_COMMAND, IDNO, 0);
            WaitUntil([&] { return !IsWindow(ask); });
            EXPECT_TRUE(IsWindowVisible(d));
            EXPECT_NE(File().find("Key9=KEYBOARD F5+^F5"), std::string::npos);
            PostClick(d, IDOK);
            ask = WaitForMessageBox(GetWindowThreadProcessId(d, nullptr), "Halvesta Remote Control - Assign");
            PostMessageA(ask, WM_COMMAND, IDYES, 0);
          }),
      1);
  EXPECT_EQ(now, "Now in [default]: Key9=KEYBOARD F5+^F5");
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
              "[default]\r\n; caf\xE9\r\n[Caf\xE9 - Notepad]\r\nKey12=KEYBOARD "
              "CTRL+S+^S+^CTRL\r\nKey12.hold=repeat\r\n")
        << f.encoding;
    free(text);
  }
}

}  // namespace

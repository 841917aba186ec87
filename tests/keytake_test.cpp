#include "actions/keytake.h"

#include <gtest/gtest.h>
#include <string.h>

#include "actions/keytable.h"

TEST(KeyTake, WhichKeysMayBeTaken) {
  static const struct {
    unsigned vk, flags;
    int allowed;
    const char* name;  // the button name, null for keys never taken
  } kCases[] = {
      {0xB3, 0, 1, "PLAY"},  {0xAF, 0x01, 1, "VOLUP"}, {0x7C, 0, 1, "F13"},     {0x87, 0, 1, "F24"},
      {0xA6, 0, 1, "BBACK"}, {0xB7, 0, 1, "LAPP2"},    {0xB3, 0x10, 0, "PLAY"}, {0x7C, 0x11, 0, "F13"},
      {0x7B, 0, 0, nullptr}, {0x88, 0, 0, nullptr},    {0xA5, 0, 0, nullptr},   {0xB8, 0, 0, nullptr},
      {'A', 0, 0, nullptr},  {'7', 0, 0, nullptr},     {0x0D, 0, 0, nullptr},   {0x26, 0, 0, nullptr},
      {0x10, 0, 0, nullptr}, {0x1B3, 0, 0, nullptr},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(KeyTakeAllowed(c.vk, c.flags), c.allowed) << std::hex << c.vk << " " << c.flags;
    EXPECT_STREQ(KeyTakeName(c.vk), c.name) << std::hex << c.vk;
    EXPECT_EQ(c.name ? KeyTakeCode(c.name) : c.vk, c.vk) << std::hex << c.vk;
  }
  static const struct {
    const char* name;
    int never;  // a button entry for it can never act
  } kNames[] = {{"ENTER", 1}, {"enter", 1}, {"F5", 1},    {"SHIFT", 1}, {"A", 1},   {"7", 1}, {"UP", 1},
                {"volup", 0}, {"F13", 0},   {"GUIDE", 0}, {"12", 0},    {"F25", 0}, {"", 0}};
  for (const auto& c : kNames) EXPECT_EQ(KeyTakeNeverTaken(c.name), c.never) << c.name;
}

TEST(KeyTake, TableServesTheWindowsOfItsSections) {
  KeyTakeTable* t = KeyTakeTableNew(6);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeDefault, nullptr, 0xAF), 0);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeTitle, "Editor", 0xB3), 0);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeAlias, "Untitled -", 0x7C), 0);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakePattern, "*YouTube*", 0xB0), 0);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeClass, "Notepad", 0xB1), 0);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeProgram, "vlc.exe", 0xB2), 0);
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeTitle, "editor", 0xB2), 0);   // the same section
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeTitle, "Editor", 0x0D), -1);  // never taken
  EXPECT_EQ(KeyTakeTableAdd(t, kKeyTakeTitle, "Full", 0xB3), -1);    // no seventh section
  static const struct {
    KeyTakeWindow window;
    unsigned vk;
    int taken;
  } kCases[] = {
      {{"Calculator", "", ""}, 0xAF, 1},
      {{nullptr, nullptr, nullptr}, 0xAF, 1},
      {{"Calculator", "", ""}, 0xB3, 0},
      {{"EDITOR", "", ""}, 0xB3, 1},
      {{"Editor x", "", ""}, 0xB3, 0},
      {{"Editor", "", ""}, 0xB2, 1},
      {{"Untitled - Notepad", "", ""}, 0x7C, 1},
      {{"Untitled -", "", ""}, 0x7C, 0},
      {{"Cats - YouTube", "", ""}, 0xB0, 1},
      {{"cats - youtube", "", ""}, 0xB0, 1},  // the characters a pattern needs, in any case
      {{"Full", "", ""}, 0xB0, 0},
      {{"x", "NOTEPAD", ""}, 0xB1, 1},
      {{"x", "Edit", ""}, 0xB1, 0},
      {{"x", "", "VLC.EXE"}, 0xB2, 1},
      {{"x", "", "vlc.exe2"}, 0xB2, 0},
      {{"Editor", "Notepad", "vlc.exe"}, 0xB4, 0},
      {{"Editor", "", ""}, 0x1AF, 0},
  };
  static KeyTakeCache cache;  // one cache over all cases, twice: the windows change under it
  for (int round = 0; round < 2; round++) {
    for (const auto& c : kCases) {
      const char* title = c.window.title ? c.window.title : "(none)";
      EXPECT_EQ(KeyTakeDecide(t, c.vk, &c.window), c.taken) << title << " " << std::hex << c.vk;
      EXPECT_EQ(KeyTakeDecideCached(t, c.vk, &c.window, &cache), c.taken) << title << " " << std::hex << c.vk;
    }
  }
  KeyTakeTable* other = KeyTakeTableNew(1);  // another table: what the cache kept is not used
  KeyTakeTableAdd(other, kKeyTakeTitle, "Editor", 0xB0);
  KeyTakeWindow editor = {"Editor", "", ""};
  EXPECT_EQ(KeyTakeDecideCached(t, 0xB3, &editor, &cache), 1);
  EXPECT_EQ(KeyTakeDecideCached(other, 0xB3, &editor, &cache), 0);
  KeyTakeTableFree(other);
  KeyTakeTableFree(t);
  EXPECT_EQ(KeyTakeDecide(nullptr, 0xAF, &editor), 0);
}

TEST(KeyTable, RowsAsTheLookupFindsThem) {
  static const char kProfile[] =
      "[default]\nKey.MUTE=KEYBOARD M\nKey.F14=\n"
      "[Editor]\nKey.PLAY=KEYBOARD P\nkey.keyboard.next.HOLD=repeat\nKey.ENTER=KEYBOARD X\n"
      "Key.STOP=\nKey.STOP=KEYBOARD S\n"  // the first entry of a name serves, empty: none
      "[title -]\nUntitled -=Editor\nOther -=Missing\n"
      "[*YouTube*]\nKey.F13.long=KEYBOARD L\n"
      "[class:Notepad]\nKey.keyboard.PREV=KEYBOARD B\n"
      "[vlc.exe]\nKey.VOLUP=KEYBOARD U\n"
      "[editor]\nKey.BHOME=KEYBOARD H\n"  // a second section of a name is never read
      "[Lirc]\nKey.DEMO.PLAY=KEYBOARD D\nKey.PLAY.osd=Play\nKey.mce.GUIDE=KEYBOARD G\n";
  int wants = -1;
  KeyTakeTable* t = KeyTableBuild(kProfile, strlen(kProfile), &wants);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(wants, kKeyTableHook | kKeyTableMce);
  static const struct {
    KeyTakeWindow window;
    unsigned vk;
    int taken;
  } kCases[] = {
      {{"Calculator", "", ""}, 0xAD, 1},
      {{"Calculator", "", ""}, 0x7D, 0},
      {{"Editor", "", ""}, 0xB3, 1},
      {{"Editor", "", ""}, 0xB0, 1},
      {{"Editor", "", ""}, 0xB2, 0},
      {{"Editor", "", ""}, 0xAC, 0},
      {{"Untitled - Notepad", "", ""}, 0xB3, 1},
      {{"Untitled -", "", ""}, 0xB3, 0},
      {{"Other - x", "", ""}, 0xB3, 0},
      {{"Cats - YouTube", "", ""}, 0x7C, 1},
      {{"x", "Notepad", ""}, 0xB1, 1},
      {{"x", "", "VLC.exe"}, 0xAF, 1},
      {{"vlc.exe", "", ""}, 0xAF, 1},
      {{"Lirc", "", ""}, 0xB3, 0},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(KeyTakeDecide(t, c.vk, &c.window), c.taken) << c.window.title << " " << std::hex << c.vk;
  KeyTakeTableFree(t);

  static const struct {
    const char* text;
    int wants;  // and a table exactly with kKeyTableHook
  } kWants[] = {
      {"[default]\nkeys=0\n[A]\nKey.PLAY=X\nKey.mce.GUIDE=X\n", 0},
      {"[default]\nkeys=1\n[A]\nKey.PLAY=X\n", kKeyTableHook},
      {"[A]\nKey.mce.GUIDE=X\nKey12=X\nKey.ENTER=X\nKey.F5=X\n", kKeyTableMce},
      {"[A]\nKey.PLAY=\nKey.mce.GUIDE=\n", 0},
      {"Key.PLAY=X\n[A]\nKey12=X\n[a]\nKey.PLAY=X\n", 0},  // only where the lookup never reads
      {"", 0},
  };
  for (const auto& c : kWants) {
    t = KeyTableBuild(c.text, strlen(c.text), &wants);
    EXPECT_EQ(wants, c.wants) << c.text;
    EXPECT_EQ(t != nullptr, (c.wants & kKeyTableHook) != 0) << c.text;
    KeyTakeTableFree(t);
  }
}

#include "actions/keytake.h"

#include <gtest/gtest.h>

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

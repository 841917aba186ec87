#include "receiver/mce.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Mce, ReportsGiveTheirButtons) {
  static const struct {
    unsigned page, usage;
    std::vector<uint8_t> report;
    int kind;
    const char* name;
  } kCases[] = {
      {0xFFBC, 0x88, {0x02, 0x25}, kMceButton, "LIVETV"},
      {0xFFBC, 0x88, {0x02, 0x48}, kMceButton, "RECORDEDTV"},
      {0xFFBC, 0x88, {0x02, 0x5B, 0x00}, kMceButton, "RED"},
      {0xFFBC, 0x88, {0x02, 0x5E}, kMceButton, "BLUE"},
      {0xFFBC, 0x88, {0x02, 0x00}, kMceRelease, nullptr},
      {0xFFBC, 0x88, {0x02}, kMceRelease, nullptr},
      {0xFFBC, 0x88, {0x02, 0x99}, kMceUnknown, nullptr},
      {0x0C, 0x01, {0x03, 0x8D, 0x00}, kMceButton, "GUIDE"},
      {0x0C, 0x01, {0x03, 0x09, 0x02}, kMceButton, "DETAILS"},  // 0x209: two bytes, low first
      {0x0C, 0x01, {0x03, 0x00, 0x00}, kMceRelease, nullptr},
      {0x0C, 0x01, {0x03, 0xE9, 0x00}, kMceKeysPath, nullptr},  // volume up: a key too
      {0x0C, 0x01, {0x03, 0xB0, 0x00}, kMceKeysPath, nullptr},  // play
      {0x0C, 0x01, {0x03, 0x8D, 0x01}, kMceUnknown, nullptr},   // 0x18D
      {0x0C, 0x02, {0x03, 0x8D, 0x00}, kMceUnknown, nullptr},   // another collection
      {0x01, 0x06, {0x00, 0x25}, kMceUnknown, nullptr},         // a keyboard
      {0xFFBC, 0x88, {}, kMceUnknown, nullptr},
  };
  for (const auto& c : kCases) {
    const char* name = "stale";
    EXPECT_EQ(MceDecode(c.page, c.usage, c.report.data(), c.report.size(), &name), c.kind)
        << std::hex << c.page << " " << (c.report.size() > 1 ? c.report[1] : 0);
    EXPECT_STREQ(name, c.name);
  }
}

#include "receiver/packet.h"

#include <gtest/gtest.h>

#include <vector>

struct Byte {
  uint8_t value;
  uint32_t time;  // clock value when the byte arrives
  int result;     // what PacketFeed returns for it
};

struct FramingCase {
  const char* name;
  uint32_t start;  // clock value at PacketReset
  std::vector<Byte> bytes;
};

// Key 5 is sent as check byte 0x37 and data 0x05; key 3 as 0xA2, 0x03.
static const FramingCase kCases[] = {
    {"clean key 5", 0, {{0xAA, 100, -1}, {0x37, 108, -1}, {0x05, 116, 5}}},
    {"bit 7 of the data byte ignored", 0, {{0x00, 100, -1}, {0x37, 108, -1}, {0x85, 116, 5}}},
    {"one check bit flipped", 0, {{0xFF, 100, -1}, {0x36, 108, -1}, {0x05, 116, 5}}},
    {"two data bits wrong: nearest is key 0", 0, {{0x55, 100, -1}, {0x00, 108, -1}, {0x05, 116, 0}}},
    {"three errors rejected, next byte starts a new packet",
     0,
     {{0x00, 100, -1}, {0x0B, 108, -1}, {0x00, 116, -1}, {0x00, 124, -1}, {0x37, 132, -1}, {0x05, 140, 5}}},
    {"accepted packet ends the packet",
     0,
     {{0, 100, -1}, {0x37, 108, -1}, {0x05, 116, 5}, {0, 124, -1}, {0xA2, 132, -1}, {0x03, 140, 3}}},
    {"two bytes, 51 ms, three bytes",
     0,
     {{0x00, 100, -1}, {0x37, 108, -1}, {0x00, 159, -1}, {0xA2, 167, -1}, {0x03, 175, 3}}},
    {"two bytes, exactly 50 ms, three bytes",
     0,
     {{0x00, 100, -1}, {0x37, 108, -1}, {0x05, 158, 5}, {0xA2, 166, -1}, {0x03, 174, -1}}},
    {"first byte long after the clock started", 0, {{0x00, 90000, -1}, {0x37, 90008, -1}, {0x05, 90016, 5}}},
    {"clock wraps inside a packet",
     0xFFFFFFF0u,
     {{0x00, 0xFFFFFFF8u, -1}, {0x37, 0x00000000u, -1}, {0x05, 0x00000008u, 5}}},
    {"gap across the wrap still resets",
     0xFFFFFFF0u,
     {{0x00, 0xFFFFFFF0u, -1},
      {0x37, 0xFFFFFFF8u, -1},
      {0x00, 0x0000002Bu, -1},
      {0xA2, 0x00000030u, -1},
      {0x03, 0x00000038u, 3}}},
    {"exactly 50 ms across the wrap continues",
     0xFFFFFFF0u,
     {{0x00, 0xFFFFFFF0u, -1}, {0x37, 0xFFFFFFF8u, -1}, {0x05, 0x0000002Au, 5}}},
};

TEST(Packet, Framing) {
  for (const FramingCase& c : kCases) {
    PacketAssembler a;
    PacketReset(&a, c.start);
    for (size_t i = 0; i < c.bytes.size(); i++) {
      const Byte& b = c.bytes[i];
      EXPECT_EQ(PacketFeed(&a, b.value, b.time), b.result) << c.name << ", byte " << i;
    }
  }
}

// Every b0 gives the same key: the first byte of a packet is never examined.
TEST(Packet, FirstByteNeverExamined) {
  for (int b0 = 0; b0 < 256; b0++) {
    PacketAssembler a;
    PacketReset(&a, 0);
    PacketFeed(&a, uint8_t(b0), 10);
    PacketFeed(&a, 0xA2, 18);
    EXPECT_EQ(PacketFeed(&a, 0x03, 26), 3) << b0;
  }
}

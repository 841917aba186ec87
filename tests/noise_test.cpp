#include "receiver/noise.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

#include "receiver/packet.h"

namespace {

struct Packet {
  int kind;
  uint32_t time;
  int muted;  // what NoiseFeed returns for it
};

const int K = kNoiseClean, C = kNoiseCorrected, R = kNoiseRejected;

struct Case {
  const char* name;
  std::vector<Packet> packets;
};

// Packets 30 ms apart are noise at the line's full rate; 125 ms apart, a held button.
const Case kCases[] = {
    {"a held button: clean packets back to back",
     {{K, 0, 0}, {K, 125, 0}, {K, 250, 0}, {K, 375, 0}, {K, 500, 0}, {K, 625, 0}, {K, 750, 0}, {K, 875, 0}}},
    {"a single corrected packet", {{K, 0, 0}, {C, 125, 0}, {K, 250, 0}, {K, 375, 0}}},
    {"a single rejected packet", {{K, 0, 0}, {R, 125, 0}, {K, 250, 0}, {K, 375, 0}}},
    {"two flawed packets, then a clean one", {{C, 0, 0}, {R, 30, 0}, {K, 60, 0}, {C, 90, 0}, {K, 120, 0}}},
    {"three flawed in a row: muted from the third", {{C, 0, 0}, {C, 30, 0}, {R, 60, 1}, {K, 90, 1}}},
    {"three flawed in a row, but over more than a second", {{C, 0, 0}, {C, 600, 0}, {R, 1200, 0}}},
    {"a remote far off: every packet corrected",
     {{C, 0, 0}, {C, 125, 0}, {C, 250, 0}, {C, 375, 0}, {C, 500, 0}}},
    {"three rejected among eight, clean ones between",
     {{R, 0, 0}, {K, 30, 0}, {K, 60, 0}, {R, 90, 0}, {K, 120, 0}, {R, 150, 1}}},
    {"three rejected, the first more than eight packets back",
     {{R, 0, 0},
      {K, 10, 0},
      {K, 20, 0},
      {R, 30, 0},
      {K, 40, 0},
      {K, 50, 0},
      {K, 60, 0},
      {K, 70, 0},
      {K, 80, 0},
      {R, 90, 0}}},
    {"muted until a second without a rejected packet",
     {{R, 0, 0}, {R, 30, 0}, {R, 60, 1}, {C, 500, 1}, {R, 900, 1}, {K, 1899, 1}, {K, 1900, 0}, {K, 2025, 0}}},
    {"clock wraps round", {{C, 0xFFFFFFF0u, 0}, {C, 0xFFFFFFFFu, 0}, {R, 20, 1}, {K, 1019, 1}, {K, 1020, 0}}},
};

TEST(NoiseGuard, DecisionFromPacketKindsAndTimes) {
  for (const Case& c : kCases) {
    NoiseGuard g;
    NoiseReset(&g);
    for (size_t i = 0; i < c.packets.size(); i++) {
      const Packet& p = c.packets[i];
      EXPECT_EQ(NoiseFeed(&g, p.kind, p.time), p.muted) << c.name << ", packet " << i;
    }
  }
}

TEST(NoiseGuard, QuietEndsTheMutingWithoutAPacket) {
  NoiseGuard g;
  NoiseReset(&g);
  for (uint32_t t = 0; t < 90; t += 30) NoiseFeed(&g, kNoiseRejected, t);
  ASSERT_TRUE(g.muted);
  EXPECT_EQ(NoiseQuietInMs(&g, 560), 500u);
  EXPECT_EQ(NoiseQuiet(&g, 1059), 0);
  EXPECT_EQ(NoiseQuiet(&g, 1060), 1);
  EXPECT_EQ(NoiseQuietInMs(&g, 1060), 0u);
  EXPECT_EQ(NoiseFeed(&g, kNoiseClean, 1070), 0);
}

// Random bytes at the line's full rate through the assembler and the guard: how many keys act.
TEST(NoiseGuard, RandomBytesActOnFewKeys) {
  srand(15);
  int worst = 0, total = 0;
  const int runs = 200;
  for (int run = 0; run < runs; run++) {
    PacketAssembler a;
    PacketReset(&a, 0);
    NoiseGuard g;
    NoiseReset(&g);
    int acted = 0;
    for (uint32_t i = 0; i < 10000; i++) {
      uint32_t now = 100 + i * 8;
      int completed;
      int code = PacketFeed(&a, uint8_t(rand()), now, &completed);
      if (completed && !NoiseFeed(&g, a.kind, now) && code >= 0) acted++;
    }
    total += acted;
    if (acted > worst) worst = acted;
  }
  printf("10,000 random bytes: %.2f keys acted on average, %d at most (%d runs)\n", double(total) / runs,
         worst, runs);
  EXPECT_LE(total, 2 * runs);  // without the guard about 1,570 a run
}

}  // namespace

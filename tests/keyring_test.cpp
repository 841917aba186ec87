#include "receiver/keyring.h"

#include <gtest/gtest.h>

#include <vector>

static std::vector<int> Drain(KeyRing* r) {
  std::vector<int> codes;
  KeyEvent e;
  while (KeyRingTake(r, &e)) codes.push_back(e.code);
  return codes;
}

static std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i < to; i++) v.push_back(i);
  return v;
}

TEST(KeyRing, KeepsOrderAcrossWrapAround) {
  KeyRing r = {};
  // Three rounds of 20 put-then-take move the positions past the end of the slots twice.
  for (int round = 0; round < 3; round++) {
    for (int i = 0; i < 20; i++) EXPECT_EQ(KeyRingPut(&r, {1, uint8_t(round * 20 + i)}), 0);
    EXPECT_EQ(Drain(&r), Range(round * 20, round * 20 + 20));
  }
}

TEST(KeyRing, FullRingHoldsAllThirtyTwo) {
  KeyRing r = {};
  for (int i = 0; i < kKeyRingSlots; i++) KeyRingPut(&r, {1, uint8_t(i)});
  EXPECT_EQ(KeyRingCount(&r), 32u);  // a full ring never reads as empty
  EXPECT_EQ(Drain(&r), Range(0, 32));
}

TEST(KeyRing, OverflowDropsOldestAndKeepsNewest) {
  KeyRing r = {};
  int dropped = 0;
  for (int i = 0; i < 40; i++) dropped += KeyRingPut(&r, {1, uint8_t(i)});
  EXPECT_EQ(dropped, 8);
  EXPECT_EQ(Drain(&r), Range(8, 40));
  KeyEvent e;
  EXPECT_EQ(KeyRingTake(&r, &e), 0);
}

TEST(KeyRing, EmptyTakeLeavesOutputAlone) {
  KeyRing r = {};
  KeyEvent e = {7, 9};
  EXPECT_EQ(KeyRingTake(&r, &e), 0);
  EXPECT_EQ(e.enable, 7);
  EXPECT_EQ(e.code, 9);
}

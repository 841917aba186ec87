#include "receiver/bch.h"

#include <gtest/gtest.h>

#include <bitset>
#include <vector>

// Error patterns over the 15-bit code word: data bits in bits 8..14, check bits in bits 0..7.
static std::vector<unsigned> PatternsOfWeight(int weight) {
  std::vector<unsigned> out;
  for (unsigned p = 0; p < (1u << 15); p++) {
    if (int(std::bitset<15>(p).count()) == weight) out.push_back(p);
  }
  return out;
}

static int Decode(unsigned data, unsigned pattern) {
  return BchDecode(uint8_t(kBchCheckTable[data] ^ (pattern & 0xFF)), uint8_t(data ^ (pattern >> 8)));
}

TEST(Bch, CheckTableTellingRows) {
  struct {
    int data;
    uint8_t check;
  } rows[] = {{0, 0x00}, {3, 0xA2}, {5, 0x37},  {127, 0xFF}, {1, 0xD1}, {2, 0x73},
              {4, 0xE6}, {8, 0x1D}, {16, 0x3A}, {32, 0x74},  {64, 0xE8}};
  for (auto& r : rows) EXPECT_EQ(kBchCheckTable[r.data], r.check) << "data " << r.data;
}

// Linearity together with the single-bit rows above fixes every one of the 128 entries.
TEST(Bch, CheckTableIsLinear) {
  for (int a = 0; a < 128; a++) {
    for (int b = 0; b < 128; b++) {
      ASSERT_EQ(kBchCheckTable[a ^ b], kBchCheckTable[a] ^ kBchCheckTable[b]) << a << " ^ " << b;
    }
  }
}

TEST(Bch, CorrectionTableTellingRows) {
  struct {
    int syndrome;
    uint8_t flip;
  } rows[] = {{0x00, 0x00}, {0x01, 0x00}, {0x02, 0x00}, {0x04, 0x00}, {0x08, 0x00}, {0x10, 0x00},
              {0x20, 0x00}, {0x40, 0x00}, {0x80, 0x00}, {0xD1, 0x01}, {0x73, 0x02}, {0xE8, 0x40},
              {0x37, 0x05}, {0x07, 0x22}, {0xD0, 0x01}, {0x0B, 0xFF}};
  for (auto& r : rows) EXPECT_EQ(kBchCorrectionTable[r.syndrome], r.flip) << "syndrome " << r.syndrome;
}

TEST(Bch, CorrectionTableCounts) {
  int zero = 0, single = 0, singleWithCheckError = 0, twoBits = 0, reject = 0;
  for (int s = 0; s < 256; s++) {
    uint8_t flip = kBchCorrectionTable[s];
    int bits = int(std::bitset<8>(flip).count());
    if (flip == 0xFF) {
      reject++;
    } else if (flip == 0) {
      zero++;
    } else if (bits == 1 && kBchCheckTable[flip] == s) {
      single++;
    } else if (bits == 1) {
      singleWithCheckError++;
    } else if (bits == 2) {
      twoBits++;
    }
  }
  EXPECT_EQ(zero, 1 + 36);
  EXPECT_EQ(single, 7);
  EXPECT_EQ(singleWithCheckError, 56);
  EXPECT_EQ(twoBits, 21);
  EXPECT_EQ(reject, 135);
}

// 128 values x 121 error patterns: every error of at most two bits is undone.
TEST(Bch, EveryErrorOfAtMostTwoBitsIsCorrected) {
  std::vector<unsigned> patterns = PatternsOfWeight(0);
  for (int w = 1; w <= 2; w++) {
    for (unsigned p : PatternsOfWeight(w)) patterns.push_back(p);
  }
  ASSERT_EQ(patterns.size(), 121u);
  for (unsigned data = 0; data < 128; data++) {
    for (unsigned p : patterns) ASSERT_EQ(Decode(data, p), int(data)) << "data " << data << " pattern " << p;
  }
}

TEST(Bch, BitSevenOfTheDataByteIsIgnored) {
  for (int data = 0; data < 128; data++)
    EXPECT_EQ(BchDecode(kBchCheckTable[data], uint8_t(data | 0x80)), data);
}

// Three errors are beyond the code: the decoder either rejects the word or (when the word lies
// within two bits of another code word) returns that other value, never the one sent.
TEST(Bch, ThreeErrorsAreRejectedOrMistakenButNeverTakenForTheValueSent) {
  struct {
    uint8_t check, data;
  } rejected[] = {{0x37 ^ 0x0B, 0x05}, {0x0B, 0x00}, {0xFF ^ 0x07, 0x7F ^ 0x40}};
  for (auto& r : rejected) EXPECT_EQ(BchDecode(r.check, r.data), -1) << int(r.check) << " " << int(r.data);

  int rejects = 0;
  std::vector<unsigned> three = PatternsOfWeight(3);
  for (unsigned data = 0; data < 128; data++) {
    for (unsigned p : three) {
      int got = Decode(data, p);
      if (got < 0) {
        rejects++;
        continue;
      }
      ASSERT_NE(got, int(data));
      // The value returned lies within two bits of the received word.
      unsigned received = (data << 8 | kBchCheckTable[data]) ^ p;
      unsigned nearest = unsigned(got) << 8 | kBchCheckTable[got];
      ASSERT_LE(std::bitset<15>(received ^ nearest).count(), 2u);
    }
  }
  EXPECT_GT(rejects, 0);
}

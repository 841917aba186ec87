// The (15,7) BCH code of the receiver's packets, and its two decoding tables.
//
// A code word is 15 bits: 7 data bits (the key code) followed by 8 check bits, the remainder of
// data * x^8 divided by the generator x^8 + x^7 + x^6 + x^4 + 1 (0x1D1). The code's minimum
// distance is 5, so every error of at most two bits has its own syndrome and can be undone.
//
// The reader decodes a packet with two look-ups: the check table gives the check byte the received
// data should have; XORed with the received check byte that is the syndrome, and the correction
// table maps the syndrome to the data bits to flip (0xFF: three or more errors, reject).
//
// Both tables are computed here at compile time from slow references that can be checked by eye:
// a bit-by-bit polynomial division for the check byte, and for the correction table a search
// through all 121 error patterns of weight 0, 1 or 2. Nothing is typed in by hand.
#include "receiver/bch.h"

namespace {

constexpr unsigned kGenerator = 0x1D1;  // x^8 + x^7 + x^6 + x^4 + 1
constexpr unsigned kCodeBits = 15;      // bits 0..7 check, bits 8..14 data

// Remainder of data * x^8 divided by the generator, one bit at a time.
constexpr uint8_t CheckOf(unsigned data) {
  unsigned r = (data & 0x7F) << 8;
  for (int bit = 14; bit >= 8; bit--) {
    if (r & (1u << bit)) r ^= kGenerator << (bit - 8);
  }
  return uint8_t(r);
}

// Syndrome of an error pattern over the 15-bit word (check bits low, data bits high).
constexpr uint8_t SyndromeOf(unsigned pattern) {
  return uint8_t(CheckOf(pattern >> 8) ^ (pattern & 0xFF));
}

// The data bits flipped by the error pattern of weight <= 2 whose syndrome is s; 0xFF when none.
constexpr uint8_t CorrectionOf(unsigned s) {
  if (SyndromeOf(0) == s) return 0;
  for (unsigned i = 0; i < kCodeBits; i++) {
    for (unsigned j = i; j < kCodeBits; j++) {  // j == i: the single-bit pattern
      unsigned pattern = (1u << i) | (1u << j);
      if (SyndromeOf(pattern) == s) return uint8_t(pattern >> 8);
    }
  }
  return 0xFF;
}

// The search above is only sound if no two correctable patterns share a syndrome.
constexpr bool SyndromesDistinct() {
  bool seen[256] = {};
  unsigned patterns[1 + kCodeBits + kCodeBits * (kCodeBits - 1) / 2] = {};
  unsigned n = 0;
  patterns[n++] = 0;
  for (unsigned i = 0; i < kCodeBits; i++) {
    for (unsigned j = i; j < kCodeBits; j++) patterns[n++] = (1u << i) | (1u << j);
  }
  for (unsigned k = 0; k < n; k++) {
    uint8_t s = SyndromeOf(patterns[k]);
    if (seen[s]) return false;
    seen[s] = true;
  }
  return n == 121;
}
static_assert(SyndromesDistinct(), "every error of at most two bits must have its own syndrome");

}  // namespace

#define BCH_ROWS8(f, i) f(i), f(i + 1), f(i + 2), f(i + 3), f(i + 4), f(i + 5), f(i + 6), f(i + 7)
#define BCH_ROWS32(f, i) BCH_ROWS8(f, i), BCH_ROWS8(f, i + 8), BCH_ROWS8(f, i + 16), BCH_ROWS8(f, i + 24)
#define BCH_ROWS128(f, i) \
  BCH_ROWS32(f, i), BCH_ROWS32(f, i + 32), BCH_ROWS32(f, i + 64), BCH_ROWS32(f, i + 96)

constexpr uint8_t kBchCheckTable[128] = {BCH_ROWS128(CheckOf, 0)};
constexpr uint8_t kBchCorrectionTable[256] = {BCH_ROWS128(CorrectionOf, 0), BCH_ROWS128(CorrectionOf, 128)};

int BchDecode(uint8_t check, uint8_t data) {
  data &= 0x7F;
  uint8_t correction = kBchCorrectionTable[kBchCheckTable[data] ^ check];
  if (correction == 0xFF) return -1;
  return data ^ correction;
}

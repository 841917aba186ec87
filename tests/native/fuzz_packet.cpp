// Arbitrary bytes at arbitrary times through the packet assembler. Every result must be -1..127
// and agree with a slow model written apart from the program: framing by the 50 ms gap on a
// wrapping 32-bit clock, and decoding by searching the code word nearest to the received word.
#include <stddef.h>
#include <stdint.h>

#include <cstdlib>

#include "receiver/noise.h"
#include "receiver/packet.h"

static unsigned SlowCheck(unsigned data) {
  unsigned r = data << 8;
  for (int bit = 14; bit >= 8; bit--) {
    if (r >> bit & 1) r ^= 0x1D1u << (bit - 8);
  }
  return r;
}

// The nearest code word within two bits, or -1; *kind tells whether bits had to be flipped.
static int SlowDecode(uint8_t check, uint8_t data, int* kind) {
  unsigned received = unsigned(data & 0x7F) << 8 | check;
  for (unsigned v = 0; v < 128; v++) {
    int distance = __builtin_popcount(received ^ (v << 8 | SlowCheck(v)));
    if (distance > 2) continue;
    *kind = distance ? kNoiseCorrected : kNoiseClean;
    return int(v);
  }
  *kind = kNoiseRejected;
  return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t now = uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
  data += 4;
  size -= 4;

  PacketAssembler a;
  PacketReset(&a, now);
  NoiseGuard g;  // fed every packet: must neither crash nor let a flawed run of three through
  NoiseReset(&g);
  uint8_t held[3];
  int count = 0;
  uint32_t last = now;
  for (size_t i = 0; i + 1 < size; i += 2) {
    // The second byte of each pair is the pause before the byte: 0..127 ms, or with its top bit
    // set a long jump that may carry the clock round.
    uint8_t pause = data[i + 1];
    now += (pause & 0x80) ? uint32_t(pause) << 24 : pause;
    int completed;
    int got = PacketFeed(&a, data[i], now, &completed);
    if (got < -1 || got > 127) abort();

    if (now - last > 50) count = 0;
    held[count++] = data[i];
    last = now;
    int want = -1;
    if (count == 3) {
      int kind;
      want = SlowDecode(held[1], held[2], &kind);
      count = 0;
      if (!completed || a.kind != kind) abort();
      int muted = NoiseFeed(&g, kind, now);
      if (muted != 0 && muted != 1) abort();
    } else if (completed) {
      abort();
    }
    if (got != want) abort();
  }
  return 0;
}

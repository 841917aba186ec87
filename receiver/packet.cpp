// Framing of the receiver's byte stream. The receiver sends three bytes per button press with no
// start marker: b0 (never examined), the check byte b1 and the data byte b2. A packet is found by
// timing alone: a silence of more than kPacketGapMs before a byte starts a new packet, and a
// completed packet, accepted or rejected, always ends one. At 1200 baud the three bytes of a
// packet arrive about 8 ms apart, so the gap rule also resynchronises after a lost byte.
// The clock is the 32-bit millisecond counter; differences are taken modulo 2^32 so that its
// wrap-around after 49.7 days does not split or join packets.
#include "receiver/packet.h"

#include "receiver/bch.h"
#include "receiver/noise.h"

void PacketReset(PacketAssembler* a, uint32_t now) {
  a->count = 0;
  a->lastTime = now;
}

int PacketFeed(PacketAssembler* a, uint8_t byte, uint32_t now, int* completed) {
  if (completed) *completed = 0;
  if (uint32_t(now - a->lastTime) > kPacketGapMs || a->count < 0 || a->count > 2) a->count = 0;
  a->bytes[a->count++] = byte;
  a->lastTime = now;
  if (a->count < 3) return -1;
  a->count = 0;
  int code = BchDecode(a->bytes[1], a->bytes[2]);
  if (code < 0) {
    a->kind = kNoiseRejected;
  } else {
    a->kind = kBchCheckTable[a->bytes[2] & 0x7F] == a->bytes[1] ? kNoiseClean : kNoiseCorrected;
  }
  if (completed) *completed = 1;
  return code;
}

// Framing of the receiver's byte stream into three-byte packets by timing.
// Pure code: fed one byte and a millisecond clock value at a time.
#pragma once
#include <stdint.h>

enum { kPacketGapMs = 50 };  // a longer silence than this starts a new packet

struct PacketAssembler {
  uint8_t bytes[3];   // b0 (never examined), b1 (check byte), b2 (data)
  int count;          // bytes of the current packet so far, 0..2 between calls
  uint32_t lastTime;  // clock value when the previous byte was stored
  int kind;           // of the last completed packet: kNoiseClean, kNoiseCorrected, kNoiseRejected
};

// Starts (or restarts) the assembler's clock at `now` with no bytes held.
void PacketReset(PacketAssembler* a, uint32_t now);
// Feeds one byte received at clock value `now`. Returns the decoded key code 0..127 when the
// byte completes an accepted packet, -1 otherwise (packet incomplete or rejected). A byte that
// completes a packet, accepted or not, sets a->kind and returns with *completed 1 (may be null).
int PacketFeed(PacketAssembler* a, uint8_t byte, uint32_t now, int* completed = nullptr);

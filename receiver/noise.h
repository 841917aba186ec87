// The noise guard: tells a receiver's packets from random bytes on the line (a wrong device on the
// port, a floating input) by how often they fail the code check. Pure code.
#pragma once
#include <stdint.h>

enum NoiseKind { kNoiseClean = 0, kNoiseCorrected = 1, kNoiseRejected = 2 };
enum { kNoiseHistory = 8, kNoiseWindowMs = 1000, kNoiseQuietMs = 1000 };

struct NoiseGuard {
  uint8_t kinds[kNoiseHistory];  // the last packets' kinds, newest at (next - 1)
  uint32_t times[kNoiseHistory];
  int count;  // packets recorded, at most kNoiseHistory
  int next;
  bool muted;
  uint32_t lastRejected;  // time of the newest rejected packet while muted
};

void NoiseReset(NoiseGuard* g);
// Records a completed packet of `kind` at clock value `now`. Returns 1 when keys are ignored
// from this packet on (this one included), 0 when it may be acted on.
int NoiseFeed(NoiseGuard* g, int kind, uint32_t now);
// While muted: 1 when the line has carried no rejected packet for kNoiseQuietMs by `now`, which
// ends the muting; 0 otherwise.
int NoiseQuiet(NoiseGuard* g, uint32_t now);
// Milliseconds from `now` until NoiseQuiet can end the muting (0 when not muted).
uint32_t NoiseQuietInMs(const NoiseGuard* g, uint32_t now);

// The noise guard. About half of all random three-byte frames decode as valid packets, but almost
// all of those need a correction: of the 32768 possible words only the 128 code words are clean,
// while 15488 lie within two bits of one. A receiver sends clean packets; a corrected one is rare
// and a rejected one rarer.
//
// Keys are ignored once either holds, over the packets of the last second:
//   - the last three packets all needed correction or were rejected, one of them at least rejected;
//   - three of the last eight packets were rejected.
// The first rule trips within a few packets of noise (random bytes act on about one key on
// average; a rule on rejected packets alone lets through about three, and often more); the second
// catches noise mixed with clean packets. A held button (a run of clean packets), a remote far off
// whose packets all need a correction, and a single rejected packet never trip either. Keys act
// again once the line has carried no rejected packet for a second.
#include "receiver/noise.h"

#include <string.h>

void NoiseReset(NoiseGuard* g) {
  memset(g, 0, sizeof *g);
}

// Kind and time of the packet `back` places before the newest (0 = newest).
static int NoiseAt(const NoiseGuard* g, int back, uint32_t* time) {
  int i = (g->next - 1 - back + 2 * kNoiseHistory) % kNoiseHistory;
  *time = g->times[i];
  return g->kinds[i];
}

static bool NoiseTrips(const NoiseGuard* g, uint32_t now) {
  int flawed = 0, rejected = 0, rejectedInRun = 0;
  bool flawedRun = true;
  for (int back = 0; back < g->count; back++) {
    uint32_t time;
    int kind = NoiseAt(g, back, &time);
    if (uint32_t(now - time) > kNoiseWindowMs) break;
    if (back < 3) {
      if (kind == kNoiseClean) flawedRun = false;
      if (kind == kNoiseRejected) rejectedInRun++;
      flawed++;
    }
    if (kind == kNoiseRejected) rejected++;
  }
  return (flawedRun && flawed == 3 && rejectedInRun > 0) || rejected >= 3;
}

int NoiseFeed(NoiseGuard* g, int kind, uint32_t now) {
  if (g->muted) NoiseQuiet(g, now);
  g->kinds[g->next] = uint8_t(kind);
  g->times[g->next] = now;
  g->next = (g->next + 1) % kNoiseHistory;
  if (g->count < kNoiseHistory) g->count++;
  if (kind == kNoiseRejected) g->lastRejected = now;
  if (!g->muted && NoiseTrips(g, now)) {
    g->muted = true;
    g->lastRejected = now;  // quiet is counted from the packet that tripped the guard
  }
  return g->muted ? 1 : 0;
}

int NoiseQuiet(NoiseGuard* g, uint32_t now) {
  if (!g->muted || uint32_t(now - g->lastRejected) < kNoiseQuietMs) return 0;
  g->muted = false;
  g->count = 0;  // what tripped the guard is forgotten
  return 1;
}

uint32_t NoiseQuietInMs(const NoiseGuard* g, uint32_t now) {
  if (!g->muted) return 0;
  uint32_t since = now - g->lastRejected;
  return since >= kNoiseQuietMs ? 0 : kNoiseQuietMs - since;
}

#include "receiver/reconnect.h"

void ReconnectReset(Reconnect* r) {
  r->failures = 0;
}

int ReconnectFailed(Reconnect* r) {
  int wait = kReconnectFirstMs;
  for (int i = 0; i < r->failures && wait < kReconnectMaxMs; i++) wait *= 2;
  if (wait > kReconnectMaxMs) wait = kReconnectMaxMs;
  // Counted no further than needed for the longest wait, so a server away for years cannot wrap it.
  if (wait < kReconnectMaxMs) r->failures++;
  return wait;
}

int ReconnectResumed(Reconnect* r) {
  r->failures = 0;
  return 0;
}

// When the network receiver tries its server again: 1 s after a failure or a lost connection,
// doubling up to 30 s, for ever; from 1 s again once a connection was made, and at once after the
// computer resumed from sleep. Pure code.
#pragma once

enum { kReconnectFirstMs = 1000, kReconnectMaxMs = 30000 };

struct Reconnect {
  int failures;  // attempts since the last connection or resume that found no server
};

void ReconnectReset(Reconnect* r);  // a connection was made
// An attempt failed, or the connection was lost: the wait in ms before the next attempt.
int ReconnectFailed(Reconnect* r);
// The computer resumed from sleep: the wait before the next attempt (0: at once).
int ReconnectResumed(Reconnect* r);

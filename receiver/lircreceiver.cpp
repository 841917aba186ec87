#include "receiver/lircreceiver.h"

// Not wired yet: the client is never started.
int LircReceiverStart(const char*) {
  return -1;
}
int LircReceiverStop() {
  return 0;
}
int LircReceiverRunning() {
  return 0;
}

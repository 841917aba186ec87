#include "receiver/keyring.h"

// The positions count events, not bytes, and never wrap within a session's lifetime in any
// practical sense (2^32 key presses); their difference is the number of unread events, so a full
// ring (32 unread) and an empty one can never be confused.

int KeyRingPut(KeyRing* r, KeyEvent e) {
  int dropped = 0;
  if (r->write - r->read >= kKeyRingSlots) {
    r->read++;  // full: the oldest unread event makes room for the newest
    dropped = 1;
  }
  r->slots[r->write % kKeyRingSlots] = e;
  r->write++;
  return dropped;
}

int KeyRingTake(KeyRing* r, KeyEvent* out) {
  if (r->write == r->read) return 0;
  *out = r->slots[r->read % kKeyRingSlots];
  r->read++;
  return 1;
}

uint32_t KeyRingCount(const KeyRing* r) {
  return r->write - r->read;
}

// Ring storage of the key event queue, without locking (pure code; keyqueue.h adds the lock).
#pragma once
#include <stdint.h>

enum { kKeyRingSlots = 32 };

struct KeyEvent {
  uint8_t enable;     // always 1 from the receiver
  uint8_t code;       // corrected 7-bit key code
  uint32_t time = 0;  // timeGetTime when the packet was complete
};

struct KeyRing {
  KeyEvent slots[kKeyRingSlots];
  uint32_t read;   // count of events taken since start; slot = read % kKeyRingSlots
  uint32_t write;  // count of events put since start
};

// Appends an event; when the ring is full the oldest unread event is dropped. Returns 1 when
// an event was dropped, else 0.
int KeyRingPut(KeyRing* r, KeyEvent e);
// Takes the oldest event into *out. Returns 1 when there was one, 0 when the ring is empty.
int KeyRingTake(KeyRing* r, KeyEvent* out);
uint32_t KeyRingCount(const KeyRing* r);

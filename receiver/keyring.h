// Ring storage of the key event queue, without locking (pure code; keyqueue.h adds the lock).
#pragma once
#include <stdint.h>

enum { kKeyRingSlots = 32, kKeyNameSize = 64 };

// Where a key event came from: the serial receiver (a 7-bit code), a LIRC or WinLIRC server, a key
// of a USB remote taken by the keyboard hook, or a Media Center button read as raw input. The last
// three name their button.
enum KeySource { kKeyFromSerial = 0, kKeyFromNetwork = 1, kKeyFromKeyboard = 2, kKeyFromMce = 3 };

// What the event says of its press. The serial receiver only says that a signal came (the press
// decision tells a new press from a repeat by timing); the other receivers count their signals
// and may tell of the release.
enum KeySignal {
  kKeySignal = 0,         // a signal; new press or repeat by timing
  kKeySignalBegin = 1,    // the receiver says a press begins (LIRC repeat count 0, a key-down)
  kKeySignalRepeat = 2,   // the receiver says this repeats the press
  kKeySignalRelease = 3,  // the receiver says the button was let go: the press ends now
};

struct KeyEvent {
  uint8_t enable;                  // always 1 from the receiver
  uint8_t code;                    // corrected 7-bit key code (serial receiver only)
  uint32_t time = 0;               // timeGetTime when the packet was complete
  uint8_t source = 0;              // KeySource
  uint8_t signal = 0;              // KeySignal
  char remote[kKeyNameSize] = "";  // a named button's remote as its receiver gives it ("DEMO", "keyboard")
  char name[kKeyNameSize] = "";    // a named button's name ("KEY_PLAY", "PLAY"); "" for a serial code
  uint8_t told = 0;  // 1: the key went on to the window in front; its press is logged, never acted on
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

// What every key press found and did, and what the receiver went through: the last
// kActivityCapacity events, in memory only (nothing is written to disk). This header's ring is pure
// code, also built natively; common/activitylog.h is the process-wide locked log that the worker
// threads append to, and app/activitytext.h words the events.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
  kActivityCapacity = 200,
  kActivityTitleSize = 256,
  kActivityProgramSize = 260,
  kActivitySectionSize = 256,
  kActivityLineSize = 256,  // the start of the action line (longer lines end in "...")
  kActivityReasonSize = 160,
};

enum ActivityKind { kActivityPress = 1, kActivityReceiver = 2, kActivityRejected = 3 };

// What a key press did (ActivityEvent.result), with ActivityEvent.detail where it says so.
enum ActivityResult {
  kActivityNoEntry = 0,          // no section had the key; detail: the press's signals (0 or 1: one)
  kActivityKeysSent = 1,         // detail: keystrokes sent
  kActivityKeysRefused = 2,      // detail: the system's error code; keystrokes sent before it: sent
  kActivityAnswered = 3,         // COMMAND or CLOSE handled; detail: the window's answer
  kActivityNoAnswer = 4,         // the window did not answer within 2 s
  kActivityOwnWindow = 5,        // COMMAND or CLOSE for a window of this program: not sent
  kActivityNothingSent = 6,      // COMMAND 0 or without a number, or no window in front
  kActivityStarted = 7,          // EXEC started the program
  kActivityNotStarted = 8,       // detail: the system's error code; reason: its text
  kActivityCutOff = 9,           // a KEYBOARD line cut off by Setup or Exit; sent: keystrokes sent
  kActivityTooLong = 10,         // the line is longer than the longest that runs: not run
  kActivityNoKeyword = 11,       // the line begins with no keyword: not run
  kActivityRepeatsSkipped = 12,  // a press ended; detail: its signals that did nothing, sent: its actions
  kActivityKeyPassed = 13,       // a key of a USB remote no entry serves here went on to the window
};

// Receiver events (ActivityEvent.result of a kActivityReceiver event); port in detail, the network
// receiver's server (HOST[:PORT]) in reason.
enum ActivityReceiverEvent {
  kActivityPortOpened = 0,
  kActivityPortGone = 1,
  kActivityPortWaiting = 2,
  kActivityPortBack = 3,
  kActivityNoPort = 4,
  kActivityNoise = 5,
  kActivityQuiet = 6,
  kActivityNetworkConnected = 7,
  kActivityNetworkNotConnected = 8,
};

// The receiver event that a change of the receiver's state means: states as receiver/link.h's
// ReceiverState (0 no port, 1 open, 2 waiting for the port, 3 noise), `before` -1 when none yet.
// -1 when the change means nothing new.
int ActivityReceiverEventOf(int before, int state);

struct ActivityEvent {
  uint32_t sequence;  // set by the ring: 1, 2, 3, ... in the order of arrival
  int64_t time;       // local time in milliseconds (only the time of day is shown)
  int kind;           // ActivityKind
  int code;           // key code of a press (serial receiver)
  int source;         // a press's KeySource (receiver/keyring.h); 0 the serial receiver
  char remote[64];    // a named button's remote and name (other sources); "" for a serial code
  char name[64];
  int result;    // ActivityResult or ActivityReceiverEvent
  long detail;   // see the enums; the count of a kActivityRejected line
  int sent;      // keystrokes sent (kActivityKeysRefused, kActivityCutOff)
  int blocked;   // keys sent to a window that runs with higher rights
  uint32_t pid;  // process of the window in front (0: none)
  char title[kActivityTitleSize];
  char program[kActivityProgramSize];  // "notepad.exe"; filled in later from pid when empty
  char section[kActivitySectionSize];  // the section that served, "" for none
  char line[kActivityLineSize];
  char reason[kActivityReasonSize];  // kActivityNotStarted: the system's reason
};

struct ActivityRing {
  ActivityEvent events[kActivityCapacity];
  unsigned first;  // index of the oldest event
  unsigned count;
  uint32_t nextSequence;
};

void ActivityRingClear(ActivityRing* ring);
// Appends a copy of `e` (the oldest event makes room when the ring is full). Returns its sequence.
uint32_t ActivityRingAdd(ActivityRing* ring, const ActivityEvent* e);
// A rejected packet at `time`: counted into the newest event when that is a rejected-packets line
// of the same second, else a new line. Returns the sequence of the line counted into.
uint32_t ActivityRingAddRejected(ActivityRing* ring, int64_t time);
// The index-th event, 0 the oldest; null past the newest.
ActivityEvent* ActivityRingAt(ActivityRing* ring, unsigned index);
const ActivityEvent* ActivityRingAt(const ActivityRing* ring, unsigned index);

// Copies text into a field of `size` bytes: cut at size - 1, ending in "..." when cut.
void ActivityCopyField(char* field, size_t size, const char* text);

// The key event queue shared by the reader thread and one consumer. Every access, the
// emptiness test included, is made under one lock, so no thread ever reads a position while
// another writes it. The lock is a critical section initialised once, before main runs, and
// never deleted: no thread is ever killed while holding it, so it needs no renewal at restarts.
#include "receiver/keyqueue.h"

#include <windows.h>

static KeyRing queue;
static CRITICAL_SECTION queueLock;

namespace {
struct QueueLockInit {
  QueueLockInit() { InitializeCriticalSection(&queueLock); }
} queueLockInit;
}  // namespace

void QueuePut(KeyEvent e) {
  EnterCriticalSection(&queueLock);
  KeyRingPut(&queue, e);
  LeaveCriticalSection(&queueLock);
}

int QueueTake(KeyEvent* out) {
  EnterCriticalSection(&queueLock);
  int taken = KeyRingTake(&queue, out);
  LeaveCriticalSection(&queueLock);
  return taken;
}

void QueueClear() {
  EnterCriticalSection(&queueLock);
  queue.read = queue.write;
  LeaveCriticalSection(&queueLock);
}

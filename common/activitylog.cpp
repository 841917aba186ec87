// The locked activity log. Adding is on the key path, so it does no more than copy the event into
// the ring under a critical section. The window is told apart from that, with one message for all
// that was added since (the window's thread reads them all at once), and not again while that
// message is on its way.
#include "common/activitylog.h"

static ActivityRing ring;
static CRITICAL_SECTION ringLock;
static HWND window;  // written on the main thread before any worker thread exists
static LONG posted;  // 1 from a post until the window's thread calls ActivityLogTaken

namespace {
struct RingLockInit {
  RingLockInit() {
    InitializeCriticalSection(&ringLock);
    ActivityRingClear(&ring);
  }
} ringLockInit;
}  // namespace

void ActivityLogSetWindow(HWND to) {
  window = to;
  InterlockedExchange(&posted, 0);
}

int64_t ActivityNow() {
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
  ULARGE_INTEGER t;
  t.LowPart = local.dwLowDateTime;
  t.HighPart = local.dwHighDateTime;
  return int64_t(t.QuadPart / 10000);
}

static LONG added;  // 1 when events were added since the last ActivityLogTell

void ActivityLogTell() {
  if (!InterlockedExchange(&added, 0)) return;
  if (window && InterlockedExchange(&posted, 1) == 0) {
    if (!PostMessageA(window, kMsgActivity, 0, 0)) InterlockedExchange(&posted, 0);
  }
}

uint32_t ActivityLogAdd(const ActivityEvent* e) {
  int64_t now = e->time ? e->time : ActivityNow();
  EnterCriticalSection(&ringLock);
  uint32_t sequence = ActivityRingAdd(&ring, e);
  ActivityRingAt(&ring, ring.count - 1)->time = now;
  LeaveCriticalSection(&ringLock);
  InterlockedExchange(&added, 1);
  return sequence;
}

void ActivityLogRejected() {
  int64_t now = ActivityNow();
  EnterCriticalSection(&ringLock);
  ActivityRingAddRejected(&ring, now);
  LeaveCriticalSection(&ringLock);
  InterlockedExchange(&added, 1);
  ActivityLogTell();
}

void ActivityLogTaken() {
  InterlockedExchange(&posted, 0);
}

void ActivityLogRead(void (*read)(ActivityRing*, void*), void* context) {
  EnterCriticalSection(&ringLock);
  read(&ring, context);
  LeaveCriticalSection(&ringLock);
}

void ActivityLogClear() {
  EnterCriticalSection(&ringLock);
  ring.first = ring.count = 0;  // sequences go on: readers keep track by them
  LeaveCriticalSection(&ringLock);
}

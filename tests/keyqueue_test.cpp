#include "receiver/keyqueue.h"

#include <gtest/gtest.h>
#include <windows.h>

// A writer thread and a consumer thread race through the locked queue: every event put is taken
// exactly once and in order, as long as the consumer keeps up (the ring never overflows here).
static DWORD WINAPI Writer(LPVOID arg) {
  HANDLE room = arg;
  for (int i = 0; i < 20000; i++) {
    WaitForSingleObject(room, INFINITE);  // one slot's worth of room per event
    QueuePut({1, uint8_t(i & 0x7F)});
  }
  return 0;
}

TEST(KeyQueue, WriterAndConsumerThreadsLoseNothing) {
  QueueClear();
  HANDLE room = CreateSemaphoreA(nullptr, 16, 16, nullptr);
  HANDLE writer = CreateThread(nullptr, 0, Writer, room, 0, nullptr);
  int next = 0;
  while (next < 20000) {
    KeyEvent e;
    if (!QueueTake(&e)) continue;
    ASSERT_EQ(e.code, next & 0x7F);
    ASSERT_EQ(e.enable, 1);
    next++;
    ReleaseSemaphore(room, 1, nullptr);
  }
  EXPECT_EQ(WaitForSingleObject(writer, 10000), WAIT_OBJECT_0);
  CloseHandle(writer);
  CloseHandle(room);
}

TEST(KeyQueue, FortyEventsWithoutConsumerKeepTheNewestThirtyTwo) {
  QueueClear();
  for (int i = 0; i < 40; i++) QueuePut({1, uint8_t(i)});
  KeyEvent e;
  for (int i = 8; i < 40; i++) {
    ASSERT_EQ(QueueTake(&e), 1);
    EXPECT_EQ(e.code, i);
  }
  EXPECT_EQ(QueueTake(&e), 0);
}

TEST(KeyQueue, ClearDropsUnreadEvents) {
  QueuePut({1, 3});
  QueuePut({1, 4});
  QueueClear();
  KeyEvent e;
  EXPECT_EQ(QueueTake(&e), 0);
}

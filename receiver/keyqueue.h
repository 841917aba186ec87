// The process-wide key event queue: the reader thread puts, one consumer at a time takes
// (the dispatch thread, or the test dialog's indicator thread). Every call takes the lock.
#pragma once
#include "receiver/keyring.h"

void QueuePut(KeyEvent e);
int QueueTake(KeyEvent* out);  // 1 = an event was taken, 0 = empty
void QueueClear();             // drops every unread event

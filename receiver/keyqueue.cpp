// Placeholder until the key event queue lands.
#include "receiver/keyqueue.h"

void QueuePut(KeyEvent) {}
int QueueTake(KeyEvent*) { return 0; }
void QueueClear() {}

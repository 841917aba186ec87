// Placeholder until the serial link lands: the receiver never starts.
#include "receiver/link.h"

HANDLE gKeyReadyEvent;
HANDLE gStopEvent;

int ReceiverStart(int, int) { return -1; }
int ReceiverStop() { return 0; }

// Placeholder until the interpreter lands.
#include "actions/interp.h"

int RunActionLine(HWND, const char*, BYTE) { return -1; }
void ActionSetCancelEvent(HANDLE) {}

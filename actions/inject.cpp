// Placeholder until keystroke injection lands.
#include "actions/inject.h"

KeystrokeBackEnd gKeystrokeBackEnd;
int ChooseKeystrokeBackEnd(const OSVERSIONINFOA*) { return -2; }

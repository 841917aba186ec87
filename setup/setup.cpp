// Placeholder until the setup dialog lands.
#include "setup/setup.h"

int OpenSetupDialog(HMODULE, HWND) { return 0; }

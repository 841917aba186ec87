// Placeholder until keystroke injection lands.
#include "actions/inject.h"

KeystrokeBackEnd gKeystrokeBackEnd;
int ChooseKeystrokeBackEnd(const OSVERSIONINFOA*) { return -2; }
bool UsesKeyDriver(const OSVERSIONINFOA* version) {
  return version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version->dwMinorVersion == 0;
}
int CloseKeyDriver() { return 0; }

// Keystroke injection. The back end is SendInput, looked up at run time in USER32 (the program
// does not import it, so it still loads where the function is missing), or on Windows 95 the
// keystroke driver, which takes a list of PC scan codes (set 1): the make code from the current
// layout for a press, the same with bit 7 for a release, and a 0xE0 byte ahead of every key of
// the extended block. The driver learns the list's length from its first entry.
#include "actions/inject.h"

// Keystroke records lie 28 bytes apart on 32-bit Windows (the record size the driver back end and
// every caller assume there) and 40 on 64-bit.
static_assert(sizeof(INPUT) == (sizeof(void*) == 4 ? 28 : 40), "INPUT record size");

KeystrokeBackEnd gKeystrokeBackEnd;
KeyDriverControlFn gKeyDriverControl = SendKeyDriverControl;

static HANDLE keyDriver = INVALID_HANDLE_VALUE;

enum { kDriverSendKeys = 1, kExtendedPrefix = 0xE0, kScanBreak = 0x80 };

static const WORD kExtendedKeys[] = {
    VK_RCONTROL, VK_DIVIDE, VK_RMENU, VK_HOME, VK_UP,     VK_PRIOR,  VK_LEFT,
    VK_RIGHT,    VK_END,    VK_DOWN,  VK_NEXT, VK_INSERT, VK_DELETE,
};

bool UsesKeyDriver(const OSVERSIONINFOA* version) {
  return version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version->dwMinorVersion == 0;
}

int ChooseKeystrokeBackEnd(const OSVERSIONINFOA* version) {
  if (UsesKeyDriver(version)) {
    gKeystrokeBackEnd = DriverSendInput;
    return OpenKeyDriver() == 0 ? 0 : -2;
  }
  HMODULE user = GetModuleHandleA("USER32");
  FARPROC sendInput = user ? GetProcAddress(user, "SendInput") : nullptr;
  gKeystrokeBackEnd = reinterpret_cast<KeystrokeBackEnd>(sendInput);
  return sendInput ? 0 : -2;
}

UINT WINAPI DriverSendInput(UINT count, LPINPUT records, int) {
  if (count > (MAXDWORD - 1) / 2) return 0;
  DWORD* list = static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, (2 * SIZE_T(count) + 1) * sizeof(DWORD)));
  if (!list) return 0;  // nothing sent: the caller sees a short count
  DWORD n = 0;
  for (UINT i = 0; i < count; i++) {
    WORD vk = records[i].ki.wVk;
    for (WORD extended : kExtendedKeys) {
      if (extended == vk) list[1 + n++] = kExtendedPrefix;
    }
    DWORD scan = MapVirtualKeyA(vk, 0);
    if (records[i].ki.dwFlags & KEYEVENTF_KEYUP) scan |= kScanBreak;
    list[1 + n++] = scan;
  }
  list[0] = n;
  gKeyDriverControl(kDriverSendKeys, list);
  HeapFree(GetProcessHeap(), 0, list);
  return count;
}

int OpenKeyDriver() {
  keyDriver = CreateFileA("\\\\.\\REMOTE.VXD", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (keyDriver != INVALID_HANDLE_VALUE) return 0;
  DWORD error = GetLastError();
  return error ? int(error) : -1;
}

int CloseKeyDriver() {
  if (keyDriver != INVALID_HANDLE_VALUE) CloseHandle(keyDriver);
  keyDriver = INVALID_HANDLE_VALUE;
  return 0;
}

int SendKeyDriverControl(DWORD controlCode, void* input) {
  DWORD returned = 0;
  // Input size 0: the driver reads the length from the list's first entry.
  BOOL ok = DeviceIoControl(keyDriver, controlCode, input, 0, nullptr, 0, &returned, nullptr);
  return ok ? 0 : -1;
}

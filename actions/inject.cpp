// Keystroke injection. The back end is SendInput, looked up at run time in USER32 (the program
// does not import it, so it still loads where the function is missing), or on Windows 95 the
// keystroke driver, which takes a list of PC scan codes (set 1): the make code from the current
// layout for a press, the same with bit 7 for a release, and a 0xE0 byte ahead of every key of
// the extended block. The driver learns the list's length from its first entry. The Windows
// and media keys have fixed scan codes that many layouts do not report (the mapping gives 0),
// so the extended-key table carries theirs. SendInput records of the extended block get
// KEYEVENTF_EXTENDEDKEY, the counterpart of the driver's 0xE0, so that programs reading scan
// codes see the real key (the arrow, not the number pad's 8).
#include "actions/inject.h"

#include "actions/keyparse.h"

// Keystroke records lie 28 bytes apart on 32-bit Windows (the record size the driver back end and
// every caller assume there) and 40 on 64-bit.
static_assert(sizeof(INPUT) == (sizeof(void*) == 4 ? 28 : 40), "INPUT record size");

KeystrokeBackEnd gKeystrokeBackEnd;
KeyDriverControlFn gKeyDriverControl = SendKeyDriverControl;

static HANDLE keyDriver = INVALID_HANDLE_VALUE;

enum { kDriverSendKeys = 1, kExtendedPrefix = 0xE0, kScanBreak = 0x80 };

// Keys preceded by 0xE0, with the make code to send (0: the layout's, from MapVirtualKeyA).
static const struct {
  WORD vk;
  BYTE scan;
} kExtendedKeys[] = {
    {VK_RCONTROL, 0},
    {VK_DIVIDE, 0},
    {VK_RMENU, 0},
    {VK_HOME, 0},
    {VK_UP, 0},
    {VK_PRIOR, 0},
    {VK_LEFT, 0},
    {VK_RIGHT, 0},
    {VK_END, 0},
    {VK_DOWN, 0},
    {VK_NEXT, 0},
    {VK_INSERT, 0},
    {VK_DELETE, 0},
    {VK_LWIN, 0x5B},
    {VK_APPS, 0x5D},
    {VK_VOLUME_UP, 0x30},
    {VK_VOLUME_DOWN, 0x2E},
    {VK_VOLUME_MUTE, 0x20},
    {VK_MEDIA_PLAY_PAUSE, 0x22},
    {VK_MEDIA_STOP, 0x24},
    {VK_MEDIA_NEXT_TRACK, 0x19},
    {VK_MEDIA_PREV_TRACK, 0x10},
};

// Index of vk in kExtendedKeys, or -1.
static int ExtendedKey(WORD vk) {
  for (int i = 0; i < int(sizeof kExtendedKeys / sizeof kExtendedKeys[0]); i++) {
    if (kExtendedKeys[i].vk == vk) return i;
  }
  return -1;
}

void InjectMarkExtended(INPUT* records, UINT count) {
  for (UINT i = 0; i < count; i++) {
    if (ExtendedKey(records[i].ki.wVk) >= 0) records[i].ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  }
}

unsigned KeyCharFromLayout(unsigned char c) {
  SHORT key = VkKeyScanA(static_cast<CHAR>(c));
  if (key == -1) return 0;
  return unsigned(key) & 0xFF;  // the key alone: Shift, Ctrl and Alt in the high byte are not pressed
}

bool UsesKeyDriver(const OSVERSIONINFOA* version) {
  return version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version->dwMinorVersion == 0;
}

int ChooseKeystrokeBackEnd(const OSVERSIONINFOA* version) {
  gKeyCharMap = KeyCharFromLayout;
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
    int extended = ExtendedKey(vk);
    if (extended >= 0) list[1 + n++] = kExtendedPrefix;
    DWORD scan =
        extended >= 0 && kExtendedKeys[extended].scan ? kExtendedKeys[extended].scan : MapVirtualKeyA(vk, 0);
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

// Media Center buttons through raw input on the hidden main window: the registration of the two
// collections and the handling of WM_INPUT.
#pragma once
#include <windows.h>

// The platform calls, replaceable by tests (this machine has no such device).
struct RawInputSeam {
  UINT(WINAPI* getData)(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize);
  UINT(WINAPI* getDeviceInfo)(HANDLE device, UINT command, LPVOID data, PUINT size);
};
extern RawInputSeam gRawInputSeam;  // GetRawInputData and GetRawInputDeviceInfoA

enum { kRawInputPress = 0, kRawInputRepeat = 1, kRawInputRelease = 2 };
// Called on the main window's thread for each button: its name (remote kMceRemote) and phase;
// for a release the name of the button released. It must return at once (enqueue).
typedef void (*RawInputHandler)(const char* name, int phase, void* context);

// Registers `window` for the Media Center page (0xFFBC/0x88) and consumer control (0x0C/0x01),
// RIDEV_INPUTSINK: reports come also while another program is in front. 0, or -1.
int RawInputRegister(HWND window);
// Removes the registration of both collections.
void RawInputUnregister();
void RawInputSetHandler(RawInputHandler handler, void* context);
// The main window's WM_INPUT with its lParam: hands each button of the input's reports to the
// handler. Returns how many it handed, -1 when the input could not be read or is too large.
// The window procedure still passes WM_INPUT on to DefWindowProc.
int RawInputHandle(LPARAM input);

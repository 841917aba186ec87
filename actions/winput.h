// The platform's keystroke record. On Windows it is INPUT from <windows.h>; the native
// (sanitizer and fuzz) build of the parser gets a stand-in with the same fields.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <stdint.h>
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef uintptr_t ULONG_PTR;
struct KEYBDINPUT {
  WORD wVk;
  WORD wScan;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};
struct MOUSEINPUT_PAD {
  long dx, dy;
  DWORD mouseData, dwFlags, time;
  ULONG_PTR dwExtraInfo;
};
struct INPUT {
  DWORD type;
  union {
    MOUSEINPUT_PAD mi;
    KEYBDINPUT ki;
  };
};
typedef INPUT* LPINPUT;
#define INPUT_KEYBOARD 1
#define KEYEVENTF_KEYUP 0x0002
#endif

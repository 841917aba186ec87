// A program that looks like a running remote.exe to the installer but never answers: it creates a
// window of the program's class, writes "ready" to a file, and then stops reading its messages.
// The installer's and uninstaller's "close the running program" must not wait for it forever.
// Usage: hungwindow.exe READYFILE [SECONDS]   (ends by itself after SECONDS, default 120)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: hungwindow READYFILE [SECONDS]\n");
    return 2;
  }
  DWORD seconds = argc > 2 ? DWORD(atoi(argv[2])) : 120;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "HalvestaRemoteTBClass";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Halvesta Remote Control", WS_OVERLAPPEDWINDOW,
                                0, 0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!window) return 1;
  FILE* ready = fopen(argv[1], "w");
  if (!ready) return 1;
  fputs("ready\n", ready);
  fclose(ready);
  Sleep(seconds * 1000);  // no message loop: sent messages are never answered
  return 0;
}

// A target window for the end-to-end tests: a top-level window with the title given on the command
// line that stays in front and writes what reaches it, one line each, to a log file:
//   ready                 once the window is shown and in front
//   down 0x41 T / up 0x41 T   WM_KEYDOWN / WM_KEYUP (and the SYS forms): virtual-key code, and
//                         T, the performance counter in microseconds when the message arrived
//   command 57            WM_COMMAND with its wParam
//   close                 WM_CLOSE (the window then ends, unless HOLD is given)
//   title TEXT            the window took the title written into the file LOGFILE.title
// Usage: keysink.exe TITLE LOGFILE [SECONDS [HOLD]]   (ends by itself after SECONDS, default 120)
// The window's class is "RemoteTestKeySink". A test changes the title at run time by writing the
// new one into LOGFILE.title (looked at every 50 ms).
// With HOLD the close handler blocks for HOLD seconds without handling any message, as a program
// busy asking "save changes?" would, and the window then stays open.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static FILE* logFile;
static int closeHoldSeconds = -1;  // -1: WM_CLOSE ends the window

static void Log(const char* format, unsigned value) {
  fprintf(logFile, format, value);
  fflush(logFile);
}

static long long NowMicroseconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  long long f = frequency.QuadPart;
  return now.QuadPart / f * 1000000 + now.QuadPart % f * 1000000 / f;
}

static void LogKey(const char* what, WPARAM vk) {
  fprintf(logFile, "%s 0x%02X %lld\n", what, unsigned(vk), NowMicroseconds());
  fflush(logFile);
}

static LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      LogKey("down", wParam);
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      LogKey("up", wParam);
      return 0;
    case WM_COMMAND:
      Log("command %u\n", unsigned(wParam));
      return 0;
    case WM_CLOSE:
      Log("close\n", 0);
      if (closeHoldSeconds >= 0) {
        Sleep(DWORD(closeHoldSeconds) * 1000);
        return 0;
      }
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: keysink TITLE LOGFILE [SECONDS [HOLD]]\n");
    return 2;
  }
  logFile = fopen(argv[2], "w");
  if (!logFile) return 2;
  unsigned seconds = argc > 3 ? unsigned(atoi(argv[3])) : 120;
  if (argc > 4) closeHoldSeconds = atoi(argv[4]);

  WNDCLASSA wc = {};
  wc.lpfnWndProc = SinkProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "RemoteTestKeySink";
  wc.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW, 100, 100, 400, 200,
                                nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 2;
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);
  SetTimer(window, 1, seconds * 1000, nullptr);
  SetTimer(window, 2, 50, nullptr);
  char titleFile[MAX_PATH];
  snprintf(titleFile, sizeof titleFile, "%s.title", argv[2]);
  Log("ready\n", 0);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == 2) {
      FILE* f = fopen(titleFile, "rb");
      if (!f) continue;
      char title[256];
      size_t n = fread(title, 1, sizeof title - 1, f);
      fclose(f);
      title[n] = '\0';
      char now[256];
      GetWindowTextA(window, now, sizeof now);
      if (strcmp(now, title) != 0) {
        SetWindowTextA(window, title);
        fprintf(logFile, "title %s\n", title);
        fflush(logFile);
      }
      continue;
    }
    if (msg.message == WM_TIMER && msg.hwnd == window) {
      DestroyWindow(window);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  fclose(logFile);
  return 0;
}

// Cost of recording a key press on the key path: what DispatchEvent adds for the activity log (the
// time of day, the window's process id, the copy into the locked ring and the message to the main
// window), timed on a worker thread while the main thread handles the messages as the program does,
// once with the Activity window closed and once with it open and following the new lines.
// Prints "closed MEDIAN P99 TELL-MEDIAN TELL-P99" and the same for "open", in microseconds: the
// record itself (before the next key), and the message to the main window (once the queue is empty).
// Usage: activitybench.exe [PRESSES]   (REMOT001.DLL beside it)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "app/activitywin.h"
#include "common/activitylog.h"
#include "common/process.h"

static int presses = 2000;
static std::vector<double> costs, tells;
static HWND front;

static DWORD WINAPI Presser(LPVOID) {
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  for (int i = 0; i < presses; i++) {
    QueryPerformanceCounter(&a);
    ActivityEvent record;
    memset(&record, 0, offsetof(ActivityEvent, title));
    record.time = ActivityNow();
    record.kind = kActivityPress;
    record.code = i % 128;
    DWORD pid = 0;
    GetWindowThreadProcessId(front, &pid);
    record.pid = pid;
    strcpy(record.title, "Untitled - Notepad");
    strcpy(record.section, "notepad.exe");
    record.program[0] = record.reason[0] = '\0';
    ActivityCopyField(record.line, sizeof record.line, "KEYBOARD CTRL+S+^S+^CTRL");
    record.result = kActivityKeysSent;
    record.detail = 4;
    ActivityLogAdd(&record);
    QueryPerformanceCounter(&b);
    costs.push_back(double(b.QuadPart - a.QuadPart) * 1e6 / double(f.QuadPart));
    QueryPerformanceCounter(&a);
    ActivityLogTell();  // as the dispatch thread does when its queue is empty
    QueryPerformanceCounter(&b);
    tells.push_back(double(b.QuadPart - a.QuadPart) * 1e6 / double(f.QuadPart));
    Sleep(2);  // presses come apart; the main thread handles each
  }
  return 0;
}

static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == kMsgActivity) {
    ActivityOnNewEvents(w);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

static void Run(const char* name, HWND main) {
  costs.clear();
  tells.clear();
  HANDLE t = CreateThread(nullptr, 0, Presser, nullptr, 0, nullptr);
  while (WaitForSingleObject(t, 0) != WAIT_OBJECT_0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      HWND a = ActivityWindowHandle();
      if (a && IsDialogMessageA(a, &msg)) continue;
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(1, &t, FALSE, 50, QS_ALLINPUT);
  }
  CloseHandle(t);
  (void)main;
  std::sort(costs.begin(), costs.end());
  std::sort(tells.begin(), tells.end());
  printf("%s %.2f %.2f %.2f %.2f\n", name, costs[costs.size() / 2], costs[costs.size() * 99 / 100],
         tells[tells.size() / 2], tells[tells.size() * 99 / 100]);
}

int main(int argc, char** argv) {
  if (argc > 1) presses = atoi(argv[1]);
  gLanguageModule = LoadLibraryA("REMOT001.DLL");
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ActivityBench";
  RegisterClassA(&wc);
  HWND main = CreateWindowExA(0, wc.lpszClassName, "bench", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
  front = main;
  ActivityLogSetWindow(main);
  Run("closed", main);
  if (!gLanguageModule || ActivityWindowOpen(gLanguageModule, main) < 0) {
    printf("open none\n");
    return 1;
  }
  Run("open", main);
  return 0;
}

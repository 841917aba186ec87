// Cost of drawing one text of the on-screen display on the main thread: OsdShow (placing the window
// on the monitor in front, measuring the text, showing it and painting it at once), for texts of
// every kind in turn, as presses replace one another.
// Prints "draw MEDIAN P99 MAX" in milliseconds.
// Usage: osdbench.exe [TEXTS]   (REMOT001.DLL beside it)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "app/osd.h"
#include "common/process.h"

int main(int argc, char** argv) {
  int texts = argc > 1 ? atoi(argv[1]) : 500;
  gProgramInstance = GetModuleHandleA(nullptr);
  gLanguageModule = LoadLibraryA("REMOT001.DLL");
  static const WCHAR* const kTexts[] = {L"Ctrl+S",
                                        L"Volume up \x00D7"
                                        L"4",
                                        L"Started vlc.exe",
                                        L"Key9 does nothing in vlc.exe",
                                        L"Close",
                                        L"Command 57"};
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  std::vector<double> ms;
  for (int i = 0; i < texts; i++) {
    QueryPerformanceCounter(&a);
    OsdShow(kTexts[i % 6], 1500);
    QueryPerformanceCounter(&b);
    ms.push_back(double(b.QuadPart - a.QuadPart) * 1000.0 / double(f.QuadPart));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  OsdStop();
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) return 1;
  printf("draw %.3f %.3f %.3f\n", ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)],
         ms.back());
  return 0;
}

// What the in-process benchmarks share: microseconds between two performance-counter readings, and
// one line per measured case, "NAME COUNT MEDIAN P99" (microseconds), read by tools/bench.sh.
#pragma once
#include <stdio.h>
#include <windows.h>

#include <algorithm>
#include <vector>

inline double Micros(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(b.QuadPart - a.QuadPart) * 1e6 / double(frequency.QuadPart);
}

inline void Print(const char* name, std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  printf("%s %d %.2f %.2f\n", name, int(us.size()), us[us.size() / 2], us[us.size() * 99 / 100]);
}

// keyfloor: the floor of the key latency benchmark (tools/bench.sh). It does what the program
// does at the end of its key path, and nothing before: one SendInput call with a key's press and
// release (as the program sends the group "A+^A"), into whatever window is in front. Each call is
// printed as remotesim prints its packets, "key N: at T" with T the performance counter in
// microseconds just before the call, so the benchmark pairs both with the key sink's log alike.
// Usage: keyfloor [--repeat N] [--gap MS] [--vk CODE]      (defaults 200, 60, 0x41)
#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static double NowMicroseconds() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1e6 * double(c.QuadPart) / double(f.QuadPart);
}

int main(int argc, char** argv) {
  long repeat = 200, gap = 60, vk = 0x41;
  for (int i = 1; i + 1 < argc; i += 2) {
    long* target = !strcmp(argv[i], "--repeat") ? &repeat
                   : !strcmp(argv[i], "--gap")  ? &gap
                   : !strcmp(argv[i], "--vk")   ? &vk
                                                : nullptr;
    if (!target) {
      fprintf(stderr, "usage: keyfloor [--repeat N] [--gap MS] [--vk CODE]\n");
      return 2;
    }
    *target = strtol(argv[i + 1], nullptr, 0);
  }
  timeBeginPeriod(1);
  for (long n = 0; n < repeat; n++) {
    Sleep(DWORD(gap));
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = WORD(vk);
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    double t = NowMicroseconds();
    if (SendInput(2, keys, sizeof(INPUT)) != 2) {
      fprintf(stderr, "keyfloor: SendInput failed (error %lu)\n", GetLastError());
      timeEndPeriod(1);
      return 1;
    }
    printf("key %ld: at %.0f\n", vk, t);
  }
  fflush(stdout);
  timeEndPeriod(1);
  return 0;
}

// Times what held buttons add to the dispatch thread, in process (tools/bench.sh):
//   event: the press module for one key event (PressFeed, PressFollow for a new press, PressTick
//          and PressWaitMs), over buttons held for ten signals 110 ms apart, policies taking turns
//          (every signal, once, repeat, a long press);
//   press: what a new press asks the profile besides its line, the values the dispatch thread keeps
//          of the profile being current (one look at the copy's generation, the .hold entry of the
//          section that served), in a profile of 500 sections of 40 keys with a .hold entry for
//          every key;
//   unkept: the same asked of the profile as the dispatch thread did before it kept them (the
//          look at the file, .hold, hold= of [default], whether any section has a long press for
//          it, the four timings).
// Prints one line each: name, count, median and 99th percentile in microseconds.
// Usage: holdbench.exe FOLDER [EVENTS]
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions/press.h"
#include "profile/profile.h"
#include "tools/benchstats.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int events = argc > 2 ? atoi(argv[2]) : 100000;
  const PressTimings timings = kPressDefaultTimings;
  Press press;
  PressReset(&press);
  std::vector<double> us;
  uint32_t now = 1000;
  int acted = 0;
  for (int i = 0; i < events; i++) {
    int code = (i / 10) % 7;
    int policy = code % 3;
    now += i % 10 ? 110 : 400;
    KeyEvent e = {1, uint8_t(code), now};
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    int step = PressFeed(&press, &e, &timings);
    if (step & kPressBegins) step |= PressFollow(&press, policy, code == 6, &timings);
    step |= PressTick(&press, now, &timings);
    uint32_t wait = PressWaitMs(&press, now, &timings);
    QueryPerformanceCounter(&b);
    acted += (step & (kPressRunShort | kPressRunLong | kPressAgain)) != 0 && wait != 0;
    us.push_back(Micros(a, b));
  }
  Print("event", us);

  std::string text = "[default]\r\nport=1\r\n";
  char line[64];
  for (int s = 1; s <= 500; s++) {
    snprintf(line, sizeof line, s < 500 ? "[Other Window %03d]\r\n" : "[Bench Sink]\r\n", s);
    text += line;
    for (int k = 0; k < 40; k++) {
      snprintf(line, sizeof line, "Key%d=KEYBOARD B+^B\r\nKey%d.hold=every\r\n", k, k);
      text += line;
    }
  }
  std::string path = std::string(argv[1]) + "\\holdbench.ini";
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 2;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  Sleep(100);  // past the file system's time step: the copy is then kept
  ProfileRefresh(path.c_str());
  unsigned generation = ProfileGeneration();
  us.clear();
  for (int i = 0; i < events / 10; i++) {
    char value[32];
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    int found = ProfileGeneration() == generation;
    found += ProfileGet("Bench Sink", "Key12.hold", value, sizeof value - 1);
    QueryPerformanceCounter(&b);
    if (found != 2) return 1;
    us.push_back(Micros(a, b));
  }
  Print("press", us);
  us.clear();
  for (int i = 0; i < events / 10; i++) {
    char value[32];
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    ProfileRefresh(path.c_str());
    int found = ProfileGet("Bench Sink", "Key12.hold", value, sizeof value - 1);
    found += ProfileGet("default", "hold", value, sizeof value - 1);
    found += ProfileAnyKey("Key12.long");
    for (const char* timing : kPressTimingNames)
      found += ProfileGet("default", timing, value, sizeof value - 1);
    QueryPerformanceCounter(&b);
    if (found != 1) return 1;
    us.push_back(Micros(a, b));
  }
  Print("unkept", us);
  return acted > 0 ? 0 : 1;
}

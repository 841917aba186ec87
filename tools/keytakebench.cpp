// Times the keyboard hook's decision for one key in process (tools/bench.sh): whether the key may
// be taken and whether the table serves it in the window in front, with a table of 500 sections
// (250 titles, 250 title patterns; each names PLAY, NEXT, F13 and VOLUP), plus a class and a
// program section. Three kinds of key: one served in the window in front, in its last section;
// one that may be taken but is served nowhere there; a letter, as every ordinary typed key. The
// served key twice: the first key in a window (the cache, which keeps what the window's sections
// serve, is of another window: the decision walks every section) and the next ones, as the hook
// decides them (through its cache, while the window keeps its texts). The table itself: how long
// KeyTableBuild takes for the profile of these 500 sections, which it reads on every change.
// Prints one line each: name, count, median and 99th percentile in microseconds.
// Usage: keytakebench.exe [DECISIONS]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include <string>

#include "actions/keytable.h"
#include "actions/keytake.h"
#include "tools/benchstats.h"

int main(int argc, char** argv) {
  int decisions = argc > 1 ? atoi(argv[1]) : 100000;
  KeyTakeTable* table = KeyTakeTableNew(502);
  if (!table) return 1;
  char text[64];
  for (int i = 0; i < 500; i++) {
    snprintf(text, sizeof text, i < 250 ? "Other Window %03d" : "*Other Window %03d*", i);
    for (unsigned vk : {0xB3u, 0xB0u, 0x7Cu, 0xAFu})
      KeyTakeTableAdd(table, i < 250 ? kKeyTakeTitle : kKeyTakePattern, text, vk);
  }
  KeyTakeTableAdd(table, kKeyTakeClass, "Notepad", 0xB1);
  KeyTakeTableAdd(table, kKeyTakeProgram, "bench.exe", 0xB3);
  const KeyTakeWindow front = {"Bench Sink - Other Window 499 of many", "BenchSink", "bench.exe"};
  const KeyTakeWindow before = {"Bench Sink - Other Window 498 of many", "BenchSink", "bench.exe"};
  static const struct {
    const char* name;
    unsigned vk;
    int want;
    bool cached;
  } kKinds[] = {{"first", 0xB3, 1, false},
                {"served", 0xB3, 1, true},
                {"unserved", 0xB1, 0, true},
                {"letter", 'A', 0, true}};
  int wrong = 0;
  static KeyTakeCache cache;
  for (const auto& kind : kKinds) {
    std::vector<double> us;
    us.reserve(size_t(decisions));
    for (int i = 0; i < decisions; i++) {
      if (!kind.cached) KeyTakeDecideCached(table, kind.vk, &before, &cache);  // the window before
      LARGE_INTEGER a, b;
      QueryPerformanceCounter(&a);
      int taken = KeyTakeAllowed(kind.vk, 0) && KeyTakeDecideCached(table, kind.vk, &front, &cache);
      QueryPerformanceCounter(&b);
      wrong += taken != kind.want;
      us.push_back(Micros(a, b));
    }
    Print(kind.name, us);
  }
  KeyTakeTableFree(table);

  std::string profile = "[default]\r\nport=1\r\n";
  for (int i = 0; i < 500; i++) {
    snprintf(text, sizeof text, i < 250 ? "[Other Window %03d]\r\n" : "[*Other Window %03d*]\r\n", i);
    profile += text;
    for (int k = 0; k < 40; k++) {
      snprintf(text, sizeof text, "Key%d=KEYBOARD B+^B\r\n", k);
      profile += text;
    }
    profile += "Key.PLAY=KEYBOARD P\r\nKey.NEXT=KEYBOARD N\r\nKey.F13=KEYBOARD F\r\nKey.VOLUP=KEYBOARD V\r\n";
  }
  std::vector<double> us;
  for (int i = 0; i < 50; i++) {
    int wants;
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    KeyTakeTable* built = KeyTableBuild(profile.data(), profile.size(), &wants);
    QueryPerformanceCounter(&b);
    wrong += !built || built->count != 750;  // 250 titles and as many programs, 250 patterns
    KeyTakeTableFree(built);
    us.push_back(Micros(a, b));
  }
  Print("build", us);
  return wrong ? 1 : 0;
}

// Times the profile lookup of one key for the window "Bench Sink" in two profiles of 500 sections
// of 40 keys, the match last: ordinary sections ([Bench Sink]) and title patterns ([*Bench Sink*]).
// The file is read once; each lookup then checks its stamp and searches the copy, as a key press
// does. Prints one line per profile: the median and 99th percentile of a lookup, in microseconds.
// Usage: lookupbench.exe FOLDER [LOOKUPS]
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions/dispatch.h"

static std::string MakeProfile(bool patterns) {
  std::string text = "[default]\r\nport=1\r\n";
  char line[64];
  for (int s = 1; s <= 500; s++) {
    if (s < 500) {
      snprintf(line, sizeof line, patterns ? "[*Other Window %03d*]\r\n" : "[Other Window %03d]\r\n", s);
    } else {
      snprintf(line, sizeof line, patterns ? "[*Bench Sink*]\r\n" : "[Bench Sink]\r\n");
    }
    text += line;
    for (int k = 0; k < 40; k++) {
      snprintf(line, sizeof line, "Key%d=KEYBOARD %s\r\n", k, s == 500 && k == 12 ? "A+^A" : "B+^B");
      text += line;
    }
  }
  return text;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int lookups = argc > 2 ? atoi(argv[2]) : 20000;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (bool patterns : {false, true}) {
    std::string path = std::string(argv[1]) + (patterns ? "\\patterns.ini" : "\\ordinary.ini");
    std::string text = MakeProfile(patterns);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 2;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    Sleep(100);  // past the file system's time step: the copy is then kept
    char out[kProfileValueSize], served[kTitleSize];
    std::vector<double> us;
    for (int i = 0; i < lookups; i++) {
      LARGE_INTEGER a, b;
      QueryPerformanceCounter(&a);
      int found = ProfileLookupServed(path.c_str(), "Bench Sink", "RemoteTestKeySink", "keysink.exe", 12, out,
                                      served);
      QueryPerformanceCounter(&b);
      if (found != 1) return 1;
      us.push_back(double(b.QuadPart - a.QuadPart) * 1e6 / double(frequency.QuadPart));
    }
    std::sort(us.begin(), us.end());
    printf("%s %d %.1f %.1f %s\n", patterns ? "patterns" : "ordinary", lookups, us[us.size() / 2],
           us[us.size() * 99 / 100], served);
  }
  return 0;
}

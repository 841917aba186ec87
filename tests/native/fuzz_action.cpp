// Arbitrary action lines through the keyword split and the keystroke grouping, with a back end
// that records what it is given. Checked: no read past the line's terminator, no write past the
// group array, groups of 1 to 256 records, no more records than the argument has characters,
// and a line cut off in a pause never leaves a key down that the whole line would leave up.
#include <stdlib.h>
#include <string.h>

#include <set>

#include "actions/keygroups.h"

struct Run {
  std::set<WORD> down;  // keys down after what was sent, starting with all keys up
  size_t records = 0;   // records sent before any cut-off releases
  int pauses = 0;
  int cutAtPause = 0;  // 0 never
  bool cut = false;
};

static int Send(void* context, INPUT* records, unsigned count) {
  Run* run = static_cast<Run*>(context);
  if (count < 1 || count > kGroupRecords) abort();
  for (unsigned i = 0; i < count; i++) {
    WORD vk = records[i].ki.wVk;
    if (records[i].ki.dwFlags & KEYEVENTF_KEYUP) {
      if (run->cut && !run->down.count(vk)) abort();  // a cut-off releases only keys that are down
      run->down.erase(vk);
    } else {
      if (run->cut) abort();  // a cut-off presses nothing
      run->down.insert(vk);
    }
  }
  if (!run->cut) run->records += count;
  return int(count);
}

static int Pause(void* context) {
  Run* run = static_cast<Run*>(context);
  if (run->cut) abort();
  run->cut = ++run->pauses == run->cutAtPause;
  return run->cut;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1001) return 0;
  int cutAtPause = data[0] % 8;
  char* line = static_cast<char*>(malloc(size));
  memcpy(line, data + 1, size - 1);
  line[size - 1] = '\0';

  const char* argument = nullptr;
  int keyword = ActionSplitLine(line, &argument);
  if (keyword < kActionNone || keyword > kActionExec) abort();
  if (argument < line || argument > line + strlen(line)) abort();
  // The grouping is run on every argument (not only KEYBOARD ones) to reach more texts.
  Run whole;
  KeyGroupOps ops = {Send, Pause, &whole};
  KeyGroupsRun(argument, &ops);
  if (whole.records > strlen(argument)) abort();

  Run cut;
  cut.cutAtPause = cutAtPause;
  ops.context = &cut;
  KeyGroupsRun(argument, &ops);
  for (WORD vk : cut.down) {
    if (!whole.down.count(vk)) abort();
  }
  free(line);
  return 0;
}

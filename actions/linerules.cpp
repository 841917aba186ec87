// The profile check's questions about values, answered by the action code: a KEYBOARD line is run
// through the keystroke parser without sending anything; the keys it presses and does not release
// again before its end are the ones it leaves held down. Each is named as written, with the key's
// name where a single character stands for a named key ("p" is F1), because that is the surprise
// the check is there to show. Pure code, also built natively.
#include <string.h>

#include "actions/keygroups.h"
#include "actions/keyparse.h"
#include "actions/keytake.h"
#include "actions/osdtext.h"
#include "actions/press.h"
#include "common/format.h"
#include "profile/profilecheck.h"
#include "profile/profiletext.h"

static_assert(int(kProfileLineNoKeyword) == int(kActionNone) &&
                  int(kProfileLineKeyboard) == int(kActionKeyboard),
              "the check's keywords are the interpreter's");

typedef ProfileSpan Span;

static bool SameName(Span a, Span b) {
  return ProfileSameName(a, b);
}

static void CopySpan(char* out, size_t size, Span s) {
  size_t n = s.length < size - 1 ? s.length : size - 1;
  memcpy(out, s.text, n);
  out[n] = '\0';
}

static const char* KeyNameOf(unsigned vk) {
  for (const KeyName& row : kKeyNames) {
    if (row.vk == vk) return row.name;
  }
  return nullptr;
}

struct Held {
  WORD vk;
  Span token;  // as written, without "^" and the "+" after it
};

// Runs the KEYBOARD argument through the parser and writes the keys it leaves down into detail.
// Returns the number of such keys.
static int KeysLeftDown(const char* argument, char* detail, size_t size) {
  Held held[kGroupRecords];
  int count = 0;
  const char* cursor = argument;
  for (;;) {
    while (*cursor == ' ') cursor++;
    const char* start = cursor;
    INPUT record;
    INPUT* out = &record;
    int token = ParseKeyToken(&cursor, &out);
    if (token == kTokenEnd) break;
    if (token != kTokenRecord) continue;
    int i = 0;
    while (i < count && held[i].vk != record.ki.wVk) i++;
    if (record.ki.dwFlags & KEYEVENTF_KEYUP) {
      if (i == count) continue;
      memmove(&held[i], &held[i + 1], size_t(count - i - 1) * sizeof held[0]);
      count--;
    } else if (i == count && count < kGroupRecords) {
      const char* end = cursor;
      if (end > start && end[-1] == '+') end--;
      held[count++] = {record.ki.wVk, {start, size_t(end - start)}};
    }
  }
  size_t used = 0;
  detail[0] = '\0';
  for (int i = 0; i < count && used + 1 < size; i++) {
    const char* name = KeyNameOf(held[i].vk);
    char written[16];
    CopySpan(written, sizeof written, held[i].token);
    int n;
    const char* separator = i ? ", " : "";
    if (name && SameName(held[i].token, {name, strlen(name)})) {
      n = FormatText(detail + used, size - used, "%s%s", separator, name);
    } else if (name) {
      n = FormatText(detail + used, size - used, "%s\"%s\" (%s)", separator, written, name);
    } else {
      n = FormatText(detail + used, size - used, "%s\"%s\"", separator, written);
    }
    if (n < 0) break;
    used += size_t(n);
  }
  return count;
}

static int TimingTaken(const char* value, int timing) {
  uint32_t ms;
  return PressTimingParse(value, timing, &ms);
}

static int OsdTimeTaken(const char* value) {
  uint32_t ms;
  return OsdTimeParse(value, &ms);
}

// A button of any remote or of the keyboard's is a key the hook may be asked to take; a key of the
// notation that is never taken gives it nothing to act on (a network receiver's button of that name
// still would, without a remote).
static int NeverTaken(const char* remote, const char* name) {
  if (remote[0] && !ProfileSameName({remote, strlen(remote)}, {kKeyTakeRemote, sizeof kKeyTakeRemote - 1}))
    return 0;
  return KeyTakeNeverTaken(name);
}

const ProfileLineRules gProfileLineRules = {PressPolicyParse, TimingTaken,  ActionSplitLine, KeysLeftDown,
                                            OsdOnParse,       OsdTimeTaken, NeverTaken};

// The profile check. The text is read line by line as the private-profile functions read it
// (actions/profiletext.h); lines starting with ";" are taken as the comments their writer meant.
//
// A KEYBOARD line is run through the keystroke parser without sending anything; the keys it
// presses and does not release again before its end are the ones it leaves held down. Each is
// named as written, with the key's name where a single character stands for a named key ("p" is
// F1), because that is the surprise the check is there to show.
#include "actions/profilecheck.h"

#include <stdio.h>
#include <string.h>

#include "actions/keygroups.h"
#include "actions/keyparse.h"
#include "actions/profiletext.h"

static const char kAliasSection[] = "title -";

typedef ProfileSpan Span;

static bool SameName(Span a, Span b) {
  return ProfileSameName(a, b);
}

static void CopySpan(char* out, size_t size, Span s) {
  size_t n = s.length < size - 1 ? s.length : size - 1;
  memcpy(out, s.text, n);
  out[n] = '\0';
}

static bool HasSection(const char* text, size_t size, Span wanted) {
  ProfileTextReader reader;
  ProfileTextOpen(&reader, text, size);
  ProfileLine line;
  while (ProfileTextNext(&reader, &line)) {
    if (line.kind == kProfileLineSection && SameName(line.name, ProfileTrim(wanted))) return true;
  }
  return false;
}

// 1 when `key` is "Key" followed by 0 to 127 as "Key%d" writes it, 0 when it begins with "Key"
// but is no such name, -1 when it does not begin with "Key" (not a button entry at all).
static int ButtonKey(Span key) {
  if (key.length < 3 || !SameName({key.text, 3}, {"KEY", 3})) return -1;
  if (key.length < 4 || key.length > 6) return 0;
  int value = 0;
  for (size_t i = 3; i < key.length; i++) {
    char c = key.text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  if (key.text[3] == '0' && key.length > 4) return 0;  // "Key07" is not "Key7"
  return value <= 127 ? 1 : 0;
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
      n = snprintf(detail + used, size - used, "%s%s", separator, name);
    } else if (name) {
      n = snprintf(detail + used, size - used, "%s\"%s\" (%s)", separator, written, name);
    } else {
      n = snprintf(detail + used, size - used, "%s\"%s\"", separator, written);
    }
    if (n < 0) break;
    used += size_t(n);
  }
  return count;
}

int ProfileCheckText(const char* text, size_t size, ProfileProblemFn report, void* context) {
  ProfileTextReader reader;
  ProfileTextOpen(&reader, text, size);
  bool inSection = false;
  Span section = {"", 0};
  int problems = 0;
  ProfileLine line;
  char value[kActionLineMax + 1];
  while (ProfileTextNext(&reader, &line)) {
    if (line.kind == kProfileLineSection) {
      inSection = true;
      section = line.name;
      continue;
    }
    if (!inSection || line.kind != kProfileLineEntry || !line.hasValue) continue;
    if (line.name.length && line.name.text[0] == ';') continue;
    Span key = line.name;
    Span raw = ProfileUnquote(line.value);

    ProfileProblem problem;
    memset(&problem, 0, sizeof problem);
    problem.line = line.number;
    CopySpan(problem.section, sizeof problem.section, section);
    CopySpan(problem.key, sizeof problem.key, key);

    if (SameName(section, {kAliasSection, sizeof kAliasSection - 1})) {
      if (raw.length == 0 || HasSection(text, size, raw)) continue;
      problem.kind = kCheckNoSection;
      CopySpan(problem.detail, sizeof problem.detail, raw);
    } else {
      int button = ButtonKey(key);
      if (button < 0) continue;
      if (button == 0) {
        problem.kind = kCheckNotAButton;
      } else if (raw.length == 0) {
        continue;  // an empty entry counts as none
      } else if (raw.length > kActionLineMax) {
        problem.kind = kCheckTooLong;
        snprintf(problem.detail, sizeof problem.detail, "%lu", static_cast<unsigned long>(raw.length));
      } else {
        CopySpan(value, sizeof value, raw);
        const char* argument;
        int keyword = ActionSplitLine(value, &argument);
        if (keyword == kActionNone) {
          problem.kind = kCheckNoKeyword;
        } else if (keyword == kActionKeyboard &&
                   KeysLeftDown(argument, problem.detail, sizeof problem.detail) > 0) {
          problem.kind = kCheckKeysHeld;
        } else {
          continue;
        }
      }
    }
    problems++;
    if (report) report(context, &problem);
  }
  return problems;
}

void ProfileCheckDescribe(const ProfileProblem* p, char* out, size_t outSize) {
  const char* what = "";
  char text[512];
  switch (p->kind) {
    case kCheckNoKeyword:
      what = "begins with none of KEYBOARD, COMMAND, CLOSE, EXEC: does nothing";
      break;
    case kCheckKeysHeld:
      snprintf(text, sizeof text, "leaves keys held down: %s", p->detail);
      what = text;
      break;
    case kCheckNotAButton:
      what = "no button has this name (Key0 to Key127)";
      break;
    case kCheckNoSection:
      snprintf(text, sizeof text, "names the section [%s], which does not exist", p->detail);
      what = text;
      break;
    case kCheckTooLong:
      snprintf(text, sizeof text, "%s characters long: lines over %d characters do not run", p->detail,
               int(kActionLineMax));
      what = text;
      break;
  }
  snprintf(out, outSize, "Line %d, [%s] %s: %s", p->line, p->section, p->key, what);
}

struct MessageWriter {
  char* out;
  size_t size;
  size_t used;
  int count;
};

static void Append(MessageWriter* w, const char* text) {
  int n = snprintf(w->out + w->used, w->size - w->used, "%s", text);
  if (n < 0) return;
  w->used += size_t(n);
  if (w->used >= w->size) w->used = w->size - 1;
}

static void AppendProblem(void* context, const ProfileProblem* problem) {
  MessageWriter* w = static_cast<MessageWriter*>(context);
  if (++w->count > kCheckShownMax) return;
  char line[1024];
  ProfileCheckDescribe(problem, line, sizeof line);
  Append(w, line);
  Append(w, "\n");
}

int ProfileCheckMessage(const char* text, size_t size, char* out, size_t outSize) {
  MessageWriter w = {out, outSize, 0, 0};
  out[0] = '\0';
  int problems = ProfileCheckText(text, size, AppendProblem, &w);
  char end[96];
  if (problems == 0) {
    snprintf(end, sizeof end, "No problems found");
  } else {
    if (problems > kCheckShownMax) {
      snprintf(end, sizeof end, "... and %d more\n", problems - kCheckShownMax);
      Append(&w, end);
    }
    snprintf(end, sizeof end, "\n%d problem%s found", problems, problems == 1 ? "" : "s");
  }
  Append(&w, end);
  return problems;
}

// The profile check. The text is read line by line as the private-profile functions read it
// (profile/profiletext.h); lines starting with ";" are taken as the comments their writer meant.
//
// What a value means as an action line, a hold policy or a timing is asked of the action code
// (gProfileLineRules); the check itself knows the file's sections and entry names.
#include "profile/profilecheck.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/format.h"
#include "profile/profiletext.h"
#include "receiver/lircaddress.h"

typedef ProfileSpan Span;

static bool SameName(Span a, Span b) {
  return ProfileSameName(a, b);
}

static void CopySpan(char* out, size_t size, Span s);

// An entry of [default] that is a timing, hold=, osd=, osdtime=, lirc= or keys=: returns true, with
// problem->kind set when its value is not one the program takes (left 0 when it is). False for any
// other entry.
static bool DefaultTiming(Span key, Span raw, ProfileProblem* problem) {
  char value[kLircHostMax + 16];
  CopySpan(value, sizeof value, raw);
  if (SameName(key, {kProfileLirc, sizeof kProfileLirc - 1})) {
    char host[kLircHostMax];
    int port, parsed = LircParseAddress(value, host, sizeof host, &port);
    if (raw.length >= sizeof value || (parsed < 0 && parsed != kLircAddressEmpty)) problem->kind = kCheckLirc;
  } else if (SameName(key, {kProfileKeys, sizeof kProfileKeys - 1})) {
    Span keys = ProfileTrim(raw);
    if (keys.length > 1 || (keys.length == 1 && keys.text[0] != '0' && keys.text[0] != '1'))
      problem->kind = kCheckKeys;
  } else if (SameName(key, {kProfileHold, sizeof kProfileHold - 1})) {
    if (raw.length && gProfileLineRules.holdPolicy(value) < 0) problem->kind = kCheckHoldValue;
  } else if (SameName(key, {kProfileOsd, sizeof kProfileOsd - 1})) {
    if (raw.length >= sizeof value || gProfileLineRules.osdOn(value) < 0) problem->kind = kCheckOsd;
  } else if (SameName(key, {kProfileOsdTime, sizeof kProfileOsdTime - 1})) {
    if (raw.length >= sizeof value || gProfileLineRules.osdTime(value) < 0) problem->kind = kCheckOsd;
  } else {
    int timing = 0;
    while (timing < kProfileTimingCount &&
           !SameName(key, {kProfileTimingNames[timing], strlen(kProfileTimingNames[timing])}))
      timing++;
    if (timing == kProfileTimingCount) return false;
    if (raw.length >= sizeof value || gProfileLineRules.timing(value, timing) < 0)
      problem->kind = kCheckTiming;
  }
  if (problem->kind) CopySpan(problem->detail, sizeof problem->detail, raw);
  return true;
}

static void CopySpan(char* out, size_t size, Span s) {
  size_t n = s.length < size - 1 ? s.length : size - 1;
  memcpy(out, s.text, n);
  out[n] = '\0';
}

enum { kButtonNotKey = -1, kButtonNone = 0, kButtonSerial = 1, kButtonNamed = 2, kButtonNoName = 3 };

// kButtonSerial when `key` is "Key" followed by 0 to 127 as "Key%d" writes it, kButtonNamed for a
// named button's "Key.NAME" or "Key.REMOTE.NAME" (its remote, empty for none, and name into the
// spans when given), kButtonNoName for a "Key." without such a name ("Key.", "Key.DEMO."),
// kButtonNone for any other name beginning with "Key", kButtonNotKey when it does not begin with
// "Key" (not a button entry at all).
static int ButtonKey(Span key, Span* remote = nullptr, Span* button = nullptr) {
  if (key.length < 3 || !SameName({key.text, 3}, {kProfileButtonPrefix, 3})) return kButtonNotKey;
  if (key.length >= 4 && key.text[3] == '.') {
    Span name = {key.text + 4, key.length - 4}, from = {"", 0};
    const char* dot = static_cast<const char*>(memchr(name.text, '.', name.length));
    if (dot) {
      from = {name.text, size_t(dot - name.text)};
      name = {dot + 1, name.length - from.length - 1};
      if (!ProfileButtonNameOk(from.text, from.length)) return kButtonNoName;
    }
    if (!ProfileButtonNameOk(name.text, name.length)) return kButtonNoName;
    if (remote) *remote = from;
    if (button) *button = name;
    return kButtonNamed;
  }
  if (key.length < 4 || key.length > 6) return 0;
  int value = 0;
  for (size_t i = 3; i < key.length; i++) {
    char c = key.text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  if (key.text[3] == '0' && key.length > 4) return 0;  // "Key07" is not "Key7"
  return value <= 127 ? kButtonSerial : kButtonNone;
}

// The entry's name without a ".hold" or ".long" at its end (into *base), and which of them it had:
// 0 none, 1 ".hold", 2 ".long".
static int ButtonSuffix(Span key, Span* base) {
  *base = key;
  if (key.length >= 4 && SameName({key.text + key.length - 4, 4}, {kProfileOsdSuffix, 4})) {
    base->length -= 4;
    return 3;
  }
  if (key.length < 5 || key.text[key.length - 5] != '.') return 0;
  Span suffix = {key.text + key.length - 5, 5};
  int which = SameName(suffix, {kProfileHoldSuffix, 5})   ? 1
              : SameName(suffix, {kProfileLongSuffix, 5}) ? 2
                                                          : 0;
  if (which) base->length -= 5;
  return which;
}

// A set of names without regard to ASCII letter case, in one block: open addressing over a power
// of two of slots. Each slot holds a name of a form (section name, or a pattern's text by its form)
// with the keys the sections of it hold so far and the first such section's name.
enum { kFormSection = 0, kFormContains = 1, kFormPrefix = 2, kFormSuffix = 3 };

struct NameSlot {
  Span name;
  int form;  // -1: empty slot
  unsigned keys[4];
  Span first;
};

struct NameSet {
  NameSlot* slots;
  size_t mask;
};

static size_t NameHash(Span name, int form) {
  size_t h = 1469598103u + size_t(form);
  for (size_t i = 0; i < name.length; i++) {
    char c = name.text[i];
    h = (h ^ size_t(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c)) * 16777619u;
  }
  return h;
}

static NameSlot* NameFind(NameSet* set, Span name, int form, bool add) {
  if (!set->slots) return nullptr;
  for (size_t i = NameHash(name, form) & set->mask;; i = (i + 1) & set->mask) {
    NameSlot* slot = &set->slots[i];
    if (slot->form < 0) {
      if (!add) return nullptr;
      *slot = {name, form, {0, 0, 0, 0}, {"", 0}};
      return slot;
    }
    if (slot->form == form && SameName(slot->name, name)) return slot;
  }
}

struct SectionInfo {
  Span name;
  int line;
  unsigned keys[4];  // the serial buttons it holds a non-empty value for
  bool named;        // it holds a named button: told as shadowed never (names are not compared)
  Span shadow;       // the earlier pattern that always serves first; empty: none
};

// The pattern's simple form and its text without the stars, or -1 for any other pattern.
static int PatternForm(Span name, Span* text) {
  if (name.length == 0 || memchr(name.text, '?', name.length)) return -1;
  if (name.length == 1) {
    *text = {name.text, 0};
    return name.text[0] == '*' ? kFormContains : -1;
  }
  bool lead = name.text[0] == '*', trail = name.text[name.length - 1] == '*';
  *text = {name.text + lead, name.length - lead - trail};
  if (memchr(text->text, '*', text->length)) return -1;
  return lead && trail ? kFormContains : trail ? kFormPrefix : lead ? kFormSuffix : -1;
}

static void AddKeys(unsigned* into, const unsigned* keys) {
  for (int i = 0; i < 4; i++) into[i] |= keys[i];
}

// Finds, in file order, each simple pattern whose keys earlier patterns that match a superset of
// its titles all hold. Each pattern looks up its own substrings (of the lengths that occur among
// the earlier patterns) in the set: near linear in the number of sections.
static void FindShadows(SectionInfo* sections, int count, NameSet* set) {
  bool lengths[256] = {};
  for (int s = 0; s < count; s++) {
    Span text;
    int form = PatternForm(sections[s].name, &text);
    if (form < 0 || text.length > 255) continue;
    unsigned covered[4] = {0, 0, 0, 0};
    Span first = {"", 0};
    for (size_t length = 0; length <= text.length; length++) {
      if (!lengths[length]) continue;
      for (size_t at = 0; at + length <= text.length; at++) {
        Span part = {text.text + at, length};
        const int forms[3] = {kFormContains, at == 0 && form == kFormPrefix ? kFormPrefix : -1,
                              at + length == text.length && form == kFormSuffix ? kFormSuffix : -1};
        for (int f : forms) {
          NameSlot* slot = f < 0 ? nullptr : NameFind(set, part, f, false);
          if (!slot) continue;
          AddKeys(covered, slot->keys);
          if (!first.length) first = slot->first;
        }
      }
    }
    bool any = false, all = true;
    for (int i = 0; i < 4; i++) {
      any = any || sections[s].keys[i];
      all = all && (sections[s].keys[i] & ~covered[i]) == 0;
    }
    if (any && all && !sections[s].named) sections[s].shadow = first;
    NameSlot* slot = NameFind(set, text, form, true);
    if (slot && !slot->first.length) slot->first = sections[s].name;
    if (slot) AddKeys(slot->keys, sections[s].keys);
    lengths[text.length] = true;
  }
}

int ProfileCheckText(const char* text, size_t size, ProfileProblemFn report, void* context) {
  // First the sections: their names (for the aliases), the buttons each holds, the shadows.
  size_t lines = 2;
  for (size_t i = 0; i < size; i++) lines += text[i] == '\n' || text[i] == '\r';
  SectionInfo* sections = static_cast<SectionInfo*>(malloc(lines * sizeof(SectionInfo)));
  size_t slots = 16;
  while (slots < 4 * lines) slots *= 2;
  NameSet set = {static_cast<NameSlot*>(malloc(slots * sizeof(NameSlot))), slots - 1};
  if (!sections || !set.slots) {
    free(sections);
    free(set.slots);
    return 0;
  }
  for (size_t i = 0; i < slots; i++) set.slots[i].form = -1;
  int sectionCount = 0;
  {
    ProfileTextReader reader;
    ProfileTextOpen(&reader, text, size);
    ProfileLine line;
    while (ProfileTextNext(&reader, &line)) {
      if (line.kind == kProfileLineSection) {
        sections[sectionCount++] = {line.name, line.number, {0, 0, 0, 0}, false, {"", 0}};
        NameFind(&set, line.name, kFormSection, true);
      } else if (sectionCount && line.kind == kProfileLineEntry && line.hasValue &&
                 ProfileUnquote(line.value).length) {
        Span base;
        ButtonSuffix(line.name, &base);
        int button = ButtonKey(base);
        if (button == kButtonNamed) sections[sectionCount - 1].named = true;
        if (button != kButtonSerial || base.length != line.name.length) continue;
        int code = atoi(line.name.text + 3);
        sections[sectionCount - 1].keys[code / 32] |= 1u << (code % 32);
      }
    }
  }
  FindShadows(sections, sectionCount, &set);

  int sectionIndex = -1;
  ProfileTextReader reader;
  ProfileTextOpen(&reader, text, size);
  bool inSection = false;
  Span section = {"", 0};
  int problems = 0;
  ProfileLine line;
  char value[kProfileLineMax + 1];
  while (ProfileTextNext(&reader, &line)) {
    if (line.kind == kProfileLineSection) {
      inSection = true;
      section = line.name;
      const SectionInfo& info = sections[++sectionIndex];
      ProfileProblem problem;
      memset(&problem, 0, sizeof problem);
      problem.line = line.number;
      CopySpan(problem.section, sizeof problem.section, section);
      bool pattern = memchr(section.text, '*', section.length) != nullptr;
      if (pattern && section.length > 255) {
        problem.kind = kCheckLongPattern;
        FormatText(problem.detail, sizeof problem.detail, "%lu", static_cast<unsigned long>(section.length));
      } else if (info.shadow.length) {
        problem.kind = kCheckShadowed;
        CopySpan(problem.detail, sizeof problem.detail, info.shadow);
      } else if (SameName(section, {"class:", 6})) {
        problem.kind = kCheckNoClass;
      } else {
        continue;
      }
      problems++;
      if (report) report(context, &problem);
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
      if (raw.length == 0 || NameFind(&set, ProfileTrim(raw), kFormSection, false)) continue;
      problem.kind = kCheckNoSection;
      CopySpan(problem.detail, sizeof problem.detail, raw);
    } else if (SameName(section, {kProfileDefault, sizeof kProfileDefault - 1}) &&
               DefaultTiming(key, raw, &problem)) {
      // a timing or hold= of [default]: problem.kind says whether it has one
      if (!problem.kind) continue;
    } else {
      Span base, remote = {"", 0}, name = {"", 0};
      int suffix = ButtonSuffix(key, &base);
      int button = ButtonKey(base, &remote, &name);
      if (button == kButtonNotKey) continue;
      char remoteText[kProfileKeySize], nameText[kProfileKeySize];
      CopySpan(remoteText, sizeof remoteText, remote);
      CopySpan(nameText, sizeof nameText, name);
      if (button == kButtonNone) {
        problem.kind = kCheckNotAButton;
      } else if (button == kButtonNoName) {
        problem.kind = kCheckNoName;
      } else if (raw.length == 0) {
        continue;  // an empty entry counts as none
      } else if (button == kButtonNamed && gProfileLineRules.neverTaken(remoteText, nameText) == 1) {
        problem.kind = kCheckNeverTaken;
        CopySpan(problem.detail, sizeof problem.detail, name);
      } else if (suffix == 3) {
        continue;  // a .osd text may say anything
      } else if (suffix == 1) {
        CopySpan(value, sizeof value, raw);
        if (gProfileLineRules.holdPolicy(value) >= 0) continue;
        problem.kind = kCheckHoldValue;
        CopySpan(problem.detail, sizeof problem.detail, raw);
      } else if (raw.length > kProfileLineMax) {
        problem.kind = kCheckTooLong;
        FormatText(problem.detail, sizeof problem.detail, "%lu", static_cast<unsigned long>(raw.length));
      } else {
        CopySpan(value, sizeof value, raw);
        const char* argument;
        int keyword = gProfileLineRules.keyword(value, &argument);
        if (keyword == kProfileLineNoKeyword) {
          problem.kind = kCheckNoKeyword;
        } else if (keyword == kProfileLineKeyboard &&
                   gProfileLineRules.keysLeftDown(argument, problem.detail, sizeof problem.detail) > 0) {
          problem.kind = kCheckKeysHeld;
        } else {
          continue;
        }
      }
    }
    problems++;
    if (report) report(context, &problem);
  }
  free(sections);
  free(set.slots);
  return problems;
}

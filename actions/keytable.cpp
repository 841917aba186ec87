// One pass over the profile's lines gathers, for each section, the keys its entries name; a second
// step turns the sections into the table's rows by the way the lookup finds them. A plain section
// name serves two ways (a window of that title, and a window of the program of that file name), so
// it gives two rows. The alias rows come from [title -]: each of its entries lends the keys of the
// section it names to the titles cut to its name.
//
// The table must say what the lookup would find, or a key is taken that then does nothing (or
// passes while the profile has a line for it), so it reads the file as the lookup does: the first
// section of a name only, the first entry of a name in it, an empty value as none.
#include "actions/keytable.h"

#include <stdlib.h>
#include <string.h>

#include "common/ascii.h"
#include "profile/profiletext.h"
#include "receiver/mce.h"

namespace {
struct Section {
  ProfileSpan name;
  bool first;  // no section of this name before it
  uint8_t keys[32];
};
struct Alias {
  ProfileSpan cut, target;
};
// The entry names of a key, each read only at its first line in a section: with or without the
// remote "keyboard", with no suffix, ".hold" or ".long".
enum { kVariants = 6 };
}  // namespace

static bool Same(ProfileSpan a, const char* b) {
  return ProfileSameName(a, {b, strlen(b)});
}

// The parts of an entry name after "Key.": [REMOTE.]NAME[.hold|.long]. Returns the count (1-3) and
// the spans, 0 when it is no button entry.
static int Parts(ProfileSpan key, ProfileSpan part[3]) {
  if (key.length <= 4 || !ProfileSameName({key.text, 4}, {kProfileNamedPrefix, 4})) return 0;
  const char* at = key.text + 4;
  const char* end = key.text + key.length;
  int count = 0;
  while (count < 3) {
    const char* dot = static_cast<const char*>(memchr(at, '.', size_t(end - at)));
    part[count++] = {at, size_t((dot ? dot : end) - at)};
    if (!dot) return count;
    at = dot + 1;
  }
  return 0;  // a fourth part
}

// The code of the key that may be taken that entry `key` names and the entry's variant; kMceRemote
// entries give -1. 0 for any other entry.
static int EntryKey(ProfileSpan key, int* variant) {
  ProfileSpan part[3];
  int count = Parts(key, part);
  if (count == 0) return 0;
  int suffix = 0;
  if (count > 1 && Same(part[count - 1], kProfileHoldSuffix + 1)) suffix = 1;
  if (count > 1 && Same(part[count - 1], kProfileLongSuffix + 1)) suffix = 2;
  if (count == 3 && suffix == 0) return 0;
  bool remote = count - (suffix ? 1 : 0) == 2;
  ProfileSpan name = part[remote ? 1 : 0];
  if (remote && Same(part[0], kMceRemote)) return name.length ? -1 : 0;
  if (remote && !Same(part[0], kKeyTakeRemote)) return 0;
  char text[16];
  if (name.length == 0 || name.length >= sizeof text) return 0;
  memcpy(text, name.text, name.length);
  text[name.length] = '\0';
  *variant = (remote ? 3 : 0) + suffix;
  return int(KeyTakeCode(text));
}

// The number [default] keys= gives, as the program reads a number: its sign and digits; 0 when
// it begins with none.
static bool Off(ProfileSpan value) {
  size_t i = 0;
  if (i < value.length && (value.text[i] == '-' || value.text[i] == '+')) i++;
  for (; i < value.length && value.text[i] >= '0' && value.text[i] <= '9'; i++) {
    if (value.text[i] != '0') return false;
  }
  return true;
}

template <typename T>
static bool Grow(T** items, int count, int* capacity) {
  if (count < *capacity) return true;
  int more = *capacity ? *capacity * 2 : 64;
  T* grown = static_cast<T*>(realloc(*items, size_t(more) * sizeof(T)));
  if (!grown) return false;
  *items = grown;
  *capacity = more;
  return true;
}

static const Section* Named(const Section* sections, int count, ProfileSpan name) {
  for (int i = 0; i < count; i++) {
    if (sections[i].first && ProfileSameName(sections[i].name, name)) return &sections[i];
  }
  return nullptr;
}

static bool AnyKey(const uint8_t keys[32]) {
  for (int b = 0; b < 32; b++) {
    if (keys[b]) return true;
  }
  return false;
}

// The rows of the sections and aliases gathered; -1 when the table is too small (cannot be).
static int Rows(KeyTakeTable* table, const Section* sections, int count, const Alias* aliases,
                int aliasCount) {
  char text[kKeyTakeTextSize];
  for (int i = 0; i < count; i++) {
    const Section& s = sections[i];
    bool pattern = memchr(s.name.text, '*', s.name.length) != nullptr;
    if ((!s.first && !pattern) || s.name.length == 0 || s.name.length >= sizeof text || !AnyKey(s.keys))
      continue;
    memcpy(text, s.name.text, s.name.length);
    text[s.name.length] = '\0';
    size_t prefix = strlen(kProfileClassPrefix);
    int result = 0;
    if (pattern) {
      result = KeyTakeTableAddKeys(table, kKeyTakePattern, text, s.keys);
    } else if (Same(s.name, kProfileDefault)) {
      result = KeyTakeTableAddKeys(table, kKeyTakeDefault, nullptr, s.keys);
    } else if (s.name.length > prefix &&
               ProfileSameName({s.name.text, prefix}, {kProfileClassPrefix, prefix})) {
      result = KeyTakeTableAddKeys(table, kKeyTakeClass, text + prefix, s.keys);
    } else {
      result = KeyTakeTableAddKeys(table, kKeyTakeTitle, text, s.keys) |
               KeyTakeTableAddKeys(table, kKeyTakeProgram, text, s.keys);
    }
    if (result < 0) return -1;
  }
  for (int i = 0; i < aliasCount; i++) {
    const Section* target = Named(sections, count, aliases[i].target);
    if (!target || aliases[i].cut.length >= sizeof text) continue;
    memcpy(text, aliases[i].cut.text, aliases[i].cut.length);
    text[aliases[i].cut.length] = '\0';
    if (KeyTakeTableAddKeys(table, kKeyTakeAlias, text, target->keys) < 0) return -1;
  }
  return 0;
}

KeyTakeTable* KeyTableBuild(const char* text, size_t size, int* wants) {
  *wants = 0;
  Section* sections = nullptr;
  Alias* aliases = nullptr;
  int count = 0, capacity = 0, aliasCount = 0, aliasCapacity = 0;
  bool ok = true, off = false, keysSeen = false, anyKey = false, mce = false;
  uint8_t seen[kVariants][32];
  Section* current = nullptr;  // null above the first header
  bool inDefault = false, inAlias = false;
  ProfileTextReader reader;
  ProfileTextOpen(&reader, text, size);
  ProfileLine line;
  while (ok && ProfileTextNext(&reader, &line)) {
    ProfileSpan name = ProfileTrim(line.name);
    if (line.kind == kProfileLineSection) {
      ok = Grow(&sections, count, &capacity);
      if (!ok) break;
      current = &sections[count++];
      current->name = name;
      current->first = !Named(sections, count - 1, name);
      memset(current->keys, 0, sizeof current->keys);
      memset(seen, 0, sizeof seen);
      inDefault = current->first && Same(name, kProfileDefault);
      inAlias = current->first && Same(name, kAliasSection);
      continue;
    }
    if (line.kind != kProfileLineEntry || !current) continue;
    ProfileSpan value = ProfileUnquote(line.value);
    bool present = line.hasValue && (value.length > 0 || line.valueNul);
    if (inDefault && !keysSeen && Same(name, kProfileKeys)) {
      keysSeen = true;
      off = present && Off(value);
    }
    if (inAlias && present && value.length > 0) {
      bool known = false;
      for (int i = 0; i < aliasCount && !known; i++) known = ProfileSameName(aliases[i].cut, name);
      ok = known || Grow(&aliases, aliasCount, &aliasCapacity);
      if (ok && !known) aliases[aliasCount++] = {name, ProfileTrim(value)};
    }
    int variant = 0;
    int vk = EntryKey(name, &variant);
    if (vk < 0) {
      mce = mce || present;
    } else if (vk > 0 && !(seen[variant][vk >> 3] >> (vk & 7) & 1)) {
      seen[variant][vk >> 3] |= uint8_t(1u << (vk & 7));
      if (present) current->keys[vk >> 3] |= uint8_t(1u << (vk & 7));
      anyKey = anyKey || present;
    }
  }
  KeyTakeTable* table = nullptr;
  if (ok && !off && anyKey) {
    table = KeyTakeTableNew(2 * count + aliasCount);
    // Keys only in sections the lookup never reads make no row: no hook for them.
    if (table && (Rows(table, sections, count, aliases, aliasCount) < 0 || table->count == 0)) {
      KeyTakeTableFree(table);
      table = nullptr;
    }
  }
  free(sections);
  free(aliases);
  if (off) return nullptr;
  *wants = (table ? kKeyTableHook : 0) | (mce ? kKeyTableMce : 0);
  return table;
}

// The lookup of an entry for the window in front, over the in-memory copy of the calling thread:
// the window's own section, its alias, the title patterns, its class, its program, then [default].
#include <windows.h>

#include "common/format.h"
#include "profile/profile.h"
#include "profile/profiletext.h"
#include "profile/title.h"

static void Served(char* served, const char* name) {
  if (served) FormatText(served, kTitleSize, "%s", name);
}

// One lookup. `program` is the program's file name and `windowClass` the window's class; when
// they are null and `ask` is given, they are asked for, each only if the steps before it found
// nothing.
// The first of `keys` that one section holds, in the order given.
static int SectionGet(const char* section, const char* const* keys, int keyCount, char* out) {
  for (int i = 0; i < keyCount; i++) {
    int found = ProfileGet(section, keys[i], out, kProfileLineMax);
    if (found) return found;
  }
  return 0;
}

int ProfileLookupEntry(const char* path, const char* title, const char* windowClass, const char* program,
                       const ProfileWindowAsk* ask, const char* key, char* out, char* served) {
  return ProfileLookupKeys(path, title, windowClass, program, ask, &key, 1, out, served);
}

int ProfileLookupKeys(const char* path, const char* title, const char* windowClass, const char* program,
                      const ProfileWindowAsk* ask, const char* const* keys, int keyCount, char* out,
                      char* served) {
  out[0] = '\0';
  Served(served, "");
  if (ProfileRefresh(path) < 0) return 0;

  // A window without a title has no section of its own: an empty section name would read the
  // lines above the file's first section header.
  int found = title[0] ? SectionGet(title, keys, keyCount, out) : 0;
  if (found) {
    if (found > 0) Served(served, title);
    return found;
  }

  char cut[kTitleSize];
  FormatText(cut, sizeof cut, "%s", title);
  if (CutAliasTitle(cut)) {
    char alias[kTitleSize];
    if (ProfileGet(kAliasSection, cut, alias, sizeof alias - 1) == 1) {
      found = SectionGet(alias, keys, keyCount, out);
      if (found) {
        if (found > 0) Served(served, alias);
        return found;
      }
    }
  }

  found = ProfileGetPatternKeys(title, keys, keyCount, out, kProfileLineMax, served, served ? kTitleSize : 0);
  if (found) {
    if (found < 0) Served(served, "");
    return found;
  }

  char className[kTitleSize];
  if (!windowClass && ask) windowClass = ask->windowClass(ask->context, className) == 0 ? className : nullptr;
  if (windowClass && windowClass[0]) {
    char section[kTitleSize + 8];
    FormatText(section, sizeof section, "%s%s", kProfileClassPrefix, windowClass);
    found = SectionGet(section, keys, keyCount, out);
    if (found) {
      if (found > 0) Served(served, section);
      return found;
    }
  }

  char name[MAX_PATH];
  if (!program && ask) program = ask->program(ask->context, name) == 0 ? name : nullptr;
  if (program && program[0]) {
    found = SectionGet(program, keys, keyCount, out);
    if (found) {
      if (found > 0) Served(served, program);
      return found;
    }
  }

  found = SectionGet(kProfileDefault, keys, keyCount, out);
  if (found > 0) Served(served, kProfileDefault);
  if (found) return found;
  out[0] = '\0';
  return 0;
}

int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out) {
  return ProfileLookupServed(path, title, "", program, code, out, nullptr);
}

int ProfileLookupServed(const char* path, const char* title, const char* windowClass, const char* program,
                        int code, char* out, char* served) {
  char key[kProfileKeySize];
  ProfileButtonKey(code, "", key);
  return ProfileLookupEntry(path, title, windowClass ? windowClass : "", program ? program : "", nullptr, key,
                            out, served);
}

int ProfileLookupNamed(const char* path, const char* title, const char* windowClass, const char* program,
                       const char* remote, const char* name, char* out, char* served) {
  char names[kProfileButtonKeys][kProfileKeySize];
  const char* keys[kProfileButtonKeys];
  int count = ProfileButtonKeys(-1, remote, name, "", names);
  for (int i = 0; i < count; i++) keys[i] = names[i];
  if (count == 0) {
    out[0] = '\0';
    if (served) served[0] = '\0';
    return 0;
  }
  return ProfileLookupKeys(path, title, windowClass ? windowClass : "", program ? program : "", nullptr, keys,
                           count, out, served);
}

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
int ProfileLookupEntry(const char* path, const char* title, const char* windowClass, const char* program,
                       const ProfileWindowAsk* ask, const char* key, char* out, char* served) {
  out[0] = '\0';
  Served(served, "");
  if (ProfileRefresh(path) < 0) return 0;

  // A window without a title has no section of its own: an empty section name would read the
  // lines above the file's first section header.
  int found = title[0] ? ProfileGet(title, key, out, kProfileLineMax) : 0;
  if (found) {
    if (found > 0) Served(served, title);
    return found;
  }

  char cut[kTitleSize];
  FormatText(cut, sizeof cut, "%s", title);
  if (CutAliasTitle(cut)) {
    char alias[kTitleSize];
    if (ProfileGet(kAliasSection, cut, alias, sizeof alias - 1) == 1) {
      found = ProfileGet(alias, key, out, kProfileLineMax);
      if (found) {
        if (found > 0) Served(served, alias);
        return found;
      }
    }
  }

  found = ProfileGetPattern(title, key, out, kProfileLineMax, served, served ? kTitleSize : 0);
  if (found) {
    if (found < 0) Served(served, "");
    return found;
  }

  char className[kTitleSize];
  if (!windowClass && ask) windowClass = ask->windowClass(ask->context, className) == 0 ? className : nullptr;
  if (windowClass && windowClass[0]) {
    char section[kTitleSize + 8];
    FormatText(section, sizeof section, "%s%s", kProfileClassPrefix, windowClass);
    found = ProfileGet(section, key, out, kProfileLineMax);
    if (found) {
      if (found > 0) Served(served, section);
      return found;
    }
  }

  char name[MAX_PATH];
  if (!program && ask) program = ask->program(ask->context, name) == 0 ? name : nullptr;
  if (program && program[0]) {
    found = ProfileGet(program, key, out, kProfileLineMax);
    if (found) {
      if (found > 0) Served(served, program);
      return found;
    }
  }

  found = ProfileGet(kProfileDefault, key, out, kProfileLineMax);
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

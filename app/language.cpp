// The language module: a resource-only DLL beside the program, "REMOT" + code + ".DLL", where the
// code is the "Language" value under the maker's key. It holds the dialog templates and the tray
// menu texts. A missing key or value means no module at all; a code whose file does not load falls
// back to the English module "REMOT001.DLL".
//
// A user's own choice (the value under HKEY_CURRENT_USER, which Setup writes) comes first. Without
// a usable one the machine's key (HKEY_LOCAL_MACHINE) is read, and only when that has no such key
// or value is the user's read again, so that a program installed for one user, without the right to
// write the machine's registry, still finds its language. A machine value that is there but cannot
// be used (too long, or refused) is not passed over: it still means no module, as it did before the
// user's key was looked at.
//
// A module whose texts need a code page that this system's ANSI functions cannot show is let go
// again, as a file that does not load: the English module serves instead.
//
// Run with administrator rights, the program reads the machine's value only: the user's own key is
// open to every program the user runs.
//
// The code is a name, not a path: only letters, digits, '-' and '_', at most 32 of them, are put
// into the file name; any other code ("\..\..\x", "C:x") would name a file outside the program's
// folder, and takes the English module, as a code whose file does not load. A value that is not a
// zero-terminated string is cut at the end of what was read; one that fills the whole 128-byte
// buffer without a terminator counts as too long, like a longer value. A file name that would not
// fit into the path buffer is treated as a file that does not load.
#include "app/language.h"

#include "common/process.h"

#include "common/langmodule.h"

#include <cstring>

static const char kMakerKey[] = "Software\\Halvesta Systems\\Tessil OVRA";
static const char kFallbackName[] = "REMOT001.DLL";

enum { kCodeAbsent = -1, kCodeUnusable = -2 };

// Reads the language code into code (size bytes, zero-terminated) from the maker's key under root.
// 0; kCodeAbsent when there is no such key or value; kCodeUnusable when there is one that cannot be read.
static int LanguageReadCode(HKEY root, char* code, DWORD size) {
  HKEY key;
  LONG opened = RegOpenKeyExA(root, kMakerKey, 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND ? kCodeAbsent : kCodeUnusable;
  DWORD length = size;
  LONG read = RegQueryValueExA(key, "Language", nullptr, nullptr, reinterpret_cast<BYTE*>(code), &length);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) return read == ERROR_FILE_NOT_FOUND ? kCodeAbsent : kCodeUnusable;
  if (length >= size) {
    if (code[size - 1] != '\0') return kCodeUnusable;  // 128 bytes and no terminator: a code too long
    return 0;
  }
  code[length] = '\0';
  return 0;
}

// Replaces the file name part of path (after its last backslash) by the concatenation of parts.
// -1, with path left unusable, when the result would not fit into MAX_PATH bytes.
static int LanguageSetFileName(char* path, size_t folderLength, const char* const* parts, int count) {
  size_t used = folderLength;
  for (int i = 0; i < count; ++i) {
    size_t n = strlen(parts[i]);
    if (used + n >= MAX_PATH) return -1;
    memcpy(path + used, parts[i], n);
    used += n;
  }
  path[used] = '\0';
  return 0;
}

int LanguageCodeValid(const char* code) {
  size_t n = 0;
  for (; code[n]; n++) {
    char c = code[n];
    bool name =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!name || n >= kLanguageCodeMax) return 0;
  }
  return 1;
}

HMODULE LoadLanguageModule(HINSTANCE instance, bool machineOnly) {
  char code[128];
  int user = machineOnly ? kCodeAbsent : LanguageReadCode(HKEY_CURRENT_USER, code, sizeof code);
  int read = user == 0 ? 0 : LanguageReadCode(HKEY_LOCAL_MACHINE, code, sizeof code);
  if (read == kCodeAbsent) read = user;
  if (read < 0) return nullptr;

  char path[MAX_PATH];
  int length = ProcessModulePath(instance, path);  // own path unknown: bare names, found by search
  size_t folder = length < 0 ? 0 : size_t(length);
  while (folder > 0 && path[folder - 1] != '\\') --folder;

  const char* first[] = {"REMOT", code, ".DLL"};
  HMODULE module = nullptr;
  if (LanguageCodeValid(code) && LanguageSetFileName(path, folder, first, 3) == 0)
    module = LoadLibraryA(path);
  if (module && LanguageModuleShows(module)) return module;
  if (module) FreeLibrary(module);
  const char* fallback[] = {kFallbackName};
  if (LanguageSetFileName(path, folder, fallback, 1) < 0) return nullptr;
  return LoadLibraryA(path);
}

// The language module: a resource-only DLL beside the program, "REMOT" + code + ".DLL", where the
// code is the "Language" value under the maker's key. It holds the dialog templates and the tray
// menu texts. A missing key or value means no module at all; a code whose file does not load falls
// back to the English module "REMOT001.DLL".
//
// The code is used verbatim in the file name. A value that is not a zero-terminated string is cut at
// the end of what was read; one that fills the whole 128-byte buffer without a terminator counts as
// too long, like a longer value. A file name that would not fit into the path buffer is treated as
// a file that does not load.
#include "app/shell.h"

#include <cstring>

static const char kMakerKey[] = "Software\\Halvesta Systems\\Tessil OVRA";
static const char kFallbackName[] = "REMOT001.DLL";

// Reads the language code into code (size bytes, zero-terminated). 0, or -1 when there is none.
static int LanguageReadCode(HKEY key, char* code, DWORD size) {
  DWORD length = size;
  if (RegQueryValueExA(key, "Language", nullptr, nullptr, reinterpret_cast<BYTE*>(code), &length) !=
      ERROR_SUCCESS)
    return -1;
  if (length >= size) {
    if (code[size - 1] != '\0') return -1;  // 128 bytes and no terminator: a code too long
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

HMODULE LoadLanguageModule(HINSTANCE instance) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMakerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  char code[128];
  int read = LanguageReadCode(key, code, sizeof code);
  RegCloseKey(key);
  if (read < 0) return nullptr;

  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) length = 0;  // own path unknown: bare names, found by search
  path[length] = '\0';
  size_t folder = length;
  while (folder > 0 && path[folder - 1] != '\\') --folder;

  const char* first[] = {"REMOT", code, ".DLL"};
  HMODULE module = nullptr;
  if (LanguageSetFileName(path, folder, first, 3) == 0) module = LoadLibraryA(path);
  if (module) return module;
  const char* fallback[] = {kFallbackName};
  if (LanguageSetFileName(path, folder, fallback, 1) < 0) return nullptr;
  return LoadLibraryA(path);
}

// Texts come from the language module first, so that a translation wins; the program's English
// list stands in for any text the module lacks (a module made for an older program, or one that
// holds only the dialogs and the menu), so every window keeps its words.
#include "common/text.h"

#include <windows.h>

#include <string.h>

#include "common/process.h"
#include "resources/resource_ids.h"

struct TextEntry {
  int id;
  const char* text;
};

static const TextEntry kEnglish[] = {
#define REMOTE_TEXT(id, text) {id, text},
#include "resources/texts001.inc"
#undef REMOTE_TEXT
};

static void TextCopy(char* out, size_t size, const char* text) {
  if (size == 0) return;
  size_t n = strlen(text);
  if (n >= size) n = size - 1;
  memcpy(out, text, n);
  out[n] = '\0';
}

int TextLoad(int id, char* out, size_t size) {
  if (size == 0) return 0;
  out[0] = '\0';
  if (gLanguageModule && size <= 0x7fffffff && LoadStringA(gLanguageModule, UINT(id), out, int(size)) > 0)
    return int(strlen(out));
  for (const TextEntry& e : kEnglish) {
    if (e.id != id) continue;
    TextCopy(out, size, e.text);
    break;
  }
  return int(strlen(out));
}

int TextFormat(char* out, size_t size, int id, std::initializer_list<const char*> args) {
  if (size == 0) return 0;
  out[0] = '\0';
  char pattern[kTextPatternSize];
  if (TextLoad(id, pattern, sizeof pattern) == 0) return 0;
  DWORD_PTR values[kTextMaxArgs];
  int i = 0;
  for (const char* a : args) {
    if (i == kTextMaxArgs) break;
    values[i++] = reinterpret_cast<DWORD_PTR>(a ? a : "");
  }
  for (; i < kTextMaxArgs; ++i) values[i] = reinterpret_cast<DWORD_PTR>("");
  char* formatted = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, pattern, 0,
      0, reinterpret_cast<char*>(&formatted), 0, reinterpret_cast<va_list*>(values));
  if (n == 0 || !formatted) {
    TextCopy(out, size, pattern);  // a text the formatter refuses is still shown
  } else {
    TextCopy(out, size, formatted);
  }
  if (formatted) LocalFree(formatted);
  return int(strlen(out));
}

int TextFormatCount(char* out, size_t size, int id, long count, std::initializer_list<const char*> args) {
  char rule[8];
  TextLoad(IDS_PLURAL_RULE, rule, sizeof rule);
  bool singular = count == 1 || (count == 0 && strchr(rule, '0'));
  return TextFormat(out, size, singular ? id : id + 1, args);
}

HMODULE TextDialogModule(int id) {
  static HMODULE english;  // loaded once when first needed, never freed, as the language module
  if (gLanguageModule && FindResourceA(gLanguageModule, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)))
    return gLanguageModule;
  if (!english) {
    char path[MAX_PATH];
    int length = ProcessModulePath(nullptr, path);
    size_t folder = length < 0 ? 0 : size_t(length);
    while (folder > 0 && path[folder - 1] != '\\') --folder;
    static const char kEnglish[] = "REMOT001.DLL";
    if (folder + sizeof kEnglish > MAX_PATH) return nullptr;
    memcpy(path + folder, kEnglish, sizeof kEnglish);
    english = LoadLibraryA(path);
  }
  return english && FindResourceA(english, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)) ? english : nullptr;
}

// The texts the user reads: from the language module's string table, else the program's own
// English (resources/texts001.inc, the list the English module is built from). Main thread or any
// worker: the module is loaded once at start-up and only read afterwards. This is only the loader:
// the layers below the dialogs return codes and values, and the code that shows a text (app/,
// setup/) picks its words here.
#pragma once
#include <windows.h>
#include <stddef.h>

#include <initializer_list>

enum {
  kTextMaxArgs = 9,
  kTextPatternSize = 1024,  // the longest text TextFormat takes, terminator included
};

// Text `id` into out (size bytes, zero-terminated, cut when longer). Its length; 0 and an empty
// text for an id that neither the module nor the program has.
int TextLoad(int id, char* out, size_t size);
// Text `id` with %1 .. %9 replaced by args, in the order the text names them (a translation may
// reorder them); %% is a percent sign. Missing args are empty. Returns the length written.
int TextFormat(char* out, size_t size, int id, std::initializer_list<const char*> args);
// The singular form (`id`) or the plural form (`id + 1`) for count, by the module's plural rule,
// formatted as TextFormat does. The caller passes the count among args where the text shows it.
int TextFormatCount(char* out, size_t size, int id, long count, std::initializer_list<const char*> args);
// The module that holds dialog template `id`: the language module, else the English module beside
// the program (a module made for an older program, or one with only the setup and test dialogs), so
// that every window opens; null when neither has it. Main thread.
HMODULE TextDialogModule(int id);

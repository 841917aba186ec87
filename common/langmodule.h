// What the program reads from a language module file itself, before or beside loading it: the code
// page its texts need, and whether this system can show them. The program calls the ANSI functions,
// so a module's texts come out in the system's ANSI code page; a module written for another one
// would show question marks, and the English module serves instead.
#pragma once
#include <windows.h>

// Whether texts that need code page `needed` (0: plain ASCII) show on a system whose ANSI code page
// is `system` (GetACP).
bool LanguageCodePageShows(unsigned needed, unsigned system);
// The code page module's texts need: its string IDS_LANGUAGE_CODEPAGE, 0 (plain ASCII) when it has
// none. The module may be loaded as data.
unsigned LanguageModuleCodePage(HMODULE module);
// Whether module's texts show on this system.
bool LanguageModuleShows(HMODULE module);

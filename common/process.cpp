#include "common/process.h"

HINSTANCE gProgramInstance;
HMODULE gLanguageModule;
char gProfilePath[MAX_PATH] = "profiles.ini";

#include "app/shell.h"

HINSTANCE gProgramInstance;
HMODULE gLanguageModule;
UINT gTrayMessage;
char gProfilePath[MAX_PATH] = "profiles.ini";

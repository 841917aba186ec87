// Placeholder until the dispatch thread lands.
#include "actions/dispatch.h"

ActionHandler gActionHandler;
DWORD WINAPI DispatchThread(LPVOID) { return 0; }

#include "common/process.h"

HINSTANCE gProgramInstance;
HMODULE gLanguageModule;
char gProfilePath[MAX_PATH] = "profiles.ini";

int ProcessModulePath(HMODULE module, char* path) {
  DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {  // failed, or cut short
    path[0] = '\0';
    return -1;
  }
  path[length] = '\0';
  return int(length);
}

void ProcessErrorText(unsigned long error, char* out, size_t size) {
  if (size == 0) return;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(error),
                           0, out, DWORD(size), nullptr);
  while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == ' ' || out[n - 1] == '.')) n--;
  out[n] = '\0';
}

static bool ProcessOwns(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid == GetCurrentProcessId();
}

HWND ProcessFrontRemember() {
  HWND front = GetForegroundWindow();
  return front && !ProcessOwns(front) ? front : nullptr;
}

void ProcessFrontGiveBack(HWND before) {
  if (!before || !IsWindow(before)) return;
  HWND front = GetForegroundWindow();
  if (front && !ProcessOwns(front)) return;  // the user went on to another window meanwhile
  SetForegroundWindow(before);
}

// A few slots, written on the main thread and read by the dispatch thread.
static HWND volatile tools[4];
static HWND volatile frontNoted;

void ProcessToolAdd(HWND tool) {
  for (auto& slot : tools) {
    if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&slot), tool, nullptr) == nullptr)
      return;
  }
}

void ProcessToolRemove(HWND tool) {
  for (auto& slot : tools)
    InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&slot), nullptr, tool);
}

void ProcessFrontNote(HWND window) {
  if (window && !ProcessOwns(window))
    InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&frontNoted), window);
}

static bool IsTool(HWND window) {
  for (int depth = 0; window && depth < 8; depth++, window = GetWindow(window, GW_OWNER)) {
    for (HWND tool : tools) {
      if (tool && tool == window) return true;
    }
  }
  return false;
}

HWND ProcessFrontNoted() {
  HWND noted = frontNoted;
  return noted && IsWindow(noted) && !ProcessOwns(noted) ? noted : nullptr;
}

HWND ProcessPressTarget(HWND front) {
  if (!front || !ProcessOwns(front) || !IsTool(front)) return front;
  return ProcessFrontNoted();
}

// The dispatch thread: for every key event it reads the foreground window's title and the file
// name of its program and looks the key up in profiles.ini, afresh each time so that edits count
// at the next key press. The program's name costs one process query per key; its section is read
// only when neither the title's section nor the alias has the key. The line
// found runs on this thread against the foreground window, so COMMAND and CLOSE lines act on
// the window in front; the next event waits in the queue until the action is done.
#include "actions/dispatch.h"

#include <stdio.h>
#include <string.h>

#include "actions/interp.h"
#include "common/process.h"
#include "receiver/keyqueue.h"

ActionHandler gActionHandler = RunActionLine;

static const char kDefaultSection[] = "default";
static const char kAliasSection[] = "title -";

// Reads section/key into out (size bytes); 1 when the value is present and not empty, -1 (out
// emptied) when it fills the buffer, that is, when it may have been cut.
static int ReadValue(const char* path, const char* section, const char* key, char* out, DWORD size) {
  out[0] = '\0';
  DWORD length = GetPrivateProfileStringA(section, key, "", out, size, path);
  if (length >= size - 1) {
    out[0] = '\0';
    return -1;
  }
  return out[0] != '\0';
}

// Result of one lookup step: the value found (1), or too long (-1), or none (0).
static int ReadLine(const char* path, const char* section, const char* key, char* out) {
  return ReadValue(path, section, key, out, kProfileValueSize);
}

int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out) {
  char key[16];
  snprintf(key, sizeof key, "Key%d", code);

  // A window without a title has no section of its own: an empty section name would read the
  // lines above the file's first section header.
  int found = title[0] ? ReadLine(path, title, key, out) : 0;
  if (found) return found;

  char cut[kTitleSize];
  snprintf(cut, sizeof cut, "%s", title);
  if (CutAliasTitle(cut)) {
    char alias[kTitleSize];
    if (ReadValue(path, kAliasSection, cut, alias, sizeof alias) == 1) {
      found = ReadLine(path, alias, key, out);
      if (found) return found;
    }
  }

  if (program && program[0]) {
    found = ReadLine(path, program, key, out);
    if (found) return found;
  }

  found = ReadLine(path, kDefaultSection, key, out);
  if (found) return found;
  out[0] = '\0';
  return 0;
}

typedef BOOL(WINAPI* QueryImageNameFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

int ProfileProgramName(HWND window, char* out) {
  out[0] = '\0';
  // Looked up at run time: older Windows versions lack the function (the step is then skipped).
  static const QueryImageNameFn query = reinterpret_cast<QueryImageNameFn>(
      GetProcAddress(GetModuleHandleA("KERNEL32"), "QueryFullProcessImageNameA"));
  DWORD pid = 0;
  if (!query || !window || !GetWindowThreadProcessId(window, &pid) || !pid) return -1;
  // Limited query rights suffice, also for programs that run as administrator.
  const DWORD kQueryLimitedInformation = 0x1000;
  HANDLE process = OpenProcess(kQueryLimitedInformation, FALSE, pid);
  if (!process) return -1;
  char path[MAX_PATH];
  DWORD size = MAX_PATH;
  BOOL ok = query(process, 0, path, &size);
  CloseHandle(process);
  if (!ok || size == 0 || size >= MAX_PATH) return -1;
  path[size] = '\0';
  const char* name = path + size;
  while (name > path && name[-1] != '\\' && name[-1] != '/') name--;
  snprintf(out, MAX_PATH, "%s", name);
  return out[0] ? 0 : -1;
}

static void DispatchEvent(KeyEvent e) {
  HWND window = GetForegroundWindow();
  char title[kTitleSize] = "";
  if (window) GetWindowTextA(window, title, kTitleSize);
  char program[MAX_PATH];
  ProfileProgramName(window, program);
  char line[kProfileValueSize];
  if (ProfileLookup(gProfilePath, title, program, e.code, line) != 1) return;
  gActionHandler(window, line, e.enable);
}

DWORD WINAPI DispatchThread(LPVOID arg) {
  const DispatchContext* context = static_cast<const DispatchContext*>(arg);
  HANDLE waits[2] = {context->quit, context->keyReady};  // quit first: it wins when both are set
  for (;;) {
    DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return 0;
    if (woken != WAIT_OBJECT_0 + 1) continue;
    KeyEvent e;
    while (WaitForSingleObject(context->quit, 0) != WAIT_OBJECT_0 && QueueTake(&e)) DispatchEvent(e);
  }
}

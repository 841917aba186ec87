// The dispatch thread: for every key event it reads the foreground window's title and looks the
// key up in profiles.ini, afresh each time so that edits count at the next key press. The line
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

// Reads section/key into out; 1 when the value is present and not empty.
static int ReadValue(const char* path, const char* section, const char* key, char* out) {
  out[0] = '\0';
  GetPrivateProfileStringA(section, key, "", out, kProfileValueSize, path);
  return out[0] != '\0';
}

int ProfileLookup(const char* path, const char* title, int code, char* out) {
  char key[16];
  snprintf(key, sizeof key, "Key%d", code);

  // A window without a title has no section of its own: an empty section name would read the
  // lines above the file's first section header.
  if (title[0] && ReadValue(path, title, key, out)) return 1;

  char cut[kTitleSize];
  snprintf(cut, sizeof cut, "%s", title);
  if (CutAliasTitle(cut)) {
    char alias[kProfileValueSize];
    if (ReadValue(path, kAliasSection, cut, alias) && ReadValue(path, alias, key, out)) return 1;
  }

  if (ReadValue(path, kDefaultSection, key, out)) return 1;
  out[0] = '\0';
  return 0;
}

static void DispatchEvent(KeyEvent e) {
  HWND window = GetForegroundWindow();
  char title[kTitleSize] = "";
  if (window) GetWindowTextA(window, title, kTitleSize);
  char line[kProfileValueSize];
  if (!ProfileLookup(gProfilePath, title, e.code, line)) return;
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

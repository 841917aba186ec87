// Opens the Assign dialog of a language module (the English one unless a code is given) for a sample
// press, as the Activity window does, so that tools/screenshots.sh can take its picture. The line
// goes into the profiles.ini of the current folder. With a remote and a name the press is of that
// named button of a network receiver. With "activity" instead of a title it opens the Activity
// window over sample presses of each kind of receiver (named buttons come from receivers this
// machine has no hardware for).
// Usage: assignshot.exe [code [title [program [remote name]]]]   (ends when the dialog is closed)
//        assignshot.exe code activity
#include <windows.h>

#include <commctrl.h>
#include <string.h>

#include "app/activitywin.h"
#include "app/assign.h"
#include "common/activitylog.h"
#include "common/process.h"

// The Activity window over a few presses: a serial code, a network receiver's button, a key of a
// USB remote and a Media Center button with no entry.
static int ShowActivity(HMODULE language) {
  static const struct {
    int code, source;
    const char *remote, *name, *line;
    int result;
    long detail;
  } kPresses[] = {
      {12, 0, "", "", "KEYBOARD VOLUP+^VOLUP", kActivityKeysSent, 2},
      {0, 1, "DEMO", "KEY_PLAY", "KEYBOARD PLAY+^PLAY", kActivityKeysSent, 2},
      {0, 2, "keyboard", "NEXT", "KEYBOARD NEXT+^NEXT", kActivityKeysSent, 2},
      {0, 3, "mce", "GUIDE", "", kActivityNoEntry, 0},
  };
  for (const auto& p : kPresses) {
    ActivityEvent e;
    ZeroMemory(&e, sizeof e);
    e.kind = kActivityPress;
    e.time = ActivityNow();
    e.code = p.code;
    e.source = p.source;
    lstrcpynA(e.remote, p.remote, sizeof e.remote);
    lstrcpynA(e.name, p.name, sizeof e.name);
    e.result = p.result;
    e.detail = p.detail;
    lstrcpynA(e.title, "Song.mp3 - Media Player", sizeof e.title);
    lstrcpynA(e.program, "player.exe", sizeof e.program);
    if (p.line[0]) lstrcpynA(e.section, "player.exe", sizeof e.section);
    lstrcpynA(e.line, p.line, sizeof e.line);
    ActivityLogAdd(&e);
  }
  if (ActivityWindowOpen(language, nullptr) < 0) return 1;
  MSG msg;
  while (ActivityWindowHandle() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(ActivityWindowHandle(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

int main(int argc, char** argv) {
  InitCommonControls();
  char name[64];
  wsprintfA(name, "REMOT%.8s.DLL", argc > 1 ? argv[1] : "001");
  HMODULE language = LoadLibraryA(name);
  gLanguageModule = language;
  GetFullPathNameA("profiles.ini", MAX_PATH, gProfilePath, nullptr);
  if (argc > 2 && strcmp(argv[2], "activity") == 0) return ShowActivity(language);
  AssignPress press = {9, "Big Buck Bunny - VLC media player", "vlc.exe"};
  if (argc > 2) lstrcpynA(press.title, argv[2], sizeof press.title);
  if (argc > 3) lstrcpynA(press.program, argv[3], sizeof press.program);
  if (argc > 5) {
    press.source = 1;  // a network receiver's
    lstrcpynA(press.remote, argv[4], sizeof press.remote);
    lstrcpynA(press.name, argv[5], sizeof press.name);
  }
  return AssignDialogRun(language, nullptr, &press) < 0 ? 1 : 0;
}

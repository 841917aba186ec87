// Opens the Assign dialog of a language module (the English one unless a code is given) for a sample
// press, as the Activity window does, so that tools/screenshots.sh can take its picture. The line
// goes into the profiles.ini of the current folder.
// Usage: assignshot.exe [code [title [program]]]      (ends when the dialog is closed)
#include <windows.h>

#include <commctrl.h>

#include "app/assign.h"
#include "common/process.h"

int main(int argc, char** argv) {
  InitCommonControls();
  char name[64];
  wsprintfA(name, "REMOT%.8s.DLL", argc > 1 ? argv[1] : "001");
  HMODULE language = LoadLibraryA(name);
  gLanguageModule = language;
  GetFullPathNameA("profiles.ini", MAX_PATH, gProfilePath, nullptr);
  AssignPress press = {9, "Big Buck Bunny - VLC media player", "vlc.exe"};
  if (argc > 2) lstrcpynA(press.title, argv[2], sizeof press.title);
  if (argc > 3) lstrcpynA(press.program, argv[3], sizeof press.program);
  return AssignDialogRun(language, nullptr, &press) < 0 ? 1 : 0;
}

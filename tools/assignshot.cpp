// Opens the Assign dialog of the English language module for a sample press, as the Activity window
// does, so that tools/screenshots.sh can take its picture. The line goes into the profiles.ini of
// the current folder. Usage: assignshot.exe [title [program]]   (ends when the dialog is closed)
#include <windows.h>

#include <commctrl.h>

#include "app/assign.h"
#include "common/process.h"

int main(int argc, char** argv) {
  InitCommonControls();
  HMODULE language = LoadLibraryA("REMOT001.DLL");
  GetFullPathNameA("profiles.ini", MAX_PATH, gProfilePath, nullptr);
  AssignPress press = {9, "Big Buck Bunny - VLC media player", "vlc.exe"};
  if (argc > 1) lstrcpynA(press.title, argv[1], sizeof press.title);
  if (argc > 2) lstrcpynA(press.program, argv[2], sizeof press.program);
  return AssignDialogRun(language, nullptr, &press) < 0 ? 1 : 0;
}

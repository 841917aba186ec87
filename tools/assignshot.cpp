// Opens the Assign dialog of the English language module for a sample press, as the Activity window
// does, so that tools/screenshots.sh can take its picture. The line goes into the profiles.ini of
// the current folder. Usage: assignshot.exe      (ends when the dialog is closed)
#include <windows.h>

#include <commctrl.h>

#include "app/assign.h"
#include "common/process.h"

int main() {
  InitCommonControls();
  HMODULE language = LoadLibraryA("REMOT001.DLL");
  GetFullPathNameA("profiles.ini", MAX_PATH, gProfilePath, nullptr);
  AssignPress press = {9, "Big Buck Bunny - VLC media player", "vlc.exe"};
  return AssignDialogRun(language, nullptr, &press) < 0 ? 1 : 0;
}

// The modules are found as "REMOT*.DLL" beside the program and loaded as data files only for their
// name and code page, then let go: nothing of them runs, and the module in use stays the one loaded
// at start-up. A module without a name is listed by its code; one whose texts this system's ANSI
// code page cannot show is not offered.
#include "setup/langchoice.h"

#include <string.h>

#include "common/langmodule.h"
#include "common/process.h"
#include "common/text.h"
#include "resources/resource_ids.h"

static const char kMakerKey[] = "Software\\Halvesta Systems\\Tessil OVRA";
static const char kUserKeyName[] = "HKEY_CURRENT_USER\\Software\\Halvesta Systems\\Tessil OVRA";

enum { kMaxModules = 32, kMaxCode = 16 };

// Main thread only: the codes of the listed modules (item data is the index), filled at dialog start.
static char sCodes[kMaxModules][kMaxCode];
static int sCount;
static int sRestart;

// The code in a module file name ("REMOT049.DLL" gives "049") into code; false when the name is not
// of that form or the code too long.
static bool CodeOfFileName(const char* name, char* code) {
  size_t n = strlen(name);
  if (n < 9 || _strnicmp(name, "REMOT", 5) != 0 || _stricmp(name + n - 4, ".DLL") != 0) return false;
  if (n - 9 >= kMaxCode) return false;
  memcpy(code, name + 5, n - 9);
  code[n - 9] = '\0';
  return true;
}

// The code of the module running now, "" when unknown.
static void RunningCode(char* code) {
  char path[MAX_PATH];
  code[0] = '\0';
  if (!gLanguageModule || ProcessModulePath(gLanguageModule, path) < 0) return;
  const char* name = strrchr(path, '\\');
  if (!CodeOfFileName(name ? name + 1 : path, code)) code[0] = '\0';
}

// The user's "Language" value, "" when there is none that fits.
static void UserCode(char* code) {
  code[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMakerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD size = kMaxCode;
  DWORD type = 0;
  LONG read = RegQueryValueExA(key, "Language", nullptr, &type, reinterpret_cast<BYTE*>(code), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ || size == 0 || code[size - 1] != '\0') code[0] = '\0';
}

// Adds the module at path (file name `name`) to the list when this system can show it.
static void ListModule(HWND list, const char* path, const char* name) {
  if (sCount == kMaxModules || !CodeOfFileName(name, sCodes[sCount])) return;
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return;
  char title[64];
  bool shows = LanguageModuleShows(module);
  if (LoadStringA(module, IDS_LANGUAGE_NAME, title, sizeof title) <= 0) strcpy(title, sCodes[sCount]);
  FreeLibrary(module);
  if (!shows) return;
  LRESULT item = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
  if (item < 0) return;
  SendMessageA(list, CB_SETITEMDATA, WPARAM(item), sCount);
  sCount++;
}

// Selects the item of code; false when none has it.
static bool SelectCode(HWND list, const char* code) {
  LRESULT items = SendMessageA(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < items; i++) {
    LRESULT slot = SendMessageA(list, CB_GETITEMDATA, WPARAM(i), 0);
    if (slot < 0 || slot >= sCount || _stricmp(sCodes[slot], code) != 0) continue;
    SendMessageA(list, CB_SETCURSEL, WPARAM(i), 0);
    return true;
  }
  return false;
}

// The code of the selected item, or null.
static const char* SelectedCode(HWND list) {
  LRESULT item = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (item < 0) return nullptr;
  LRESULT slot = SendMessageA(list, CB_GETITEMDATA, WPARAM(item), 0);
  return slot >= 0 && slot < sCount ? sCodes[slot] : nullptr;
}

void SetupLanguageList(HWND dialog) {
  sCount = 0;
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE);
  if (!list) return;
  char path[MAX_PATH];
  int length = ProcessModulePath(nullptr, path);
  size_t folder = length < 0 ? 0 : size_t(length);
  while (folder > 0 && path[folder - 1] != '\\') --folder;
  static const char kPattern[] = "REMOT*.DLL";
  if (folder + sizeof kPattern > MAX_PATH) return;
  memcpy(path + folder, kPattern, sizeof kPattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (folder + strlen(found.cFileName) >= MAX_PATH) continue;
    strcpy(path + folder, found.cFileName);
    ListModule(list, path, found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  char code[kMaxCode];
  UserCode(code);
  if (code[0] && SelectCode(list, code)) return;
  RunningCode(code);
  SelectCode(list, code);
}

int SetupLanguageSave(HWND dialog, const char** failedKey, LONG* error) {
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE);
  const char* chosen = list ? SelectedCode(list) : nullptr;
  if (!chosen) return 0;
  char before[kMaxCode];
  UserCode(before);
  if (!before[0]) RunningCode(before);
  if (_stricmp(chosen, before) != 0) {
    HKEY key;
    LONG result =
        RegCreateKeyExA(HKEY_CURRENT_USER, kMakerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
      result = RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(chosen),
                              DWORD(strlen(chosen) + 1));
      RegCloseKey(key);
    }
    if (result != ERROR_SUCCESS) {
      *failedKey = kUserKeyName;
      *error = result;
      return -1;
    }
  }
  char running[kMaxCode];
  RunningCode(running);
  return _stricmp(chosen, running) != 0 ? 1 : 0;
}

void SetupLanguageAskRestart(HWND dialog) {
  char text[512], caption[128];
  TextLoad(IDS_LANGUAGE_RESTART, text, sizeof text);
  TextLoad(IDS_LANGUAGE_CAPTION, caption, sizeof caption);
  if (MessageBoxA(dialog, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES) sRestart = 1;
}

int SetupRestartWanted() {
  int wanted = sRestart;
  sRestart = 0;
  return wanted;
}

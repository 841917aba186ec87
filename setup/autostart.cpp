// Autostart for every kind of account.
//
// The program starts with Windows through the value "OVRARemote" under a Run key. The machine's key
// (HKEY_LOCAL_MACHINE) comes first, as it always did: whoever may write it (an administrator, or an
// older system without account rights) keeps it there. A standard account, or an administrator
// under UAC, may only read it; such a user's choice goes to the user's own Run key instead, which
// starts the program at that user's logon. Both keys are read, so the box shows what happens at
// logon whichever key holds the value.
//
// Switching off removes the value from every key that holds it. A value in the machine's key that
// the user cannot remove is reported, not silently left on; the same for any write that fails.
// Writing to the machine's key also removes a copy in the user's key, and a user whose machine key
// already starts the program gets no copy: a second start would only find the first one running.
//
// An installation for all users may start the program through a scheduled task instead, with the
// highest rights each user has ("Also control programs that run as administrator"). The installer
// then writes the task's name as "LogonTask" beside the language value; Setup shows the start as
// the task's and writes no Run value, which would start a second, unelevated copy first.
#include "setup/autostart.h"

#include "common/process.h"

LONG(WINAPI* gAutostartOpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = RegOpenKeyExA;

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kRunValue[] = "OVRARemote";
static const char kMachineRunName[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kUserRunName[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

static int AutostartProgramPath(char path[MAX_PATH]) {
  return ProcessModulePath(gProgramInstance, path) < 0 ? -1 : 0;
}

// Writes the program's path; a path that cannot be had is not written (and is no failure).
static LONG AutostartWrite(HKEY run) {
  char path[MAX_PATH];
  if (AutostartProgramPath(path) < 0) return ERROR_SUCCESS;
  return RegSetValueExA(run, kRunValue, 0, REG_SZ, (const BYTE*)path, lstrlenA(path) + 1);
}

// Opens the Run key of root for reading and writing, else for reading only (*writable 0).
static LONG AutostartOpen(HKEY root, HKEY* run, int* writable) {
  *writable = 1;
  LONG opened = gAutostartOpenKey(root, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, run);
  if (opened == ERROR_SUCCESS) return opened;
  *writable = 0;
  if (gAutostartOpenKey(root, kRunKey, 0, KEY_QUERY_VALUE, run) == ERROR_SUCCESS) return ERROR_SUCCESS;
  return opened;
}

// 1 when root's Run key holds a readable value, 0 when not, -1 when the key cannot be opened.
static int AutostartReadKey(HKEY root) {
  HKEY run;
  int writable;
  if (AutostartOpen(root, &run, &writable) != ERROR_SUCCESS) return -1;
  char value[MAX_PATH];
  DWORD size = sizeof value;
  LONG read = RegQueryValueExA(run, kRunValue, nullptr, nullptr, (BYTE*)value, &size);
  // A value that fills the whole buffer without its terminating zero is too long as well.
  if (read == ERROR_SUCCESS && size < sizeof value) value[size] = 0;
  if (read == ERROR_SUCCESS && size == sizeof value && value[size - 1] != 0) read = ERROR_MORE_DATA;

  int holds = 0;
  if (read != ERROR_SUCCESS) {
    if (writable) RegDeleteValueA(run, kRunValue);
  } else {
    holds = 1;
    char path[MAX_PATH];
    if (writable && AutostartProgramPath(path) == 0 && lstrcmpiA(path, value) != 0) AutostartWrite(run);
  }
  RegCloseKey(run);
  return holds;
}

int AutostartRead() {
  int machine = AutostartReadKey(HKEY_LOCAL_MACHINE);
  int user = AutostartReadKey(HKEY_CURRENT_USER);
  if (machine < 0 && user < 0) return -1;
  return machine == 1 || user == 1 ? 1 : 0;
}

// Removes the value from root's Run key. ERROR_SUCCESS also when it is not there; else the reason
// it stays.
static LONG AutostartRemove(HKEY root) {
  HKEY run;
  LONG opened = gAutostartOpenKey(root, kRunKey, 0, KEY_SET_VALUE, &run);
  if (opened == ERROR_SUCCESS) {
    LONG deleted = RegDeleteValueA(run, kRunValue);
    RegCloseKey(run);
    return deleted == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : deleted;
  }
  // Not ours to change: a failure only if the value is there.
  if (gAutostartOpenKey(root, kRunKey, 0, KEY_QUERY_VALUE, &run) != ERROR_SUCCESS) return ERROR_SUCCESS;
  LONG present = RegQueryValueExA(run, kRunValue, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(run);
  return present == ERROR_SUCCESS ? opened : ERROR_SUCCESS;
}

// 1 when the machine's Run key names this program (in any letter case).
static int AutostartMachineStartsProgram() {
  HKEY run;
  if (gAutostartOpenKey(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, &run) != ERROR_SUCCESS) return 0;
  char value[MAX_PATH], path[MAX_PATH];
  DWORD size = sizeof value - 1;
  LONG read = RegQueryValueExA(run, kRunValue, nullptr, nullptr, (BYTE*)value, &size);
  RegCloseKey(run);
  if (read != ERROR_SUCCESS || AutostartProgramPath(path) < 0) return 0;
  value[size] = 0;
  return lstrcmpiA(path, value) == 0;
}

static int AutostartFail(const char* key, LONG reason, const char** failedKey, LONG* error) {
  *failedKey = key;
  *error = reason;
  return -1;
}

int AutostartSave(int on, const char** failedKey, LONG* error) {
  HKEY run;
  if (on && gAutostartOpenKey(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    LONG written = AutostartWrite(run);
    RegCloseKey(run);
    if (written != ERROR_SUCCESS) return AutostartFail(kMachineRunName, written, failedKey, error);
    AutostartRemove(HKEY_CURRENT_USER);
    return 0;
  }
  if (on && AutostartMachineStartsProgram()) return 0;
  if (on) {
    LONG opened = gAutostartOpenKey(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run);
    if (opened == ERROR_FILE_NOT_FOUND)
      opened =
          RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &run, nullptr);
    if (opened != ERROR_SUCCESS) return AutostartFail(kUserRunName, opened, failedKey, error);
    LONG written = AutostartWrite(run);
    RegCloseKey(run);
    if (written != ERROR_SUCCESS) return AutostartFail(kUserRunName, written, failedKey, error);
    return 0;
  }
  LONG machine = AutostartRemove(HKEY_LOCAL_MACHINE);
  LONG user = AutostartRemove(HKEY_CURRENT_USER);
  if (machine != ERROR_SUCCESS) return AutostartFail(kMachineRunName, machine, failedKey, error);
  if (user != ERROR_SUCCESS) return AutostartFail(kUserRunName, user, failedKey, error);
  return 0;
}

int AutostartByTask() {
  HKEY key;
  if (gAutostartOpenKey(HKEY_LOCAL_MACHINE, "Software\\Halvesta Systems\\Tessil OVRA", 0, KEY_QUERY_VALUE,
                        &key) != ERROR_SUCCESS)
    return 0;
  char name[MAX_PATH];
  DWORD size = sizeof name, type = 0;
  LONG read = RegQueryValueExA(key, "LogonTask", nullptr, &type, (BYTE*)name, &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS && type == REG_SZ && size > 1 ? 1 : 0;
}

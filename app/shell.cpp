// Start-up and shutdown of the program around its message loop: the single-instance guard, the
// keystroke back end, the profile path and the receiver.
//
// The guard is the named mutex "HALVESTA_SYSTEMS_Remote_MUTEX". Opening it first finds an instance
// that runs already; creating it then takes it for this one. Two instances started at the same
// moment can both miss each other in the open step, so a create step that finds the mutex already
// there counts as another instance as well.
#include "app/shell.h"
#include "app/tray.h"
#include "app/guard.h"

#include <cstring>

#include "actions/inject.h"
#include "app/keypath.h"
#include "profile/profilepath.h"
#include "receiver/link.h"
#include "setup/setup.h"

static const char kMutexName[] = "HALVESTA_SYSTEMS_Remote_MUTEX";
static const char kProfileName[] = "profiles.ini";
static const char kErrorCaption[] = "OVRA Remote Error";

// Main thread only.
static HANDLE sInstanceMutex;
static OSVERSIONINFOA sVersion;
static int sRestart;

void ProfilePathFor(const char* moduleFile, char* path) {
  size_t folder = strlen(moduleFile);
  while (folder > 0 && moduleFile[folder - 1] != '\\') --folder;
  // A folder so long that the name would not fit leaves the bare name (looked up in the Windows folder).
  if (folder + sizeof kProfileName > MAX_PATH) folder = 0;
  memmove(path, moduleFile, folder);
  memcpy(path + folder, kProfileName, sizeof kProfileName);
}

int Initialise(HINSTANCE instance, HWND mainWindow) {
  HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
  if (other) {
    CloseHandle(other);
    return kStartOtherInstance;
  }
  sInstanceMutex = CreateMutexA(nullptr, TRUE, kMutexName);
  DWORD error = GetLastError();
  if (sInstanceMutex && error == ERROR_ALREADY_EXISTS) {
    CloseHandle(sInstanceMutex);
    sInstanceMutex = nullptr;
    return kStartOtherInstance;
  }
  if (!sInstanceMutex && error == ERROR_ACCESS_DENIED) return kStartOtherInstance;  // held by another user

  memset(&sVersion, 0, sizeof sVersion);
  sVersion.dwOSVersionInfoSize = sizeof sVersion;
  if (!GetVersionExA(&sVersion)) {
    memset(&sVersion, 0, sizeof sVersion);  // unknown: not Windows 95, so SendInput
    sVersion.dwOSVersionInfoSize = sizeof sVersion;
  }
  if (ChooseKeystrokeBackEnd(&sVersion) < 0) return kStartNoBackEnd;

  char file[MAX_PATH];
  ProcessModulePath(instance, file);  // unknown or cut short: empty, no folder to go by
  ProfilePathFor(file, gProfilePath);
  // The user's own profile, where there is one; elevated as the guard tells it (Wine never is).
  gProfileElevated = [] { return GuardElevated() != 0; };
  ProfileUseFor(gProfilePath);

  // Without a receiver the program still runs; the setup dialog lets the user pick a port. A port
  // that is configured but not there yet is waited for, and a network receiver (lirc=) is a receiver
  // of its own, with or without a port, whether or not its server answers yet: no dialog then.
  ReceiverSetStateWindow(mainWindow);
  gSetupKeyPath = {KeyPathStop, KeyPathStart};
  if (KeyPathStart() < 0) PostMessageA(mainWindow, WM_COMMAND, kCmdSetup, 0);
  return kStartOk;
}

void Shutdown() {
  KeyPathStop();
  if (sInstanceMutex) {
    CloseHandle(sInstanceMutex);
    sInstanceMutex = nullptr;
  }
  if (UsesKeyDriver(&sVersion)) CloseKeyDriver();
}

void ShellRestartAfterExit() {
  sRestart = 1;
}

void ShellStartAgain(HINSTANCE instance) {
  if (!sRestart) return;
  char path[MAX_PATH];
  if (ProcessModulePath(instance, path) < 0) return;
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  char commandLine[MAX_PATH + 2];
  wsprintfA(commandLine, "\"%s\"", path);
  if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

int ShowStartupError(HWND owner, int code) {
  switch (code) {
    case kStartNoLanguage:
      return MessageBoxA(owner, "Language file missing !", kErrorCaption, MB_OK);
    case kStartNoBackEnd:
      return MessageBoxA(owner, "Could not initialize !", kErrorCaption, MB_OK);
    default:
      return 0;
  }
}

// The choice of the profile in use and the making of the user's own profile.
#include "profile/profilepath.h"

#include <windows.h>

#include <string.h>

#include "common/format.h"
#include "common/process.h"

static const char kOwnFolder[] = "Halvesta Remote";
static const char kProfileFile[] = "profiles.ini";

// Main thread; the others read the path in use only through ProfilePathCopy.
static char shared[MAX_PATH];
static char own[MAX_PATH];
static int inUse = kProfileShared;
// Guards gProfilePath while a save switches it: the main thread writes it under this lock, the
// dispatch thread copies it under it. Held for one copy of a path, so a spin that yields will do.
static volatile LONG pathLock = 0;

static void PathLock() {
  while (InterlockedCompareExchange(&pathLock, 1, 0) != 0) Sleep(0);
}

static void PathUnlock() {
  InterlockedExchange(&pathLock, 0);
}

static bool Elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                  elevation.TokenIsElevated;
  CloseHandle(token);
  return elevated;
}

bool (*gProfileElevated)() = Elevated;

int ProfileChoose(bool elevated, bool ownExists, bool sharedRefused) {
  if (elevated) return kProfileShared;
  return ownExists || sharedRefused ? kProfileOwn : kProfileShared;
}

static bool Exists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The own profile's path from %APPDATA%; empty when it is unknown or too long.
static void OwnPathFind() {
  own[0] = '\0';
  char appData[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
  if (n == 0 || n >= sizeof appData) return;
  int length = FormatText(own, sizeof own, "%s\\%s\\%s", appData, kOwnFolder, kProfileFile);
  if (length < 0 || length >= int(sizeof own)) own[0] = '\0';
}

static void Use(int which) {
  inUse = which;
  PathLock();
  FormatText(gProfilePath, MAX_PATH, "%s", which == kProfileOwn ? own : shared);
  PathUnlock();
}

void ProfilePathCopy(char* out, size_t size) {
  PathLock();
  FormatText(out, size, "%s", gProfilePath);
  PathUnlock();
}

void ProfileUseFor(const char* sharedPath) {
  FormatText(shared, sizeof shared, "%s", sharedPath);
  OwnPathFind();
  Use(own[0] ? ProfileChoose(gProfileElevated(), Exists(own), false) : kProfileShared);
}

int ProfileInUse() {
  return inUse;
}

const char* ProfileSharedPath() {
  return shared;
}

const char* ProfileOwnPath() {
  return own;
}

// The own profile made from the shared one with the entries applied; 0, or the writer's result.
static int OwnMake(const char* section, const ProfileSetting* entries, size_t count, unsigned long* error) {
  char folder[MAX_PATH];
  FormatText(folder, sizeof folder, "%s", own);
  char* slash = strrchr(folder, '\\');
  if (slash) *slash = '\0';
  if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    *error = GetLastError();
    return kProfileWriteCreate;
  }
  // The shared text first, then the change through the writer: the own profile never holds less.
  if (Exists(shared) && !CopyFileA(shared, own, TRUE)) {
    *error = GetLastError();
    return kProfileWriteCreate;
  }
  SetFileAttributesA(own, FILE_ATTRIBUTE_NORMAL);  // the shared copy may be read-only
  int result = ProfileWriteEntries(own, section, entries, count, error);
  if (result < 0) {
    DeleteFileA(own);
    char backup[MAX_PATH + 8];
    FormatText(backup, sizeof backup, "%s%s", own, kProfileBackupSuffix);
    DeleteFileA(backup);
  }
  return result;
}

int ProfileSaveEntries(const char* section, const ProfileSetting* entries, size_t count,
                       unsigned long* error) {
  int result = ProfileWriteEntries(gProfilePath, section, entries, count, error);
  bool fromShared = inUse == kProfileShared && shared[0] && strcmp(gProfilePath, shared) == 0;
  bool refused = result == kProfileWriteCreate && *error == ERROR_ACCESS_DENIED;
  if (!refused || !fromShared || !own[0] || Exists(own) ||
      ProfileChoose(gProfileElevated(), false, true) != kProfileOwn)
    return result;
  unsigned long ownError = 0;
  int made = OwnMake(section, entries, count, &ownError);
  if (made < 0) return result;  // the shared profile's refusal is the one to tell
  Use(kProfileOwn);
  *error = 0;
  return 0;
}

int ProfileUseShared(unsigned long* error) {
  if (inUse != kProfileOwn) return 0;
  char backup[MAX_PATH + 8];
  FormatText(backup, sizeof backup, "%s%s", own, kProfileBackupSuffix);
  if (!MoveFileExA(own, backup, MOVEFILE_REPLACE_EXISTING)) {
    *error = GetLastError();
    return -1;
  }
  Use(kProfileShared);
  return 0;
}

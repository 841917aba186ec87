// What "cannot be changed without administrator rights" means here: no allowing entry of the
// object's DACL that applies to the object itself grants a right to change it (write or append
// data, add files or folders, delete it or its children, change its permissions or owner) to
// Everyone, Authenticated Users, Users, Interactive, or the account the program runs as; the
// object is not owned by one of them (an owner may always rewrite the permissions); it has a DACL
// at all. A mandatory label of high or above that forbids writing up keeps every process of the
// medium level out whatever the DACL says. Deny entries are not weighed: the guard may refuse a
// place that is in fact safe, never the other way round. The account itself does not count when
// it is the system's or a service's: those run above the user anyway.
#include "app/guard.h"
#include "common/format.h"

#include <aclapi.h>
#include <stdio.h>
#include <string.h>

static const char kErrorCaption[] = "OVRA Remote Error";
static const DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                                   WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

static HANDLE OwnToken() {
  HANDLE token = nullptr;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) ? token : nullptr;
}

static int TokenElevated() {
  HANDLE token = OwnToken();
  TOKEN_ELEVATION elevation;
  DWORD size = 0;
  BOOL ok = token && GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  if (token) CloseHandle(token);
  return ok ? elevation.TokenIsElevated != 0 : -1;
}

// The token's information of one class in a LocalAlloc'ed block, or null.
static void* TokenQuery(TOKEN_INFORMATION_CLASS what) {
  HANDLE token = OwnToken();
  if (!token) return nullptr;
  DWORD size = 0;
  GetTokenInformation(token, what, nullptr, 0, &size);
  void* data = size ? LocalAlloc(LPTR, size) : nullptr;
  if (data && !GetTokenInformation(token, what, data, size, &size)) data = LocalFree(data);
  CloseHandle(token);
  return data;
}

static long TokenIntegrity() {
  TOKEN_MANDATORY_LABEL* label = static_cast<TOKEN_MANDATORY_LABEL*>(TokenQuery(TokenIntegrityLevel));
  if (!label) return -1;
  PSID sid = label->Label.Sid;
  long rid = IsValidSid(sid) && *GetSidSubAuthorityCount(sid)
                 ? long(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1))
                 : -1;
  LocalFree(label);
  return rid;
}

static PSID TokenUserSid() {
  TOKEN_USER* user = static_cast<TOKEN_USER*>(TokenQuery(TokenUser));
  if (!user) return nullptr;
  DWORD length = GetLengthSid(user->User.Sid);
  PSID copy = LocalAlloc(LPTR, length);
  if (copy && !CopySid(length, copy, user->User.Sid)) copy = LocalFree(copy);
  LocalFree(user);
  return copy;
}

static DWORD FileSecurity(const char* path, PSECURITY_DESCRIPTOR* descriptor) {
  *descriptor = nullptr;
  return GetNamedSecurityInfoA(
      path, SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, nullptr, nullptr,
      nullptr, nullptr, descriptor);
}

static int RunsOnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") ? 1 : 0;
}

GuardQueries gGuardQueries = {TokenElevated, TokenIntegrity, TokenUserSid, FileSecurity, RunsOnWine};

int GuardElevated() {
  if (gGuardQueries.unguarded()) return 0;
  return gGuardQueries.elevation() == 1 || gGuardQueries.integrity() > long(SECURITY_MANDATORY_MEDIUM_RID);
}

// A trustee any program of the user's medium level acts as.
static bool Untrusted(PSID sid, PSID user) {
  if (IsWellKnownSid(sid, WinWorldSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid) ||
      IsWellKnownSid(sid, WinBuiltinUsersSid) || IsWellKnownSid(sid, WinInteractiveSid))
    return true;
  if (!user || IsWellKnownSid(user, WinLocalSystemSid) || IsWellKnownSid(user, WinLocalServiceSid) ||
      IsWellKnownSid(user, WinNetworkServiceSid))
    return false;
  return EqualSid(sid, user) != 0;
}

// 1 when a mandatory label of high or above forbids writing up to the object.
static int LabelKeepsMediumOut(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL sacl = nullptr;
  if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present || !sacl) return 0;
  for (DWORD i = 0; i < sacl->AceCount; i++) {
    ACE_HEADER* header;
    if (!GetAce(sacl, i, reinterpret_cast<void**>(&header)) ||
        header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE)
      continue;
    SYSTEM_MANDATORY_LABEL_ACE* label = reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(header);
    PSID sid = &label->SidStart;
    DWORD rid = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
    if (rid >= SECURITY_MANDATORY_HIGH_RID && (label->Mask & SYSTEM_MANDATORY_LABEL_NO_WRITE_UP)) return 1;
  }
  return 0;
}

int GuardChangeable(PSECURITY_DESCRIPTOR descriptor, PSID user) {
  if (LabelKeepsMediumOut(descriptor)) return 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner && Untrusted(owner, user)) return 1;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return 1;
  if (!present || !dacl) return 1;  // no DACL: everyone may do everything
  for (DWORD i = 0; i < dacl->AceCount; i++) {
    ACE_HEADER* header;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return 1;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    if ((ace->Mask & kChangeRights) && Untrusted(&ace->SidStart, user)) return 1;
  }
  return 0;
}

// 0 when the object at path is missing or safe; -1 when it can be changed or cannot be told.
static int CheckOne(const char* path, PSID user, char* unsafe) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = gGuardQueries.security(path, &descriptor);
  if (error == ERROR_FILE_NOT_FOUND) return 0;
  int changeable = error != ERROR_SUCCESS || !descriptor || GuardChangeable(descriptor, user);
  if (descriptor) LocalFree(descriptor);
  if (!changeable) return 0;
  FormatText(unsafe, MAX_PATH, "%s", path);
  return -1;
}

int GuardCheckStart(const char* folder, int* elevated, char* unsafe) {
  unsafe[0] = '\0';
  *elevated = GuardElevated();
  if (!*elevated) return 0;
  size_t length = strlen(folder);
  if (length == 0 || length + 16 >= MAX_PATH) {  // no folder to go by: the search path is anyone's
    FormatText(unsafe, MAX_PATH, "%s", folder);
    return -1;
  }
  PSID user = gGuardQueries.user();
  char path[MAX_PATH];
  FormatText(path, sizeof path, "%.*s", int(length - 1), folder);  // the folder itself
  int result = CheckOne(path, user, unsafe);
  FormatText(path, sizeof path, "%sprofiles.ini", folder);
  if (result == 0) result = CheckOne(path, user, unsafe);
  WIN32_FIND_DATAA found;
  FormatText(path, sizeof path, "%sREMOT*.DLL", folder);
  HANDLE search = result == 0 ? FindFirstFileA(path, &found) : INVALID_HANDLE_VALUE;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      FormatText(path, sizeof path, "%s%s", folder, found.cFileName);
      result = CheckOne(path, user, unsafe);
    } while (result == 0 && FindNextFileA(search, &found));
    FindClose(search);
  }
  if (user) LocalFree(user);
  return result;
}

void GuardRefuse(const char* unsafe) {
  char text[1024];
  FormatText(
      text, sizeof text,
      "Halvesta Remote Control runs with administrator rights from a folder that other programs can "
      "change:\n\n%s\n\nAny program could then run its own code with these rights, so it does not start "
      "this way. To control programs that run as administrator, install it for all users, with the "
      "component \"Also control programs that run as administrator\".",
      unsafe);
  MessageBoxA(nullptr, text, kErrorCaption, MB_OK | MB_ICONERROR);
}

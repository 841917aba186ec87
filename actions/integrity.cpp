// Integrity levels from the processes' tokens (TokenIntegrityLevel): the last sub-authority of the
// token's mandatory label. Systems without integrity levels (Windows XP, Wine) fail the query, and
// then nothing counts as higher.
#include "actions/integrity.h"

IntegrityLevelFn gIntegrityLevelOf = IntegrityLevelOfProcess;

enum { kTokenIntegrityLevel = 25 };  // TOKEN_INFORMATION_CLASS value, newer than the headers' target

long IntegrityLevelOfProcess(DWORD pid) {
  const DWORD kQueryLimitedInformation = 0x1000;
  HANDLE process = pid ? OpenProcess(kQueryLimitedInformation, FALSE, pid) : GetCurrentProcess();
  if (!process) return -1;
  HANDLE token = nullptr;
  BOOL opened = OpenProcessToken(process, TOKEN_QUERY, &token);
  if (pid) CloseHandle(process);
  if (!opened) return -1;
  union {
    TOKEN_MANDATORY_LABEL label;
    BYTE bytes[64];
  } info;
  DWORD size = 0;
  BOOL ok =
      GetTokenInformation(token, TOKEN_INFORMATION_CLASS(kTokenIntegrityLevel), &info, sizeof info, &size);
  CloseHandle(token);
  if (!ok || !info.label.Label.Sid || !IsValidSid(info.label.Label.Sid)) return -1;
  PUCHAR count = GetSidSubAuthorityCount(info.label.Label.Sid);
  if (!count || *count == 0) return -1;
  return long(*GetSidSubAuthority(info.label.Label.Sid, DWORD(*count - 1)));
}

// Dispatch thread only.
static bool ownKnown;
static long ownLevel;
static DWORD lastPid;
static int lastAnswer;

int IntegrityIsHigher(DWORD pid) {
  if (!pid) return 0;
  if (!ownKnown) {
    ownLevel = gIntegrityLevelOf(0);
    ownKnown = true;
  }
  if (pid == lastPid) return lastAnswer;
  long level = ownLevel < 0 ? -1 : gIntegrityLevelOf(pid);
  lastPid = pid;
  lastAnswer = level >= 0 && level > ownLevel ? 1 : 0;
  return lastAnswer;
}

void IntegrityForget() {
  ownKnown = false;
  lastPid = 0;
  lastAnswer = 0;
}

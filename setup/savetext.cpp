#include "setup/savetext.h"

#include <windows.h>

#include <stdio.h>

#include "actions/profile.h"
#include "common/format.h"
#include "common/process.h"
#include "common/text.h"
#include "resources/resource_ids.h"

void SaveSystemText(char* out, size_t size, unsigned long error) {
  char system[256], code[16];
  ProcessErrorText(error, system, sizeof system);
  if (!system[0]) TextLoad(IDS_SAVE_UNKNOWN, system, sizeof system);
  FormatText(code, sizeof code, "%lu", error);
  TextFormat(out, size, IDS_SAVE_SYSTEM, {system, code});
}

void SaveReasonText(char* out, size_t size, int result, unsigned long error, const char* path) {
  char system[256], code[16], file[MAX_PATH + 8], backup[MAX_PATH + 8];
  ProcessErrorText(error, system, sizeof system);
  if (!system[0]) TextLoad(IDS_SAVE_UNKNOWN, system, sizeof system);
  FormatText(code, sizeof code, "%lu", error);
  FormatText(file, sizeof file, "%s%s", path, kProfileNewSuffix);
  FormatText(backup, sizeof backup, "%s%s", path, kProfileBackupSuffix);
  switch (result) {
    case kProfileWriteBadEntry:
      TextLoad(IDS_SAVE_BAD_ENTRY, out, size);
      return;
    case kProfileWriteTooLarge:
      TextLoad(IDS_SAVE_TOO_LARGE, out, size);
      return;
    case kProfileWriteUtf16NoBom:
      TextLoad(IDS_SAVE_UTF16_NO_BOM, out, size);
      return;
    case kProfileWriteNulBytes:
      TextLoad(IDS_SAVE_NUL_BYTES, out, size);
      return;
    case kProfileWriteReadOnly:
      TextLoad(IDS_SAVE_READ_ONLY, out, size);
      return;
    case kProfileWriteInUse:
      TextFormat(out, size, IDS_SAVE_IN_USE, {system, code});
      return;
    case kProfileWriteCreate:
      TextFormat(out, size, IDS_SAVE_CREATE, {file, system, code});
      return;
    case kProfileWriteWrite:
      TextFormat(out, size, IDS_SAVE_WRITE, {file, system, code});
      return;
    case kProfileWriteReplace:
      TextFormat(out, size, IDS_SAVE_REPLACE, {file, system, code});
      return;
    case kProfileWriteBackup:
      TextFormat(out, size, IDS_SAVE_BACKUP, {backup, system, code});
      return;
    default:  // it cannot be read, or opened
      TextFormat(out, size, IDS_SAVE_SYSTEM, {system, code});
  }
}

void SaveShowFailure(HWND owner, int whatId, const char* where, const char* why) {
  char what[128], text[2048];
  TextLoad(whatId, what, sizeof what);
  TextFormat(text, sizeof text, IDS_SAVE_FAILED, {what, where, why});
  MessageBoxA(owner, text, "OVRA Remote Error", MB_OK | MB_ICONERROR);
}

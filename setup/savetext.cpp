#include "setup/savetext.h"

#include <windows.h>

#include <stdio.h>

#include "profile/profile.h"
#include "profile/profilewrite.h"
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
  // Texts that need nothing of the failure, then those that name a file.
  static const struct {
    int result, id;
  } kPlain[] = {{kProfileWriteBadEntry, IDS_SAVE_BAD_ENTRY},
                {kProfileWriteTooLarge, IDS_SAVE_TOO_LARGE},
                {kProfileWriteUtf16NoBom, IDS_SAVE_UTF16_NO_BOM},
                {kProfileWriteNulBytes, IDS_SAVE_NUL_BYTES},
                {kProfileWriteReadOnly, IDS_SAVE_READ_ONLY}},
    kNamingFile[] = {{kProfileWriteCreate, IDS_SAVE_CREATE},
                     {kProfileWriteWrite, IDS_SAVE_WRITE},
                     {kProfileWriteReplace, IDS_SAVE_REPLACE},
                     {kProfileWriteBackup, IDS_SAVE_BACKUP}};
  for (const auto& text : kPlain)
    if (text.result == result) {
      TextLoad(text.id, out, size);
      return;
    }
  for (const auto& text : kNamingFile)
    if (text.result == result) {
      TextFormat(out, size, text.id, {result == kProfileWriteBackup ? backup : file, system, code});
      return;
    }
  // In use, or it cannot be read or opened.
  TextFormat(out, size, result == kProfileWriteInUse ? IDS_SAVE_IN_USE : IDS_SAVE_SYSTEM, {system, code});
}

void SaveShowFailure(HWND owner, int whatId, const char* where, const char* why) {
  char what[128], text[2048];
  TextLoad(whatId, what, sizeof what);
  TextFormat(text, sizeof text, IDS_SAVE_FAILED, {what, where, why});
  MessageBoxA(owner, text, "OVRA Remote Error", MB_OK | MB_ICONERROR);
}

#include "common/process.h"
#include "app/check.h"
#include "app/guard.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "actions/inject.h"
#include "actions/keygroups.h"
#include "actions/keyparse.h"
#include "profile/profile.h"
#include "profile/profilecheck.h"
#include "profile/profilepath.h"
#include "profile/profiletext.h"
#include "app/shell.h"
#include "app/language.h"
#include "common/format.h"
#include "common/text.h"
#include "resources/resource_ids.h"

// The text of each kind of problem; a section's problem names no key. A new kind of problem: its
// code in profile/profilecheck.h, its text's id in resources/resource_ids.h, its English
// in resources/texts001.inc (and every other module's textsNNN.inc), and its case here.
static int ProblemTextId(int kind) {
  switch (kind) {
    case kCheckNoKeyword:
      return IDS_CHECK_NO_KEYWORD;
    case kCheckKeysHeld:
      return IDS_CHECK_KEYS_HELD;
    case kCheckNotAButton:
      return IDS_CHECK_NOT_A_BUTTON;
    case kCheckNoSection:
      return IDS_CHECK_NO_SECTION;
    case kCheckTooLong:
      return IDS_CHECK_TOO_LONG;
    case kCheckShadowed:
      return IDS_CHECK_SHADOWED;
    case kCheckNoClass:
      return IDS_CHECK_NO_CLASS;
    case kCheckLongPattern:
      return IDS_CHECK_LONG_PATTERN;
    case kCheckUnreadable:
      return IDS_CHECK_UNREADABLE;
    case kCheckHoldValue:
      return IDS_CHECK_HOLD_VALUE;
    case kCheckTiming:
      return IDS_CHECK_TIMING;
    case kCheckOsd:
      return IDS_CHECK_OSD;
    case kCheckNoName:
      return IDS_CHECK_NO_NAME;
    case kCheckLirc:
      return IDS_CHECK_LIRC;
    case kCheckKeys:
      return IDS_CHECK_KEYS;
    case kCheckNeverTaken:
      return IDS_CHECK_NEVER_TAKEN;
  }
  return 0;
}

void CheckDescribe(const ProfileProblem* p, char* out, size_t outSize) {
  char line[16], longest[16];
  FormatText(line, sizeof line, "%d", p->line);
  FormatText(longest, sizeof longest, "%d", int(kActionLineMax));
  TextFormat(out, outSize, ProblemTextId(p->kind), {line, p->section, p->key, p->detail, longest});
}

struct ReportWriter {
  char* out;
  size_t size;
  size_t used;
  int count;
};

static void Append(ReportWriter* w, const char* text) {
  int n = FormatText(w->out + w->used, w->size - w->used, "%s", text);
  if (n < 0) return;
  w->used += size_t(n);
  if (w->used >= w->size) w->used = w->size - 1;
}

static void AppendLine(ReportWriter* w, const char* line) {
  if (++w->count > kCheckShownMax) return;
  Append(w, line);
  Append(w, "\n");
}

static void AppendProblem(void* context, const ProfileProblem* problem) {
  char line[1024];
  CheckDescribe(problem, line, sizeof line);
  AppendLine(static_cast<ReportWriter*>(context), line);
}

int CheckReport(int encoding, const char* text, size_t size, char* out, size_t outSize) {
  ReportWriter w = {out, outSize, 0, 0};
  out[0] = '\0';
  char line[1024];
  if (encoding == kProfileUtf16NoBom || encoding == kProfileNulBytes) {
    TextLoad(encoding == kProfileUtf16NoBom ? IDS_CHECK_UTF16 : IDS_CHECK_NUL, line, sizeof line);
    AppendLine(&w, line);
  }
  int problems = w.count + ProfileCheckText(text, size, AppendProblem, &w);
  if (problems == 0) {
    TextLoad(IDS_CHECK_NONE, line, sizeof line);
  } else {
    char count[16];
    if (problems > kCheckShownMax) {
      FormatText(count, sizeof count, "%d", problems - kCheckShownMax);
      TextFormatCount(line, sizeof line, IDS_CHECK_MORE, problems - kCheckShownMax, {count});
      Append(&w, line);
      Append(&w, "\n");
    }
    FormatText(count, sizeof count, "%d", problems);
    Append(&w, "\n");
    TextFormatCount(line, sizeof line, IDS_CHECK_COUNT, problems, {count});
  }
  Append(&w, line);
  return problems;
}

// Whether the command line is `word` alone (blanks around it allowed, any case).
static bool CommandIs(const char* commandLine, const char* word) {
  if (!commandLine) return false;
  while (*commandLine == ' ' || *commandLine == '\t') commandLine++;
  size_t length = strlen(commandLine);
  while (length > 0 && (commandLine[length - 1] == ' ' || commandLine[length - 1] == '\t')) length--;
  return length == strlen(word) && _strnicmp(commandLine, word, length) == 0;
}

bool CheckRequested(const char* commandLine) {
  return CommandIs(commandLine, "/check");
}

bool CheckEditRequested(const char* commandLine) {
  return CommandIs(commandLine, "/edit");
}

// The profile in use for the program at `instance`, into path (MAX_PATH bytes).
static void CheckProfileInUse(HINSTANCE instance, char* path) {
  char module[MAX_PATH];
  ProcessModulePath(instance, module);
  ProfilePathFor(module, path);
  gProfileElevated = [] { return GuardElevated() != 0; };  // as the guard tells it (Wine never is)
  ProfileUseFor(path);
  FormatText(path, MAX_PATH, "%s", gProfilePath);
}

int CheckEditRun(HINSTANCE instance) {
  char path[MAX_PATH], command[MAX_PATH + 32];
  CheckProfileInUse(instance, path);
  FormatText(command, sizeof command, "notepad.exe \"%s\"", path);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

int CheckRun(HINSTANCE instance) {
  char path[MAX_PATH];
  CheckProfileInUse(instance, path);
  // Characters above 127 are checked as the keys that this keyboard layout gives them.
  gKeyCharMap = KeyCharFromLayout;
  // The report in the user's language; without a module the program's own English serves.
  gLanguageModule = LoadLanguageModule(instance);

  char* message = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kCheckMessageSize));
  if (!message) return -1;
  int head = FormatText(message, kCheckMessageSize, "%s\n\n", path);
  int problems = 1;
  // Read as the program reads it for each key, byte order marks included.
  size_t size = 0;
  int encoding = 0;
  char* text = ProfileReadTextAs(path, &size, nullptr, &encoding);
  if (text) {
    problems = CheckReport(encoding, text, size, message + head, kCheckMessageSize - head);
    free(text);
  } else {
    char unreadable[256], count[256];
    TextLoad(IDS_CHECK_UNREADABLE, unreadable, sizeof unreadable);
    TextFormatCount(count, sizeof count, IDS_CHECK_COUNT, 1, {"1"});
    FormatText(message + head, kCheckMessageSize - head, "%s\n\n%s", unreadable, count);
  }
  char caption[kCheckCaptionSize];
  TextLoad(IDS_CHECK_CAPTION, caption, sizeof caption);
  MessageBoxA(nullptr, message, caption, MB_OK | (problems ? MB_ICONWARNING : MB_ICONINFORMATION));
  HeapFree(GetProcessHeap(), 0, message);
  return problems;
}

#include "app/check.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "actions/inject.h"
#include "actions/keyparse.h"
#include "actions/profile.h"
#include "actions/profilecheck.h"
#include "app/shell.h"

static const char kCheckCaption[] = "Halvesta Remote Control - Profile check";

bool CheckRequested(const char* commandLine) {
  if (!commandLine) return false;
  while (*commandLine == ' ' || *commandLine == '\t') commandLine++;
  size_t length = strlen(commandLine);
  while (length > 0 && (commandLine[length - 1] == ' ' || commandLine[length - 1] == '\t')) length--;
  return length == 6 && _strnicmp(commandLine, "/check", 6) == 0;
}

int CheckRun(HINSTANCE instance) {
  char module[MAX_PATH];
  ProcessModulePath(instance, module);
  char path[MAX_PATH];
  ProfilePathFor(module, path);
  // Characters above 127 are checked as the keys that this keyboard layout gives them.
  gKeyCharMap = KeyCharFromLayout;

  char* message = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kCheckMessageSize));
  if (!message) return -1;
  int head = snprintf(message, kCheckMessageSize, "%s\n\n", path);
  int problems = 1;
  // Read as the program reads it for each key, byte order marks included.
  size_t size = 0;
  int encoding = 0;
  char* text = ProfileReadTextAs(path, &size, nullptr, &encoding);
  if (text) {
    problems = ProfileCheckMessageAs(encoding, text, size, message + head, kCheckMessageSize - head);
    free(text);
  } else {
    snprintf(message + head, kCheckMessageSize - head, "The file cannot be read.\n\n1 problem found");
  }
  MessageBoxA(nullptr, message, kCheckCaption, MB_OK | (problems ? MB_ICONWARNING : MB_ICONINFORMATION));
  HeapFree(GetProcessHeap(), 0, message);
  return problems;
}

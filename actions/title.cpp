#include "actions/title.h"

#include <string.h>

int CutAliasTitle(char* title) {
  char* dash = strchr(title, '-');
  if (!dash || dash[1] == '\0') return 0;
  dash[1] = '\0';
  return 1;
}

#include "profile/title.h"

#include <string.h>

int CutAliasTitle(char* title) {
  char* dash = strchr(title, '-');
  if (!dash || dash[1] == '\0') return 0;
  dash[1] = '\0';
  return 1;
}

static char TitleUpper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool TitleMatches(const char* pattern, size_t patternLength, const char* title, size_t titleLength) {
  size_t p = 0, t = 0;
  size_t star = patternLength, mark = 0;  // the last "*" seen, and where the title stood after it
  while (t < titleLength) {
    if (p < patternLength && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (p < patternLength && (pattern[p] == '?' || TitleUpper(pattern[p]) == TitleUpper(title[t]))) {
      p++;
      t++;
    } else if (star < patternLength) {
      // The text after the last "*" did not match here: let the "*" take one character more.
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < patternLength && pattern[p] == '*') p++;
  return p == patternLength;
}

int TitleSectionName(const char* title, char* out, size_t outSize) {
  size_t length = strlen(title);
  if (outSize) out[0] = '\0';
  if (length == 0 || length >= outSize || strpbrk(title, "\r\n")) return -1;
  if (!strchr(title, ']')) {
    memcpy(out, title, length + 1);
    return 1;
  }
  bool plain = false;  // something besides "]" and blanks
  size_t last = 0;
  for (size_t i = 0; i < length; i++) {
    out[i] = title[i] == ']' ? '?' : title[i];
    if (title[i] == ']') last = i;
    plain = plain || (title[i] != ']' && title[i] != ' ');
  }
  out[length] = '\0';
  if (!plain) {
    out[0] = '\0';
    return -1;
  }
  if (!strchr(out, '*')) out[last] = '*';
  return 2;
}

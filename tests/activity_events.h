// Activity events as the tests build them: a press in Notepad at 12:34:56.789, and other kinds.
#pragma once
#include <string.h>

#include "common/activity.h"

const int64_t kNoon = 12LL * 3600000 + 34 * 60000 + 56 * 1000 + 789;  // 12:34:56.789

inline ActivityEvent Other(int kind, int result, long detail) {
  ActivityEvent e;
  memset(&e, 0, sizeof e);
  e.kind = kind;
  e.time = kNoon;
  e.result = result;
  e.detail = detail;
  return e;
}

inline ActivityEvent Press(int code, int result, long detail = 0) {
  ActivityEvent e = Other(kActivityPress, result, detail);
  e.code = code;
  strcpy(e.title, "Untitled - Notepad");
  strcpy(e.program, "notepad.exe");
  strcpy(e.section, "notepad.exe");
  strcpy(e.line, "KEYBOARD CTRL+S+^S+^CTRL");
  return e;
}

// A press of a named button (source a KeySource of receiver/keyring.h: 1 network, 2 keyboard, 3 mce).
inline ActivityEvent Named(int source, const char* remote, const char* name, int result, long detail = 0) {
  ActivityEvent e = Press(0, result, detail);
  e.source = source;
  strcpy(e.remote, remote);
  strcpy(e.name, name);
  return e;
}

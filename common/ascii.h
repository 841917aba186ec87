// Letter case of ASCII text, as the profile's keywords and key names compare. Pure code.
#pragma once

inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

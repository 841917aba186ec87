// The private-profile functions read a file this way (checked against them by the dispatch tests):
// - a line ends at the next line feed, carriage return, or both (CR LF: one line end);
// - blanks (tab, line feed, vertical tab, form feed, carriage return, space, and the DOS end of
//   file mark 0x1A) around a line, around a key and around a value are dropped;
// - a line that begins with "[" and holds a "]" after it opens a section named by the text up to
//   the last "]"; text after that "]" is ignored;
// - lines before the first section belong to a section with an empty name;
// - every other line that is not blank is an entry: key, "=", value; without "=", a key alone;
// - names and values end at a NUL byte, as the platform's strings do;
// - a value in matching quotes loses them when read.
#include "profile/profiletext.h"

#include <string.h>

#include "common/ascii.h"
#include "common/format.h"

static bool IsBlank(char c) {
  return (c >= '\t' && c <= '\r') || c == 0x1A || c == ' ';
}

static ProfileSpan Trim(const char* begin, const char* end) {
  while (begin < end && IsBlank(*begin)) begin++;
  while (end > begin && IsBlank(end[-1])) end--;
  return {begin, size_t(end - begin)};
}

static ProfileSpan CutAtNul(ProfileSpan s) {
  const void* nul = memchr(s.text, '\0', s.length);
  if (nul) s.length = size_t(static_cast<const char*>(nul) - s.text);
  return s;
}

void ProfileTextOpen(ProfileTextReader* reader, const char* text, size_t size) {
  *reader = {text, text + size, 0};
  if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) reader->next += 3;
}

bool ProfileTextNext(ProfileTextReader* reader, ProfileLine* line) {
  if (reader->next >= reader->end) return false;
  const char* start = reader->next;
  const char* stop = start;
  while (stop < reader->end && *stop != '\n' && *stop != '\r') stop++;
  reader->next = stop + (stop < reader->end);
  if (stop < reader->end && *stop == '\r' && reader->next < reader->end && *reader->next == '\n')
    reader->next++;
  *line = {kProfileLineBlank, ++reader->number, {start, 0}, {start, 0}, false, false};

  ProfileSpan text = Trim(start, stop);
  if (text.length == 0) return true;
  if (text.text[0] == '[') {
    for (size_t i = text.length; i-- > 1;) {
      if (text.text[i] == ']') {
        line->kind = kProfileLineSection;
        line->name = CutAtNul(Trim(text.text + 1, text.text + i));
        return true;
      }
    }
  }
  line->kind = kProfileLineEntry;
  const char* end = text.text + text.length;
  const char* equals = static_cast<const char*>(memchr(text.text, '=', text.length));
  line->name = CutAtNul(Trim(text.text, equals ? equals : end));
  if (equals) {
    line->hasValue = true;
    ProfileSpan value = Trim(equals + 1, end);
    line->value = CutAtNul(value);
    line->valueNul = line->value.length != value.length;
  }
  return true;
}

ProfileSpan ProfileTrim(ProfileSpan name) {
  return Trim(name.text, name.text + name.length);
}

bool ProfileSameName(ProfileSpan stored, ProfileSpan wanted) {
  if (stored.length != wanted.length) return false;
  for (size_t i = 0; i < stored.length; i++) {
    if (AsciiUpper(stored.text[i]) != AsciiUpper(wanted.text[i])) return false;
  }
  return true;
}

ProfileSpan ProfileUnquote(ProfileSpan value) {
  if (value.length >= 2 && (value.text[0] == '"' || value.text[0] == '\'') &&
      value.text[value.length - 1] == value.text[0]) {
    return {value.text + 1, value.length - 2};
  }
  return value;
}

bool ProfileValidUtf8(const char* bytes, size_t size) {
  static const unsigned kLeast[] = {0, 0x80, 0x800, 0x10000};
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < size;) {
    unsigned c = b[i];
    size_t n = c < 0x80                 ? 0
               : c >= 0xC2 && c <= 0xDF ? 1
               : c >= 0xE0 && c <= 0xEF ? 2
               : c >= 0xF0 && c <= 0xF4 ? 3
                                        : 4;
    if (n == 4 || n >= size - i) {
      if (n != 0) return false;
    }
    unsigned value = c & (0x7F >> n);
    for (size_t k = 1; k <= n; k++) {
      if ((b[i + k] & 0xC0) != 0x80) return false;
      value = (value << 6) | (b[i + k] & 0x3F);
    }
    if (value < kLeast[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

int ProfileTextEncoding(const char* bytes, size_t size) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return kProfileUtf8Bom;
  if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) return kProfileUtf16Le;
  if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF) return kProfileUtf16Be;
  size_t nul[2] = {0, 0};
  bool high = false;
  for (size_t i = 0; i < size; i++) {
    nul[i & 1] += b[i] == 0;
    high = high || b[i] > 127;
  }
  if (nul[0] + nul[1] > 0) {
    // Text saved as UTF-16 has a NUL in most pairs of bytes (every ASCII character), on one side.
    size_t pairs = size / 2;
    return pairs && (nul[0] * 2 > pairs || nul[1] * 2 > pairs) ? kProfileUtf16NoBom : kProfileNulBytes;
  }
  return high && ProfileValidUtf8(bytes, size) ? kProfileUtf8 : kProfileAnsi;
}

int ProfileButtonKey(int code, const char* suffix, char* out) {
  int n = FormatText(out, kProfileKeySize, "%s%d%s", kProfileButtonPrefix, code, suffix ? suffix : "");
  if (n >= 0 && n < kProfileKeySize) return n;
  out[0] = '\0';
  return -1;
}

bool ProfileButtonNameOk(const char* name, size_t length) {
  if (length == 0 || length > 31) return false;
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
              c == '-' || c == '+' || c > 127;
    if (!ok) return false;
  }
  return true;
}

int ProfileButtonKeys(int code, const char* remote, const char* name, const char* suffix,
                      char out[kProfileButtonKeys][kProfileKeySize]) {
  if (code >= 0) return ProfileButtonKey(code, suffix, out[0]) < 0 ? 0 : 1;
  if (!name || !ProfileButtonNameOk(name, strlen(name))) return 0;
  if (!suffix) suffix = "";
  int count = 0;
  if (remote && remote[0] && ProfileButtonNameOk(remote, strlen(remote))) {
    int n = FormatText(out[count], kProfileKeySize, "%s%s.%s%s", kProfileNamedPrefix, remote, name, suffix);
    if (n >= 0 && n < kProfileKeySize) count++;
  }
  int n = FormatText(out[count], kProfileKeySize, "%s%s%s", kProfileNamedPrefix, name, suffix);
  if (n >= 0 && n < kProfileKeySize) count++;
  return count;
}

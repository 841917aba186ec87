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
#include "actions/profiletext.h"

#include <string.h>

#include "common/ascii.h"

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
  *line = {kProfileLineBlank, ++reader->number, {start, 0}, {start, 0}, false};

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
    line->value = CutAtNul(Trim(equals + 1, end));
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

// The in-memory profile: the file's text, converted to the ANSI code page when it starts with a
// byte order mark (as the private-profile functions read such files), and an index of its sections
// and entries in file order. A lookup takes the first section of the name and the first entry of
// the key in it, as the platform does; duplicates after them are never read.
//
// When to read again: before every lookup the file's size, creation and last-write times are
// compared with those of the copy. A file system stores times with a granularity (a few
// milliseconds on NTFS and under Linux, two seconds on FAT), so a second save of the same size
// within that step would look unchanged; a copy whose file was written less than one step before
// it was read is therefore read again at the next lookup, until the file has been quiet that long.
// A write time of whole even seconds is taken as FAT's; kProfileFineMs covers the others.
#include "profile/profile.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/format.h"
#include "profile/profileio.h"
#include "profile/profiletext.h"
#include "profile/title.h"

enum { kProfileFatMs = 2000, kProfileFineMs = 50 };

struct ProfileSection {
  ProfileSpan name;
  int first;  // index of its first entry
  int count;
};

struct ProfileEntry {
  ProfileSpan key;
  ProfileSpan value;
  bool hasValue;
  bool valueNul;  // cut at a NUL byte: never run
};

struct ProfilePattern {
  int section;
  size_t least;   // characters that are not "*"
  size_t prefix;  // literal characters before the first "*" or "?"
};

// One copy per thread that reads (the dispatch thread, the main thread).
struct ProfileCopy {
  char path[MAX_PATH];
  bool valid;  // the copy below is that of path with this stamp
  bool racy;   // read again at the next lookup whatever the stamp says
  DWORD sizeLow, sizeHigh;
  FILETIME created, written;
  char* text;
  ProfileSection* sections;
  int sectionCount;
  ProfileEntry* entries;
  int entryCount;
  // The title patterns, compiled when the file is read: the sections whose name holds "*", in
  // file order, with the characters a title needs at least (those that are not "*") and the
  // literal text up to the first "*" or "?", so that most patterns are ruled out at a glance.
  ProfilePattern* patterns;
  int patternCount;
  bool anyLong;  // some entry's name ends in ".long" (a long press): most profiles have none
};
static thread_local ProfileCopy profile;
static thread_local unsigned generation;  // of the calling thread's copy: counts its reads

unsigned ProfileGeneration() {
  return generation;
}

static void ProfileForget() {
  free(profile.text);
  free(profile.sections);
  free(profile.entries);
  free(profile.patterns);
  profile.patterns = nullptr;
  profile.patternCount = 0;
  profile.text = nullptr;
  profile.sections = nullptr;
  profile.entries = nullptr;
  profile.sectionCount = profile.entryCount = 0;
  profile.anyLong = false;
  profile.valid = false;
}

static ULONGLONG FileTimeValue(FILETIME t) {
  return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Text as the program reads it, in the ANSI code page, in a new buffer; *size is updated. Text
// with a byte order mark (UTF-8, UTF-16 little or big endian) and UTF-8 without one are converted;
// other text is returned as it is.
static char* ProfileToAnsi(char* text, DWORD* size, int encoding) {
  WCHAR* wide = nullptr;
  int wideLength = 0;
  if (encoding == kProfileUtf8 || encoding == kProfileUtf8Bom) {
    int skip = encoding == kProfileUtf8Bom ? 3 : 0;
    wideLength = MultiByteToWideChar(CP_UTF8, 0, text + skip, int(*size) - skip, nullptr, 0);
    wide = static_cast<WCHAR*>(malloc((size_t(wideLength) + 1) * sizeof(WCHAR)));
    if (wide) MultiByteToWideChar(CP_UTF8, 0, text + skip, int(*size) - skip, wide, wideLength);
  } else if (encoding == kProfileUtf16Le || encoding == kProfileUtf16Be) {
    wide = ProfileDecodeUtf16(text + 2, *size - 2, encoding == kProfileUtf16Be, &wideLength);
  } else {
    return text;
  }
  free(text);
  if (!wide) return nullptr;
  int length = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
  char* ansi = static_cast<char*>(malloc(size_t(length) + 1));
  if (ansi) WideCharToMultiByte(CP_ACP, 0, wide, wideLength, ansi, length, nullptr, nullptr);
  free(wide);
  *size = DWORD(length);
  return ansi;
}

static int ProfileIndex(DWORD size) {
  // At most one section or entry per line, and the section of the lines above the first header.
  size_t lines = 2;
  for (DWORD i = 0; i < size; i++) lines += profile.text[i] == '\n' || profile.text[i] == '\r';
  profile.sections = static_cast<ProfileSection*>(malloc(lines * sizeof(ProfileSection)));
  profile.entries = static_cast<ProfileEntry*>(malloc(lines * sizeof(ProfileEntry)));
  profile.patterns = static_cast<ProfilePattern*>(malloc(lines * sizeof(ProfilePattern)));
  if (!profile.sections || !profile.entries || !profile.patterns) return -1;
  profile.sections[0] = {{"", 0}, 0, 0};
  profile.sectionCount = 1;
  ProfileTextReader reader;
  ProfileTextOpen(&reader, profile.text, size);
  ProfileLine line;
  while (ProfileTextNext(&reader, &line)) {
    if (line.kind == kProfileLineSection) {
      if (memchr(line.name.text, '*', line.name.length)) {
        ProfilePattern pattern = {profile.sectionCount, 0, 0};
        for (size_t i = 0; i < line.name.length; i++) pattern.least += line.name.text[i] != '*';
        while (pattern.prefix < line.name.length && line.name.text[pattern.prefix] != '*' &&
               line.name.text[pattern.prefix] != '?')
          pattern.prefix++;
        profile.patterns[profile.patternCount++] = pattern;
      }
      profile.sections[profile.sectionCount++] = {line.name, profile.entryCount, 0};
    } else if (line.kind == kProfileLineEntry) {
      profile.entries[profile.entryCount++] = {line.name, line.value, line.hasValue, line.valueNul};
      ProfileSpan name = ProfileTrim(line.name);
      if (name.length > 5 && ProfileSameName({name.text + name.length - 5, 5}, {".long", 5}))
        profile.anyLong = true;
      profile.sections[profile.sectionCount - 1].count++;
    }
  }
  return 0;
}

char* ProfileReadText(const char* path, size_t* size, BY_HANDLE_FILE_INFORMATION* stamp) {
  int encoding;
  return ProfileReadTextAs(path, size, stamp, &encoding);
}

char* ProfileReadTextAs(const char* path, size_t* size, BY_HANDLE_FILE_INFORMATION* stamp, int* encoding) {
  *encoding = kProfileAnsi;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // The stamp is taken before the text: a write in between makes the next lookup read again.
  BY_HANDLE_FILE_INFORMATION info;
  bool ok =
      GetFileInformationByHandle(file, &info) && info.nFileSizeHigh == 0 && info.nFileSizeLow < 0x7FFFFFFF;
  DWORD length = ok ? info.nFileSizeLow : 0;
  DWORD done = 0;
  char* text = ok ? ProfileReadBytes(file, length, &done) : nullptr;
  CloseHandle(file);
  if (!text) return nullptr;
  *encoding = ProfileTextEncoding(text, done);
  text = ProfileToAnsi(text, &done, *encoding);
  if (!text) return nullptr;
  text[done] = '\0';
  *size = done;
  if (stamp) *stamp = info;
  return text;
}

// Reads the file into memory. Returns 0, or -1 (nothing kept) when it cannot be read.
static int ProfileLoad(const char* path) {
  ProfileForget();
  generation++;
  BY_HANDLE_FILE_INFORMATION info;
  size_t size = 0;
  profile.text = ProfileReadText(path, &size, &info);
  if (!profile.text || ProfileIndex(DWORD(size)) < 0) {
    ProfileForget();
    return -1;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG written = FileTimeValue(info.ftLastWriteTime);
  ULONGLONG step = (written % (kProfileFatMs * 10000ULL) == 0 ? kProfileFatMs : kProfileFineMs) * 10000ULL;
  profile.racy = written + step > FileTimeValue(now);
  profile.sizeLow = info.nFileSizeLow;
  profile.sizeHigh = info.nFileSizeHigh;
  profile.created = info.ftCreationTime;
  profile.written = info.ftLastWriteTime;
  profile.valid = true;
  return 0;
}

static bool ProfileCurrent(const char* path) {
  if (!profile.valid || profile.racy || strcmp(profile.path, path) != 0) return false;
  WIN32_FILE_ATTRIBUTE_DATA now;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &now)) return false;
  return now.nFileSizeLow == profile.sizeLow && now.nFileSizeHigh == profile.sizeHigh &&
         CompareFileTime(&now.ftLastWriteTime, &profile.written) == 0 &&
         CompareFileTime(&now.ftCreationTime, &profile.created) == 0;
}

static const ProfileEntry* ProfileFind(const char* section, const char* key) {
  ProfileSpan wantedSection = ProfileTrim({section, strlen(section)});
  ProfileSpan wantedKey = ProfileTrim({key, strlen(key)});
  for (int s = 0; s < profile.sectionCount; s++) {
    const ProfileSection& found = profile.sections[s];
    if (!ProfileSameName(found.name, wantedSection)) continue;
    for (int e = found.first; e < found.first + found.count; e++) {
      if (ProfileSameName(profile.entries[e].key, wantedKey)) return &profile.entries[e];
    }
    return nullptr;
  }
  return nullptr;
}

// The value of `key` in section number s, as ProfileGet reads it.
static int ProfileValue(int s, ProfileSpan wantedKey, char* out, size_t max) {
  out[0] = '\0';
  const ProfileSection& section = profile.sections[s];
  for (int e = section.first; e < section.first + section.count; e++) {
    const ProfileEntry& entry = profile.entries[e];
    if (!ProfileSameName(entry.key, wantedKey)) continue;
    if (!entry.hasValue) return 0;
    ProfileSpan value = ProfileUnquote(entry.value);
    if (value.length == 0 && !entry.valueNul) return 0;
    if (value.length > max || entry.valueNul) return -1;
    memcpy(out, value.text, value.length);
    out[value.length] = '\0';
    return 1;
  }
  return 0;
}

int ProfileGetPattern(const char* title, const char* key, char* out, size_t max, char* served,
                      size_t servedSize) {
  return ProfileGetPatternKeys(title, &key, 1, out, max, served, servedSize);
}

int ProfileGetPatternKeys(const char* title, const char* const* keys, int keyCount, char* out, size_t max,
                          char* served, size_t servedSize) {
  out[0] = '\0';
  if (served) served[0] = '\0';
  size_t titleLength = strlen(title);
  for (int i = 0; i < profile.patternCount; i++) {
    const ProfilePattern& pattern = profile.patterns[i];
    ProfileSpan name = profile.sections[pattern.section].name;
    if (pattern.least > titleLength ||
        !ProfileSameName({name.text, pattern.prefix}, {title, pattern.prefix}) ||
        !TitleMatches(name.text, name.length, title, titleLength))
      continue;
    for (int k = 0; k < keyCount; k++) {
      int found = ProfileValue(pattern.section, ProfileTrim({keys[k], strlen(keys[k])}), out, max);
      if (found == 0) continue;
      if (served) FormatText(served, servedSize, "%.*s", int(name.length), name.text);
      return found;
    }
  }
  return 0;
}

int ProfileRefresh(const char* path) {
  if (ProfileCurrent(path)) return 0;
  FormatText(profile.path, sizeof profile.path, "%s", path);
  return ProfileLoad(path);
}

int ProfileGet(const char* section, const char* key, char* out, size_t max) {
  out[0] = '\0';
  const ProfileEntry* entry = ProfileFind(section, key);
  if (!entry || !entry->hasValue) return 0;
  ProfileSpan value = ProfileUnquote(entry->value);
  if (value.length == 0 && !entry->valueNul) return 0;
  if (value.length > max || entry->valueNul) return -1;
  memcpy(out, value.text, value.length);
  out[value.length] = '\0';
  return 1;
}

int ProfileAnyKey(const char* key) {
  ProfileSpan wanted = ProfileTrim({key, strlen(key)});
  if (!profile.anyLong && wanted.length > 5 &&
      ProfileSameName({wanted.text + wanted.length - 5, 5}, {".long", 5}))
    return 0;
  for (int e = 0; e < profile.entryCount; e++) {
    if (ProfileSameName(profile.entries[e].key, wanted)) return 1;
  }
  return 0;
}

char* ProfileReadBytes(HANDLE file, DWORD length, DWORD* done) {
  char* bytes = static_cast<char*>(malloc(size_t(length) + 1));
  *done = 0;
  while (bytes && *done < length) {
    DWORD got = 0;
    if (!ReadFile(file, bytes + *done, length - *done, &got, nullptr) || got == 0) break;
    *done += got;
  }
  return bytes;
}

WCHAR* ProfileDecodeUtf16(const char* bytes, size_t size, bool big, int* units) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  *units = int(size / 2);
  WCHAR* wide = static_cast<WCHAR*>(malloc((size_t(*units) + 1) * sizeof(WCHAR)));
  for (int i = 0; wide && i < *units; i++) {
    unsigned char first = b[2 * i], second = b[2 * i + 1];
    wide[i] = WCHAR(big ? (first << 8) | second : (second << 8) | first);
  }
  return wide;
}

void ProfileCopyFree() {
  ProfileForget();
  profile.path[0] = '\0';
}

int ProfileReadString(const char* path, const char* section, const char* key, char* out, size_t max) {
  out[0] = '\0';
  if (ProfileRefresh(path) < 0) return 0;
  return ProfileGet(section, key, out, max);
}

int ProfileReadInt(const char* path, const char* section, const char* key, int fallback) {
  char value[32];
  int found = ProfileReadString(path, section, key, value, sizeof value - 1);
  if (found == 0) return fallback;
  if (found < 0) return 0;
  const char* c = value;
  bool negative = *c == '-';
  if (*c == '-' || *c == '+') c++;
  long number = 0;
  while (*c >= '0' && *c <= '9' && number < 100000000) number = number * 10 + (*c++ - '0');
  return int(negative ? -number : number);
}

// Writing one entry into a profile file in the file's own encoding.
//
// WritePrivateProfileStringA knows only the files it can tell apart by a byte order mark: a file
// saved as UTF-8 without one (the default of today's editors) is to it ANSI text, and a title with
// characters above 127 would go in as ANSI bytes, after which the file is neither UTF-8 nor what
// the user sees in the editor. A file it cannot read as text at all (UTF-16 without a byte order
// mark) it reads as empty and rewrites with nothing but the new entry. So the program edits the
// text itself: the file is read whole, decoded to UTF-8 (UTF-16) or kept as it is (UTF-8, ANSI),
// the section, key and value are brought into the same form, the one line is replaced or added,
// and the text goes back in the encoding it came in. Every other byte stays as it was.
//
// A save never leaves a mixed file. Rewritten in place, a profile cut off by a crash, a forced
// shutdown or a power cut would keep a stray tail of the old text or end in NUL bytes, after which
// the program refuses the whole file. So the new text goes to a new file beside the profile
// ("profiles.ini.new") and is flushed to the disk; the profile's text is copied to
// "profiles.ini.bak" (one generation back); the new file gets the profile's permissions, attributes
// and creation time, and then takes its place in one step: a rename that replaces it, written
// through. A crash at any moment leaves the old profile or the new one; at worst a stray
// "profiles.ini.new", which nothing reads and the next save replaces.
//
// Not ReplaceFileA, although it carries permissions and attributes over itself: it moves the
// profile to the backup's name first and the new file to the profile's name second, two steps.
// Under Wine a process killed between them left no profile at all (the crash test found it at its
// first kill); on Windows, too, it is two renames. A rename that replaces is one step on NTFS and
// under Wine (rename(2)).
//
// A profile held open by another program (an editor saving it, a virus scanner) refuses to be read
// (a sharing violation) or replaced (access denied): the save is tried again for about a second,
// then given up with the file as it was (its backup may then hold the same text). A profile that
// is a hard link or a reparse point (a symbolic link, a junction's file) is written in place, as
// before: replaced, the link would be cut and the other names would keep the old text.
#include <windows.h>

#include <aclapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/format.h"
#include "profile/profileio.h"
#include "profile/profiletext.h"
#include "profile/profilewrite.h"

// A growing byte buffer; `failed` once an allocation failed.
struct WriteBuffer {
  char* data;
  size_t length, capacity;
  bool failed;
};

static void Put(WriteBuffer* b, const char* text, size_t length) {
  if (b->failed || length == 0) return;
  if (b->length + length > b->capacity) {
    size_t capacity = (b->length + length) * 2 + 64;
    char* data = static_cast<char*>(realloc(b->data, capacity));
    if (!data) {
      b->failed = true;
      return;
    }
    b->data = data;
    b->capacity = capacity;
  }
  memcpy(b->data + b->length, text, length);
  b->length += length;
}

static void PutText(WriteBuffer* b, const char* text) {
  Put(b, text, strlen(text));
}

// ANSI text in the working form of the file: UTF-8 for UTF-8 and UTF-16 files, else as it is.
static void PutConverted(WriteBuffer* b, const char* ansi, bool utf8) {
  if (!utf8) return PutText(b, ansi);
  WCHAR wide[4096];
  char bytes[3 * 4096];
  int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 4096);
  int m = n > 1 ? WideCharToMultiByte(CP_UTF8, 0, wide, n - 1, bytes, sizeof bytes, nullptr, nullptr) : 0;
  if (n > 1 && m <= 0) b->failed = true;
  Put(b, bytes, size_t(m > 0 ? m : 0));
}

// The working text with key=value written into section (value null: the key removed).
static void Edit(const char* text, size_t size, const char* section, const char* key, const char* value,
                 bool utf8, WriteBuffer* out) {
  WriteBuffer names = {};
  PutConverted(&names, section, utf8);
  size_t sectionLength = names.length;
  PutConverted(&names, key, utf8);
  ProfileSpan wantedSection = ProfileTrim({names.data, sectionLength});
  ProfileSpan wantedKey = ProfileTrim({names.data + sectionLength, names.length - sectionLength});
  const char* newline = "\r\n";
  const char* firstEnd = static_cast<const char*>(memchr(text, '\n', size));
  if (firstEnd && (firstEnd == text || firstEnd[-1] != '\r')) newline = "\n";

  // Where the line goes: the entry replaced [from, to), or inserted at `from` when from == to.
  size_t from = size, to = size;
  bool found = false, inSection = false, sectionFound = false;
  ProfileTextReader reader;
  ProfileTextOpen(&reader, text, size);
  ProfileLine line;
  const char* lineStart = reader.next;
  while (ProfileTextNext(&reader, &line)) {
    const char* lineEnd = reader.next;  // after the line's end
    if (line.kind == kProfileLineSection) {
      if (inSection) break;
      if (!sectionFound && ProfileSameName(line.name, wantedSection)) {
        inSection = sectionFound = true;
        from = to = size_t(lineEnd - text);
      }
    } else if (inSection && line.kind == kProfileLineEntry) {
      if (ProfileSameName(line.name, wantedKey)) {
        from = size_t(lineStart - text);
        to = size_t(lineEnd - text);
        found = true;
        break;
      }
      from = to = size_t(lineEnd - text);
    }
    lineStart = lineEnd;
  }
  Put(out, text, from);
  bool open = from > 0 && text[from - 1] != '\n' && text[from - 1] != '\r';
  if (!sectionFound && value) {
    if (open) PutText(out, newline);
    // A blank line before the new section, so that the file's last lines (a comment) do not read
    // as its heading.
    size_t i = from;
    if (i && text[i - 1] == '\n') i--;
    if (i && text[i - 1] == '\r') i--;
    while (i && (text[i - 1] == ' ' || text[i - 1] == '\t')) i--;
    if (from > 0 && i > 0 && text[i - 1] != '\n' && text[i - 1] != '\r') PutText(out, newline);
    PutText(out, "[");
    Put(out, wantedSection.text, wantedSection.length);
    PutText(out, "]");
    PutText(out, newline);
    open = false;
  }
  if (value) {
    if (open) PutText(out, newline);
    Put(out, wantedKey.text, wantedKey.length);
    PutText(out, "=");
    PutConverted(out, value, utf8);
    // A replaced line keeps its own line end; the last line of a file may have none.
    bool lastWithoutEnd = found && (to == size && text[to - 1] != '\n' && text[to - 1] != '\r');
    if (!lastWithoutEnd) PutText(out, newline);
  }
  Put(out, text + to, size - to);
  if (names.failed) out->failed = true;
  free(names.data);
}

static bool OneLine(const char* text) {
  return !strchr(text, '\r') && !strchr(text, '\n');
}

BOOL(WINAPI* gProfileFlush)(HANDLE) = FlushFileBuffers;

enum { kRetries = 10, kRetryWaitMs = 100 };  // about a second for a profile another program holds

static bool InUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The profile as it is: its bytes (malloc'ed, null when it does not exist), and whether it must be
// written in place (a hard link or a reparse point).
struct Original {
  char* raw;
  DWORD size, attributes;
  FILETIME created;
  bool exists, inPlace;
};

static int ReadOriginal(const char* path, Original* o, DWORD* error) {
  *o = {};
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return *error == ERROR_FILE_NOT_FOUND ? 0 : kProfileWriteRead;
  }
  o->exists = true;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) {
    *error = GetLastError();
    CloseHandle(file);
    return kProfileWriteRead;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    CloseHandle(file);
    return kProfileWriteReadOnly;
  }
  o->attributes = info.dwFileAttributes;
  o->created = info.ftCreationTime;
  o->inPlace = info.nNumberOfLinks > 1 || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (info.nFileSizeHigh || info.nFileSizeLow > (64u << 20)) {
    CloseHandle(file);
    return kProfileWriteTooLarge;
  }
  o->size = info.nFileSizeLow;
  DWORD done = 0;
  o->raw = ProfileReadBytes(file, o->size, &done);
  *error = !o->raw ? ERROR_NOT_ENOUGH_MEMORY : done != o->size ? GetLastError() : 0;
  CloseHandle(file);
  if (done == o->size && o->raw) return 0;
  if (!*error) *error = ERROR_READ_FAULT;
  return kProfileWriteRead;
}

// The whole text into file from its start, then flushed.
static bool WriteAll(HANDLE file, const char* text, size_t length) {
  DWORD written = 0;
  return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
         WriteFile(file, text, DWORD(length), &written, nullptr) && written == length && SetEndOfFile(file) &&
         gProfileFlush(file);
}

// A linked profile, rewritten where it is. A longer file gets its room first: a full disk then fails
// before any byte of the file changed.
static int WriteInPlace(const char* path, const char* text, size_t length, DWORD oldSize, DWORD* error) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return kProfileWriteRead;
  }
  bool ok = (length <= oldSize ||
             (SetFilePointer(file, LONG(length), nullptr, FILE_BEGIN) == length && SetEndOfFile(file))) &&
            WriteAll(file, text, length);
  *error = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok) return 0;
  if (!*error) *error = ERROR_WRITE_FAULT;
  return kProfileWriteWrite;
}

// The profile's DACL (its own entries and whether it inherits) onto the new file. 0, or a system
// error code; a profile whose permissions cannot be read keeps the folder's, as a new file would.
static DWORD CarryPermissions(const char* path, const char* fresh) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return 0;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION);
  DWORD set =
      SetNamedSecurityInfoA(const_cast<char*>(fresh), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return set;
}

// The text into path + ".new", flushed, then put in the profile's place, the profile's text kept
// as path + ".bak".
static int WriteBeside(const char* path, const char* text, size_t length, const Original& original,
                       DWORD* error) {
  char fresh[MAX_PATH + 8], backup[MAX_PATH + 8];
  FormatText(fresh, sizeof fresh, "%s%s", path, kProfileNewSuffix);
  FormatText(backup, sizeof backup, "%s%s", path, kProfileBackupSuffix);
  // A left-over of a save cut off earlier is not reused as it is: it may be read-only or hidden.
  SetFileAttributesA(fresh, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(fresh);
  HANDLE file = CreateFileA(fresh, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return kProfileWriteCreate;
  }
  bool ok = WriteAll(file, text, length);
  *error = ok ? 0 : GetLastError();
  if (ok && original.exists) SetFileTime(file, &original.created, nullptr, nullptr);
  if (!CloseHandle(file) && ok) {
    ok = false;
    *error = GetLastError();
  }
  if (!ok) {
    DeleteFileA(fresh);
    if (!*error) *error = ERROR_WRITE_FAULT;
    return kProfileWriteWrite;
  }
  int step = kProfileWriteReplace;
  if (original.exists) {
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    *error = CarryPermissions(path, fresh);
    if (!*error && (original.attributes & kept) && !SetFileAttributesA(fresh, original.attributes & kept))
      *error = GetLastError();
    // The backup of an earlier save may have been made read-only or hidden by hand: it is ours.
    if (!*error) {
      SetFileAttributesA(backup, FILE_ATTRIBUTE_NORMAL);
      if (!CopyFileA(path, backup, FALSE)) {
        *error = GetLastError();
        step = kProfileWriteBackup;
      }
    }
  }
  if (!*error && !MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    *error = GetLastError();
  if (!*error) return 0;
  SetFileAttributesA(fresh, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(fresh);
  return step;
}

// One try of the whole save: read, edit, write.
static int WriteOnce(const char* path, const char* section, const ProfileSetting* entries, size_t count,
                     DWORD* error) {
  Original original;
  int read = ReadOriginal(path, &original, error);
  if (read < 0) return read;
  *error = 0;
  char* raw = original.raw ? original.raw : static_cast<char*>(malloc(1));
  DWORD size = original.size;
  if (!raw) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return kProfileWriteWrite;
  }
  int encoding = ProfileTextEncoding(raw, size);
  if (encoding == kProfileUtf16NoBom || encoding == kProfileNulBytes) {
    free(raw);
    return encoding == kProfileUtf16NoBom ? kProfileWriteUtf16NoBom : kProfileWriteNulBytes;
  }

  // The working text: UTF-8 for UTF-8 and UTF-16 files, the bytes themselves for ANSI.
  bool utf8 = encoding != kProfileAnsi;
  bool wide = encoding == kProfileUtf16Le || encoding == kProfileUtf16Be;
  bool big = encoding == kProfileUtf16Be;
  size_t skip = encoding == kProfileUtf8Bom ? 3 : wide ? 2 : 0;
  char* text = raw + skip;
  size_t textSize = size - skip;
  WriteBuffer decoded = {};
  if (wide) {
    int units = 0;
    WCHAR* w = ProfileDecodeUtf16(text, textSize, big, &units);
    int n = w && units ? WideCharToMultiByte(CP_UTF8, 0, w, units, nullptr, 0, nullptr, nullptr) : 0;
    decoded.data = static_cast<char*>(malloc(size_t(n) + 1));
    if (w && decoded.data && n) WideCharToMultiByte(CP_UTF8, 0, w, units, decoded.data, n, nullptr, nullptr);
    decoded.length = decoded.capacity = size_t(n);
    decoded.failed = !w || !decoded.data;
    free(w);
    text = decoded.data;
    textSize = decoded.length;
  }
  // The entries one after another, each into the text the one before it left.
  WriteBuffer work = {};
  for (size_t i = 0; i < count && !decoded.failed && !work.failed; i++) {
    WriteBuffer next = {};
    Edit(i ? (work.data ? work.data : "") : (text ? text : ""), i ? work.length : textSize, section,
         entries[i].key, entries[i].value, utf8, &next);
    free(work.data);
    work = next;
  }
  WriteBuffer edited = {};
  Put(&edited, raw, skip);
  Put(&edited, work.data, work.length);
  if (work.failed) edited.failed = true;
  free(work.data);
  if (wide && !edited.failed && !decoded.failed) {
    // Back to UTF-16, after the byte order mark.
    int n = MultiByteToWideChar(CP_UTF8, 0, edited.data + 2, int(edited.length - 2), nullptr, 0);
    WCHAR* w = static_cast<WCHAR*>(malloc((size_t(n) + 1) * sizeof(WCHAR)));
    if (w) {
      MultiByteToWideChar(CP_UTF8, 0, edited.data + 2, int(edited.length - 2), w, n);
      edited.length = 2;
      for (int i = 0; i < n; i++) {
        char pair[2] = {char(big ? w[i] >> 8 : w[i] & 0xFF), char(big ? w[i] & 0xFF : w[i] >> 8)};
        Put(&edited, pair, 2);
      }
      free(w);
    } else {
      edited.failed = true;
    }
  }
  free(decoded.data);
  free(raw);
  if (edited.failed || decoded.failed) {
    free(edited.data);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return kProfileWriteWrite;
  }
  int written = original.inPlace ? WriteInPlace(path, edited.data, edited.length, size, error)
                                 : WriteBeside(path, edited.data, edited.length, original, error);
  free(edited.data);
  return written;
}

int ProfileWriteString(const char* path, const char* section, const char* key, const char* value,
                       unsigned long* error) {
  const ProfileSetting entry = {key, value};
  return ProfileWriteEntries(path, section, &entry, 1, error);
}

int ProfileWriteEntries(const char* path, const char* section, const ProfileSetting* entries, size_t count,
                        unsigned long* error) {
  *error = 0;
  if (!section || !section[0] || strchr(section, ']') || !OneLine(section) || count == 0)
    return kProfileWriteBadEntry;
  for (size_t i = 0; i < count; i++) {
    const char* key = entries[i].key;
    const char* value = entries[i].value;
    if (!key || !key[0] || strchr(key, '=') || !OneLine(key) || (value && !OneLine(value)))
      return kProfileWriteBadEntry;
  }
  for (int attempt = 0;; attempt++) {
    DWORD code = 0;
    int result = WriteOnce(path, section, entries, count, &code);
    if (result == 0) return 0;
    // A rename over a file another program holds open is refused as access denied: tried again too.
    bool again = InUse(code) || (result == kProfileWriteReplace && code == ERROR_ACCESS_DENIED);
    if (!again || attempt == kRetries) {
      *error = code;
      return InUse(code) ? kProfileWriteInUse : result;
    }
    Sleep(kRetryWaitMs);
  }
}

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
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "actions/profile.h"
#include "actions/profiletext.h"

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

static void Why(char* why, size_t whySize, const char* text, DWORD error) {
  if (!error) {
    snprintf(why, whySize, "%s", text);
    return;
  }
  char reason[256];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                           reason, sizeof reason, nullptr);
  while (n > 0 && (reason[n - 1] == '\r' || reason[n - 1] == '\n' || reason[n - 1] == ' ')) n--;
  reason[n] = '\0';
  snprintf(why, whySize, "%s%s (error %lu)", text, n ? reason : "Unknown error",
           static_cast<unsigned long>(error));
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

int ProfileWriteString(const char* path, const char* section, const char* key, const char* value, char* why,
                       size_t whySize) {
  why[0] = '\0';
  if (!section || !section[0] || !key || !key[0] || strchr(key, '=') || strchr(section, ']') ||
      !OneLine(section) || !OneLine(key) || (value && !OneLine(value))) {
    Why(why, whySize, "The entry is not one line of the form key=value.", 0);
    return -1;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Why(why, whySize, "", GetLastError());
    return -1;
  }
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE || high || size > (64u << 20)) {
    CloseHandle(file);
    Why(why, whySize, "The file is too large for a profile.", 0);
    return -1;
  }
  char* raw = static_cast<char*>(malloc(size_t(size) + 1));
  DWORD done = 0;
  while (raw && done < size) {
    DWORD got = 0;
    if (!ReadFile(file, raw + done, size - done, &got, nullptr) || got == 0) break;
    done += got;
  }
  if (!raw || done != size) {
    DWORD error = raw ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    free(raw);
    CloseHandle(file);
    Why(why, whySize, "", error ? error : ERROR_READ_FAULT);
    return -1;
  }
  int encoding = ProfileTextEncoding(raw, size);
  if (encoding == kProfileUtf16NoBom || encoding == kProfileNulBytes) {
    free(raw);
    CloseHandle(file);
    Why(why, whySize,
        encoding == kProfileUtf16NoBom
            ? "The file is saved as UTF-16 without a byte order mark: save it again as UTF-8 or Unicode."
            : "The file holds NUL bytes, which a text file does not: remove them, or save it again as text.",
        0);
    return -1;
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
    size_t units = textSize / 2;
    WCHAR* w = static_cast<WCHAR*>(malloc((units + 1) * sizeof(WCHAR)));
    for (size_t i = 0; w && i < units; i++) {
      unsigned char a = static_cast<unsigned char>(text[2 * i]),
                    b = static_cast<unsigned char>(text[2 * i + 1]);
      w[i] = WCHAR(big ? (a << 8) | b : (b << 8) | a);
    }
    int n = w && units ? WideCharToMultiByte(CP_UTF8, 0, w, int(units), nullptr, 0, nullptr, nullptr) : 0;
    decoded.data = static_cast<char*>(malloc(size_t(n) + 1));
    if (w && decoded.data && n)
      WideCharToMultiByte(CP_UTF8, 0, w, int(units), decoded.data, n, nullptr, nullptr);
    decoded.length = decoded.capacity = size_t(n);
    decoded.failed = !w || !decoded.data;
    free(w);
    text = decoded.data;
    textSize = decoded.length;
  }
  WriteBuffer edited = {};
  Put(&edited, raw, skip);
  if (!decoded.failed) Edit(text ? text : "", textSize, section, key, value, utf8, &edited);
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
    CloseHandle(file);
    Why(why, whySize, "", ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
  // A longer file gets its room first: a full disk then fails before any byte of the file changed.
  DWORD written = 0;
  bool ok = (edited.length <= size ||
             (SetFilePointer(file, LONG(edited.length), nullptr, FILE_BEGIN) == edited.length &&
              SetEndOfFile(file))) &&
            SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
            WriteFile(file, edited.data, DWORD(edited.length), &written, nullptr) &&
            written == edited.length && SetEndOfFile(file);
  DWORD error = ok ? 0 : GetLastError();
  free(edited.data);
  CloseHandle(file);
  if (!ok) {
    Why(why, whySize, "", error ? error : ERROR_WRITE_FAULT);
    return -1;
  }
  return 0;
}

// The profile file held in memory. The dispatch thread reads profiles.ini for every key; reading it
// through the private-profile functions costs a file open per value, several per key. Here the
// file is parsed once and read again only when it has changed: one look at its size and times per
// lookup, so that an edit still counts at the next key press.
#pragma once
#include <windows.h>

#include <stddef.h>

// The whole text of the file at `path` as the program reads it: text with a byte order mark
// (UTF-8, UTF-16), and UTF-8 without one (bytes above 127, all of it valid UTF-8), converted to the
// ANSI code page. A malloc'ed, zero-terminated block
// (free it) with its length in *size, or null when the file cannot be read. `stamp` (may be null)
// receives the file's size and times as they were before the text was read.
char* ProfileReadText(const char* path, size_t* size, BY_HANDLE_FILE_INFORMATION* stamp);
// The same, with the file's encoding as ProfileTextEncoding names it (actions/profiletext.h) in
// *encoding: negative for a file the program cannot read as text, whose text is then returned as
// the private-profile functions read it (NUL bytes end names and values).
char* ProfileReadTextAs(const char* path, size_t* size, BY_HANDLE_FILE_INFORMATION* stamp, int* encoding);

// Writes key=value into `section` of the profile at `path` as WritePrivateProfileStringA does (other lines,
// comments and their order kept), in the file's own encoding: ANSI, UTF-8 with or without a byte order mark,
// UTF-16 with a byte order mark. A file the program cannot read as text (UTF-16 without a byte order mark,
// any NUL byte) is never touched. A missing file is made (ANSI). A null value removes the key. Section, key
// and value are ANSI text of one line each; the first section of that name and the first entry of that key
// in it are the ones written, as a lookup reads them.
// The new text goes to path + kProfileNewSuffix, is flushed, and replaces the profile in one step (a
// rename, with the profile's permissions and attributes carried over), after the profile's text was
// copied to path + kProfileBackupSuffix; a crash leaves the old text or the new, never a mix. A hard
// link or reparse point is written in place. A profile another program holds open is tried again
// for about a second. Returns 0, or one of the results below with the system's error code in *error
// (0 where there is none); the profile is then as it was.
enum {
  kProfileWriteOk = 0,
  kProfileWriteBadEntry = -1,    // the entry is not one line of the form key=value
  kProfileWriteTooLarge = -2,    // the file is too large for a profile
  kProfileWriteUtf16NoBom = -3,  // saved as UTF-16 without a byte order mark
  kProfileWriteNulBytes = -4,    // holds NUL bytes
  kProfileWriteInUse = -5,       // another program holds it open (sharing or lock violation)
  kProfileWriteRead = -6,        // it cannot be read (or opened)
  kProfileWriteReadOnly = -7,    // it has the read-only attribute
  kProfileWriteCreate = -8,      // the new file beside it cannot be made
  kProfileWriteWrite = -9,       // the new text cannot be written or flushed
  kProfileWriteReplace = -10,    // the new file cannot take the profile's place
  kProfileWriteBackup = -11,     // the profile's text cannot be copied to the backup
};
#define kProfileNewSuffix ".new"
#define kProfileBackupSuffix ".bak"
int ProfileWriteString(const char* path, const char* section, const char* key, const char* value,
                       unsigned long* error);
// The same for several entries of one section in one save, each written into the text the one
// before it left: they land together or not at all, and the backup keeps the text before all of them.
struct ProfileSetting {
  const char* key;
  const char* value;
};
int ProfileWriteEntries(const char* path, const char* section, const ProfileSetting* entries, size_t count,
                        unsigned long* error);
// Flushes a file's buffers to the disk: FlushFileBuffers unless a test stands in for it (no disk here
// can be made to fail a flush on demand).
extern BOOL(WINAPI* gProfileFlush)(HANDLE);

// Makes the in-memory copy that of the file at `path` as it is now, reading it only when it has
// changed. Returns 0, or -1 when it is missing or unreadable: the copy is then empty. Call it once
// per key press, then read the entries with ProfileGet. One thread at a time (the dispatch thread).
int ProfileRefresh(const char* path);

// Reads `key` in `section` of the copy as GetPrivateProfileStringA reads it with an empty
// default, never cut. Returns 1 with the value in out (max + 1 bytes); 0 with out empty when there
// is none or it is empty; -1 with out empty when the value is longer than max characters or holds
// a NUL byte (cut there it would not be what its writer meant).
int ProfileGet(const char* section, const char* key, char* out, size_t max);

// 1 when any section of the copy holds an entry named `key` (without regard to case), else 0: a
// look before a lookup through every step for a key that few profiles have.
int ProfileAnyKey(const char* key);

// The title patterns of the copy: sections whose name holds "*" ("*" any run of characters, "?"
// exactly one; see TitleMatches), tried in file order. The first that matches the whole title and
// holds `key` gives the value, as ProfileGet reads it (1, or -1 for a value that does not run),
// and its name goes into served (servedSize bytes; may be null). 0 with out empty when none.
int ProfileGetPattern(const char* title, const char* key, char* out, size_t max, char* served,
                      size_t servedSize);

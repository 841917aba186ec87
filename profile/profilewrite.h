// Writing the profile: one entry, or several of one section in one save, into the file's own
// encoding through a new file that takes the profile's place. Part of the profile module
// (profile/profile.h reads).
#pragma once
#include <windows.h>

#include <stddef.h>

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

// The profile module: every read and write of profiles.ini goes through it. This header reads and
// looks up; profile/profilewrite.h writes; profile/profilecheck.h checks; profile/profiletext.h
// holds the text reader and the names of the sections and entries.
//
// The profile file held in memory. The dispatch thread reads profiles.ini for every key; reading it
// through the private-profile functions costs a file open per value, several per key. Here the
// file is parsed once and read again only when it has changed: one look at its size and times per
// lookup, so that an edit still counts at the next key press.
#pragma once
#include <windows.h>

#include <stddef.h>

#include "profile/profiletext.h"

// A value buffer holds an action line of up to kProfileLineMax characters, its terminator, and one
// character more: a value that fills it is longer than any line that runs.
enum { kProfileValueSize = kProfileLineMax + 2, kTitleSize = 256 };

// The whole text of the file at `path` as the program reads it: text with a byte order mark
// (UTF-8, UTF-16), and UTF-8 without one (bytes above 127, all of it valid UTF-8), converted to the
// ANSI code page. A malloc'ed, zero-terminated block
// (free it) with its length in *size, or null when the file cannot be read. `stamp` (may be null)
// receives the file's size and times as they were before the text was read.
char* ProfileReadText(const char* path, size_t* size, BY_HANDLE_FILE_INFORMATION* stamp);
// The same, with the file's encoding as ProfileTextEncoding names it (profile/profiletext.h) in
// *encoding: negative for a file the program cannot read as text, whose text is then returned as
// the private-profile functions read it (NUL bytes end names and values).
char* ProfileReadTextAs(const char* path, size_t* size, BY_HANDLE_FILE_INFORMATION* stamp, int* encoding);

// Makes the in-memory copy that of the file at `path` as it is now, reading it only when it has
// changed. Returns 0, or -1 when it is missing or unreadable: the copy is then empty. Call it once
// per key press, then read the entries with ProfileGet. Each thread has a copy of its own (the
// dispatch thread's, the main thread's for the dialogs); ProfileCopyFree frees the calling thread's.
int ProfileRefresh(const char* path);
void ProfileCopyFree();
// A number that changes each time the calling thread's copy is read again (ProfileRefresh found the
// file changed, gone or back): what a thread keeps of the profile's content stays good while it
// stays the same.
unsigned ProfileGeneration();

// One value of the profile at `path` as it is now (through the calling thread's copy), as
// ProfileGet reads it: 1, 0 (none or empty) or -1 (longer than max, or cut at a NUL byte).
int ProfileReadString(const char* path, const char* section, const char* key, char* out, size_t max);
// A number of the profile at `path`: `fallback` when the entry is missing or empty; else the
// decimal number its value begins with (an optional sign, then digits), 0 when it begins with none.
int ProfileReadInt(const char* path, const char* section, const char* key, int fallback);

// The lookup of an entry for a window. `key` is the entry's name (ProfileButtonKey builds a
// button's). Looks it up for `title` in the profile at `path`: title section, "title -" alias,
// title patterns (sections whose name holds "*"), the section "class:" + the window's class, the
// section named after the window's program (its file name), then "default"; each step only when
// the steps before found no value. Returns 1 with the line in out (kProfileValueSize bytes), 0 when
// none, and -1 with out empty when the first entry found is longer than kProfileLineMax (it is not
// run, and the sections after it are not consulted). The name of the section that served goes into
// served (kTitleSize bytes, may be null); empty when none did.
// The class and the program are given (null or empty: their step skipped), or, with `ask`, asked
// for only when the steps before them found nothing.
struct ProfileWindowAsk {
  int (*windowClass)(void* context, char* out /* kTitleSize bytes */);  // 0, or -1 when unknown
  int (*program)(void* context, char* out /* MAX_PATH bytes */);        // 0, or -1 when unknown
  void* context;
};
int ProfileLookupEntry(const char* path, const char* title, const char* windowClass, const char* program,
                       const ProfileWindowAsk* ask, const char* key, char* out, char* served);
// The same for a button with several entry names (ProfileButtonKeys), tried in order within each
// section before the next section is consulted.
int ProfileLookupKeys(const char* path, const char* title, const char* windowClass, const char* program,
                      const ProfileWindowAsk* ask, const char* const* keys, int keyCount, char* out,
                      char* served);
// The lookup of a button of the network receiver by its remote and name (remote may be empty).
int ProfileLookupNamed(const char* path, const char* title, const char* windowClass, const char* program,
                       const char* remote, const char* name, char* out, char* served);
// The lookup of button `code` (its entry "Key<code>"), class unknown, program given.
int ProfileLookup(const char* path, const char* title, const char* program, int code, char* out);
// The same with the window's class, and the name of the section that served, as the lookup named it
// ("Editor", "*YouTube*", "class:Notepad", "default").
int ProfileLookupServed(const char* path, const char* title, const char* windowClass, const char* program,
                        int code, char* out, char* served);

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
// The same for several names of one button, tried in order within each pattern section.
int ProfileGetPatternKeys(const char* title, const char* const* keys, int keyCount, char* out, size_t max,
                          char* served, size_t servedSize);
